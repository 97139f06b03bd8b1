// The module handle and the stock icon and cursor: handles the shell only
// passes on, each a distinct address.
#include "platform/User.h"

HMODULE GetModuleHandleA(LPCSTR name) {
  static int module;
  return name == nullptr ? reinterpret_cast<HMODULE>(&module) : nullptr;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  static int applicationIcon;
  return instance == nullptr && name == IDI_APPLICATION ? reinterpret_cast<HICON>(&applicationIcon)
                                                        : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  static int arrowCursor;
  return instance == nullptr && name == IDC_ARROW ? reinterpret_cast<HCURSOR>(&arrowCursor)
                                                  : nullptr;
}
