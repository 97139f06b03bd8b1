// Progress on a terminal: of the render pass, columns done and time left;
// of a turn, frames done and time left.
#pragma once

// Starts the clock; shows progress on stderr only when show is true.
void StartProgress(bool show);

// Called as each column is drawn (column 0 to 1024).
void ColumnDrawn(int column);

// Called as frame `done` (1 to frames) of a turn is complete; `doing`
// says what, "turning" or "checking".
void FrameDone(const char* doing, int done, int frames);

// Clears the progress line; returns the seconds since StartProgress.
double FinishProgress();
