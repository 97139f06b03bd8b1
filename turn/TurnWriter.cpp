#include "turn/TurnWriter.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "turn/TurnEncoding.h"
#include "turn/RiffChunks.h"
#include "turn/TurnMetadata.h"
#include "turn/TurnViews.h"

struct TurnWriter {
  TurnShape shape;
  WebPAnimEncoder* encoder = nullptr;
  WebPConfig config;
  WebPPicture picture;  // one frame's pixels, reused for the next
  std::vector<std::string> digests;
};

namespace {

// Frame k's start in milliseconds, rounded from k / fps so that the frames
// keep the rate on average. Strictly increasing while fps <= 1000.
int TurnTimestamp(const TurnShape& shape, int frame) {
  return (int)std::llround((double)frame * 1000 / shape.fps);
}

// The ANMF chunks among the file's top-level chunks: its frames.
int FramesIn(const WebPData& file) {
  int frames = 0;
  ForEachChunk(file.bytes, file.size, [&](const uint8_t* chunk) {
    frames += std::memcmp(chunk, "ANMF", 4) == 0;
    return true;
  });
  return frames;
}

// The encoder's last error in plain words: its out-of-memory codes (1 and
// 2 of WebPEncodingError, which it gives as "...: 1.") as such.
std::string EncoderError(const WebPAnimEncoder* encoder) {
  const std::string text = WebPAnimEncoderGetError(const_cast<WebPAnimEncoder*>(encoder));
  const size_t colon = text.rfind(": ");
  const int code = colon == std::string::npos ? 0 : std::atoi(text.c_str() + colon + 2);
  if (text.find("WebPEncodingError") != std::string::npos &&
      (code == VP8_ENC_ERROR_OUT_OF_MEMORY || code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY))
    return "out of memory";
  return "libwebp's encoder failed (" + text + ")";
}

bool ValidShape(const TurnShape& shape, std::string& why) {
  int step = 0;
  if (shape.frames < kMinTurnFrames || shape.frames > kMaxTurnFrames)
    why = "a turn has " + std::to_string(kMinTurnFrames) + " to " +
          std::to_string(kMaxTurnFrames) + " frames, not " + std::to_string(shape.frames);
  else if (!(shape.fps >= kMinTurnFps && shape.fps <= kMaxTurnFps))
    why = "a turn's frame rate is 0.1 to 1000 frames a second";
  else if (!TurnFrameSize(shape.width, shape.height, step))
    why = "a turn's frames are 1025 x 769, 513 x 385 or 257 x 193 pixels, not " +
          std::to_string(shape.width) + " x " + std::to_string(shape.height);
  else if (!std::isfinite(shape.start.A) || !std::isfinite(shape.start.B) ||
           !std::isfinite(shape.start.C))
    why = "a turn's start view has finite angles";
  else if (RepeatedTurnView(shape.start, shape.frames) >= 0)
    why = "a turn from that start view would give two frames one view";
  else
    return true;
  return false;
}

}  // namespace

TurnWriter* BeginTurn(const TurnShape& shape, std::string& why) {
  return BeginTurnEncoded(shape, TurnEncoding{}, why);
}

TurnWriter* BeginTurnEncoded(const TurnShape& shape, const TurnEncoding& encoding,
                             std::string& why) {
  if (!ValidShape(shape, why)) return nullptr;
  TurnWriter* writer = new TurnWriter;
  writer->shape = shape;
  WebPAnimEncoderOptions options;
  WebPPictureInit(&writer->picture);
  if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&writer->config)) {
    why = "libwebp is not the version it was built with";
    FreeTurn(writer);
    return nullptr;
  }
  options.anim_params.loop_count = 0;  // for ever
  options.allow_mixed = 0;             // lossless only: every pixel the march's
  options.kmin = encoding.kmin;
  options.kmax = encoding.kmax;
  // Lossless, every colour kept as it is, even under a sub-frame's
  // transparent pixels.
  writer->config.lossless = 1;
  writer->config.exact = 1;
  writer->config.quality = encoding.quality;
  writer->config.method = encoding.method;
  writer->encoder = WebPAnimEncoderNew(shape.width, shape.height, &options);
  writer->picture.use_argb = 1;
  writer->picture.width = shape.width;
  writer->picture.height = shape.height;
  if (writer->encoder == nullptr || !WebPValidateConfig(&writer->config) ||
      !WebPPictureAlloc(&writer->picture)) {
    why = "out of memory";
    FreeTurn(writer);
    return nullptr;
  }
  writer->digests.reserve(shape.frames);
  return writer;
}

