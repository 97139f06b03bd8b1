// The window shell: WinMain sets up one borderless popup window and runs its
// message loop; WndProc hands a device context to DrawBall on every paint and
// every tick of the redraw timer.
#pragma once

#include "platform/Win32.h"

extern int nTimerDelay;     // redraw period in milliseconds
extern const int idTimer1;  // the redraw timer's identifier
extern HDC hdcWindow;       // the context being drawn into

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
