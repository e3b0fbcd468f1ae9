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
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

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

namespace {

// Qt only reports that xdg-open started; its exit code says whether a program took the
// target. One that keeps running is taken as opened. Nothing without xdg-open.
std::optional<bool> openWithXdg(const QString& target) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        auto* process = new QProcess;
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->start(opener, {target});
        if (!process->waitForStarted()) {
            delete process;
            return false;
        }
        if (!process->waitForFinished(5000))
            return true;
        return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    }
#else
    Q_UNUSED(target);
#endif
    return std::nullopt;
}

} // namespace

QString pageOpeningAt(const QUrl& url) {
    // Kept for the program's run: the browser may read it after we return.
    static QTemporaryDir folder;
    if (!folder.isValid())
        return QString();
    static int made = 0;
    const QString path = folder.filePath(QStringLiteral("open-%1.html").arg(++made));
    const QString target = QString::fromUtf8(url.toEncoded()).toHtmlEscaped();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QStringLiteral("<!DOCTYPE html>\n<meta charset=\"utf-8\">\n"
                              "<meta http-equiv=\"refresh\" content=\"0; url=%1\">\n"
                              "<a href=\"%1\">%1</a>\n")
                   .arg(target)
                   .toUtf8());
    return file.commit() ? path : QString();
}

bool QtDesktop::openFolder(const QString& path) {
    if (const auto opened = openWithXdg(path))
        return *opened;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktop::openUrl(const QUrl& url) {
    // Openers hand a local file to the browser as a path, without its "#part": a page of
    // ours that leads on to the whole address keeps it.
    QString target = url.isLocalFile() ? url.toLocalFile() : QString::fromUtf8(url.toEncoded());
    if (url.isLocalFile() && (url.hasFragment() || url.hasQuery())) {
        target = pageOpeningAt(url);
        if (target.isEmpty())
            return false;
    }
    if (const auto opened = openWithXdg(target))
        return *opened;
    return QDesktopServices::openUrl(url.isLocalFile() ? QUrl::fromLocalFile(target) : url);
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
