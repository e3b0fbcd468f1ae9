#include "covercanvas.h"

#include "textfiles.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tandrel {

namespace {

// 96 dots per inch, so that point sizes and twips mean the same on every screen.
constexpr int DotsPerMeter = 3780;
// The largest size a font can be given in points; beyond that a size is a typo.
constexpr int LargestFontSize = 2160;
// A capital of this size (400 pixels) still fits the 450-pixel cover; a larger
// one shows only a part of a letter, and its outline would cost for nothing.
constexpr int LargestShownSize = 300;
constexpr int SmallestShrunkSize = 8;
constexpr int JpegQuality = 92;
// Where the contrast with black equals the contrast with white.
constexpr double MiddleLuminance = 0.179;

std::optional<double> number(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double linear(int channel) {
    static const auto table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return table[channel];
}

double luminance(QRgb rgb) {
    return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
}

double alignFactor(CoverAlign align) {
    switch (align) {
    case CoverAlign::Left:
        return 0;
    case CoverAlign::Center:
        return 0.5;
    case CoverAlign::Right:
        return 1;
    }
    return 0;
}

QImage prepared(QImage image) {
    image.setDotsPerMeterX(DotsPerMeter);
    image.setDotsPerMeterY(DotsPerMeter);
    return image;
}

// Three box blurs in a row come close to a Gaussian one.
void blur(QImage& mask, const QRect& area, int radius) {
    const int w = area.width(), h = area.height();
    std::vector<int> values(static_cast<size_t>(std::max(w, h)));
    const auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w, length = horizontal ? w : h;
        for (int l = 0; l < lines; ++l) {
            const auto at = [&](int i) -> uchar& {
                return horizontal ? mask.scanLine(area.top() + l)[area.left() + i]
                                  : mask.scanLine(area.top() + i)[area.left() + l];
            };
            for (int i = 0; i < length; ++i)
                values[i] = at(i);
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < length) ? values[i] : 0;
            for (int i = 0; i < length; ++i) {
                at(i) = static_cast<uchar>(sum / (2 * radius + 1));
                const int out = i - radius, in = i + radius + 1;
                sum += (in < length ? values[in] : 0) - (out >= 0 ? values[out] : 0);
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

// The outlines of the laid-out glyphs, placed as layout.draw(painter, at) draws them.
QPainterPath textPath(const QTextLayout& layout, QPointF at) {
    QPainterPath path;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i)
            path.addPath(font.pathForGlyph(glyphs[i]).translated(at + positions[i]));
    }
    return path;
}

// The text's shape grown by radius pixels in every direction: the shape and a
// round stroke of its edge, so the cost follows the area, not the radius.
void drawGrown(QImage& mask, const QPainterPath& shape, int radius) {
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2.0 * radius, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::black);
    painter.drawPath(shape);
}

// Lays the colour over the image wherever the mask is set, the mask moved by offset.
void tint(QImage& image, const QImage& mask, const QRect& area, QPoint offset, QColor color,
          double opacity) {
    const QRect target = area.translated(offset) & image.rect();
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uchar* in = mask.constScanLine(y - offset.y());
        for (int x = target.left(); x <= target.right(); ++x) {
            const double a = in[x - offset.x()] / 255.0 * opacity;
            if (a <= 0)
                continue;
            const QRgb d = out[x];
            out[x] = qRgb(qRound(qRed(d) + (color.red() - qRed(d)) * a),
                          qRound(qGreen(d) + (color.green() - qGreen(d)) * a),
                          qRound(qBlue(d) + (color.blue() - qBlue(d)) * a));
        }
    }
}

} // namespace

std::optional<int> coverFontSize(const QString& text) {
    const auto value = number(text);
    if (!value)
        return std::nullopt;
    const double whole = std::trunc(*value);
    if (whole < 1 || whole > LargestFontSize)
        return std::nullopt;
    return std::min(static_cast<int>(whole), LargestShownSize);
}

std::optional<double> twipsTextToPixels(const QString& text) {
    const auto value = number(text);
    if (!value)
        return std::nullopt;
    return twipsToPixels(*value);
}

QString twipsText(double twips) {
    return QString::number(twips, 'g', QLocale::FloatingPointShortest);
}

double relativeLuminance(QColor color) {
    return luminance(color.rgb());
}

double contrastRatio(double luminance1, double luminance2) {
    const auto [dark, light] = std::minmax(luminance1, luminance2);
    return (light + 0.05) / (dark + 0.05);
}

