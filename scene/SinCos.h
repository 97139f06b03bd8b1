// Sines and cosines of float angles from double additions and
// multiplications only, so that every build (whatever its C runtime's sin
// and cos) gets the same bits for any view. Accurate to within an ulp of
// a double (the kernels are fdlibm's, whose error stays below 0.9 ulp):
// rounded to float they give the correctly rounded float but where the
// exact value lies within about an ulp of a double of a midpoint between
// two floats.
#pragma once

double SineOf(float angle);
double CosineOf(float angle);
