// The message queue's event source over SDL.
#pragma once

#include "platform/user/EventSource.h"

extern const EventSource kSdlEvents;
