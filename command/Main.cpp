// orbelune-render: computes the image headless and writes it to a PNG file.
// It draws through RenderImage into a memory device context, exactly as the
// window program draws into its window.
#include <getopt.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "march/Kernels.h"
#include "march/Frame.h"
#include "platform/StackLimit.h"
#include "platform/Win32.h"
#include "render/DrawBall.h"
#include "tools/CountMaps.h"
#include "tools/DescriptorPath.h"
#include "tools/FrameDigest.h"
#include "tools/GoldenDigest.h"
#include "tools/InputFile.h"
#include "tools/MapLegend.h"
#include "tools/MemoryContext.h"
#include "tools/OutputReport.h"
#include "tools/PngCodec.h"
#include "tools/Progress.h"
#include "tools/SafeOutput.h"
#include "tools/TurnCommand.h"
#include "text/ShownText.h"
#include "text/ViewText.h"
#include "turn/TurnViews.h"
#include "turn/TurnWriter.h"

static const char kName[] = "orbelune-render";
// The digest could not be printed, and that was said.
static bool digestLost = false;
static const char kVersion[] = "orbelune-render " ORBELUNE_VERSION;

static const char kUsage[] =
    "usage: orbelune-render [-o FILE] [--digest] [--view A,B,C] [--threads N] [--kernels NAME]\n"
    "                       [--reference]\n"
    "       orbelune-render --turn N [--fps F] [--half | --quarter] [-o FILE] [--digest]\n"
    "                       [--view A,B,C]\n"
    "       orbelune-render --check FILE\n"
    "       orbelune-render --map KIND [--view A,B,C] [-o FILE]\n"
    "\n"
    "Computes Orbelune's image, 1025 x 769 pixels of 2001 samples each, and\n"
    "writes it to a PNG file.\n"
    "\n"
    "  -o, --output FILE   write the PNG to FILE (default: orbelune.png); - for\n"
    "                      standard output\n"
    "      --digest        print the image's SHA-256 fingerprint (the frame's\n"
    "                      colours as little-endian 32-bit COLORREFs, column by\n"
    "                      column); writes no PNG unless -o is given too\n"
    "      --view A,B,C    see the scene through another view: the rotation's angles\n"
    "                      about x, y and z, in radians, each read as the nearest\n"
    "                      float (default: the image's, -0.5,-0.5,0)\n"
    "      --threads N     compute with N threads, 1 to 256 (default: one per core)\n"
    "      --kernels NAME  compute the fast march's runs with the named kernel set,\n"
    "                      scalar, avx2 or avx512 (default: the fastest this\n"
    "                      processor runs; every set gives the same image)\n"
    "      --reference     march every sample of every pixel on one thread, the\n"
    "                      slow way the image is defined (same image, minutes)\n"
    "      --turn N        instead of the image, N frames (2 to 3600) of a full turn\n"
    "                      about y from the view, in N equal steps, as a lossless\n"
    "                      animated WebP (default: orbelune-turn.webp); with\n"
    "                      --digest, each frame's fingerprint, one a line\n"
    "      --fps F         the turn's frames a second, 0.1 to 1000 (default: 25)\n"
    "      --half          the turn's frames at half size, 513 x 385: the image's\n"
    "                      pixels of even column and even row\n"
    "      --quarter       the turn's frames at quarter size, 257 x 193: every\n"
    "                      fourth column and row of the image's pixels\n"
    "      --check FILE    say whether the PNG FILE holds Orbelune's image, and\n"
    "                      where it differs (exit 0 if it does, 1 if not); of a\n"
    "                      turn's WebP, whether every frame is its view's and its\n"
    "                      digest's, and which are not; - for standard input\n"
    "      --map KIND      instead of the image, a map of where the fast march's work\n"
    "                      goes, per pixel: shaded (samples shaded), looked (samples\n"
    "                      looked at one by one), crossings or runs, with a colour\n"
    "                      bar and its numbers in a strip below; written to\n"
    "                      orbelune-KIND.png unless -o says otherwise\n"
    "  -h, --help          show this help\n"
    "      --version       show the version\n";

