#pragma once

#include "result.h"
#include "twips.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <optional>

namespace tandrel {

// The canvas is laid out for 96 dots per inch.
inline constexpr int CoverWidth = 400;
inline constexpr int CoverHeight = 450;
// Text keeps this far from every edge of the picture, in pixels.
inline constexpr int CoverMargin = 16;
// Below this contrast with the picture a line is hard to read.
inline constexpr double LegibleContrast = 3.0;

// Which point of the text the position names: its top-left, top-centre or top-right.
enum class CoverAlign { Left, Center, Right };
enum class CoverEffect { None, Shadow, Outline };

// One text line's settings, as the user typed them.
struct CoverLine {
    QString text;
    QString fontName;
    QString fontSize; // points; the whole-number part counts
    QColor color = Qt::white;
    QString x; // twips from the left
    QString y; // twips from the top
    bool bold = false;
    CoverAlign align = CoverAlign::Left;
    CoverEffect effect = CoverEffect::None;
    bool shrinkToFit = false; // smaller, down to 8 points, rather than wrapped
    bool operator==(const CoverLine&) const = default;
};

// Whole points from a typed size ("16.9" is 16), at most 300 (a capital as
// tall as the cover); nothing when it is no usable size.
std::optional<int> coverFontSize(const QString& text);
// Pixels from a typed twips value; nothing when it is not a number.
std::optional<double> twipsTextToPixels(const QString& text);
// The shortest decimal text of a twips value ("1245", "1252.5").
QString twipsText(double twips);

// The contrast ratio of two colours, 1 (equal) to 21 (black on white).
double contrastRatio(double luminance1, double luminance2);
double relativeLuminance(QColor color);

// The picture scaled to cover the whole size and cropped to its centre, so
// its shape is kept; a picture of exactly that size comes back unchanged.
QImage fillCover(const QImage& picture, QSize size);

// A persistent 400 x 450 picture with a drawing state (font, colour, position)
// that outlives each drawing, as a picture box keeps its own. Its image is
// what gets saved.
class CoverCanvas {
public:
    // Where a drawn line landed: its box on the canvas, the position that box
    // stands for, and its contrast with the picture beneath it.
    struct Placed {
        bool drawn = false;
        QRectF box;
        QPointF anchor;
        double contrast = 0;
    };

    CoverCanvas();

    const QImage& image() const { return m_image; }
    const QFont& font() const { return m_font; }
    QPointF position() const { return m_position; }
    const Placed& placed(int index) const { return m_placed[index == 0 ? 0 : 1]; }

    // The picture behind the text, fitted to the canvas. A file is decoded
    // once and kept; the same unchanged file again costs nothing. An empty
    // path means no picture. On failure the canvas has no picture and the
    // error says why in one sentence.
    Status setBackground(const QString& path);
    int decodeCount() const { return m_decodes; }

    // Redraws the cover from these settings: the picture, then every line
    // that has text. A step whose value is unusable is skipped and the rest
    // still runs.
    void render(const CoverLine& line1, const CoverLine& line2);

    // A JPEG of good quality, written atomically.
    Status save(const QString& path) const;

    // Blank canvas colour, before any picture is painted.
    static QColor blankColor() { return QColor(255, 255, 255); }

private:
    void clear();
    void print(const CoverLine& line, Placed& placed);
    double meanLuminance(const QRect& area) const;

    QImage m_image;
    QImage m_background; // canvas-sized, or null
    QString m_backgroundPath;
    QDateTime m_backgroundStamp;
    qint64 m_backgroundBytes = -1;
    int m_decodes = 0;
    QFont m_font;
    QColor m_color = Qt::black;
    QPointF m_position;
    std::array<Placed, 2> m_placed;
};

} // namespace tandrel
