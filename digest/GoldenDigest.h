// The fingerprint of the whole image (see FrameDigest.h), computed by
// the straightforward march. Any change to how a pixel is computed shows here.
// To regenerate after an intended change to the image:
//   build/release/orbelune-render --reference --digest
#pragma once

inline constexpr const char kGoldenFrameDigest[] =
    "977929bd6457bacd8c713dd1df6dc19a8bf25bb16a4446d248a6dd76b5995248";
