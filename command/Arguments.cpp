// orbelune-render's command line: its help, its options one by one, and
// what they say together.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command/Options.h"
#include "files/DescriptorPath.h"
#include "files/SafeOutput.h"
#include "march/Kernels.h"
#include "text/ShownText.h"
#include "text/ViewText.h"
#include "turn/TurnViews.h"
#include "turn/TurnWriter.h"

static const char kUsage[] =
    "usage: orbelune-render [-o FILE] [--digest] [--view A,B,C] [--threads N] [--kernels NAME]\n"
    "                       [--reference]\n"
    "       orbelune-render --turn N [--fps F] [--half | --quarter] [-o FILE] [--digest]\n"
    "                       [--view A,B,C] [--threads N] [--kernels NAME]\n"
    "       orbelune-render --check FILE [--threads N] [--kernels NAME]\n"
    "       orbelune-render --map KIND [--view A,B,C] [-o FILE] [--threads N]\n"
    "                       [--kernels NAME]\n"
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

// A file to check would be typed in, waited for without a word.
int RefuseTerminalInput() {
  return Refuse("will not read a PNG from a terminal: redirect standard input or name a file");
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
  if (input >= 0 && isatty(input)) return RefuseTerminalInput();
  return -1;
}

int ParseArguments(int argc, char** argv, Options& options) {
  opterr = 0;  // our own messages
  for (int c; (c = getopt_long(argc, argv, ":o:h", kOptions, nullptr)) != -1;) {
    const int status = TakeOption(c, optarg, argv, options);
    if (status >= 0) return status;
  }
  if (optind < argc) return Refuse("unknown argument ", Excerpt(argv[optind]).c_str());
  return CheckCombination(options);
}
