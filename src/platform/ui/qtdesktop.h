#pragma once

#include "desktop.h"

namespace tandrel {

// A page that leads the browser on to a local address with its "#part" or query, which
// openers drop from a file they hand over; empty when it could not be written.
QString pageOpeningAt(const QUrl& url);

class QtDesktop : public Desktop {
public:
    void message(QWidget* parent, const QString& text, const QString& title,
                 MessageIcon icon) override;
    bool question(QWidget* parent, const QString& text, const QString& title,
                  MessageIcon icon) override;
    SaveChoice askToSave(QWidget* parent, const QString& text, const QString& title) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
    QString openFile(QWidget* parent, const QString& title, const QString& folder,
                     const QStringList& filters) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                     const QStringList& filters) override;
    void setClipboardText(const QString& text) override;
    bool openFolder(const QString& path) override;
    bool openUrl(const QUrl& url) override;
    std::optional<QString> readSecret(const QString& key) override;
    bool storeSecret(const QString& key, const QString& secret) override;
    bool forgetSecret(const QString& key) override;
    bool questionDefaultNo(QWidget* parent, const QString& text, const QString& title,
                           MessageIcon icon) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& folder) override;
    std::optional<int> askNumber(QWidget* parent, const QString& title, const QString& label,
                                 int value, int minimum, int maximum) override;
};

} // namespace tandrel
