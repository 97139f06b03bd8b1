#include "command/OutputReport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command/Options.h"
#include "text/ShownText.h"

void SayCannotWrite(const std::string& output, const std::string& error) {
  if (output == "-")
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kName, error.c_str());
  else
    std::fprintf(stderr, "%s: cannot write %s: %s\n", kName, ShownText(output).c_str(),
                 error.c_str());
}

bool OutputWritable(const std::string& output) {
  std::string error;
  if (CheckWritable(output, error)) return true;
  SayCannotWrite(output, error);
  return false;
}

bool WriteOutput(const std::string& output, const StreamWriter& write) {
  std::string error;
  const auto waiting = [&] {
    std::fprintf(stderr, "%s: waiting for something to read from %s\n", kName,
                 ShownText(output).c_str());
  };
  if (!WriteSafely(output, write, error, waiting)) {
    SayCannotWrite(output, error);
    return false;
  }
  // A descriptor has no name worth saying; a file is said in full: the
  // main-job script runs from elsewhere.
  if (OutputDescriptor(output) >= 0) return true;
  char* full = realpath(output.c_str(), nullptr);
  std::fprintf(stderr, "wrote %s\n", ShownText(full != nullptr ? full : output).c_str());
  std::free(full);
  return true;
}

bool PrintDigest(const std::string& digest, void (*beforeSaying)()) {
  if (std::printf("%s\n", digest.c_str()) >= 0 && std::fflush(stdout) == 0) return true;
  if (beforeSaying != nullptr) beforeSaying();
  std::fprintf(stderr, "%s: cannot write the digest: %s\n", kName, std::strerror(errno));
  return false;
}
