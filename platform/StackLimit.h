// The render pass keeps the scene, about 1 MB, on the stack of the thread
// that calls DrawBall; Windows programs get the 2 MB their executable
// reserves. Elsewhere the stack is what the process limit allows.
#pragma once

#include <string>

// The stack the render pass is given room for.
constexpr long kRenderStackBytes = 4L << 20;

// Raises the process's soft stack limit to kRenderStackBytes where it is
// lower and the hard limit allows. False, with the reason in error, where it
// cannot: then the render pass would overflow the stack.
bool EnsureRenderStack(std::string& error);
