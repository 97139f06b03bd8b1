// A turn's file written and read back: every colour exact in each frame
// size, the metadata as written, and what the writer and the metadata's
// reader refuse.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "digest/FrameDigest.h"
#include "turn/TurnEncoding.h"
#include "turn/TurnMetadata.h"
#include "turn/TurnReader.h"
#include "turn/TurnViews.h"
#include "turn/TurnWriter.h"

namespace {

using Writer = std::unique_ptr<TurnWriter, decltype(&FreeTurn)>;

// Frame k's colours: every channel value in every byte, neighbours apart,
// so that a swapped channel, a row for a column or a frame for another
// shows.
std::vector<PackedColour> Pattern(int width, int height, int k) {
  std::vector<PackedColour> colours((size_t)width * height);
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y)
      colours[(size_t)x * height + y] =
          (uint32_t)(x * 0x010307u + y * 0x070103u + (uint32_t)k * 0x2A0000u) & 0xFFFFFFu;
  return colours;
}

std::vector<uint8_t> WriteTurn(const TurnShape& shape, std::vector<std::string>& digests) {
  std::string why;
  Writer writer(BeginTurn(shape, why), FreeTurn);
  EXPECT_TRUE(writer) << why;
  if (!writer) return {};
  for (int k = 0; k < shape.frames; ++k) {
    const std::vector<PackedColour> colours = Pattern(shape.width, shape.height, k);
    digests.push_back(ColoursDigest(colours.data(), colours.size()));
    EXPECT_TRUE(AddTurnFrame(writer.get(), colours.data(), digests.back(), why)) << why;
  }
  std::vector<uint8_t> file;
  EXPECT_TRUE(FinishTurn(writer.get(), file, why)) << why;
  return file;
}

TEST(Turn, EveryColourComesBackExactlyWithItsMetadata) {
  for (const int step : {1, 2, 4}) {
    const int width = (kColumnCount - 1) / step + 1, height = (kColumnHeight - 1) / step + 1;
    TurnShape shape;
    shape.start = {-0.0f, 1e-7f, 3.14159274f};  // angles --view text must keep exactly
    shape.frames = 3;
    shape.width = width, shape.height = height;
    std::vector<std::string> digests;
    std::vector<uint8_t> bytes = WriteTurn(shape, digests);
    FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    ASSERT_NE(file, nullptr);
    std::string why;
    TurnReader* reader = OpenTurn(file, why);
    ASSERT_NE(reader, nullptr) << why;
    const TurnMetadata& turn = TurnInfo(reader);
    EXPECT_EQ(std::memcmp(&turn.start, &shape.start, sizeof(View)), 0);
    EXPECT_EQ(turn.frames, 3);
    EXPECT_EQ(turn.width, width);
    EXPECT_EQ(turn.height, height);
    EXPECT_EQ(turn.digests, digests);
    std::vector<PackedColour> colours;
    long seeThrough = -1;
    for (int k = 0; k < 3; ++k) {
      ASSERT_TRUE(NextTurnFrame(reader, colours, seeThrough, why)) << why;
      EXPECT_TRUE(colours == Pattern(width, height, k)) << "frame " << k + 1 << ", width " << width;
      EXPECT_EQ(seeThrough, 0);
    }
    EXPECT_FALSE(NextTurnFrame(reader, colours, seeThrough, why));
    CloseTurn(reader);
    std::fclose(file);
  }
}

// The frame rate is the container's: each frame lasts 1000 / fps ms, the
// fractions carried so that the whole turn keeps time.
TEST(Turn, FramesLastWholeMillisecondsThatKeepTheRate) {
  TurnShape shape;
  shape.frames = 3;
  shape.fps = 30;
  shape.width = (kColumnCount + 1) / 2, shape.height = (kColumnHeight + 1) / 2;
  std::vector<std::string> digests;
  std::vector<uint8_t> bytes = WriteTurn(shape, digests);
  // Each ANMF chunk: 'ANMF', size, x, y (3 bytes each), width - 1, height - 1,
  // then the duration, 3 bytes little-endian.
  std::vector<int> durations;
  for (size_t at = 12; at + 24 <= bytes.size();) {
    const uint32_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 |
                          (uint32_t)bytes[at + 7] << 24;
    if (std::memcmp(&bytes[at], "ANMF", 4) == 0)
      durations.push_back(bytes[at + 20] | bytes[at + 21] << 8 | bytes[at + 22] << 16);
    at += 8 + size + (size & 1);
  }
  EXPECT_EQ(durations, (std::vector<int>{33, 34, 33}));
}

