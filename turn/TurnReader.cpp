#include "turn/TurnReader.h"

#include <sys/stat.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

// Whether a failure of libwebp's to read a file, which it does not tell
// from damage, may be the file's: where there is not even room for a few
// of its records (a few megabytes), memory failed it.
bool MemoryLeft() {
  void* volatile room = std::malloc((size_t)4 << 20);
  std::free(room);
  return room != nullptr;
}

// Why frame n (from 1) of the animation did not decode: decoded alone, it
// tells damage (a broken bitstream) from memory (which the animation's
// decoder does not tell).
std::string WhyNotDecoded(const WebPAnimDecoder* decoder, int n) {
  const std::string damaged = "a damaged WebP file: frame " + std::to_string(n) +
                              " cannot be decoded";
  WebPIterator frame;
  if (!WebPDemuxGetFrame(WebPAnimDecoderGetDemuxer(decoder), n, &frame)) return damaged;
  WebPDecoderConfig config;
  VP8StatusCode status = VP8_STATUS_OUT_OF_MEMORY;
  if (WebPInitDecoderConfig(&config)) {
    config.output.colorspace = MODE_RGBA;
    status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    WebPFreeDecBuffer(&config.output);
  }
  WebPDemuxReleaseIterator(&frame);
  return status == VP8_STATUS_OK || status == VP8_STATUS_OUT_OF_MEMORY ? kTurnOutOfMemory : damaged;
}

// The RIFF header and the VP8X chunk after it (an animation's first),
// judged before anything else is read: the file's size within the limit,
// an animation, a turn's canvas.
constexpr size_t kHeaderBytes = 30;
bool JudgeHeader(const uint8_t* header, size_t got, std::string& why) {
  if (got < 4 || std::memcmp(header, "RIFF", 4) != 0 ||
      (got >= 12 && std::memcmp(header + 8, "WEBP", 4) != 0)) {
    why = kNotWebP;
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

// Reads n bytes onto the end of bytes (or past them, where keep is
// false), a megabyte at a time so that a size claimed beyond the file's
// end costs no more than the file; got counts what came. False, with why,
// at the file's end or a read error.
bool ReadOn(FILE* file, uint64_t n, bool keep, std::vector<uint8_t>& bytes, uint64_t& got,
            std::string& why) {
  uint8_t skipped[1 << 16];
  while (n > 0) {
    const size_t want = (size_t)std::min<uint64_t>(n, keep ? (uint64_t)1 << 20 : sizeof skipped);
    const size_t before = bytes.size();
    if (keep) bytes.resize(before + want);
    const size_t came = std::fread(keep ? bytes.data() + before : skipped, 1, want, file);
    if (keep) bytes.resize(before + came);
    got += came, n -= came;
    if (came < want) {
      why = std::ferror(file) ? std::strerror(errno) : "";
      return false;
    }
  }
  return true;
}

// The chunks a WebP file may hold, which the demuxer judges (a turn has
// VP8X, ANIM, ANMF and XMP alone). Any other is passed over unread.
bool KnownChunk(const uint8_t* name) {
  for (const char* known : {"VP8X", "ICCP", "ANIM", "ANMF", "ALPH", "VP8 ", "VP8L", "EXIF", "XMP "})
    if (std::memcmp(name, known, 4) == 0) return true;
  return false;
}

// Whether a turn may hold a chunk of this name, its metadata counted: not
// what would make a viewer show other colours or turn the picture (a
// colour profile, EXIF), nor a second packet that a reader could take for
// the turn's. The writer writes none of them.
bool TurnMayHold(const uint8_t* name, int& metadataChunks, std::string& why) {
  const std::string chunk((const char*)name, 4);
  if (chunk == "XMP " && ++metadataChunks == 1) return true;
  if (chunk != "XMP " && chunk != "ICCP" && chunk != "EXIF") return true;
  why = "a WebP animation with " +
        std::string(chunk == "XMP " ? "a second XMP chunk" : "an " + chunk + " chunk") +
        ", which no turn has";
  return false;
}

// Whether the chunk at bytes[at], read whole, is no frame or a frame as a
// turn's writer makes one: its header, then one lossless image and nothing
// after it. The demuxer would record whatever else a frame holds, such as
// empty chunks by the million, a few times their size.
bool OneLosslessImage(const std::vector<uint8_t>& bytes, size_t at, int& frames,
                      std::string& why) {
  const uint8_t* chunk = &bytes[at];
  if (std::memcmp(chunk, "ANMF", 4) != 0) return true;
  ++frames;
  const uint64_t size = LittleEndian32(chunk + 4);
  constexpr uint64_t kFrameHeader = 16, kImageAt = 8 + kFrameHeader;
  if (bytes.size() - at >= kImageAt + 8 && std::memcmp(chunk + kImageAt, "VP8L", 4) == 0) {
    const uint64_t image = LittleEndian32(chunk + kImageAt + 4);
    if (size == kFrameHeader + 8 + image + (image & 1)) return true;
  }
  why = "a damaged WebP file: frame chunk " + std::to_string(frames) +
        " holds other than one lossless image";
  return false;
}

// The file's chunks as its RIFF header counts them, read on only as far as
// that once the header is judged: those a WebP file may hold kept, the
// RIFF size made theirs, any other chunk skipped without being held. No more chunks than
// a turn of the most frames can have (its VP8X, ANIM, a frame's ANMF
// each, its XMP and a few others), and no metadata longer than a turn's:
// neither costs more than a turn's would.
bool ReadBytes(FILE* file, std::vector<uint8_t>& bytes, std::string& why) {
  uint8_t header[kHeaderBytes];
  const size_t got = std::fread(header, 1, sizeof header, file);
  if (got < sizeof header && std::ferror(file)) {
    why = std::strerror(errno);
    return false;
  }
  if (!JudgeHeader(header, got, why)) return false;
  const uint64_t total = (uint64_t)LittleEndian32(header + 4) + 8;
  constexpr int kMostChunks = kMaxTurnFrames + 16;
  // Room for the whole file at once where its size is known: grown as it
  // came, the bytes would be held twice over while each growth copies them.
  struct stat status;
  if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode))
    bytes.reserve((size_t)std::min<uint64_t>(total, (uint64_t)status.st_size));
  bytes.assign(header, header + sizeof header);
  uint64_t at = sizeof header;
  bool read = true;
  int metadataChunks = 0, frames = 0;
  for (int chunks = 1; read && at < total; ++chunks) {
    if (chunks > kMostChunks) {
      why = "a damaged WebP file: more chunks than a turn of " + std::to_string(kMaxTurnFrames) +
            " frames has";
      return false;
    }
    const size_t named = bytes.size();
    read = ReadOn(file, std::min<uint64_t>(8, total - at), true, bytes, at, why);
    if (!read || bytes.size() - named < 8) break;  // a stray tail: the demuxer's to judge
    const uint8_t* name = &bytes[named];
    const uint64_t size = LittleEndian32(name + 4);
    if (std::memcmp(name, "XMP ", 4) == 0 && size > kMaxTurnMetadataBytes) {
      why = "a WebP file whose metadata is " + std::to_string(size) + " bytes, more than a turn's " +
            std::to_string(kMaxTurnMetadataBytes);
      return false;
    }
    if (!TurnMayHold(name, metadataChunks, why)) return false;
    const bool keep = KnownChunk(name);
    if (!keep) bytes.resize(named);
    // An odd size is padded; a last chunk may go without.
    read = ReadOn(file, std::min<uint64_t>(size + (size & 1), total - at), keep, bytes, at, why);
    if (read && keep && !OneLosslessImage(bytes, named, frames, why)) return false;
  }
  if (!read) {
    if (why.empty())
      why = "a truncated WebP file: " + std::to_string(at) + " of the " + std::to_string(total) +
            " bytes its header counts";
    return false;
  }
  // The RIFF size of what is kept, as the demuxer reads it.
  const uint32_t kept = (uint32_t)(bytes.size() - 8);
  for (int i = 0; i < 4; ++i) bytes[4 + i] = (uint8_t)(kept >> (8 * i));
  return true;
}