struct Options {
  std::string output = "orbelune.png";
  bool outputGiven = false;
  bool digest = false;
  // The render pass's options, handed on by call to the march.
  RenderOptions render;
  bool viewGiven = false;
  std::string check;
  std::string map;
  MapKind mapKind = MapKind::kShaded;
  int turn = 0;  // frames of a turn; 0 for none
  double fps = 25;
  bool fpsGiven = false;
  int step = 1;  // a turn's frames: every step-th column and row
};

// The kernel sets this build and processor run, by name: "scalar, avx2,
// avx512".
static std::string RunnableKernelNames() {
  const KernelSets sets = RunnableKernels();
  std::string names;
  for (int i = 0; i < sets.count; ++i) {
    if (i > 0) names += ", ";
    names += sets.set[i]->name;
  }
  return names;
}

// A whole number from 1 to 256, written as digits alone.
static bool ParseThreads(const char* text, int& threads) {
  if (!std::isdigit((unsigned char)text[0]) || std::strlen(text) > 3) return false;
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (*end != '\0' || n < 1 || n > 256) return false;
  threads = (int)n;
  return true;
}

// A turn's frame count: digits alone, 2 to 3600.
static bool ParseTurnFrames(const char* text, int& frames) {
  if (!std::isdigit((unsigned char)text[0]) || std::strlen(text) > 4) return false;
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (*end != '\0' || n < kMinTurnFrames || n > kMaxTurnFrames) return false;
  frames = (int)n;
  return true;
}

// A frame rate: digits with at most one point among them, 0.1 to 1000,
// however many digits say it.
static bool ParseFps(const char* text, double& fps) {
  const size_t length = std::strlen(text);
  if (length == 0 || std::strspn(text, "0123456789.") != length ||
      std::strchr(text, '.') != std::strrchr(text, '.') || std::strcmp(text, ".") == 0)
    return false;
  const double f = std::strtod(text, nullptr);
  if (!(f >= kMinTurnFps && f <= kMaxTurnFps)) return false;
  fps = f;
  return true;
}

// A value as messages quote it: an empty one shows as ''.
static std::string Quoted(const char* value) { return "'" + Excerpt(value) + "'"; }

static int Refuse(const char* message, const char* what = "") {
  std::fprintf(stderr, "%s: %s%s\nTry 'orbelune-render --help'.\n", kName, message, what);
  return 2;
}

// The long options, and the codes of those without a short form.
enum {
  kOptDigest = 256,
  kOptThreads,
  kOptKernels,
  kOptReference,
  kOptCheck,
  kOptMap,
  kOptView,
  kOptTurn,
  kOptFps,
  kOptHalf,
  kOptQuarter,
  kOptVersion
};
static const option kOptions[] = {{"output", required_argument, nullptr, 'o'},
                                  {"digest", no_argument, nullptr, kOptDigest},
                                  {"threads", required_argument, nullptr, kOptThreads},
                                  {"kernels", required_argument, nullptr, kOptKernels},
                                  {"reference", no_argument, nullptr, kOptReference},
                                  {"check", required_argument, nullptr, kOptCheck},
                                  {"map", required_argument, nullptr, kOptMap},
                                  {"view", required_argument, nullptr, kOptView},
                                  {"turn", required_argument, nullptr, kOptTurn},
                                  {"fps", required_argument, nullptr, kOptFps},
                                  {"half", no_argument, nullptr, kOptHalf},
                                  {"quarter", no_argument, nullptr, kOptQuarter},
                                  {"help", no_argument, nullptr, 'h'},
                                  {"version", no_argument, nullptr, kOptVersion},
                                  {nullptr, 0, nullptr, 0}};

// The long name of option code c.
static std::string OptionName(int c) {
  for (const option* o = kOptions; o->name != nullptr; ++o)
    if (o->val == c) return o->name;
  return "";
}

