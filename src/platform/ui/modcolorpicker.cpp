#include "modcolorpicker.h"

#include "desktop.h"

namespace modColorPicker {

namespace {
int g_red = 0;
int g_green = 0;
int g_blue = 0;
} // namespace

int colorNumber(const QColor& color) {
    return color.red() + color.green() * 256 + color.blue() * 65536;
}

std::optional<int> ShowColorDialog(QWidget* owner, const QColor& initial) {
    const auto chosen = tandrel::desktop().chooseColor(owner, initial);
    if (!chosen)
        return std::nullopt;
    return colorNumber(*chosen);
}

void SplitColor(int colour) {
    g_blue = colour / 65536;
    g_green = (colour - g_blue * 65536) / 256;
    g_red = colour - g_blue * 65536 - g_green * 256;
}

int red() {
    return g_red;
}
int green() {
    return g_green;
}
int blue() {
    return g_blue;
}

QString colorValue() {
    return QStringLiteral("%1,%2,%3").arg(g_red).arg(g_green).arg(g_blue);
}

} // namespace modColorPicker
