#pragma once
// The windows were laid out, and the preview's stored column widths are kept, in twips; at 96 dots per
// inch 15 twips make a pixel.

namespace tabvert {

inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }

}  // namespace tabvert
