// Frame-sized memory on large pages: zeroed, aligned to a large page, every
// byte of it usable, whatever the size asked for.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/LargePages.h"

TEST(LargePages, AreZeroedAlignedAndWholeForAnySize) {
  for (size_t bytes : {(size_t)1, (size_t)4096, (size_t)3152100, (size_t)(2 << 20),
                       (size_t)(2 << 20) + 1}) {
    auto* memory = static_cast<unsigned char*>(AllocateLargePages(bytes));
    ASSERT_NE(memory, nullptr) << bytes;
#if defined(__linux__)
    EXPECT_EQ((uintptr_t)memory % (2 << 20), 0u) << bytes;
#endif
    size_t nonzero = 0;
    for (size_t i = 0; i < bytes; ++i) nonzero += memory[i] != 0;
    EXPECT_EQ(nonzero, 0u) << bytes;
    std::memset(memory, 0xAB, bytes);  // the sanitizers and the system hold the ends
    FreeLargePages(memory, bytes);
  }
}

TEST(LargePages, PreferringThemChangesNoByte) {
  static unsigned char data[3 << 20];
  for (size_t i = 0; i < sizeof data; ++i) data[i] = (unsigned char)(i * 7);
  PreferLargePages(data + 1, sizeof data - 2);
  size_t changed = 0;
  for (size_t i = 0; i < sizeof data; ++i) changed += data[i] != (unsigned char)(i * 7);
  EXPECT_EQ(changed, 0u);
}
