// orbelune-render's outputs as the user hears of them: where the file
// went, or why it could not go there, in the command's own words.
#pragma once

#include <string>

#include "files/SafeOutput.h"

// Says why the output cannot be written.
void SayCannotWrite(const std::string& output, const std::string& error);

// Whether the output can be written, found before the work; says why not.
bool OutputWritable(const std::string& output);

// Writes the output through WriteSafely and says where it went (a file, in
// full), or why it could not.
bool WriteOutput(const std::string& output, const StreamWriter& write);

// Prints a digest on a line of its own to standard output, flushed; where
// it cannot, calls beforeSaying (if any), then says why.
bool PrintDigest(const std::string& digest, void (*beforeSaying)() = nullptr);
