// Text from the user (an argument, a file name) as a message quotes it.
// Its bytes would reach the terminal as they are: an ESC, a BEL, a newline
// or a C1 control (U+0080 to U+009F) can move the cursor, recolour or
// retitle the window, or forge a line. Those bytes, and bytes that are no
// UTF-8, are written as escapes instead, as careful tools quote file names.
#pragma once

#include <cstdio>
#include <string>

// The length of the UTF-8 character at text[i] (a byte of 0x80 or more),
// or 0 where it is none: malformed, overlong, a surrogate, beyond
// U+10FFFF, or a C1 control.
static inline size_t Utf8Length(const std::string& text, size_t i) {
  const unsigned char lead = (unsigned char)text[i];
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2, low = lead == 0xC2 ? 0xA0 : 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char c = (unsigned char)text[i + k];
    if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

// A byte that is no character to show, as an escape: \n, \t, \r, \xHH.
static inline std::string EscapedByte(unsigned char c) {
  if (c == '\n') return "\\n";
  if (c == '\t') return "\\t";
  if (c == '\r') return "\\r";
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02X", c);
  return escape;
}

// The text with control bytes and stray bytes escaped (\n, \t, \r, \xHH;
// a backslash doubled, so that an escape is never ambiguous), cut after
// `most` characters with "..." where it is longer.
static inline std::string ShownText(const std::string& text, size_t most = std::string::npos) {
  std::string shown;
  size_t i = 0;
  for (size_t count = 0; i < text.size() && count < most; ++count) {
    const unsigned char c = (unsigned char)text[i];
    const size_t length = c >= 0x80 ? Utf8Length(text, i) : 0;
    if (length > 0) {
      shown.append(text, i, length);
      i += length;
      continue;
    }
    ++i;
    if (c == '\\') {
      shown += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      shown += (char)c;
    } else {
      shown += EscapedByte(c);
    }
  }
  return i < text.size() ? shown + "..." : shown;
}

// A refused argument, which may be any length, cut to its first 40
// characters.
static inline std::string Excerpt(const std::string& text) {
  return ShownText(text, 40);
}
