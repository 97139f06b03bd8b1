#include "turn/TurnWriter.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <cstring>

#include "turn/TurnMetadata.h"
#include "turn/TurnViews.h"

struct TurnWriter {
  TurnSpec spec;
  WebPAnimEncoder* encoder = nullptr;
  WebPConfig config;
  WebPPicture picture;  // one frame's pixels, reused for the next
  std::vector<std::string> digests;
};

namespace {

// Frame k's start in milliseconds, rounded from k / fps so that the frames
// keep the rate on average. Strictly increasing while fps <= 1000.
int TurnTimestamp(const TurnSpec& spec, int frame) {
  return (int)std::llround((double)frame * 1000 / spec.fps);
}

bool ValidSpec(const TurnSpec& spec, std::string& why) {
  int step = 0;
  if (spec.frames < kMinTurnFrames || spec.frames > kMaxTurnFrames)
    why = "a turn has " + std::to_string(kMinTurnFrames) + " to " +
          std::to_string(kMaxTurnFrames) + " frames, not " + std::to_string(spec.frames);
  else if (!(spec.fps >= kMinTurnFps && spec.fps <= kMaxTurnFps))
    why = "a turn's frame rate is 0.1 to 1000 frames a second";
  else if (!TurnFrameSize(spec.width, spec.height, step))
    why = "a turn's frames are 1025 x 769 or 513 x 385 pixels, not " +
          std::to_string(spec.width) + " x " + std::to_string(spec.height);
  else if (!std::isfinite(spec.start.A) || !std::isfinite(spec.start.B) ||
           !std::isfinite(spec.start.C))
    why = "a turn's start view has finite angles";
  else
    return true;
  return false;
}

}  // namespace

TurnWriter* BeginTurn(const TurnSpec& spec, std::string& why) {
  if (!ValidSpec(spec, why)) return nullptr;
  TurnWriter* writer = new TurnWriter;
  writer->spec = spec;
  WebPAnimEncoderOptions options;
  WebPPictureInit(&writer->picture);
  if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&writer->config)) {
    why = "libwebp is not the version it was built with";
    FreeTurn(writer);
    return nullptr;
  }
  options.anim_params.loop_count = 0;  // for ever
  options.allow_mixed = 0;             // lossless only: every pixel the march's
  // Lossless, every colour kept as it is. Method 0 to 6 trades time for size;
  // the command's figures in the README say what each costs.
  writer->config.lossless = 1;
  writer->config.exact = 1;
  writer->config.quality = 75;
  writer->config.method = 4;
  writer->encoder = WebPAnimEncoderNew(spec.width, spec.height, &options);
  writer->picture.use_argb = 1;
  writer->picture.width = spec.width;
  writer->picture.height = spec.height;
  if (writer->encoder == nullptr || !WebPValidateConfig(&writer->config) ||
      !WebPPictureAlloc(&writer->picture)) {
    why = "out of memory for the turn's encoder";
    FreeTurn(writer);
    return nullptr;
  }
  writer->digests.reserve(spec.frames);
  return writer;
}

bool AddTurnFrame(TurnWriter* writer, const PackedColour* colours, const std::string& digest,
                  std::string& why) {
  const TurnSpec& spec = writer->spec;
  const int frame = (int)writer->digests.size();
  if (frame == spec.frames) {
    why = "the turn already has its " + std::to_string(spec.frames) + " frames";
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
  for (int x = 0; x < spec.width; ++x) {
    const PackedColour* column = colours + (size_t)x * spec.height;
    for (int y = 0; y < spec.height; ++y) {
      const uint32_t c = column[y];
      picture.argb[(size_t)y * picture.argb_stride + x] =
          0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
    }
  }
  if (!WebPAnimEncoderAdd(writer->encoder, &picture, TurnTimestamp(spec, frame),
                          &writer->config)) {
    why = "the encoder refused frame " + std::to_string(frame + 1) + ": " +
          WebPAnimEncoderGetError(writer->encoder);
    return false;
  }
  writer->digests.push_back(digest);
  return true;
}

bool FinishTurn(TurnWriter* writer, std::vector<uint8_t>& file, std::string& why) {
  const TurnSpec& spec = writer->spec;
  if ((int)writer->digests.size() != spec.frames) {
    why = "the turn has " + std::to_string(writer->digests.size()) + " of its " +
          std::to_string(spec.frames) + " frames";
    return false;
  }
  WebPData animation;
  WebPDataInit(&animation);
  // The last frame lasts until the end timestamp.
  if (!WebPAnimEncoderAdd(writer->encoder, nullptr, TurnTimestamp(spec, spec.frames), nullptr) ||
      !WebPAnimEncoderAssemble(writer->encoder, &animation)) {
    why = std::string("the encoder could not finish the turn: ") +
          WebPAnimEncoderGetError(writer->encoder);
    WebPDataClear(&animation);
    return false;
  }
  // The encoder is done; give its memory back before the file is copied.
  WebPAnimEncoderDelete(writer->encoder);
  writer->encoder = nullptr;
  WebPPictureFree(&writer->picture);

  TurnMetadata metadata{spec.start, spec.frames, spec.width, spec.height, writer->digests};
  const std::string xmp = TurnMetadataText(metadata);
  WebPData xmpData = {(const uint8_t*)xmp.data(), xmp.size()};
  WebPMux* mux = WebPMuxCreate(&animation, 0);
  WebPData assembled;
  WebPDataInit(&assembled);
  int frames = 0;
  bool ok = mux != nullptr && WebPMuxSetChunk(mux, "XMP ", &xmpData, 0) == WEBP_MUX_OK &&
            WebPMuxNumChunks(mux, WEBP_CHUNK_ANMF, &frames) == WEBP_MUX_OK &&
            frames == spec.frames && WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK;
  if (ok) {
    file.assign(assembled.bytes, assembled.bytes + assembled.size);
  } else {
    why = mux == nullptr || frames == spec.frames
              ? "out of memory for the turn's file"
              : "the encoder made " + std::to_string(frames) + " frames of " +
                    std::to_string(spec.frames);
  }
  WebPMuxDelete(mux);
  WebPDataClear(&assembled);
  WebPDataClear(&animation);
  return ok;
}

void FreeTurn(TurnWriter* writer) {
  if (writer == nullptr) return;
  if (writer->encoder != nullptr) WebPAnimEncoderDelete(writer->encoder);
  WebPPictureFree(&writer->picture);
  delete writer;
}
