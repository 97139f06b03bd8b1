// The message queue's event source over SDL.
#pragma once

#include "platform/sdl/EventSource.h"

extern const EventSource kSdlEvents;
