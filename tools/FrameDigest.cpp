#include "tools/FrameDigest.h"

#include <openssl/evp.h>

#include <vector>

std::string ColoursDigest(const uint32_t* colours, size_t count) {
  std::vector<unsigned char> bytes(count * 4);
  for (size_t i = 0; i < count; ++i) {
    bytes[i * 4 + 0] = (unsigned char)(colours[i]);
    bytes[i * 4 + 1] = (unsigned char)(colours[i] >> 8);
    bytes[i * 4 + 2] = (unsigned char)(colours[i] >> 16);
    bytes[i * 4 + 3] = (unsigned char)(colours[i] >> 24);
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), hash, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[hash[i] >> 4];
    hex += kHex[hash[i] & 15];
  }
  return hex;
}

std::string StoreDigest(const float* store, size_t count) {
  std::vector<uint32_t> colours(count);
  for (size_t i = 0; i < count; ++i) colours[i] = (uint32_t)(long long)store[i];
  return ColoursDigest(colours.data(), count);
}
