#pragma once

#include "desktop.h"

#include <QList>
#include <QMap>

namespace tandrel {

// The test double: answers come from queues the test fills beforehand, and
// everything shown is recorded. An unscripted dialog is answered "No"/cancel
// and counted in unexpected, so a test can tell.
class ScriptedDesktop : public Desktop {
public:
    struct Shown {
        QString text;
        QString title;
        MessageIcon icon;
        bool question;
        bool defaultNo = false; // of a question
    };

    ScriptedDesktop() { setDesktop(this); }
    ~ScriptedDesktop() override { setDesktop(nullptr); }

    QList<bool> answers;                 // for question()
    QList<SaveChoice> saveChoices;       // for askToSave(); unscripted cancels
    QList<std::optional<QColor>> colors; // for chooseColor(); nullopt cancels
    QList<QString> files;                // for openFile() and saveFile(); "" cancels
    QList<QString> folders;              // for chooseFolder(); "" cancels
    QList<std::optional<int>> numbers;   // for askNumber(); nullopt cancels

    QList<Shown> shown;
    QList<QString> fileDialogFolders;
    QList<QStringList> fileDialogFilters;
    QString clipboard;
    int clipboardWrites = 0;
    QList<QString> openedFolders;
    QList<QUrl> openedUrls;
    bool foldersOpen = true;        // what openFolder() answers
    bool urlsOpen = true;           // what openUrl() answers
    QMap<QString, QString> secrets; // the keyring
    int unexpected = 0;

    void message(QWidget*, const QString& text, const QString& title, MessageIcon icon) override {
        shown.append({text, title, icon, false});
    }
    bool question(QWidget*, const QString& text, const QString& title, MessageIcon icon) override {
        shown.append({text, title, icon, true});
        return next(answers, false);
    }
    SaveChoice askToSave(QWidget*, const QString& text, const QString& title) override {
        shown.append({text, title, MessageIcon::Warning, true});
        return next(saveChoices, SaveChoice::Cancel);
    }
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override {
        return next(colors, std::optional<QColor>());
    }
    QString openFile(QWidget*, const QString&, const QString& folder,
                     const QStringList& filters) override {
        fileDialogFolders.append(folder);
        fileDialogFilters.append(filters);
        return next(files, QString());
    }
    QString saveFile(QWidget*, const QString&, const QString& suggestedPath,
                     const QStringList& filters) override {
        fileDialogFolders.append(suggestedPath);
        fileDialogFilters.append(filters);
        return next(files, QString());
    }
    void setClipboardText(const QString& text) override {
        clipboard = text;
        ++clipboardWrites;
    }
    bool openFolder(const QString& path) override {
        openedFolders.append(path);
        return foldersOpen;
    }
    bool openUrl(const QUrl& url) override {
        openedUrls.append(url);
        return urlsOpen;
    }

    std::optional<QString> readSecret(const QString& key) override {
        return secrets.contains(key) ? std::optional<QString>(secrets.value(key)) : std::nullopt;
    }
    bool storeSecret(const QString& key, const QString& secret) override {
        secrets.insert(key, secret);
        return true;
    }
    bool forgetSecret(const QString& key) override {
        secrets.remove(key);
        return true;
    }

    bool questionDefaultNo(QWidget*, const QString& text, const QString& title,
                           MessageIcon icon) override {
        shown.append({text, title, icon, true, true});
        return next(answers, false);
    }
    QString chooseFolder(QWidget*, const QString&, const QString& folder) override {
        fileDialogFolders.append(folder);
        return next(folders, QString());
    }
    std::optional<int> askNumber(QWidget*, const QString&, const QString&, int, int, int) override {
        return next(numbers, std::optional<int>());
    }

    const Shown& last() const { return shown.constLast(); }

private:
    template <typename T> T next(QList<T>& queue, T fallback) {
        if (queue.isEmpty()) {
            ++unexpected;
            return fallback;
        }
        return queue.takeFirst();
    }
};

} // namespace tandrel
