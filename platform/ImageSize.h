// The size of the image being drawn, as the renderer tells the platform
// before its render pass: what our window layer needs to know to see a
// column's worth drawn, and the last column. The platform has no numbers
// of the image's own.
#pragma once

void TellImageSize(int columns, int rows);

// As told; 1 until then.
int ImageColumns();
int ImageRows();
