// orbelune-render: computes the image headless and writes it to a PNG file.
// It draws through DrawBall into a memory device context, exactly as the
// window program draws into its window.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "march/Kernels.h"
#include "platform/Win32.h"
#include "render/DrawBall.h"
#include "tools/FrameDigest.h"
#include "tools/MemoryContext.h"
#include "tools/PngFile.h"
#include "tools/Progress.h"

static const char kUsage[] =
    "usage: orbelune-render [-o FILE] [--digest] [--threads N] [--kernels NAME] [--reference]\n"
    "\n"
    "Computes Orbelune's image, 1025 x 769 pixels of 2001 samples each, and\n"
    "writes it to a PNG file.\n"
    "\n"
    "  -o, --output FILE  write the PNG to FILE (default: orbelune.png)\n"
    "      --digest       print the image's SHA-256 fingerprint (the frame's\n"
    "                     colours as little-endian 32-bit COLORREFs, column by\n"
    "                     column); writes no PNG unless -o is given too\n"
    "      --threads N    compute with N threads (default: one per core)\n"
    "      --kernels NAME compute the fast march's runs with the named kernel set,\n"
    "                     scalar or avx2 (default: the fastest this processor runs;\n"
    "                     every set gives the same image)\n"
    "      --reference    march every sample of every pixel on one thread, the\n"
    "                     slow way the image is defined (same image, minutes)\n"
    "  -h, --help         show this help\n";

struct Options {
  std::string output = "orbelune.png";
  bool outputGiven = false;
  bool digest = false;
  bool help = false;
  int threads = 0;
  std::string kernels;
  bool reference = false;
};

// The kernel sets this build and processor run, by name: "scalar, avx2".
static std::string RunnableKernelNames() {
  const KernelSets sets = RunnableKernels();
  std::string names;
  for (int i = 0; i < sets.count; ++i) {
    if (i > 0) names += ", ";
    names += sets.set[i]->name;
  }
  return names;
}

// Returns false, with a message on stderr, for a command line it cannot use.
static bool ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--digest") {
      options.digest = true;
    } else if (arg == "--reference") {
      options.reference = true;
    } else if (arg == "--threads") {
      char* end = nullptr;
      const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
      if (i + 1 >= argc || *end != '\0' || n < 1 || n > 256) {
        std::fprintf(stderr, "orbelune-render: --threads needs a number from 1 to 256\n");
        return false;
      }
      options.threads = (int)n;
      ++i;
    } else if (arg == "--kernels") {
      if (i + 1 >= argc || KernelsNamed(argv[i + 1]) == nullptr) {
        std::fprintf(stderr,
                     "orbelune-render: --kernels needs a kernel set this processor runs: %s\n",
                     RunnableKernelNames().c_str());
        return false;
      }
      options.kernels = argv[++i];
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::fprintf(stderr, "orbelune-render: %s needs a file name\n", arg.c_str());
        return false;
      }
      options.output = argv[++i];
      options.outputGiven = true;
    } else if (arg.rfind("--output=", 0) == 0 && arg.size() > 9) {
      options.output = arg.substr(9);
      options.outputGiven = true;
    } else {
      std::fprintf(stderr, "orbelune-render: unknown argument '%s'\n", arg.c_str());
      return false;
    }
  }
  return true;
}

int main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(argc, argv, options)) {
    std::fprintf(stderr, "Try 'orbelune-render --help'.\n");
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const bool writePng = options.outputGiven || !options.digest;
  // Find out now, not after the long render, when the file cannot be written.
  std::string error;
  if (writePng && !CheckWritable(options.output, error)) {
    std::fprintf(stderr, "orbelune-render: cannot write %s: %s\n", options.output.c_str(),
                 error.c_str());
    return 1;
  }

  MemoryContext context;
  if (!CreateMemoryContext(kImageWidth, -kImageHeight, context)) {  // top-down, as the PNG is
    std::fprintf(stderr, "orbelune-render: out of memory\n");
    return 1;
  }

  nRenderThreads = options.threads;
  bReferenceMarch = options.reference;
  if (!options.kernels.empty()) szRenderKernels = options.kernels.c_str();
  StartProgress(isatty(STDERR_FILENO) != 0);
  DrawBall(context.hdc);
  const double seconds = FinishProgress();
  std::fprintf(stderr, "rendered %d x %d pixels in %.1f s\n", kImageWidth, kImageHeight, seconds);

  int status = 0;
  if (options.digest)
    std::printf("%s\n", StoreDigest(&mmo[0][0], (size_t)kImageWidth * kImageHeight).c_str());
  if (writePng) {
    if (WritePngFile(options.output, context.bits, kImageWidth, kImageHeight, error)) {
      // Say where it went in full: the main-job script runs from elsewhere.
      char* full = realpath(options.output.c_str(), nullptr);
      std::fprintf(stderr, "wrote %s\n", full != nullptr ? full : options.output.c_str());
      std::free(full);
    } else {
      std::fprintf(stderr, "orbelune-render: cannot write %s: %s\n", options.output.c_str(),
                   error.c_str());
      status = 1;
    }
  }
  DeleteMemoryContext(context);
  return status;
}
