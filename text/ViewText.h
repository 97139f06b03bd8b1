// A view as text, "A,B,C" (radians): how orbelune-render, frame-colours
// and the web module read one, and how a view is written back. Each angle
// is the float strtof reads, never wrapped, so the same text is the same
// view on every build.
#pragma once

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scene/Scene.h"
#include "text/ShownText.h"

// Reads "A,B,C" into view. False, with why in plain words, for anything
// but three finite numbers separated by commas: no spaces, nothing after.
static inline bool ParseView(const char* text, View& view, std::string& why) {
  float angles[3];
  const char* part = text;
  for (int i = 0;; ++i) {
    const char* comma = std::strchr(part, ',');
    const size_t length = comma != nullptr ? (size_t)(comma - part) : std::strlen(part);
    if (i == 3) {
      why = "more than three angles";
      return false;
    }
    const std::string piece(part, length);
    const std::string which = "angle " + std::to_string(i + 1);
    if (piece.empty()) {
      why = which + " is empty";
      return false;
    }
    bool spaced = false;
    for (char c : piece) spaced = spaced || std::isspace((unsigned char)c);
    char* end = nullptr;
    errno = 0;
    const float angle = std::strtof(piece.c_str(), &end);
    if (spaced || end != piece.c_str() + piece.size()) {
      why = which + " ('" + Excerpt(piece) + "') is not a number";
      return false;
    }
    if (std::isnan(angle)) {
      why = which + " is NaN";
      return false;
    }
    if (std::isinf(angle)) {
      why = which + (errno == ERANGE ? " ('" + Excerpt(piece) + "') is beyond a float's range"
                                     : std::string(" is infinite"));
      return false;
    }
    angles[i] = angle;
    if (comma == nullptr) {
      if (i < 2) {
        why = i == 0 ? "one angle, not three" : "two angles, not three";
        return false;
      }
      break;
    }
    part = comma + 1;
  }
  view = {angles[0], angles[1], angles[2]};
  return true;
}

// The shortest text strtof reads back as the same float.
static inline std::string AngleText(float angle) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, (double)angle);
    const float back = std::strtof(text, nullptr);
    if (std::memcmp(&back, &angle, sizeof back) == 0) break;
  }
  return text;
}

// "A,B,C", which ParseView reads back as the same three floats.
static inline std::string ViewText(View view) {
  return AngleText(view.A) + "," + AngleText(view.B) + "," + AngleText(view.C);
}

// Whether the view is the image's, bit for bit (a -0 is another view).
static inline bool IsImageView(View view) {
  return std::memcmp(&view, &kImageView, sizeof view) == 0;
}
