// The start-up, as the Windows runtime's for a windowed program: WinMain gets
// the module, no previous instance, the command line after the program name,
// and the show command (10, SW_SHOWDEFAULT: there is no start-up information
// here); its result becomes the exit code.
#include <string>

#include "platform/User.h"
#include "platform/sdl/Startup.h"

int main(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  const int result = WinMain(GetModuleHandleA(nullptr), nullptr, tail.data(), SW_SHOWDEFAULT);
  ShutdownWindowing();
  return result;
}
