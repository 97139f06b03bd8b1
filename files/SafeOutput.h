// Writing an output file without ever leaving a partial file, clobbering
// what should not be, or dying of a signal with a temporary file left: the
// bytes come from a writer, this decides where and how they go.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Writes the whole output onto an open stream; false with the reason in
// error, in plain words.
using StreamWriter = std::function<bool(FILE* file, std::string& error)>;

// The descriptor an output path is written to in place: 1 for "-", N for a
// path that names this process's descriptor N (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, links to them); -1 for any other path.
int OutputDescriptor(const std::string& path);

// Whether writing to path would put the bytes into the very file, pipe,
// socket or terminal that descriptor fd is open on, whatever names either:
// the two would mix. A file replaced by renaming never is (fd keeps the old
// one), nor a device that keeps nothing, such as /dev/null.
bool WritesInto(const std::string& path, int fd);

// Whether writing to path would write to a terminal, whatever names it
// (/dev/tty, /dev/pts/N, a link, a descriptor): asked of the device once
// opened, not of its name.
bool OutputIsTerminal(const std::string& path);

// Whether WriteSafely could write at path, found without changing anything
// there; false with the reason in error.
bool CheckWritable(const std::string& path, std::string& error);

// Writes the output to path:
// - A regular file, or a new one, appears whole or not at all: it is
//   written under a temporary name beside it, then renamed. An existing
//   file keeps its permission bits (and its owner, where the process may
//   set it); the old file is kept if anything fails, an exception from the
//   writer included. A file the process may not write is not replaced.
// - A symbolic link is followed: the file it leads to is replaced and the
//   link stays.
// - A descriptor of this process (see OutputDescriptor) is written where
//   it stands: a pipe, or a file the shell opened for appending, gets the
//   bytes at its end.
// - Any other kind of file (a device, a FIFO) is written in place; a FIFO
//   once something reads it, with waiting() called once (where given) if
//   no reader has come after a moment.
// SIGINT, SIGTERM and SIGHUP while the temporary file exists remove it,
// then end the process as they would have; one that is ignored stays so. A file-size limit is a write
// error ("File too large"), not the end of the process.
bool WriteSafely(const std::string& path, const StreamWriter& write, std::string& error,
                 const std::function<void()>& waiting = nullptr);
