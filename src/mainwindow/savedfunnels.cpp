#include "frmmass.h"
#include "themegallery.h"

#include "desktop.h"
#include "funnelfile.h"
#include "livepreview.h"
#include "myfunnels.h"
#include "textfiles.h"

#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>

#include <algorithm>

// Saved funnels, the unsaved-changes question and the recovery file.

using namespace tandrel;

namespace {

QString displayName(const QString& funnelFile) {
    return funnelFile.isEmpty() ? QStringLiteral("the new funnel")
                                : QFileInfo(funnelFile).fileName();
}

// Another window or program may save the same file; its content tells.
QByteArray fileStamp(const QString& path) {
    const auto bytes = readFileBytes(path, kFunnelFileLimit);
    return bytes ? QCryptographicHash::hash(bytes.value(), QCryptographicHash::Sha256)
                 : QByteArray();
}

} // namespace

frmMass::~frmMass() = default;

bool frmMass::hasUnsavedChanges() const {
    return m_dirty;
}

void frmMass::edited() {
    m_livePreview->scheduleBuild();
    galThemes->scheduleRefresh();
    if (m_loading || m_bindings.empty())
        return;
    const bool dirty = !(settings() == m_baseline);
    if (dirty != m_dirty) {
        m_dirty = dirty;
        updateTitle();
    }
    refreshSampleNotice();
    // At most the timer's interval after the first change of a burst, not after the last.
    if (!tmrRecovery->isActive())
        tmrRecovery->start();
}

void frmMass::markClean(bool keepRecovery) {
    m_baseline = settings();
    m_dirty = false;
    m_knownThankYou = m_baseline.thankYouPageNumber;
    m_knownDownload = m_baseline.downloadPageNumber;
    tmrRecovery->stop();
    if (!keepRecovery)
        removeRecovery();
    showPageAddresses();
    updateTitle();
}

void frmMass::updateTitle() {
    QString title =
        QStringLiteral("%1 PRO %2 ").arg(QLatin1String(kProductName), QLatin1String(kVersion));
    if (!m_lastFunnelFile.isEmpty())
        title += QStringLiteral("- %1 ").arg(QFileInfo(m_lastFunnelFile).fileName());
    setWindowTitle(title + QStringLiteral("[*]"));
    setWindowModified(m_dirty);
}

void frmMass::writeRecovery() {
    if (!m_dirty) {
        removeRecovery();
        return;
    }
    if (const Status kept = m_recovery.write(m_lastFunnelFile, settings()); !kept)
        showStatus(kept.error(), true);
}

void frmMass::removeRecovery() {
    m_recovery.remove();
}

bool frmMass::offerRecovery() {
    for (const QString& path : m_recovery.leftFiles()) {
        if (auto left = m_recovery.open(path); left && offerRecoveryFile(std::move(*left)))
            return true;
    }
    return false;
}

bool frmMass::offerRecoveryFile(LeftRecovery left) {
    const QString file = left.funnelFile;
    if (!left.settings) {
        desktop().message(this,
                          QStringLiteral("The unsaved changes of the last run could not be read "
                                         "back (%1) and are lost.")
                              .arg(left.settings.error()),
                          QStringLiteral("Error"), MessageIcon::Warning);
        RecoveryStore::discard(left.path);
        return false;
    }
    if (!desktop().question(this,
                            QStringLiteral("Tandrel ended without saving the changes to %1. "
                                           "Restore them?")
                                .arg(displayName(file)),
                            QStringLiteral("Unsaved Changes"), MessageIcon::Warning)) {
        RecoveryStore::discard(left.path);
        return false;
    }
    const FunnelSettings recovered = left.settings.value();
    // This window keeps the restored changes in that file from now on.
    m_recovery.adopt(std::move(left));
    // The saved file, when it still reads, is what the restored changes differ from.
    const auto saved =
        file.isEmpty() ? Result<FunnelSettings>::failure(QString()) : loadFunnelFile(file);
    m_lastFunnelFile = saved ? file : QString();
    m_funnelFileStamp = fileStamp(m_lastFunnelFile);
    setSettings(saved ? saved.value() : FunnelSettings{});
    markClean(true);
    setSettings(recovered);
    writeRecovery();
    return true;
}