bool AddTurnFrame(TurnWriter* writer, const PackedColour* colours, const std::string& digest,
                  std::string& why) {
  const TurnShape& shape = writer->shape;
  const int frame = (int)writer->digests.size();
  if (frame == shape.frames) {
    why = "the turn already has its " + std::to_string(shape.frames) + " frames";
    return false;
  }
  if (!IsDigestText(digest)) {
    why = "frame " + std::to_string(frame + 1) + "'s digest is not 64 lower-case hex digits";
    return false;
  }
  // The encoder folds a frame equal to the one before into it, and the file
  // would hold fewer frames than its metadata lists.
  if (frame > 0 && digest == writer->digests.back()) {
    why = "frames " + std::to_string(frame) + " and " + std::to_string(frame + 1) +
          " are the same image (a start angle so large that the turn's steps vanish in it)";
    return false;
  }
  // Our colours column by column as 0x00BBGGRR; the picture's row by row
  // as 0xAARRGGBB, opaque.
  WebPPicture& picture = writer->picture;
  for (int x = 0; x < shape.width; ++x) {
    const PackedColour* column = colours + (size_t)x * shape.height;
    for (int y = 0; y < shape.height; ++y) {
      const uint32_t c = column[y];
      picture.argb[(size_t)y * picture.argb_stride + x] =
          0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
    }
  }
  if (!WebPAnimEncoderAdd(writer->encoder, &picture, TurnTimestamp(shape, frame),
                          &writer->config)) {
    const std::string error = EncoderError(writer->encoder);
    why = error == "out of memory" ? error
                                   : "frame " + std::to_string(frame + 1) + " failed: " + error;
    return false;
  }
  writer->digests.push_back(digest);
  return true;
}

bool FinishTurn(TurnWriter* writer, std::vector<uint8_t>& file, std::string& why) {
  const TurnShape& shape = writer->shape;
  if ((int)writer->digests.size() != shape.frames) {
    why = "the turn has " + std::to_string(writer->digests.size()) + " of its " +
          std::to_string(shape.frames) + " frames";
    return false;
  }
  WebPData animation;
  WebPDataInit(&animation);
  // The last frame lasts until the end timestamp.
  if (!WebPAnimEncoderAdd(writer->encoder, nullptr, TurnTimestamp(shape, shape.frames), nullptr) ||
      !WebPAnimEncoderAssemble(writer->encoder, &animation)) {
    const std::string error = EncoderError(writer->encoder);
    why = error == "out of memory" ? error : "the turn could not be finished: " + error;
    WebPDataClear(&animation);
    return false;
  }
  // The encoder is done; its memory goes back before the file is made.
  WebPAnimEncoderDelete(writer->encoder);
  writer->encoder = nullptr;
  WebPPictureFree(&writer->picture);

  // The metadata's chunk goes last, as the container wants it, written
  // here rather than by the muxer, whose copy of the file would be a third
  // one: the animation, then its chunk, the XMP flag and the RIFF size.
  TurnMetadata metadata{shape.start, shape.frames, shape.width, shape.height, writer->digests};
  const std::string xmp = TurnMetadataText(metadata);
  const size_t chunk = 8 + xmp.size() + (xmp.size() & 1);
  const uint64_t total = (uint64_t)animation.size + chunk;
  bool ok = false;
  const int frames = FramesIn(animation);
  if (animation.size < 30 || std::memcmp(animation.bytes + 12, "VP8X", 4) != 0) {
    why = "the encoder made no animation";
  } else if (frames != shape.frames) {
    why = "the encoder made " + std::to_string(frames) + " frames of " +
          std::to_string(shape.frames);
  } else if (total > kMaxTurnFileBytes) {
    why = "the turn would be " + std::to_string(total) + " bytes, more than a turn's " +
          std::to_string(kMaxTurnFileBytes);
  } else {
    file.assign(animation.bytes, animation.bytes + animation.size);
    WebPDataClear(&animation);
    const auto put32 = [&](size_t at, uint32_t value) {
      for (int i = 0; i < 4; ++i) file[at + i] = (uint8_t)(value >> (8 * i));
    };
    const size_t at = file.size();
    file.resize(at + chunk, 0);
    std::memcpy(&file[at], "XMP ", 4);
    put32(at + 4, (uint32_t)xmp.size());
    std::memcpy(&file[at + 8], xmp.data(), xmp.size());
    file[20] |= XMP_FLAG;
    put32(4, (uint32_t)(file.size() - 8));
    ok = true;
  }
  WebPDataClear(&animation);
  return ok;
}

void FreeTurn(TurnWriter* writer) {
  if (writer == nullptr) return;
  if (writer->encoder != nullptr) WebPAnimEncoderDelete(writer->encoder);
  WebPPictureFree(&writer->picture);
  delete writer;
}
