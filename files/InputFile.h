// Opening a file to read through once, from its start to its end, as a
// stream: a regular file, a pipe, a FIFO, standard input.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Opens path for reading: "-" is standard input, and a path naming one of
// this process's descriptors (/dev/stdin, /dev/fd/N) is read from that
// descriptor, not reopened. A directory is refused as one. Opening never
// waits: a FIFO with no writer is opened at once, and its first bytes are
// waited for, with waiting() called once if nothing has come after a
// moment. Null with the reason in error on failure.
FILE* OpenInput(const std::string& path, const std::function<void()>& waiting,
                std::string& error);
