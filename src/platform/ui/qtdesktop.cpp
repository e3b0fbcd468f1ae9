#include "qtdesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace tandrel {

namespace {

QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QtDesktop& realDesktop() {
    static QtDesktop instance;
    return instance;
}

Desktop* current = nullptr;

} // namespace

Desktop& desktop() {
    return current ? *current : realDesktop();
}
void setDesktop(Desktop* replacement) {
    current = replacement;
}

bool ShellOpen(const QString& target) {
    if (target.isEmpty())
        return false;
    return desktop().openUrl(QUrl::fromUserInput(target));
}

void QtDesktop::message(QWidget* parent, const QString& text, const QString& title,
                        MessageIcon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDesktop::question(QWidget* parent, const QString& text, const QString& title,
                         MessageIcon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QColor> QtDesktop::chooseColor(QWidget* parent, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

QString QtDesktop::openFile(QWidget* parent, const QString& title, const QString& folder,
                            const QStringList& filters) {
    return QFileDialog::getOpenFileName(parent, title, folder, filters.join(QStringLiteral(";;")));
}

QString QtDesktop::saveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                            const QStringList& filters) {
    return QFileDialog::getSaveFileName(parent, title, suggestedPath,
                                        filters.join(QStringLiteral(";;")));
}

void QtDesktop::setClipboardText(const QString& text) {
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

bool QtDesktop::openFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktop::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace tandrel
