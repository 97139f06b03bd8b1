// The image's fingerprint, however its colours are held: a surface's rows
// give the digest of the same colours in frame-store order.
#include <gtest/gtest.h>

#include <vector>

#include "digest/FrameDigest.h"

namespace {

TEST(Digest, ASurfacesRowsAreTakenColumnByColumnAsColorrefs) {
  // Three columns of two rows, 0x??RRGGBB from the top; the top byte is
  // no colour and must not count.
  const uint32_t rows[] = {0xFF102030, 0x00405060, 0x12708090,
                           0x00A0B0C0, 0xFFD0E0F0, 0x00010203};
  const std::vector<uint32_t> colorrefs = {0x302010, 0xC0B0A0, 0x605040,
                                           0xF0E0D0, 0x908070, 0x030201};
  EXPECT_EQ(RowsDigest(rows, 3, 2), ColoursDigest(colorrefs.data(), colorrefs.size()));
  const std::vector<float> store(colorrefs.begin(), colorrefs.end());
  EXPECT_EQ(StoreDigest(store.data(), store.size()), ColoursDigest(colorrefs.data(), 6));
}

}  // namespace
