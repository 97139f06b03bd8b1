// A recording build of the window layer, for tests of the shell: every call
// is written to a log, in order, as text, and the results that the shell
// tests (class registration, window creation, message retrieval) follow a
// script. Windows delivers some messages inside calls; so does this:
// WM_CREATE inside CreateWindowExA, WM_PAINT inside UpdateWindow, WM_DESTROY
// inside DestroyWindow.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/User.h"

struct ScriptedMessage {
  BOOL result;  // what GetMessageA returns
  MSG msg;
};

struct RecordingScript {
  ATOM registerResult = 0xC001;
  bool createFails = false;
  // GetMessageA's answers in turn; once they run out it returns 0 with the
  // code of the last PostQuitMessage (or -1 if none was posted).
  std::deque<ScriptedMessage> messages;
};

extern RecordingScript recordingScript;
extern std::vector<std::string> userCalls;

// The handles the recording layer hands out.
HWND RecordedWindow();
HDC RecordedPaintDC();
HDC RecordedWindowDC();

// Forgets the log, the script, the registered class and any posted quit.
void ResetRecording();
