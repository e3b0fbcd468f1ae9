#include "controls.h"

#include "rgbtext.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>

// The resource lives in a static library; this keeps the linker from dropping it.
static void loadWindowResources() {
    Q_INIT_RESOURCE(mainwindow);
}

namespace tandrel {

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
    setFixedSize(44, 24);
    setAutoFillBackground(true);
    setFrameShape(QFrame::Box);
}

void ColorSwatch::setColorValue(const QString& value) {
    setTag(value);
    QPalette p = palette();
    p.setColor(QPalette::Window, color());
    setPalette(p);
    setStyleSheet(
        QStringLiteral("background-color: rgb(%1); border: 1px solid #9aa3ad; border-radius: 4px;")
            .arg(value));
}

QColor ColorSwatch::color() const {
    const auto rgb = tandrel::parseRgb(tag());
    if (!rgb)
        return Qt::black;
    return QColor(rgb->r, rgb->g, rgb->b);
}

CollapsiblePanel::CollapsiblePanel(ClickLabel* title, QWidget* parent)
    : QFrame(parent), m_title(title), m_body(new QWidget(this)) {
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
    QFile style(QStringLiteral(":/tandrel/%1.qss").arg(name));
    if (!style.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(style.readAll());
}

} // namespace tandrel
