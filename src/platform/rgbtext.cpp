#include "rgbtext.h"

#include <QRegularExpression>

namespace tandrel {

std::optional<Rgb> parseRgb(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,3}),(\\d{1,3}),(\\d{1,3})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const Rgb c{match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()};
    if (c.r > 255 || c.g > 255 || c.b > 255)
        return std::nullopt;
    return c;
}

} // namespace tandrel
