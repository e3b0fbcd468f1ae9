#pragma once

#include <QFrame>
#include <QLabel>

class QPushButton;
class QVBoxLayout;

namespace tandrel {

// objectName of a member of a control array: "name[index]".
inline QString indexed(const char* name, int index) {
    return QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(index);
}

template <typename T> T* named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// A path shortened to width: the folders lose their middle first, so the start of the
// folder and the file's name stay readable.
QString elidedPath(const QString& path, const QFontMetrics& metrics, int width);

// A push button showing text, found by name.
QPushButton* button(const QString& text, const QString& name, QWidget* parent);

// A label with a tag: text kept with the control and not shown (a chosen
// file's bare name, a swatch's "r,g,b").
class TagLabel : public QLabel {
    Q_OBJECT
public:
    explicit TagLabel(const QString& text = QString(), QWidget* parent = nullptr)
        : QLabel(text, parent) {}
    QString tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }
    // Text too long for the label is shown shortened with an ellipsis; text() stays whole.
    void setElideMode(Qt::TextElideMode mode) { m_elide = mode; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_tag;
    Qt::TextElideMode m_elide = Qt::ElideNone;
};

// A label that reports clicks: links, swatches, menu captions.
class ClickLabel : public TagLabel {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& text = QString(), QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A colour swatch: its background shows the colour its tag holds as "r,g,b".
class ColorSwatch : public ClickLabel {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);
    void setColorValue(const QString& value);
    QColor color() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A panel with a title bar that opens and closes its body.
class CollapsiblePanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(bool expanded READ isExpanded WRITE setExpanded)
    Q_PROPERTY(bool inactive READ isInactive WRITE setInactive)
public:
    CollapsiblePanel(ClickLabel* title, QWidget* parent = nullptr);
    QWidget* body() const { return m_body; }
    ClickLabel* title() const { return m_title; }

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    bool isInactive() const { return m_inactive; }
    void setInactive(bool inactive);

signals:
    // The user opened or closed the panel through its title.
    void expandCollapse();

private:
    ClickLabel* m_title;
    QString m_caption; // the title without its open/closed sign
    QWidget* m_body;
    bool m_expanded = true;
    bool m_inactive = false;
};

// The windows' style sheet NAME.qss from the program's resource, in the colours of
// the desktop's shade (the first call gives the application that palette); empty
// when it is missing.
QString windowStyleSheet(const QString& name);

} // namespace tandrel