bool frmMass::mayReplaceValues() {
    if (!m_dirty)
        return true;
    switch (desktop().askToSave(
        this, QStringLiteral("Save changes to %1?").arg(displayName(m_lastFunnelFile)),
        QStringLiteral("Unsaved Changes"))) {
    case SaveChoice::Save:
        return saveFunnel();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void frmMass::closeEvent(QCloseEvent* event) {
    // Every question first: a Cancel anywhere keeps every window open.
    if (!mayCloseTools() || !mayReplaceValues()) {
        event->ignore();
        return;
    }
    closeTools();
    tmrRecovery->stop();
    removeRecovery();
    event->accept();
}

bool frmMass::saveFunnel(bool askName) {
    QString path = m_lastFunnelFile;
    if (askName || path.isEmpty()) {
        const QString suggested =
            m_lastFunnelFile.isEmpty()
                ? QDir(startFolder()).filePath(QStringLiteral("my.funnel.json"))
                : m_lastFunnelFile;
        path = desktop().saveFile(this, QStringLiteral("Save Funnel"), suggested,
                                  {QStringLiteral("Funnel Files (*.funnel.json)")});
        if (path.isEmpty())
            return false;
        if (!path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
            path += QStringLiteral(".funnel.json");
    }
    if (path == m_lastFunnelFile && QFileInfo::exists(path) &&
        fileStamp(path) != m_funnelFileStamp &&
        !desktop().question(this,
                            QStringLiteral("%1 was changed on disk since it was opened or saved "
                                           "here, perhaps in another window. Replace it with "
                                           "the funnel of this window?")
                                .arg(QFileInfo(path).fileName()),
                            QStringLiteral("File Changed"), MessageIcon::Warning))
        return false;
    FunnelSettings kept = settings();
    // A cover made here goes along under the funnel's own name, so a funnel saved under
    // another name keeps its own; a picture the user chose stays where it is.
    ChosenFile& cover = kept.lblSelectedFile[CoverImage];
    QString coverSource;
    QString missingCover;
    if (isMadeCover(cover.caption)) {
        if (QFileInfo(cover.caption).isFile()) {
            coverSource = cover.caption;
            cover.caption = coverFileFor(path);
        } else {
            missingCover = cover.caption;
        }
    }
    // Pictures beside or below the funnel file are kept relative, so the two can move together.
    const QDir folder = QFileInfo(path).absoluteDir();
    const auto keepRelative = [&folder](ChosenFile& file) {
        const QString relative = folder.relativeFilePath(file.caption);
        if (QDir::isAbsolutePath(file.caption) && !relative.startsWith(QLatin1String("..")))
            file.caption = relative;
    };
    std::ranges::for_each(kept.lblSelectedFile, keepRelative);
    for (PageVersion& version : kept.splitTest.others)
        keepRelative(version.cover);
    if (const Status saved = saveFunnelFile(path, kept, coverSource); !saved) {
        desktop().message(this, saved.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return false;
    }
    m_lastFunnelFile = path;
    m_funnelFileStamp = fileStamp(path);
    if (!coverSource.isEmpty())
        useCover(coverFileFor(path));
    markClean();
    rememberFunnel();
    if (missingCover.isEmpty())
        showStatus(QStringLiteral("Saved %1").arg(QFileInfo(path).fileName()));
    else
        showStatus(QStringLiteral("Saved %1, but without its cover: \"%2\" is missing. Make or "
                                  "choose the cover again.")
                       .arg(QFileInfo(path).fileName(), displayPath(missingCover)),
                   true);
    return true;
}

bool frmMass::isMadeCover(const QString& path) const {
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    const QString folder = QDir::cleanPath(file.absolutePath());
    return file.fileName() == QLatin1String(kSharedCoverName) ||
           (!m_recovery.coverDir().isEmpty() && folder == QDir::cleanPath(m_recovery.coverDir())) ||
           (!m_lastFunnelFile.isEmpty() &&
            QDir::cleanPath(file.absoluteFilePath()) == coverFileFor(m_lastFunnelFile));
}

void frmMass::cmdSaveFunnel_Click() {
    saveFunnel();
}

void frmMass::cmdSaveFunnelAs_Click() {
    saveFunnel(true);
}

QString frmMass::startFolder() const {
    return m_lastFunnelFile.isEmpty() ? QDir::homePath()
                                      : QFileInfo(m_lastFunnelFile).absolutePath();
}

void frmMass::cmdOpenFunnel_Click() {
    if (!mayReplaceValues())
        return;
    const QString path = desktop().openFile(
        this, QStringLiteral("Open Funnel"), startFolder(),
        {QStringLiteral("Funnel Files (*.funnel.json)"), QStringLiteral("All Files (*)")});
    if (!path.isEmpty())
        openFunnelFile(path);
}

void frmMass::cmdMyFunnels_Click() {
    frmMyFunnels list(userSettingsFile(), this);
    if (list.exec() == QDialog::Accepted && !list.chosenFile().isEmpty() && mayReplaceValues())
        openFunnelFile(list.chosenFile());
}

void frmMass::rememberFunnel() {
    FunnelList list(userSettingsFile());
    const QString address = settings().txtFunnelUrl;
    Status kept = m_publishedUnsaved.isValid()
                      ? list.recordPublish(m_lastFunnelFile, address, m_publishedUnsaved)
                      : list.remember(m_lastFunnelFile, address);
    m_publishedUnsaved = QDateTime();
    if (!kept)
        showStatus(kept.error(), true);
}

void frmMass::recordPublish() {
    // Until the funnel has a file, its first save records this publish.
    if (m_lastFunnelFile.isEmpty()) {
        m_publishedUnsaved = QDateTime::currentDateTimeUtc();
        return;
    }
    const Status kept = FunnelList(userSettingsFile())
                            .recordPublish(m_lastFunnelFile, settings().txtFunnelUrl,
                                           QDateTime::currentDateTimeUtc());
    if (!kept)
        showStatus(kept.error(), true);
}

void frmMass::openFunnelFile(const QString& path) {
    const QByteArray stamp = fileStamp(path);
    const auto loaded = loadFunnelFile(path);
    if (!loaded) {
        desktop().message(this, loaded.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
    m_lastFunnelFile = path;
    m_funnelFileStamp = stamp;
    setSettings(loaded.value());
    markClean();
    m_publishedUnsaved = QDateTime();
    rememberFunnel();
    const ChosenFile& cover = loaded->lblSelectedFile[CoverImage];
    if (!cover.tag.isEmpty() && !QFileInfo(cover.caption).isFile())
        showStatus(QStringLiteral("Opened %1, but its cover \"%2\" is missing. Make or choose "
                                  "the cover again.")
                       .arg(QFileInfo(path).fileName(), displayPath(cover.caption)),
                   true);
    else
        showStatus(QStringLiteral("Opened %1").arg(QFileInfo(path).fileName()));
}
