// The start-up of the window program off Windows.
#pragma once

// Closes what is left of the windowing layer before the process ends.
void ShutdownWindowing();
