#include "platform/ImageSize.h"

static int columns = 1, rows = 1;

void TellImageSize(int imageColumns, int imageRows) {
  columns = imageColumns, rows = imageRows;
}

int ImageColumns() {
  return columns;
}

int ImageRows() {
  return rows;
}
