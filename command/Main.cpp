// orbelune-render: computes the image headless and writes it to a PNG file;
// or a turn of it, a check of a file, a map of the march's work. The
// command line is read in Arguments.cpp; each mode is a file of its own.
#include <stdio_ext.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>

#include "command/Modes.h"
#include "command/TurnCommand.h"
#include "platform/StackLimit.h"

static Outcome Run(const Options& options) {
  std::string error;
  if (!EnsureRenderStack(error)) {
    std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
    return {1};
  }
  if (!options.check.empty()) return {Check(options)};
  if (!options.map.empty()) return {MakeMap(options)};
  if (options.turn > 0) {
    TurnRequest turn;
    turn.frames = options.turn;
    turn.fps = options.fps;
    turn.step = options.step;
    turn.render = options.render;
    turn.digest = options.digest;
    turn.writeFile = options.outputGiven || !options.digest;
    turn.output = options.output;
    return MakeTurn(turn);
  }
  return MakeImage(options);
}

// Whether all that went to standard output (the help, the version, a
// verdict, the digest) reached it, as careful command-line tools check: a
// full disk may only show at the last flush. Says why not, unless said.
static bool CloseStandardOutput(bool lossSaid) {
  const bool pending = __fpending(stdout) != 0;
  const bool failed = std::ferror(stdout) != 0;
  errno = 0;
  // A standard output closed from the start (>&-) fails to close only with
  // EBADF, and lost nothing if nothing was printed.
  if (std::fclose(stdout) == 0 ? !failed : !pending && !failed && errno == EBADF) return true;
  if (!lossSaid) {
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kName,
                 errno != 0 ? std::strerror(errno) : "write error");
  }
  return false;
}

static Outcome Main(int argc, char** argv) {
  Options options;
  const int parsed = ParseArguments(argc, argv, options);
  if (parsed >= 0) return {parsed};
  try {
    return Run(options);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: out of memory\n", kName);
    return {1};
  }
}

int main(int argc, char** argv) {
  // A reader that goes away (`| head -1`) is a failed write, said and
  // exited 1 like any other, not a silent death: the file that -o names is
  // still written whole.
  std::signal(SIGPIPE, SIG_IGN);
  const Outcome outcome = Main(argc, argv);
  return CloseStandardOutput(outcome.outputLossSaid) ? outcome.status
                                                     : std::max(outcome.status, 1);
}