// Whether every frame covers the whole canvas, as a turn's do: a frame of a
// pixel is refused before any view is rendered for it.
bool FramesCoverCanvas(WebPDemuxer* demux, uint32_t frames, uint32_t width, uint32_t height,
                       std::string& why) {
  WebPIterator frame;
  for (uint32_t k = 1; k <= frames; ++k) {
    if (!WebPDemuxGetFrame(demux, (int)k, &frame)) continue;
    const bool whole = frame.x_offset == 0 && frame.y_offset == 0 &&
                       frame.width == (int)width && frame.height == (int)height;
    const std::string size = std::to_string(frame.width) + " x " + std::to_string(frame.height);
    WebPDemuxReleaseIterator(&frame);
    if (!whole) {
      why = "a WebP animation whose frame " + std::to_string(k) + " is " + size +
            " pixels, not the whole canvas as a turn's frames are";
      return false;
    }
  }
  return true;
}

// What the container says, judged before any frame is decoded.
bool ReadContainer(TurnReader& reader, std::string& why) {
  const WebPData data = {reader.bytes.data(), reader.bytes.size()};
  WebPDemuxer* demux = WebPDemux(&data);
  if (demux == nullptr) {
    why = MemoryLeft() ? "a damaged WebP file: its chunks do not hold together" : kTurnOutOfMemory;
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
  } else if (const uint32_t loops = WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT); loops != 0) {
    why = "a WebP animation that plays " + std::to_string(loops) +
          (loops == 1 ? " time" : " times") + "; a turn loops for ever";
  } else if (!FramesCoverCanvas(demux, frames, width, height, why)) {
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
    // The demuxer has read these very bytes: only memory fails it now.
    why = kTurnOutOfMemory;
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
    why = WebPAnimDecoderHasMoreFrames(reader->decoder)
              ? WhyNotDecoded(reader->decoder, reader->decoded + 1)
              : "a damaged WebP file: it has no frame " + std::to_string(reader->decoded + 1);
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
