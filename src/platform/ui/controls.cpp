#include "controls.h"

#include "rgbtext.h"
#include "theme.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

// The resource lives in a static library; this keeps the linker from dropping it.
static void loadWindowResources() {
    Q_INIT_RESOURCE(mainwindow);
}

namespace tandrel {

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    return named(new QPushButton(text, parent), name);
}

QString elidedPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    // The file's name whole when it fits, the folders shortened in their middle.
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = path.mid(slash + 1);
    const int room = width - metrics.horizontalAdvance(name);
    if (slash < 0 || room < metrics.horizontalAdvance(QStringLiteral("/\u2026/")))
        return metrics.elidedText(path, Qt::ElideMiddle, width);
    return metrics.elidedText(path.left(slash + 1), Qt::ElideMiddle, room) + name;
}

void TagLabel::paintEvent(QPaintEvent* event) {
    if (m_elide == Qt::ElideNone || wordWrap() || textFormat() == Qt::RichText) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = m_elide == Qt::ElideMiddle
                              ? elidedPath(text(), fontMetrics(), area.width())
                              : fontMetrics().elidedText(text(), m_elide, area.width());
    style()->drawItemText(&p, area, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : TagLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    TagLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

// Keyboard users reach links with Tab and press Space or Enter.
void ClickLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    TagLabel::keyPressEvent(event);
}

ColorSwatch::ColorSwatch(QWidget* parent) : ClickLabel(QString(), parent) {
    setToolTip(QStringLiteral("Click to Change"));
    setAccessibleName(QStringLiteral("Colour"));
    setFixedSize(54, 26);
}

void ColorSwatch::setColorValue(const QString& value) {
    setTag(value);
    setAccessibleDescription(QStringLiteral("Red, green, blue: %1").arg(value));
    update();
}

// A chip of the colour and an arrow inside a button's ring, so that a white one
// never reads as an empty box; the ring takes the focus colour with the focus.
void ColorSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(QPen(hasFocus() ? theme::color("focus") : theme::color("inputBorder"),
                  hasFocus() ? 2.0 : 1.0));
    p.setBrush(theme::color("surface"));
    p.drawRoundedRect(outer, 6, 6);
    const QRectF chip = outer.adjusted(4, 4, -18, -4);
    p.setPen(QPen(theme::color("inputBorder"), 1.0));
    p.setBrush(color());
    p.drawRoundedRect(chip, 3, 3);
    const QPointF tip(outer.right() - 9, outer.center().y() + 2);
    p.setPen(QPen(theme::color("muted"), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{tip + QPointF(-4, -4), tip, tip + QPointF(4, -4)});
}

QColor ColorSwatch::color() const {
    const auto rgb = tandrel::parseRgb(tag());
    if (!rgb)
        return Qt::black;
    return QColor(rgb->r, rgb->g, rgb->b);
}

CollapsiblePanel::CollapsiblePanel(ClickLabel* title, QWidget* parent)
    : QFrame(parent), m_title(title), m_caption(title->text()), m_body(new QWidget(this)) {
    setObjectName(QString());
    setProperty("panel", true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_title->setParent(this);
    m_title->setProperty("panelTitle", true);
    m_title->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout->addWidget(m_title);
    layout->addWidget(m_body);
    connect(m_title, &ClickLabel::clicked, this, &CollapsiblePanel::expandCollapse);
}

void CollapsiblePanel::setExpanded(bool expanded) {
    m_expanded = expanded;
    m_body->setVisible(expanded);
    // A closed panel says that it opens.
    m_title->setText((expanded ? QStringLiteral("\u25BE  ") : QStringLiteral("\u25B8  ")) +
                     m_caption);
    m_title->setToolTip(expanded ? QString() : QStringLiteral("Click to open"));
    m_title->setProperty("expanded", expanded);
    m_title->style()->unpolish(m_title);
    m_title->style()->polish(m_title);
    adjustSize();
}

void CollapsiblePanel::setInactive(bool inactive) {
    // The style sheet reads the property itself; repolish so it sees the change.
    m_inactive = inactive;
    style()->unpolish(this);
    style()->polish(this);
}

QString windowStyleSheet(const QString& name) {
    loadWindowResources();
    static const bool themed = [] {
        theme::applyToApplication();
        return true;
    }();
    Q_UNUSED(themed);
    QFile style(QStringLiteral(":/tandrel/%1.qss").arg(name));
    if (!style.open(QIODevice::ReadOnly))
        return QString();
    return theme::resolve(QString::fromUtf8(style.readAll()));
}

} // namespace tandrel
