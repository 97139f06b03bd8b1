// Paths that name one of this process's own open descriptors: /dev/stdout,
// /dev/stderr, /dev/stdin, /dev/fd/N, /proc/self/fd/N, and links to them.
// Their link text ("pipe:[N]", or the file a shell opened with >>) names no
// file to reopen; the descriptor itself is what the user means.
#pragma once

#include <string>

// The descriptor path names, after any symbolic links leading to it; false
// where it names none.
bool DescriptorNamed(const std::string& path, int& fd);
