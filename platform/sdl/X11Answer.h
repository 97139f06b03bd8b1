// Whether the X display that DISPLAY names answers. Xlib waits for the X
// server's first reply with no time limit, so a display that takes the
// connection and never replies would hold SDL for ever: its X11 video
// driver and its message box each open a connection of their own.
#pragma once

// The time the display is given to answer.
constexpr int kX11AnswerSeconds = 5;

// True where DISPLAY names a display that gives no answer within
// kX11AnswerSeconds; asked once, remembered after. False where DISPLAY is
// unset, where the display answers or refuses, and where the question
// cannot be put (then SDL finds out for itself, as it always did).
bool X11DisplaySilent();
