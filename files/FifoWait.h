// Waiting for a FIFO's other end, said once when it takes long: a writer
// for --check's input, a reader for the output. Without this a FIFO that
// nobody opens leaves the program waiting in silence, for ever.
#pragma once

#include <functional>
#include <string>

// Waits for a FIFO opened for reading to bring its first bytes, or its
// end, calling waiting() once if nothing comes in a moment. False with the
// reason in error.
bool AwaitWriter(int fd, const std::function<void()>& waiting, std::string& error);

// Opens the FIFO at path for writing once something reads it, calling
// waiting() once if no reader comes in a moment; the descriptor blocks as
// usual. -1 with the reason in error.
int OpenForReader(const std::string& path, const std::function<void()>& waiting,
                  std::string& error);