TEST(Turn, TheWriterRefusesWhatNoTurnIs) {
  std::string why;
  for (const TurnShape shape : {TurnShape{kImageView, 1}, TurnShape{kImageView, 3601},
                              TurnShape{kImageView, 4, 0.05}, TurnShape{kImageView, 4, 1001},
                              TurnShape{kImageView, 4, 25, 1024, 769},
                              TurnShape{{-0.5f, 1e30f, 0.0f}, 2},
                              TurnShape{{0.0f, std::numeric_limits<float>::infinity(), 0.0f}, 4}}) {
    why.clear();
    EXPECT_EQ(BeginTurn(shape, why), nullptr) << shape.frames << " frames, " << shape.fps << " fps";
    EXPECT_FALSE(why.empty());
  }
  // Two equal frames in a row would be folded into one by the encoder, and
  // the file would hold fewer frames than its metadata lists.
  TurnShape shape;
  shape.frames = 3;
  shape.width = (kColumnCount + 1) / 2, shape.height = (kColumnHeight + 1) / 2;
  Writer writer(BeginTurn(shape, why), FreeTurn);
  const std::vector<PackedColour> colours = Pattern(shape.width, shape.height, 0);
  const std::string digest = ColoursDigest(colours.data(), colours.size());
  ASSERT_TRUE(AddTurnFrame(writer.get(), colours.data(), digest, why)) << why;
  EXPECT_FALSE(AddTurnFrame(writer.get(), colours.data(), digest, why));
  EXPECT_NE(why.find("frames 1 and 2 are the same image"), std::string::npos) << why;
  EXPECT_FALSE(AddTurnFrame(writer.get(), colours.data(), "not hex", why));
  std::vector<uint8_t> file;
  EXPECT_FALSE(FinishTurn(writer.get(), file, why));
  EXPECT_NE(why.find("1 of its 3 frames"), std::string::npos) << why;
}

TEST(Turn, TheMetadataReaderTakesOnlyAWholeTurnsPacket) {
  TurnMetadata metadata{{0.3f, -1.1f, 0.7f}, 2, 513, 385, {std::string(64, 'a'), std::string(64, '0')}};
  const std::string text = TurnMetadataText(metadata);
  TurnMetadata read;
  std::string why;
  ASSERT_TRUE(ParseTurnMetadata(text, read, why)) << why;
  EXPECT_EQ(read.digests, metadata.digests);
  const auto without = [&](const std::string& part, const std::string& instead) {
    std::string changed = text;
    const size_t at = changed.find(part);
    EXPECT_NE(at, std::string::npos) << part;
    return changed.replace(at, part.size(), instead);
  };
  const struct {
    std::string text, why;
  } cases[] = {
      {without("frames=\"2\"", "frames=\"3\""), "lists 2 digests for 3 frames"},
      {without("frames=\"2\"", "frames=\"02\""), "no frame count"},
      {without("frames=\"2\"", "frames=\"1\""), "no frame count"},
      {without("width=\"513\"", "width=\"514\""), "no frame size"},
      {without("view=\"0.3,-1.1,0.7\"", "view=\"0.3,-1.1\""), "no start view"},
      {without(std::string(64, 'a'), std::string(64, 'A')), "digest of frame 1 is no digest"},
      {without("</rdf:li>", ""), "digest of frame 1 is no digest"},
      {without("urn:orbelune:turn:1", "urn:other"), "not a turn's"},
      {"", "not a turn's"},
      // Anything else the writer would not have written: a comment naming
      // a view ahead of the packet's, a NUL, a view text of a megabyte.
      {"<!-- orbelune:view=\"1,2,3\" -->" + text, "holds more than a turn's"},
      {without("<rdf:Seq>", std::string("<rdf:Seq>\0", 10)), "holds more than a turn's"},
      {without("view=\"0.3,", "view=\"0.3" + std::string(1 << 20, '0') + ","), "no start view"},
      // Frames the writer would not make: two of them one view.
      {without("view=\"0.3,-1.1,0.7\"", "view=\"0.3,1e30,0.7\""), "frames 1 and 2 would be one view"},
  };
  for (const auto& c : cases) {
    why.clear();
    EXPECT_FALSE(ParseTurnMetadata(c.text, read, why)) << c.why;
    EXPECT_NE(why.find(c.why), std::string::npos) << why << " / " << c.why;
  }
}

// A turn's file with its chunks rewritten: each top-level chunk after the
// VP8X handed to edit, which appends what should stand in its place.
template <typename Edit>
std::vector<uint8_t> Rechunked(const std::vector<uint8_t>& file, Edit edit) {
  std::vector<uint8_t> out(file.begin(), file.begin() + 30);
  for (size_t at = 30; at + 8 <= file.size();) {
    const uint32_t size = file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 |
                          (uint32_t)file[at + 7] << 24;
    const size_t whole = 8 + size + (size & 1);
    edit(std::vector<uint8_t>(&file[at], &file[at] + whole), out);
    at += whole;
  }
  const uint32_t riff = (uint32_t)out.size() - 8;
  for (int i = 0; i < 4; ++i) out[4 + i] = (uint8_t)(riff >> (8 * i));
  return out;
}

void AppendChunk(std::vector<uint8_t>& out, const char* name, const std::string& body) {
  out.insert(out.end(), name, name + 4);
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(body.size() >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) out.push_back(0);
}

// Whether the reader opens the file; why it does not in why.
bool Opens(std::vector<uint8_t>& bytes, std::string& why) {
  FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
  TurnReader* reader = file != nullptr ? OpenTurn(file, why) : nullptr;
  CloseTurn(reader);
  if (file != nullptr) std::fclose(file);
  return reader != nullptr;
}

