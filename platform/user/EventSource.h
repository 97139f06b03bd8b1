// Where the message queue's events come from, and its clock. The window
// layer's source is SDL; the tests drive the queue with a fake of their own.
#pragma once

#include <cstdint>

struct EventSource {
  // Turns every event already waiting into messages, without waiting.
  void (*poll)();
  // Waits up to timeout milliseconds (-1: without end) for an event and turns
  // it into messages. It may return early, with nothing done.
  void (*wait)(int timeout);
};

// Milliseconds since some fixed start; never going back.
typedef uint64_t (*Clock)();

// Connects the queue to a source and a clock; a null source leaves the queue
// nothing to wait for, so GetMessageA fails rather than wait for ever.
void UseEventSource(const EventSource* source, Clock clock);
