// SDL's video, started with a driver that shows windows on a display.
#pragma once

// Starts the video once; false where no display could be opened (MessageBoxA
// then says why).
bool StartVideo();
void StopVideo();
