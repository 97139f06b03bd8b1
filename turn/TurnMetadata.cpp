#include "turn/TurnMetadata.h"

#include <cstdlib>
#include <cstring>

#include "scene/Image.h"
#include "text/ViewText.h"
#include "turn/TurnViews.h"

namespace {

const char kNamespace[] = "urn:orbelune:turn:1";
constexpr size_t kMostValueBytes = 64;

// Decimal digits alone, no sign, no leading zero, at most five.
bool ReadCount(const std::string& text, int& value) {
  if (text.empty() || text.size() > 5 || (text[0] == '0' && text.size() > 1)) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

// The value of name="..." in the packet's description.
bool Attribute(const std::string& text, const char* name, std::string& value) {
  const std::string key = std::string(" orbelune:") + name + "=\"";
  const size_t at = text.find(key);
  if (at == std::string::npos) return false;
  const size_t begin = at + key.size();
  const size_t end = text.find('"', begin);
  // No value of ours is longer than a view's text, three floats' worth.
  if (end == std::string::npos || end - begin > kMostValueBytes) return false;
  value = text.substr(begin, end - begin);
  return true;
}

}  // namespace

bool TurnFrameSize(int width, int height, int& step) {
  for (int s : {1, 2, 4}) {
    if (width == (kColumnCount - 1) / s + 1 && height == (kColumnHeight - 1) / s + 1) {
      step = s;
      return true;
    }
  }
  return false;
}

bool IsDigestText(const std::string& text) {
  if (text.size() != 64) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string TurnMetadataText(const TurnMetadata& metadata) {
  std::string text =
      "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
      " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
      "  <rdf:Description rdf:about=\"\" xmlns:orbelune=\"";
  text += kNamespace;
  text += "\"\n   orbelune:view=\"" + ViewText(metadata.start) + "\"";
  text += "\n   orbelune:frames=\"" + std::to_string(metadata.frames) + "\"";
  text += "\n   orbelune:width=\"" + std::to_string(metadata.width) + "\"";
  text += "\n   orbelune:height=\"" + std::to_string(metadata.height) + "\">\n";
  text += "   <orbelune:digests>\n    <rdf:Seq>\n";
  for (const std::string& digest : metadata.digests)
    text += "     <rdf:li>" + digest + "</rdf:li>\n";
  text += "    </rdf:Seq>\n   </orbelune:digests>\n  </rdf:Description>\n"
          " </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"r\"?>";
  return text;
}

bool ParseTurnMetadata(const std::string& text, TurnMetadata& metadata, std::string& why) {
  if (text.find(std::string("xmlns:orbelune=\"") + kNamespace + "\"") == std::string::npos) {
    why = "its metadata is not a turn's";
    return false;
  }
  TurnMetadata read;
  std::string value;
  if (!Attribute(text, "view", value) || !ParseView(value.c_str(), read.start, why)) {
    why = "its metadata names no start view";
    return false;
  }
  if (!Attribute(text, "frames", value) || !ReadCount(value, read.frames) ||
      read.frames < kMinTurnFrames || read.frames > kMaxTurnFrames) {
    why = "its metadata names no frame count from " + std::to_string(kMinTurnFrames) + " to " +
          std::to_string(kMaxTurnFrames);
    return false;
  }
  // The writer makes no turn two of whose frames are one view.
  if (const int k = RepeatedTurnView(read.start, read.frames); k >= 0) {
    why = "its frames " + std::to_string(k + 1) + " and " + std::to_string(k + 2) +
          " would be one view (B is too large for its steps), and no turn is made so";
    return false;
  }
  int step = 0;
  if (!Attribute(text, "width", value) || !ReadCount(value, read.width) ||
      !Attribute(text, "height", value) || !ReadCount(value, read.height) ||
      !TurnFrameSize(read.width, read.height, step)) {
    why = "its metadata names no frame size of a turn";
    return false;
  }
  const size_t begin = text.find("<orbelune:digests>");
  const size_t end = text.find("</orbelune:digests>");
  if (begin == std::string::npos || end == std::string::npos || end < begin) {
    why = "its metadata lists no digests";
    return false;
  }
  const std::string open = "<rdf:li>", close = "</rdf:li>";
  size_t listed = 0;
  for (size_t at = text.find(open, begin); at < end; at = text.find(open, at + 1)) ++listed;
  if (listed != (size_t)read.frames) {
    why = "its metadata lists " + std::to_string(listed) + (listed == 1 ? " digest" : " digests") +
          " for " + std::to_string(read.frames) + " frames";
    return false;
  }
  for (size_t at = text.find(open, begin); at < end; at = text.find(open, at + 1)) {
    const size_t first = at + open.size();
    const size_t last = text.find(close, first);
    read.digests.emplace_back(last < end ? text.substr(first, last - first) : "");
    if (!IsDigestText(read.digests.back())) {
      why = "its metadata's digest of frame " + std::to_string(read.digests.size()) +
            " is no digest";
      return false;
    }
  }
  // Whatever else a packet holds (a comment hiding a second view, NULs,
  // another attribute) it was not written by a turn's writer.
  if (TurnMetadataText(read) != text) {
    why = "its metadata holds more than a turn's, or holds it otherwise";
    return false;
  }
  metadata = std::move(read);
  return true;
}
