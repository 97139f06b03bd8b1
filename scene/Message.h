// The lit cells of the three text slabs, as rows of characters.
#pragma once

#include "scene/Scene.h"

extern const char* const wordText[kWordRows];
extern const char* const stripText[kStripRows];
extern const char* const bannerText[kBannerRows];
