#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QWidget;

namespace tandrel {

enum class MessageIcon { None, Information, Warning, Critical };
enum class SaveChoice { Save, Discard, Cancel };

// Everything modal or outside the process that the windows need. Windows use
// desktop(); tests install a ScriptedDesktop that answers without a human.
class Desktop {
public:
    virtual ~Desktop() = default;

    // A notice with an OK button.
    virtual void message(QWidget* parent, const QString& text, const QString& title,
                         MessageIcon icon) = 0;
    // Yes and No; true for Yes.
    virtual bool question(QWidget* parent, const QString& text, const QString& title,
                          MessageIcon icon) = 0;
    // Save, Discard and Cancel, for changes that would be lost.
    virtual SaveChoice askToSave(QWidget* parent, const QString& text, const QString& title) = 0;
    // Nothing when cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
    // filters: "Description (*.ext)" entries, the first preselected. Empty text when cancelled.
    virtual QString openFile(QWidget* parent, const QString& title, const QString& folder,
                             const QStringList& filters) = 0;
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                             const QStringList& filters) = 0;
    virtual void setClipboardText(const QString& text) = 0;
    virtual bool openFolder(const QString& path) = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    // The desktop's keyring. Nothing when it holds no such secret or there is
    // no keyring; false when storing or forgetting failed.
    virtual std::optional<QString> readSecret(const QString& key) = 0;
    virtual bool storeSecret(const QString& key, const QString& secret) = 0;
    virtual bool forgetSecret(const QString& key) = 0;
    // Yes and No with No the default, for a Yes that replaces something.
    virtual bool questionDefaultNo(QWidget* parent, const QString& text, const QString& title,
                                   MessageIcon icon) = 0;
    // Empty text when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& title, const QString& folder) = 0;
    // A whole number from minimum to maximum; nothing when cancelled.
    virtual std::optional<int> askNumber(QWidget* parent, const QString& title,
                                         const QString& label, int value, int minimum,
                                         int maximum) = 0;
};

Desktop& desktop();

// Opens a web address in the browser or a path with its default program.
bool ShellOpen(const QString& target);
// Not owned; nullptr returns to the real desktop.
void setDesktop(Desktop* replacement);

} // namespace tandrel
