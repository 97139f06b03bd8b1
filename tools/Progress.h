// Progress of the render pass on a terminal: columns done and time left.
#pragma once

// Starts the clock; shows progress on stderr only when show is true.
void StartProgress(bool show);

// Called as each column is drawn (column 0 to 1024).
void ColumnDrawn(int column);

// Clears the progress line; returns the seconds since StartProgress.
double FinishProgress();
