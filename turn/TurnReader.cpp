#include "turn/TurnReader.h"

#include <webp/demux.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "turn/RiffChunks.h"
#include "turn/TurnViews.h"

struct TurnReader {
  std::vector<uint8_t> bytes;  // the whole file, which the decoder reads from
  TurnMetadata metadata;
  WebPAnimDecoder* decoder = nullptr;
  int decoded = 0;
};

namespace {

uint32_t LittleEndian24(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
}

// The RIFF header and the VP8X chunk after it (an animation's first),
// judged before anything else is read: the file's size within the limit,
// an animation, a turn's canvas.
constexpr size_t kHeaderBytes = 30;
bool JudgeHeader(const uint8_t* header, size_t got, std::string& why) {
  if (got < 4 || std::memcmp(header, "RIFF", 4) != 0 ||
      (got >= 12 && std::memcmp(header + 8, "WEBP", 4) != 0)) {
    why = "not a WebP file";
    return false;
  }
  const uint64_t total = got >= 8 ? (uint64_t)LittleEndian32(header + 4) + 8 : 0;
  if (total > kMaxTurnFileBytes) {
    why = "a WebP file of " + std::to_string(total) + " bytes by its header, more than a turn's " +
          std::to_string(kMaxTurnFileBytes);
    return false;
  }
  // A still image may be shorter than an animation's header.
  if ((got >= 16 && std::memcmp(header + 12, "VP8X", 4) != 0) ||
      (got >= 21 && (LittleEndian32(header + 16) != 10 || !(header[20] & ANIMATION_FLAG)))) {
    why = "a still WebP image, not a turn";
    return false;
  }
  if (got < kHeaderBytes) {
    why = "a truncated WebP file: it ends inside its header";
    return false;
  }
  const uint32_t width = LittleEndian24(header + 24) + 1, height = LittleEndian24(header + 27) + 1;
  int step = 0;
  if (width > (uint32_t)kColumnCount || height > (uint32_t)kColumnHeight ||
      !TurnFrameSize((int)width, (int)height, step)) {
    why = "a WebP animation of " + std::to_string(width) + " x " + std::to_string(height) +
          " pixels; a turn's frames are 1025 x 769, 513 x 385 or 257 x 193";
    return false;
  }
  return true;
}

// The file's bytes as its RIFF header counts them, read on only as far as
// that, once the header is judged.
bool ReadBytes(FILE* file, std::vector<uint8_t>& bytes, std::string& why) {
  uint8_t header[kHeaderBytes];
  const size_t got = std::fread(header, 1, sizeof header, file);
  if (got < sizeof header && std::ferror(file)) {
    why = std::strerror(errno);
    return false;
  }
  if (!JudgeHeader(header, got, why)) return false;
  const uint64_t total = (uint64_t)LittleEndian32(header + 4) + 8;
  // Grown as the bytes come, so that a header claiming more than the file
  // holds costs no more than the file.
  bytes.assign(header, header + sizeof header);
  while (bytes.size() < total) {
    const size_t before = bytes.size();
    const size_t want = (size_t)std::min<uint64_t>(total - before, (uint64_t)1 << 20);
    bytes.resize(before + want);
    const size_t n = std::fread(bytes.data() + before, 1, want, file);
    bytes.resize(before + n);
    if (n < want) {
      if (std::ferror(file)) {
        why = std::strerror(errno);
        return false;
      }
      why = "a truncated WebP file: " + std::to_string(bytes.size()) + " of the " +
            std::to_string(total) + " bytes its header counts";
      return false;
    }
  }
  return true;
}

// Whether the file has no more top-level chunks than a turn of the most
// frames can have (its VP8X, ANIM, a frame's ANMF each, its XMP and a few
// others). The demuxer keeps a record of every chunk it meets, several
// times a zero-length chunk's eight bytes, so a file of nothing but empty
// chunks would cost it many times its size.
bool FewEnoughChunks(const std::vector<uint8_t>& bytes) {
  constexpr int kMostChunks = kMaxTurnFrames + 16;
  int chunks = 0;
  ForEachChunk(bytes.data(), bytes.size(),
               [&](const uint8_t*) { return ++chunks <= kMostChunks; });
  return chunks <= kMostChunks;
}

// What the container says, judged before any frame is decoded.
bool ReadContainer(TurnReader& reader, std::string& why) {
  if (!FewEnoughChunks(reader.bytes)) {
    why = "a damaged WebP file: more chunks than a turn of " + std::to_string(kMaxTurnFrames) +
          " frames has";
    return false;
  }
  const WebPData data = {reader.bytes.data(), reader.bytes.size()};
  WebPDemuxer* demux = WebPDemux(&data);
  if (demux == nullptr) {
    why = "a damaged WebP file: its chunks do not hold together";
    return false;
  }
  const uint32_t flags = WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS);
  const uint32_t width = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
  const uint32_t height = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
  const uint32_t frames = WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT);
  int step = 0;
  WebPChunkIterator chunk;
  bool ok = false;
  // The header said as much; the demuxer reads the same bytes, but holds
  // its own view of them.
  if (!(flags & ANIMATION_FLAG) || !TurnFrameSize((int)width, (int)height, step)) {
    why = "a damaged WebP file: its container contradicts its header";
  } else if (frames < (uint32_t)kMinTurnFrames || frames > (uint32_t)kMaxTurnFrames) {
    why = "a WebP animation of " + std::to_string(frames) + (frames == 1 ? " frame" : " frames") +
          "; a turn has " + std::to_string(kMinTurnFrames) + " to " +
          std::to_string(kMaxTurnFrames);
  } else if (!WebPDemuxGetChunk(demux, "XMP ", 1, &chunk)) {
    why = "a WebP animation without a turn's metadata";
  } else {
    const std::string text((const char*)chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    std::string problem;
    if (!ParseTurnMetadata(text, reader.metadata, problem)) {
      why = "a WebP animation, but " + problem;
    } else if (reader.metadata.width != (int)width || reader.metadata.height != (int)height) {
      why = "a damaged turn: its metadata names frames of " +
            std::to_string(reader.metadata.width) + " x " +
            std::to_string(reader.metadata.height) + " pixels, its canvas is " +
            std::to_string(width) + " x " + std::to_string(height);
    } else if (reader.metadata.frames != (int)frames) {
      why = "a damaged turn: its metadata lists " + std::to_string(reader.metadata.frames) +
            " frames, the file holds " + std::to_string(frames);
    } else {
      ok = true;
    }
  }
  WebPDemuxDelete(demux);
  return ok;
}

}  // namespace

