// A second view's fingerprint, beside the image's (digest/golden-image.sha256): the
// view (0.3, -1.1, 0.7), where the word's slabs stand as a staircase of
// striped blocks. Its angles' sines and cosines are ours, not the C
// runtime's, so every build must give this digest too. Computed by the
// straightforward march:
//   build/release/orbelune-render --reference --digest --view 0.3,-1.1,0.7
#pragma once

inline constexpr const char kStaircaseView[] = "0.3,-1.1,0.7";
inline constexpr const char kStaircaseDigest[] =
    "998f40d11e03f334a7e41677ede5cdc01808350a69990eb08209e0ff8516bb45";
