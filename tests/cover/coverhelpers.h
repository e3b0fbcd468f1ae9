#pragma once

#include "covercanvas.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace tandrel::test {

// A font every test machine has (./run installs it); another family only shifts glyphs a little.
inline const QString TestFont = QStringLiteral("DejaVu Sans");

inline bool near(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The bounding box of the pixels within tolerance of a colour; empty when there are none.
inline QRect inkBox(const QImage& image, QColor color, int tolerance = 0) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixelColor(x, y), color, tolerance))
                box |= QRect(x, y, 1, 1);
    return box;
}

inline int countPixels(const QImage& image, QColor color, int tolerance = 0) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += near(image.pixelColor(x, y), color, tolerance) ? 1 : 0;
    return count;
}

// A pixel of this colour whose eight neighbours have it too, so JPEG blurring cannot reach it.
inline QPoint solidPixel(const QImage& image, QColor color) {
    for (int y = 1; y + 1 < image.height(); ++y)
        for (int x = 1; x + 1 < image.width(); ++x)
            if (countPixels(image.copy(x - 1, y - 1, 3, 3), color) == 9)
                return QPoint(x, y);
    return QPoint(-1, -1);
}

// One colour all over, or four quarters red, green, blue and yellow when no colour is given.
inline QString writePicture(const QString& path, QSize size, const char* format,
                            QColor plain = QColor()) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(plain);
    if (!plain.isValid()) {
        QPainter painter(&image);
        const int w = size.width() / 2, h = size.height() / 2;
        painter.fillRect(0, 0, w, h, QColor(255, 0, 0));
        painter.fillRect(w, 0, size.width() - w, h, QColor(0, 255, 0));
        painter.fillRect(0, h, w, size.height() - h, QColor(0, 0, 255));
        painter.fillRect(w, h, size.width() - w, size.height() - h, QColor(255, 255, 0));
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    image.save(path, format, 95);
    return path;
}

inline CoverLine coverLine(const QString& text, const QString& x, const QString& y, QColor color,
                           const QString& size = QStringLiteral("24")) {
    return CoverLine{text, TestFont, size, color, x, y};
}

} // namespace tandrel::test