TurnReader* OpenTurn(FILE* file, std::string& why) {
  TurnReader* reader = new TurnReader;
  if (ReadBytes(file, reader->bytes, why) && ReadContainer(*reader, why)) {
    WebPAnimDecoderOptions options;
    if (WebPAnimDecoderOptionsInit(&options)) {
      options.color_mode = MODE_RGBA;
      options.use_threads = 0;
      const WebPData data = {reader->bytes.data(), reader->bytes.size()};
      reader->decoder = WebPAnimDecoderNew(&data, &options);
    }
    if (reader->decoder != nullptr) return reader;
    why = "a damaged WebP file: its animation cannot be decoded";
  }
  CloseTurn(reader);
  return nullptr;
}

const TurnMetadata& TurnInfo(const TurnReader* reader) { return reader->metadata; }

bool NextTurnFrame(TurnReader* reader, std::vector<PackedColour>& colours, long& seeThrough,
                   std::string& why) {
  const int width = reader->metadata.width, height = reader->metadata.height;
  uint8_t* rgba = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderHasMoreFrames(reader->decoder) ||
      !WebPAnimDecoderGetNext(reader->decoder, &rgba, &timestamp)) {
    why = "a damaged WebP file: frame " + std::to_string(reader->decoded + 1) +
          " cannot be decoded";
    return false;
  }
  ++reader->decoded;
  // Rows of R, G, B, A bytes, into our columns of 0x00BBGGRR.
  colours.resize((size_t)width * height);
  seeThrough = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rgba + (size_t)y * width * 4;
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = row + (size_t)x * 4;
      colours[(size_t)x * height + y] = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
      seeThrough += p[3] != 0xFF;
    }
  }
  return true;
}

void CloseTurn(TurnReader* reader) {
  if (reader == nullptr) return;
  if (reader->decoder != nullptr) WebPAnimDecoderDelete(reader->decoder);
  delete reader;
}
