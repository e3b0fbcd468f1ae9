#pragma once

#include "controls.h"
#include "pastecheck.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>

#include <initializer_list>

// Small building blocks shared by the main window's sections.
namespace tandrel::parts {

inline const QString kMissingAddress =
    QStringLiteral("Please go to the first tab and enter the url where you'll upload the funnel.");

// An address pasted behind a scheme already in the box ("http://https://...") keeps its own;
// "https://" goes in front of one typed without a scheme.
inline QString mendedAddress(const QString& typed) {
    static const QRegularExpression doubled(QStringLiteral("^\\s*(?:https?://)+(?=https?://)"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString address = typed;
    address.remove(doubled);
    return withScheme(address);
}

// A bare scheme in a saved funnel is an address not yet typed.
inline QString unlessBareScheme(const QString& address) {
    const QString value = address.trimmed().toLower();
    return value == QLatin1String("http://") || value == QLatin1String("https://") ? QString()
                                                                                   : address;
}

inline QLabel* text(const QString& caption, QWidget* parent, const char* role = nullptr) {
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    if (role)
        label->setProperty("role", QLatin1String(role));
    return label;
}

inline QLabel* warning(const QString& name, const QString& caption, QWidget* parent) {
    auto* label = named(text(caption, parent, "warning"), name);
    label->hide();
    return label;
}

// The rows below stay where they are when it goes, so a click lands where it was aimed.
inline void keepsPlace(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

// The blinking square beside a value the funnel still needs; it keeps its
// space while hidden so the row does not shift at every blink.
inline QFrame* reminder(const QString& name, const QString& missing, QWidget* parent) {
    auto* square = named(new QFrame(parent), name);
    square->setToolTip(missing);
    square->setAccessibleName(missing);
    square->setFixedSize(12, 12);
    square->setProperty("role", QStringLiteral("reminder"));
    keepsPlace(square);
    square->hide();
    return square;
}

// A chosen picture in small, beside its button; hidden until one is chosen.
inline QLabel* thumbnail(const QString& name, QWidget* parent) {
    auto* label = named(new QLabel(parent), name);
    label->setFixedSize(48, 36);
    label->setAlignment(Qt::AlignCenter);
    label->setProperty("role", QStringLiteral("thumbnail"));
    label->hide();
    return label;
}

// "Important:" and its explanation beside it.
inline QHBoxLayout* noteRow(const QString& heading, const QString& explanation, QWidget* parent,
                            const char* role = nullptr) {
    auto* layout = new QHBoxLayout;
    layout->addWidget(text(heading, parent, "important"), 0, Qt::AlignTop);
    layout->addWidget(text(explanation, parent, role), 1);
    return layout;
}

inline QHBoxLayout* row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* layout = new QHBoxLayout;
    layout->setSpacing(8);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    if (stretch)
        layout->addStretch();
    return layout;
}

} // namespace tandrel::parts