// Why an argument is not one of ours: an unknown one, or the beginning of
// several long options (getopt takes any unique beginning of one), which
// is not unknown but ambiguous: they are named.
static int RefuseArgument(const std::string& given) {
  std::string matches;
  for (const option* o = kOptions; given.rfind("--", 0) == 0 && o->name != nullptr; ++o) {
    const std::string name = given.substr(2, given.find('=') - 2);
    if (!name.empty() && std::string(o->name).rfind(name, 0) == 0)
      matches += (matches.empty() ? "--" : " or --") + std::string(o->name);
  }
  if (matches.find(" or ") != std::string::npos)
    return Refuse(("ambiguous argument " + Excerpt(given) + ": " + matches).c_str());
  return Refuse("unknown argument ", Excerpt(given).c_str());
}

// Takes option c with its value; returns -1 to go on, else the exit code.
// An option with a value has one: given twice, the first would be lost
// unsaid.
static int TakeOption(int c, const char* value, char** argv, Options& options) {
  static std::vector<int> valued;
  if (value != nullptr) {
    if (std::find(valued.begin(), valued.end(), c) != valued.end())
      return Refuse(("-" + std::string(c == 'o' ? "o" : "-" + OptionName(c)) +
                     " is given twice: it takes one value")
                        .c_str());
    valued.push_back(c);
  }
  switch (c) {
    case 'o':
      if (value[0] == '\0') return Refuse("--output needs a file name");
      options.output = value, options.outputGiven = true;
      break;
    case kOptDigest: options.digest = true; break;
    case kOptThreads:
      if (!ParseThreads(value, options.render.march.threads))
        return Refuse("--threads needs a number from 1 to 256, not ", Quoted(value).c_str());
      break;
    case kOptKernels:
      if (KernelsNamed(value) == nullptr) {
        const std::string runs = " (this processor runs: " + RunnableKernelNames() + ")";
        return Refuse(("no kernel set '" + Excerpt(value) + "'" + runs).c_str());
      }
      options.render.kernels = KernelsNamed(value)->name;  // static, as the set is
      break;
    case kOptReference: options.render.march.reference = true; break;
    case kOptCheck:
      if (value[0] == '\0') return Refuse("--check needs a file name");
      options.check = value;
      break;
    case kOptMap:
      if (!MapKindNamed(value, options.mapKind))
        return Refuse("--map takes shaded, looked, crossings or runs, not ",
                      Quoted(value).c_str());
      options.map = value;
      break;
    case kOptView: {
      std::string why;
      if (!ParseView(value, options.render.view, why))
        return Refuse(("--view needs three angles A,B,C in radians, not '" + Excerpt(value) +
                       "': " + why)
                          .c_str());
      options.viewGiven = true;
      break;
    }
    case kOptTurn:
      if (!ParseTurnFrames(value, options.turn))
        return Refuse("--turn needs a number of frames from 2 to 3600, not ",
                      Quoted(value).c_str());
      break;
    case kOptFps:
      if (!ParseFps(value, options.fps))
        return Refuse("--fps needs frames a second from 0.1 to 1000, not ", Quoted(value).c_str());
      options.fpsGiven = true;
      break;
    case kOptHalf:
    case kOptQuarter:
      if (options.step != 1) return Refuse("--half and --quarter: a turn has one frame size");
      options.step = c == kOptHalf ? 2 : 4;
      break;
    case 'h': std::fputs(kUsage, stdout); return 0;
    case kOptVersion: std::printf("%s\n", kVersion); return 0;
    case ':': return Refuse("this option needs a value: ", Excerpt(argv[optind - 1]).c_str());
    default: return RefuseArgument(argv[optind - 1]);
  }
  return -1;
}

