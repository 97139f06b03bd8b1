// The folder and the last part of a path, as the output and descriptor
// code both need them.
#pragma once

#include <string>

// The folder holding path's last part: "." for a bare name, "/" at the root.
inline std::string Directory(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The last part of path.
inline std::string Base(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
