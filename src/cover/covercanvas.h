#pragma once

#include "result.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

#include <optional>

namespace tandrel {

// The canvas is laid out for 96 dots per inch: 15 twips to a pixel.
inline constexpr int CoverWidth = 400;
inline constexpr int CoverHeight = 450;
inline constexpr int TwipsPerPixel = 15;

// One text line's settings, as the user typed them.
struct CoverLine {
    QString text;
    QString fontName;
    QString fontSize; // points; the whole-number part counts
    QColor color = Qt::white;
    QString x; // twips from the left
    QString y; // twips from the top
};

// Whole points from a typed size ("16.9" is 16); nothing when it is no usable size.
std::optional<int> coverFontSize(const QString& text);
// Pixels from a typed twips value; nothing when it is not a number.
std::optional<double> twipsToPixels(const QString& text);
inline double pixelsToTwips(double pixels) {
    return pixels * TwipsPerPixel;
}
// The shortest decimal text of a twips value ("1245", "1252.5").
QString twipsText(double twips);

// A persistent 400 x 450 picture with a drawing state (font, colour, position)
// that outlives each drawing, as a picture box keeps its own. Its image is
// what gets saved.
class CoverCanvas {
public:
    CoverCanvas();

    const QImage& image() const { return m_image; }
    const QFont& font() const { return m_font; }
    QPointF position() const { return m_position; }

    // Stretched over the whole canvas, aspect ratio ignored, nothing cleared
    // first. False (and nothing painted) when the file cannot be loaded.
    bool paintBackground(const QString& path);

    // Redraws the cover: nothing at all while line 1 is empty; otherwise
    // clear, background, line 1, then line 2 unless it is empty. A step whose
    // value is unusable is skipped and the rest still runs.
    void render(const CoverLine& line1, const CoverLine& line2, const QString& backgroundPath);

    // A JPEG of good quality, written atomically.
    Status save(const QString& path) const;

    // Blank canvas colour, before any picture is painted.
    static QColor blankColor() { return QColor(255, 255, 255); }

private:
    void clear();
    void print(const CoverLine& line);

    QImage m_image;
    QFont m_font;
    QColor m_color = Qt::black;
    QPointF m_position;
};

} // namespace tandrel