// What the options say together, once all are read: the combinations
// refused, and the outputs that would damage a PNG or a terminal. Returns
// -1 to go on, else the exit code.
static int CheckCombination(Options& options) {
  // -o -, /dev/stdout, /dev/fd/N...: written in place, to that descriptor.
  const int descriptor = options.outputGiven ? OutputDescriptor(options.output) : -1;
  const bool toStdout = descriptor == STDOUT_FILENO;
  if (options.turn > 0 &&
      (!options.check.empty() || !options.map.empty() || options.render.march.reference))
    return Refuse("--turn goes with no --check, --map or --reference: it renders a turn");
  if (!options.check.empty() &&
      (options.outputGiven || options.digest || options.render.march.reference || options.viewGiven))
    return Refuse("--check takes no other option but --threads and --kernels: it checks the image");
  if (!options.map.empty() &&
      (options.digest || options.render.march.reference || !options.check.empty()))
    return Refuse("--map goes with no --digest, --reference or --check: a map is not the image");
  if (options.turn == 0 && (options.fpsGiven || options.step != 1))
    return Refuse("--fps, --half and --quarter are a turn's: they go with --turn");
  // A B so large that a step vanishes in its rounding gives two frames one
  // view, and a file could not tell them apart.
  if (const int k = RepeatedTurnView(options.render.view, options.turn); k >= 0)
    return Refuse(("a turn of " + std::to_string(options.turn) + " frames from --view " +
                   ViewText(options.render.view) + " gives frames " + std::to_string(k + 1) +
                   " and " + std::to_string(k + 2) + " one view: B is too large for its steps")
                      .c_str());
  if (!options.map.empty() && !options.outputGiven)
    options.output = "orbelune-" + options.map + ".png";
  if (options.turn > 0 && !options.outputGiven) options.output = "orbelune-turn.webp";
  const char* file = options.turn > 0 ? "turn" : "PNG";
  // Into the file the digest or the messages go to, the PNG would be
  // damaged: refused whatever names the file.
  const bool writesPng = options.check.empty() && (options.outputGiven || !options.digest);
  if (options.digest && writesPng && (toStdout || WritesInto(options.output, STDOUT_FILENO)))
    return Refuse(("--digest and -o " + ShownText(options.output) +
                   " would both write to standard output")
                      .c_str());
  if (writesPng && OutputIsTerminal(options.output))
    return Refuse(("will not write a " + std::string(file) +
                   " to a terminal: redirect standard output or name a file")
                      .c_str());
  if (writesPng && WritesInto(options.output, STDERR_FILENO))
    return Refuse(("-o " + ShownText(options.output) +
                   " and standard error are one file: the messages would damage the " + file +
                   " (send one of them elsewhere)")
                      .c_str());
  int input = -1;
  if (options.check == "-") input = STDIN_FILENO;
  if (!options.check.empty() && input < 0) DescriptorNamed(options.check, input);
  if (input >= 0 && isatty(input))
    return Refuse("will not read a PNG from a terminal: redirect standard input or name a file");
  return -1;
}

// Reads the command line; returns -1 to go on, else the exit code.
static int ParseArguments(int argc, char** argv, Options& options) {
  opterr = 0;  // our own messages
  for (int c; (c = getopt_long(argc, argv, ":o:h", kOptions, nullptr)) != -1;) {
    const int status = TakeOption(c, optarg, argv, options);
    if (status >= 0) return status;
  }
  if (optind < argc) return Refuse("unknown argument ", Excerpt(argv[optind]).c_str());
  return CheckCombination(options);
}

// The image's pixels, rendered into a memory context (top-down rows).
static bool Render(const RenderOptions& options, MemoryContext& context) {
  if (!CreateMemoryContext(kColumnCount, -kColumnHeight, context)) return false;
  StartProgress(isatty(STDERR_FILENO) != 0);
  RenderImage(context.hdc, options);
  const double seconds = FinishProgress();
  std::fprintf(stderr, "rendered %d x %d pixels in %.1f s\n", kColumnCount, kColumnHeight, seconds);
  return true;
}

// The colour of pixel (x, y) of top-down 0x00RRGGBB rows, as a COLORREF.
static uint32_t ColourAt(const uint32_t* rows, int x, int y) {
  const uint32_t p = rows[(size_t)y * kColumnCount + x];
  return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
}

// Whether every pixel is fully opaque, as the image is; says the first
// that is not where one is not.
static bool Opaque(const char* file, const uint32_t* pixels) {
  long seeThrough = 0;
  int firstX = 0, firstY = 0;
  for (int y = 0; y < kColumnHeight; ++y) {
    for (int x = 0; x < kColumnCount; ++x) {
      if (pixels[(size_t)y * kColumnCount + x] >> 24 == 0xFF) continue;
      if (seeThrough++ == 0) firstX = x, firstY = y;
    }
  }
  if (seeThrough == 0) return true;
  std::printf("%s is not Orbelune's image: %ld of %d pixels are not fully opaque (the first at "
              "(%d, %d)), and the image is opaque\n",
              file, seeThrough, kColumnCount * kColumnHeight, firstX, firstY);
  return false;
}

