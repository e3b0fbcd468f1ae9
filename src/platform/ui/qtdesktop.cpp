#include "qtdesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include <qt6keychain/keychain.h>

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

bool QtDesktop::questionDefaultNo(QWidget* parent, const QString& text, const QString& title,
                                  MessageIcon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDesktop::chooseFolder(QWidget* parent, const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, title, folder);
}

std::optional<int> QtDesktop::askNumber(QWidget* parent, const QString& title, const QString& label,
                                        int value, int minimum, int maximum) {
    bool ok = false;
    const int chosen = QInputDialog::getInt(parent, title, label, value, minimum, maximum, 1, &ok);
    if (!ok)
        return std::nullopt;
    return chosen;
}

SaveChoice QtDesktop::askToSave(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Warning, title, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
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
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt only reports that xdg-open started; its exit code says whether a file
    // browser took the folder. One that keeps running is taken as opened.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        auto* process = new QProcess;
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->start(opener, {path});
        if (!process->waitForStarted()) {
            delete process;
            return false;
        }
        if (!process->waitForFinished(5000))
            return true;
        return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    }
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktop::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

namespace {

const QString kKeyringService = QStringLiteral("Tandrel");

// QtKeychain answers asynchronously; the windows ask between two clicks.
template <typename Job> bool runJob(Job& job) {
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    job.start();
    loop.exec();
    return job.error() == QKeychain::NoError;
}

} // namespace

std::optional<QString> QtDesktop::readSecret(const QString& key) {
    QKeychain::ReadPasswordJob job(kKeyringService);
    job.setKey(key);
    if (!runJob(job))
        return std::nullopt;
    return job.textData();
}

bool QtDesktop::storeSecret(const QString& key, const QString& secret) {
    QKeychain::WritePasswordJob job(kKeyringService);
    job.setKey(key);
    job.setTextData(secret);
    return runJob(job);
}

bool QtDesktop::forgetSecret(const QString& key) {
    QKeychain::DeletePasswordJob job(kKeyringService);
    job.setKey(key);
    return runJob(job) || job.error() == QKeychain::EntryNotFound;
}

} // namespace tandrel
