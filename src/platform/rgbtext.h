#pragma once

#include <QString>

#include <optional>

namespace tandrel {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// The one reading of a colour written "r,g,b": three numbers 0-255 with
// nothing around them, as swatches and funnel files write it.
std::optional<Rgb> parseRgb(const QString& text);

} // namespace tandrel
