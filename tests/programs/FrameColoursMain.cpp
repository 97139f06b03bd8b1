// frame-colours: computes the frame with the fast march, a chosen kernel
// set and a view (the image's unless given), and writes its 788,225
// colours raw, each a little-endian 32-bit COLORREF in frame-store order:
// the bytes whose SHA-256 is the image's
// digest. It needs nothing but the renderer, so it runs on any target the
// renderer builds for (orbelune.exe's, under Wine, among them).
//
//   frame-colours KERNELS FILE [A,B,C]   (KERNELS: scalar, avx2, avx512, or best;
//                                         A,B,C: the view, as --view reads it)
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "march/Frame.h"
#include "text/ViewText.h"

static std::vector<unsigned char> bytes((size_t)kColumnCount* kColumnHeight * 4);

static void StoreColumn(void*, int x, const PackedColour* column) {
  unsigned char* out = &bytes[(size_t)x * kColumnHeight * 4];
  for (int y = 0; y < kColumnHeight; ++y, out += 4) {
    out[0] = (unsigned char)column[y], out[1] = (unsigned char)(column[y] >> 8);
    out[2] = (unsigned char)(column[y] >> 16), out[3] = (unsigned char)(column[y] >> 24);
  }
}

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr,
                 "usage: frame-colours KERNELS FILE [A,B,C] (KERNELS: scalar, avx2, avx512, or "
                 "best)\n");
    return 2;
  }
  View view = kImageView;
  std::string why;
  if (argc == 4 && !ParseView(argv[3], view, why)) {
    std::fprintf(stderr, "frame-colours: no view '%s': %s\n", argv[3], why.c_str());
    return 2;
  }
  const auto frame = std::make_unique<Frame>();
  if (!BuildFrame(*frame, view, std::strcmp(argv[1], "best") == 0 ? nullptr : argv[1])) {
    std::fprintf(stderr, "frame-colours: this build or processor has no kernel set '%s'\n",
                 argv[1]);
    return 2;
  }
  MarchFrame(*frame, {}, StoreColumn, nullptr);

  // Plain stdio, as on every target it builds for; the first failing
  // step's errno says why.
  FILE* file = std::fopen(argv[2], "wb");
  int error = file == nullptr ? errno : 0;
  if (file != nullptr) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) error = errno ? errno : EIO;
    if (std::fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
  }
  if (error != 0) {
    std::fprintf(stderr, "frame-colours: cannot write %s: %s\n", argv[2], std::strerror(error));
    return 1;
  }
  std::fprintf(stderr, "frame-colours: %s kernels, view %s\n", frame->kernels->name,
               ViewText(view).c_str());
  return 0;
}