// Says where the pixels differ from the image itself, rendered now.
static void SayDifferences(const char* file, const uint32_t* pixels,
                           const RenderOptions& options) {
  MemoryContext context;
  if (!Render(options, context)) throw std::bad_alloc();
  long differing = 0;
  std::string where;
  for (int x = 0; x < kColumnCount; ++x) {
    for (int y = 0; y < kColumnHeight; ++y) {
      const uint32_t found = ColourAt(pixels, x, y), wanted = ColourAt(context.bits, x, y);
      if (found == wanted) continue;
      if (++differing <= 5) {
        char line[96];
        std::snprintf(line, sizeof line, "  (%d, %d): 0x%06X, the image has 0x%06X\n", x, y,
                      (unsigned)found, (unsigned)wanted);
        where += line;
      }
    }
  }
  DeleteMemoryContext(context);
  std::printf("%s is not Orbelune's image: %ld of %d pixels differ (COLORREFs, 0x00BBGGRR)%s\n%s",
              file, differing, kColumnCount * kColumnHeight, differing > 5 ? "; the first 5:" : ":",
              where.c_str());
}

// --check: whether the PNG holds the image, and where it does not. The image
// is opaque: a pixel a viewer would show blended with its background is
// not the image's, whatever colour it hides.
static int Check(const Options& options) {
  const std::string name = options.check == "-" ? "standard input" : ShownText(options.check);
  const char* file = name.c_str();
  std::string error;
  const auto waiting = [&] {
    std::fprintf(stderr, "%s: waiting for something to write to %s\n", kName, file);
  };
  FILE* input = OpenInput(options.check, waiting, error);
  // A turn's WebP begins "RIFF", a PNG with byte 0x89: one byte tells.
  const int first = input != nullptr ? std::getc(input) : EOF;
  if (first != EOF) std::ungetc(first, input);
  if (first == EOF && input != nullptr && !std::ferror(input)) {
    std::fclose(input);
    std::fprintf(stderr, "%s: cannot check %s: an empty file\n", kName, file);
    return 1;
  }
  if (first == 'R') {
    const int status = CheckTurn(input, name, options.render.kernels, options.render.march);
    std::fclose(input);
    return status;
  }
  PngImage image;
  const bool read = input != nullptr && ReadPng(input, kColumnCount, kColumnHeight, image, error);
  if (input != nullptr) std::fclose(input);
  if (!read) {
    if (error == "not a PNG file") error = kNeitherPngNorTurn;
    std::fprintf(stderr, "%s: cannot check %s: %s\n", kName, file, error.c_str());
    return 1;
  }
  if (image.pixels.empty()) {
    std::printf("%s is not Orbelune's image: it is %u x %u pixels, the image %d x %d\n", file,
                (unsigned)image.width, (unsigned)image.height, kColumnCount, kColumnHeight);
    return 1;
  }
  const uint32_t* pixels = image.pixels.data();
  if (!Opaque(file, pixels)) return 1;
  std::vector<uint32_t> colours;
  for (int x = 0; x < kColumnCount; ++x)
    for (int y = 0; y < kColumnHeight; ++y) colours.push_back(ColourAt(pixels, x, y));
  const std::string digest = ColoursDigest(colours.data(), colours.size());
  if (digest == kGoldenFrameDigest) {
    std::printf("%s is Orbelune's image (digest %s)\n", file, digest.c_str());
    return 0;
  }
  SayDifferences(file, pixels, options.render);
  return 1;
}

// Writes the PNG, the image's width and `height` rows, to the output and
// says where it went, or why it could not.
static bool WritePngOutput(const std::string& output, const uint32_t* pixels, int height,
                           const PngText& text) {
  return WriteOutput(output, [&](FILE* file, std::string& error) {
    return WritePng(file, pixels, kColumnCount, height, text, error);
  });
}