// A chunk no turn has is passed over, however large; metadata longer than
// the longest a turn has is refused unread; a frame short of the canvas is
// refused before any frame is decoded.
TEST(Turn, TheReaderHoldsAFileToATurnsChunks) {
  TurnMetadata longest{{-1.17549435e-38f, -1.17549435e-38f, -1.17549435e-38f}, kMaxTurnFrames,
                       kColumnCount, kColumnHeight,
                       std::vector<std::string>(kMaxTurnFrames, std::string(64, 'f'))};
  EXPECT_LE(TurnMetadataText(longest).size(), kMaxTurnMetadataBytes);

  TurnShape shape;
  shape.frames = 2;
  shape.width = (kColumnCount - 1) / 4 + 1, shape.height = (kColumnHeight - 1) / 4 + 1;
  std::vector<std::string> digests;
  const std::vector<uint8_t> turn = WriteTurn(shape, digests);
  std::string why;
  std::vector<uint8_t> unknown = Rechunked(turn, [](const auto& chunk, auto& out) {
    AppendChunk(out, "ZZZZ", std::string(3 << 20, 'z'));
    out.insert(out.end(), chunk.begin(), chunk.end());
  });
  EXPECT_TRUE(Opens(unknown, why)) << why;
  std::vector<uint8_t> padded = Rechunked(turn, [](const auto& chunk, auto& out) {
    if (std::memcmp(chunk.data(), "XMP ", 4) != 0)
      return out.insert(out.end(), chunk.begin(), chunk.end()), void();
    std::string text(chunk.begin() + 8, chunk.end());
    text.insert(text.find("<x:xmpmeta"), kMaxTurnMetadataBytes, ' ');
    AppendChunk(out, "XMP ", text);
  });
  EXPECT_FALSE(Opens(padded, why));
  EXPECT_NE(why.find("metadata is 40"), std::string::npos) << why;

  // What a viewer would show otherwise, or a reader take for the turn's,
  // and the writer never writes: a colour profile, EXIF (its orientation
  // turns the picture), a second packet naming another view, an end to
  // the looping.
  for (const char* added : {"ICCP", "EXIF", "XMP "}) {
    std::vector<uint8_t> more = Rechunked(turn, [&](const auto& chunk, auto& out) {
      if (std::memcmp(chunk.data(), added, 4) == 0) out.insert(out.end(), chunk.begin(), chunk.end());
      out.insert(out.end(), chunk.begin(), chunk.end());
      if (std::memcmp(chunk.data(), "ANIM", 4) == 0 && added[0] != 'X') AppendChunk(out, added, "x");
    });
    EXPECT_FALSE(Opens(more, why)) << added;
    EXPECT_NE(why.find(added), std::string::npos) << why;
  }
  // A frame chunk with no image, or more after its image: empty chunks the
  // demuxer would record by the million.
  for (bool withImage : {false, true}) {
    std::vector<uint8_t> hollow = Rechunked(turn, [&](const auto& chunk, auto& out) {
      const bool frame = std::memcmp(chunk.data(), "ANMF", 4) == 0;
      if (!frame || !withImage) out.insert(out.end(), chunk.begin(), chunk.end());
      if (!frame) return;
      const auto kept = withImage ? chunk.end() : chunk.begin() + 24;  // or the frame's header
      AppendChunk(out, "ANMF", std::string(chunk.begin() + 8, kept) + std::string(4000, '\0'));
    });
    EXPECT_FALSE(Opens(hollow, why)) << withImage;
    EXPECT_NE(why.find("holds other than one lossless image"), std::string::npos) << why;
  }
  std::vector<uint8_t> thrice = Rechunked(turn, [](const auto& chunk, auto& out) {
    out.insert(out.end(), chunk.begin(), chunk.end());
    if (std::memcmp(chunk.data(), "ANIM", 4) == 0) out[out.size() - 2] = 3;  // loop count, low byte
  });
  EXPECT_FALSE(Opens(thrice, why));
  EXPECT_NE(why.find("plays 3 times"), std::string::npos) << why;

  // libwebp's encoder, with frames that are not all key frames, writes a
  // frame that changes by a pixel as that pixel's patch.
  TurnEncoding encoding;
  encoding.kmin = 3, encoding.kmax = 5;
  Writer writer(BeginTurnEncoded(shape, encoding, why), FreeTurn);
  std::vector<PackedColour> colours = Pattern(shape.width, shape.height, 0);
  std::vector<std::string> listed;
  for (int k = 0; k < 2; ++k) {
    colours[100] ^= (uint32_t)k;
    listed.push_back(ColoursDigest(colours.data(), colours.size()));
    ASSERT_TRUE(AddTurnFrame(writer.get(), colours.data(), listed.back(), why)) << why;
  }
  std::vector<uint8_t> patched;
  ASSERT_TRUE(FinishTurn(writer.get(), patched, why)) << why;
  EXPECT_FALSE(Opens(patched, why));
  EXPECT_NE(why.find("frame 2 is"), std::string::npos) << why;
  EXPECT_NE(why.find("not the whole canvas"), std::string::npos) << why;
}

}  // namespace
