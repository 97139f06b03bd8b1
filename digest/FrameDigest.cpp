#include "digest/FrameDigest.h"

#include <openssl/evp.h>

#include <memory>

// The colours are hashed a block at a time through a small buffer: a copy
// of the whole frame would be megabytes of fresh pages, and a new process
// pays for each on first touch.
namespace {

constexpr size_t kBlock = 1024;  // colours per update

using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

template <typename ColourOf>
std::string Digest(size_t count, ColourOf colourOf) {
  Context context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return "";
  unsigned char bytes[kBlock * 4];
  for (size_t done = 0; done < count;) {
    const size_t n = count - done < kBlock ? count - done : kBlock;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t c = colourOf(done + i);
      bytes[i * 4 + 0] = (unsigned char)(c);
      bytes[i * 4 + 1] = (unsigned char)(c >> 8);
      bytes[i * 4 + 2] = (unsigned char)(c >> 16);
      bytes[i * 4 + 3] = (unsigned char)(c >> 24);
    }
    if (EVP_DigestUpdate(context.get(), bytes, n * 4) != 1) return "";
    done += n;
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), hash, &length) != 1) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[hash[i] >> 4];
    hex += kHex[hash[i] & 15];
  }
  return hex;
}

}  // namespace

std::string ColoursDigest(const uint32_t* colours, size_t count) {
  return Digest(count, [colours](size_t i) { return colours[i]; });
}

std::string StoreDigest(const float* store, size_t count) {
  return Digest(count, [store](size_t i) { return (uint32_t)(long long)store[i]; });
}

std::string RowsDigest(const uint32_t* rows, int width, int height) {
  return Digest((size_t)width * height, [rows, width, height](size_t i) {
    return ColourOfPixel(rows[(i % height) * width + i / height]);
  });
}
