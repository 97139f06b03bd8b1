// The start-up, as the Windows runtime's for a windowed program: WinMain gets
// the module, no previous instance, the command line after the program name,
// and the show command (10, SW_SHOWDEFAULT: there is no start-up information
// here); its result becomes the exit code.
//
// Two failures Windows would report in its own way are said here, in the
// shell's words, before any window: a stack limit too small for the render
// pass, and running out of memory.
#include <new>
#include <string>

#include "platform/StackLimit.h"
#include "platform/User.h"
#include "platform/user/EventSource.h"
#include "platform/user/Queue.h"
#include "platform/sdl/SdlWindow.h"
#include "platform/sdl/Stages.h"
#include "platform/sdl/Video.h"

static const UINT kErrorBox = MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL;

int main(int argc, char** argv) {
  ReportStage("main");
  std::string error;
  if (!EnsureRenderStack(error)) {
    MessageBoxA(nullptr, ("Not enough stack: " + error).c_str(), "Error!", kErrorBox);
    return 1;
  }
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  UseWindowHost(&kSdlWindows);
  int result;
  try {
    result = WinMain(GetModuleHandleA(nullptr), nullptr, tail.data(), SW_SHOWDEFAULT);
  } catch (const std::bad_alloc&) {
    MessageBoxA(nullptr, "Out of memory!", "Error!", kErrorBox);
    result = 1;
  }
  // Whatever is left of the windowing, closed before the process ends.
  DestroyAllWindows();
  ClearQueue();
  UseEventSource(nullptr, nullptr);
  StopVideo();
  return result;
}
