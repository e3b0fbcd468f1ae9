#include "covercanvas.h"

#include "textfiles.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QPainter>

#include <cmath>

namespace tandrel {

namespace {

// 96 dots per inch, so that point sizes and twips mean the same on every screen.
constexpr int DotsPerMeter = 3780;
// The largest size a font can be given in points; beyond that a size is a typo.
constexpr int LargestFontSize = 2160;
constexpr int JpegQuality = 92;

std::optional<double> number(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> coverFontSize(const QString& text) {
    const auto value = number(text);
    if (!value)
        return std::nullopt;
    const double whole = std::trunc(*value);
    if (whole < 1 || whole > LargestFontSize)
        return std::nullopt;
    return static_cast<int>(whole);
}

std::optional<double> twipsToPixels(const QString& text) {
    const auto value = number(text);
    if (!value)
        return std::nullopt;
    return *value / TwipsPerPixel;
}

QString twipsText(double twips) {
    return QString::number(twips, 'g', QLocale::FloatingPointShortest);
}

CoverCanvas::CoverCanvas() : m_image(CoverWidth, CoverHeight, QImage::Format_RGB32) {
    m_image.setDotsPerMeterX(DotsPerMeter);
    m_image.setDotsPerMeterY(DotsPerMeter);
    m_image.fill(blankColor());
    m_font.setPointSize(8);
}

void CoverCanvas::clear() {
    m_image.fill(blankColor());
    m_position = QPointF(0, 0);
}

bool CoverCanvas::paintBackground(const QString& path) {
    if (path.isEmpty())
        return false;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        return false;
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, CoverWidth, CoverHeight), picture);
    return true;
}

void CoverCanvas::print(const CoverLine& line) {
    if (!line.fontName.isEmpty())
        m_font.setFamily(line.fontName);
    if (const auto size = coverFontSize(line.fontSize))
        m_font.setPointSize(*size);
    m_color = line.color;
    // Each coordinate on its own: a bad one keeps where the last step left it.
    if (const auto x = twipsToPixels(line.x))
        m_position.setX(*x);
    if (const auto y = twipsToPixels(line.y))
        m_position.setY(*y);

    QFont font = m_font;
    font.setStyleStrategy(QFont::PreferAntialias);
    const QFontMetricsF metrics(font, &m_image);
    QPainter painter(&m_image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(m_color);
    // The position is the top-left corner of the text, not its baseline.
    painter.drawText(QPointF(m_position.x(), m_position.y() + metrics.ascent()), line.text);
    m_position = QPointF(0, m_position.y() + metrics.height());
}

void CoverCanvas::render(const CoverLine& line1, const CoverLine& line2,
                         const QString& backgroundPath) {
    if (line1.text.isEmpty())
        return;
    clear();
    paintBackground(backgroundPath);
    print(line1);
    if (line2.text.isEmpty())
        return;
    print(line2);
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
