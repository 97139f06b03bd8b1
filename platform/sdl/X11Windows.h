// Windows that another X client destroys (xdotool windowclose, xkill -id):
// seen as an event, and the X server's complaints about them, which Xlib
// would end the process for, let pass. Nothing, off X11.
#pragma once

#include <SDL.h>

// Before SDL's video starts: SDL chains its own X error handler to the one
// it finds, and puts that one back when the video stops, before it closes
// its connections and hears their last complaints.
void FilterX11Errors();
// Watches an open window; from here on, a request that finds it gone ends
// nothing.
void WatchX11Window(SDL_Window* window);
// The watched window another client destroyed, if the event says so; null
// for any other event.
SDL_Window* DestroyedX11Window(const SDL_Event& event);
// After SDL_DestroyWindow: its DestroyNotify is our own doing.
void X11WindowClosed(SDL_Window* window);
