#pragma once

// Layout sizes and cover positions are kept in twips, as at 96 dots per inch.
namespace tandrel {

inline constexpr int TwipsPerPixel = 15;

constexpr double twipsToPixels(double twips) {
    return twips / TwipsPerPixel;
}

constexpr double pixelsToTwips(double pixels) {
    return pixels * TwipsPerPixel;
}

// Whole pixels, the part of a pixel dropped, for fixed window layouts.
constexpr int twipsToWholePixels(int twips) {
    return twips / TwipsPerPixel;
}

} // namespace tandrel