// What the PNG's comment adds for a view other than the image's: the view,
// as --view reads it back.
static std::string ViewNamed(View view) {
  return IsImageView(view) ? "" : "; view " + ViewText(view);
}

// --map: the counts of the fast march, in false colour, with their totals,
// and the legend below the image's rows.
static int Map(const Options& options) {
  if (!OutputWritable(options.output)) return 1;
  const auto frame = std::make_unique<Frame>();
  BuildFrame(*frame, options.render.view, options.render.kernels);
  uint64_t wholeRays = 0;
  const std::vector<uint32_t> counts =
      CountFrame(options.mapKind, *frame, options.render.march.threads, &wholeRays);
  const MapTotals totals = TotalsOf(counts);
  const std::string description =
      DescribeMap(options.mapKind, totals, wholeRays) + ViewNamed(options.render.view);
  std::fprintf(stderr, "%s\n", description.c_str());
  const std::vector<uint32_t> pixels = MapWithLegend(counts, totals);
  const int height = kColumnHeight + kLegendHeight;
  return WritePngOutput(options.output, pixels.data(), height, {kVersion, description}) ? 0 : 1;
}

static int Run(const Options& options) {
  std::string error;
  if (!EnsureRenderStack(error)) {
    std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
    return 1;
  }
  if (!options.check.empty()) return Check(options);
  if (!options.map.empty()) return Map(options);
  if (options.turn > 0) {
    TurnRequest turn;
    turn.frames = options.turn;
    turn.fps = options.fps;
    turn.step = options.step;
    turn.start = options.render.view;
    turn.kernels = options.render.kernels;
    turn.march = options.render.march;
    turn.digest = options.digest;
    turn.writeFile = options.outputGiven || !options.digest;
    turn.output = options.output;
    return MakeTurn(turn, digestLost);
  }
  const bool writePng = options.outputGiven || !options.digest;
  // Find out now, not after the long render, when the file cannot be written.
  if (writePng && !OutputWritable(options.output)) return 1;
  MemoryContext context;
  if (!Render(options.render, context)) throw std::bad_alloc();
  const std::string digest = StoreDigest(&mmo[0][0], (size_t)kColumnCount * kColumnHeight);

  int status = 0;
  if (options.digest && (std::printf("%s\n", digest.c_str()) < 0 || std::fflush(stdout) != 0)) {
    std::fprintf(stderr, "%s: cannot write the digest: %s\n", kName, std::strerror(errno));
    digestLost = true;
    status = 1;
  }
  const PngText text = {kVersion, "SHA-256 of the frame's colours: " + digest +
                                      ViewNamed(options.render.view)};
  if (writePng && !WritePngOutput(options.output, context.bits, kColumnHeight, text)) status = 1;
  DeleteMemoryContext(context);
  return status;
}

// Whether all that went to standard output (the help, the version, a
// verdict, the digest) reached it, as careful command-line tools check: a
// full disk may only show at the last flush. Says why not, unless said.
static bool CloseStandardOutput() {
  const bool pending = __fpending(stdout) != 0;
  const bool failed = std::ferror(stdout) != 0;
  errno = 0;
  // A standard output closed from the start (>&-) fails to close only with
  // EBADF, and lost nothing if nothing was printed.
  if (std::fclose(stdout) == 0 ? !failed : !pending && !failed && errno == EBADF) return true;
  if (!digestLost) {
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kName,
                 errno != 0 ? std::strerror(errno) : "write error");
  }
  return false;
}

static int Main(int argc, char** argv) {
  Options options;
  const int parsed = ParseArguments(argc, argv, options);
  if (parsed >= 0) return parsed;
  try {
    return Run(options);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", kName);
    return 1;
  }
}

int main(int argc, char** argv) {
  // A reader that goes away (`| head -1`) is a failed write, said and
  // exited 1 like any other, not a silent death: the file that -o names is
  // still written whole.
  std::signal(SIGPIPE, SIG_IGN);
  const int status = Main(argc, argv);
  return CloseStandardOutput() ? status : std::max(status, 1);
}