QImage fillCover(const QImage& picture, QSize size) {
    if (picture.isNull())
        return {};
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    if (picture.size() == size)
        return rgb;
    const double scale =
        std::max(double(size.width()) / picture.width(), double(size.height()) / picture.height());
    const QSize scaled(std::max(size.width(), qRound(picture.width() * scale)),
                       std::max(size.height(), qRound(picture.height() * scale)));
    const QImage big = rgb.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return big.copy((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2,
                    size.width(), size.height());
}

CoverCanvas::CoverCanvas()
    : m_image(prepared(QImage(CoverWidth, CoverHeight, QImage::Format_RGB32))) {
    m_image.fill(blankColor());
    m_font.setPointSize(8);
}

Status CoverCanvas::setBackground(const QString& path) {
    if (path.isEmpty()) {
        m_background = {};
        m_backgroundPath.clear();
        return Status::success();
    }
    const QFileInfo info(path);
    if (path == m_backgroundPath && info.lastModified() == m_backgroundStamp &&
        info.size() == m_backgroundBytes)
        return Status::success();
    m_background = {};
    m_backgroundPath.clear();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    ++m_decodes;
    const QImage picture = reader.read();
    if (picture.isNull()) {
        QString reason = reader.errorString();
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        return Status::failure(
            QStringLiteral("The picture \"%1\" could not be read: %2.")
                .arg(displayPath(path), reason.isEmpty() ? QStringLiteral("unknown error")
                                                         : reason.at(0).toLower() + reason.mid(1)));
    }
    m_background = fillCover(picture, QSize(CoverWidth, CoverHeight));
    m_backgroundPath = path;
    m_backgroundStamp = info.lastModified();
    m_backgroundBytes = info.size();
    return Status::success();
}

void CoverCanvas::clear() {
    if (m_background.isNull())
        m_image.fill(blankColor());
    else
        m_image = prepared(m_background.copy());
    m_position = QPointF(0, 0);
}

double CoverCanvas::meanLuminance(const QRect& area) const {
    const QRect inside = area & m_image.rect();
    if (m_background.isNull() || inside.isEmpty())
        return luminance(blankColor().rgb());
    double sum = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(m_background.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x)
            sum += luminance(row[x]);
    }
    return sum / (double(inside.width()) * inside.height());
}

void CoverCanvas::print(const CoverLine& line, Placed& placed) {
    if (!line.fontName.isEmpty())
        m_font.setFamily(line.fontName);
    if (const auto size = coverFontSize(line.fontSize))
        m_font.setPointSize(*size);
    m_color = line.color;
    // Each coordinate on its own: a bad one keeps where the last step left it.
    if (const auto x = twipsTextToPixels(line.x))
        m_position.setX(*x);
    if (const auto y = twipsTextToPixels(line.y))
        m_position.setY(*y);

    QFont font = m_font;
    font.setBold(line.bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    const double width = CoverWidth - 2 * CoverMargin;
    if (line.shrinkToFit) {
        while (font.pointSize() > SmallestShrunkSize &&
               QFontMetricsF(font, &m_image).horizontalAdvance(line.text) > width)
            font.setPointSize(font.pointSize() - 1);
    }

    QTextLayout layout(line.text, font, &m_image);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0, widest = 0;
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLineWidth(width);
        row.setPosition(QPointF(0, height));
        height += row.height();
        widest = std::max(widest, row.naturalTextWidth());
    }
    layout.endLayout();

    // The box hangs from the position by its alignment and stays inside the margins.
    const double factor = alignFactor(line.align);
    const double left =
        std::clamp(m_position.x() - widest * factor, double(CoverMargin),
                   std::max(double(CoverMargin), CoverWidth - CoverMargin - widest));
    const double top =
        std::clamp(m_position.y(), double(CoverMargin),
                   std::max(double(CoverMargin), CoverHeight - CoverMargin - height));
    for (int i = 0; i < layout.lineCount(); ++i) {
        QTextLine row = layout.lineAt(i);
        row.setPosition(QPointF((widest - row.naturalTextWidth()) * factor, row.position().y()));
    }
    placed.drawn = true;
    placed.box = QRectF(left, top, widest, height);
    placed.anchor = QPointF(left + widest * factor, top);
    placed.contrast =
        contrastRatio(relativeLuminance(m_color), meanLuminance(placed.box.toAlignedRect()));

    if (line.effect != CoverEffect::None) {
        const double pixels = font.pointSizeF() * 96 / 72;
        const int spread = line.effect == CoverEffect::Outline ? std::max(1, qRound(pixels / 14))
                                                               : std::max(2, qRound(pixels / 7));
        const QRect area =
            placed.box.toAlignedRect().adjusted(-3 * spread, -3 * spread, 3 * spread, 3 * spread) &
            m_image.rect();
        QImage mask = prepared(QImage(m_image.size(), QImage::Format_Alpha8));
        mask.fill(0);
        const QPainterPath shape = textPath(layout, QPointF(left, top));
        const QColor ink =
            relativeLuminance(m_color) > MiddleLuminance ? QColor(0, 0, 0) : QColor(255, 255, 255);
        if (line.effect == CoverEffect::Outline) {
            drawGrown(mask, shape, spread);
            tint(m_image, mask, area, QPoint(0, 0), ink, 1.0);
        } else {
            drawGrown(mask, shape, std::max(1, spread / 3));
            blur(mask, area, spread);
            const int drop = std::max(1, spread / 2);
            tint(m_image, mask, area, QPoint(drop, drop), ink, 1.0);
        }
    }

    QPainter painter(&m_image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setPen(m_color);
    layout.draw(&painter, QPointF(left, top));
    m_position = QPointF(0, top + height);
}

void CoverCanvas::render(const CoverLine& line1, const CoverLine& line2) {
    clear();
    const CoverLine* lines[] = {&line1, &line2};
    for (int i = 0; i < 2; ++i) {
        m_placed[i] = {};
        if (!lines[i]->text.isEmpty())
            print(*lines[i], m_placed[i]);
    }
}

Status CoverCanvas::save(const QString& path) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(JpegQuality);
    writer.setOptimizedWrite(true);
    if (!writer.write(m_image)) {
        return Status::failure(
            QStringLiteral("The cover \"%1\" could not be made into a JPEG picture: %2.")
                .arg(displayPath(path), writer.errorString()));
    }
    return writeFileAtomically(path, bytes);
}

} // namespace tandrel
