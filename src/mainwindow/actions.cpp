#include "frmmass.h"

#include "controls.h"
#include "desktop.h"
#include "dialogs.h"
#include "frmcovercreator.h"
#include "frmquickspinner.h"
#include "funnelfile.h"
#include "pastecheck.h"
#include "preview.h"
#include "privacyreport.h"
#include "publishpanel.h"
#include "splittestdialog.h"
#include "textfiles.h"
#include "tools.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTime>
#include <QUrl>

// What the buttons and links of the sections open or start.

using namespace tandrel;

// ---- Dialogs ----

void frmMass::lblHead_Click() {
    frmHead dialog(m_kept.headCode, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_kept.headCode = dialog.headCode();
    edited();
}

void frmMass::Label63_Click() {
    frmFreeWebsites dialog(this);
    dialog.exec();
}

void frmMass::Command4_Click() {
    // Until the funnel is saved its new cover stays with this window's unsaved changes, so a
    // crash keeps it and no other window overwrites it; it already has the name it will be
    // saved and published under.
    const auto folder = m_recovery.makeCoverDir();
    if (!folder) {
        desktop().message(this, folder.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
    // The design lives with the funnel, so the cover can be changed later.
    frmCoverCreator creator(m_paths, QDir(folder.value()).filePath(coverNameFor(m_lastFunnelFile)),
                            m_kept.coverDesign, this);
    connect(&creator, &frmCoverCreator::coverSaved, this, [this, &creator](const QString& path) {
        m_kept.coverDesign = creator.designJson();
        useCover(path);
        edited();
    });
    creator.exec();
}

void frmMass::cmdPro_Click() {
    frmPro dialog(m_kept.retargetingCode, m_kept.backControl, m_kept.backUrl, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_kept.retargetingCode = dialog.retargetingCode();
    m_kept.backControl = dialog.backControl();
    m_kept.backUrl = dialog.backUrl();
    edited();
}

void frmMass::cmdSplitTest_Click() {
    SplitTestDialog dialog(settings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_kept.splitTest = dialog.splitTest();
    edited();
}

void frmMass::cmdSpinner_Click() {
    std::array<QString, 5> articles;
    for (int i = 0; i < int(articles.size()); ++i)
        articles[i] = lblSelected[i]->tag();
    auto* spinner = new frmQuickSpinner(m_paths, articles, this);
    spinner->setProperty("helpTopic", QStringLiteral("spinner"));
    // The five paths stay here for the run.
    connect(spinner, &frmQuickSpinner::articleChosen, this, [this](int i, const QString& path) {
        lblSelected[i]->setTag(path);
        lblSelected[i]->setText(path);
    });
    spinner->setAttribute(Qt::WA_DeleteOnClose);
    spinner->show();
}

bool frmMass::mayCloseTools() {
    for (auto* spinner : findChildren<frmQuickSpinner*>()) {
        if (spinner->isVisible() && !spinner->mayDiscardEdits())
            return false;
    }
    return true;
}

void frmMass::closeTools() {
    for (auto* spinner : findChildren<frmQuickSpinner*>())
        spinner->closeDiscarding();
}

void frmMass::showManual(const QString& topic) {
    const QString page = AppPaths::join(m_paths.dataDir(), QStringLiteral("manual/index.html"));
    if (!QFileInfo::exists(page)) {
        desktop().message(this,
                          QStringLiteral("The user manual \"%1\" is missing; installing Tandrel "
                                         "again puts it back.")
                              .arg(displayPath(page)),
                          QStringLiteral("Help"), MessageIcon::Warning);
        return;
    }
    QUrl address = QUrl::fromLocalFile(page);
    if (!topic.isEmpty())
        address.setFragment(topic);
    if (!desktop().openUrl(address))
        desktop().message(this,
                          QStringLiteral("The user manual \"%1\" could not be opened in the "
                                         "browser.")
                              .arg(displayPath(page)),
                          QStringLiteral("Help"), MessageIcon::Warning);
}

void frmMass::lblBy_Click() {
    if (!ShellOpen(QLatin1String(kProjectWebPage)))
        desktop().message(this,
                          QStringLiteral("The web page %1 could not be opened.")
                              .arg(QLatin1String(kProjectWebPage)),
                          QStringLiteral("Error"), MessageIcon::Warning);
}

// ---- Build ----

bool frmMass::reportUnbuilt(const BuildOutcome& outcome) {
    switch (outcome.kind) {
    case BuildOutcome::Kind::MissingInfo:
        desktop().message(this, outcome.message, QStringLiteral("Missing Info"),
                          MessageIcon::Information);
        ShowSection(outcome.section);
        if (outcome.openOptInPanel)
            Label50_Click(1);
        return false;
    case BuildOutcome::Kind::Failed:
        showStatus(QStringLiteral("Not built: ") + outcome.message.section(u'\n', 0, 0));
        desktop().message(this, outcome.message, QStringLiteral("Error"), MessageIcon::Critical);
        return false;
    case BuildOutcome::Kind::Built:
        break;
    }
    return true;
}

void frmMass::cmdBuildFunnel_Click() {
    const BuildOutcome outcome = buildFunnel(settings(), m_paths);
    if (!reportUnbuilt(outcome))
        return;
    // Built pages carry these numbers now: the autoresponder may be told them.
    m_knownThankYou = m_kept.thankYouPageNumber;
    m_knownDownload = m_kept.downloadPageNumber;
    showPageAddresses();
    m_builtSamples = sampleTextsLeft(settings());
    lblSampleTexts->hide();
    refreshSampleNotice();
    showBuildResult(outcome);
    // The folder is named, so it can be found without the file browser too.
    if (desktop().question(
            this,
            QStringLiteral("Process complete. Do you want to open the output folder?\n\n%1\n\n%2")
                .arg(displayPath(outcome.outputFolder), weightNote(outcome)),
            QStringLiteral("Done"), MessageIcon::Information))
        cmdOpenOutput_Click();
}

void frmMass::showBuildResult(const BuildOutcome& outcome) {
    // What the last publish said is about the pages built before.
    m_publish->forgetResult();
    showStatus(QStringLiteral("Built %1 at %2: %3. %4")
                   .arg(displayPath(outcome.outputFolder),
                        QTime::currentTime().toString(QStringLiteral("HH:mm")),
                        outcome.pages.join(QStringLiteral(", ")),
                        weightNote(outcome).section(u'\n', 0, 0)));
}

void frmMass::cmdOpenOutput_Click() {
    const QString folder = m_paths.outputTemplatesDir() + QLatin1Char('/');
    if (!FileExists(folder, true)) {
        desktop().message(
            this,
            QStringLiteral("The output folder \"%1\" does not exist yet; build a funnel first.")
                .arg(displayPath(folder)),
            QStringLiteral("Info"), MessageIcon::Information);
        return;
    }
    if (!desktop().openFolder(folder))
        desktop().message(this,
                          QStringLiteral("The output folder \"%1\" could not be opened.")
                              .arg(displayPath(folder)),
                          QStringLiteral("Error"), MessageIcon::Warning);
}

void frmMass::cmdPrivacyReport_Click() {
    const QString folder = m_paths.outputTemplatesDir();
    if (!FileExists(folder + QLatin1Char('/'), true)) {
        desktop().message(this,
                          QStringLiteral("There is no built funnel in \"%1\" yet; build the "
                                         "funnel first, then its pages can be reported on.")
                              .arg(displayPath(folder)),
                          QStringLiteral("Info"), MessageIcon::Information);
        return;
    }
    const auto report = privacyReport(folder, settings());
    if (!report) {
        desktop().message(this, report.error(), QStringLiteral("Error"), MessageIcon::Warning);
        return;
    }
    frmPrivacyReport dialog(report->summary(), report->lines(), this);
    dialog.exec();
}

void frmMass::cmdPreview_Click() {
    // A folder of its own: the real output stays as it is.
    auto folder = std::make_unique<QTemporaryDir>();
    const BuildOutcome outcome = buildPreview(settings(), m_paths, *folder);
    if (!reportUnbuilt(outcome))
        return;
    m_previewFolder = std::move(folder);
    showStatus(QStringLiteral("In the preview, signing up leads to the thank-you page; nothing "
                              "is sent to the autoresponder."));
    const QString page = AppPaths::join(outcome.outputFolder, QStringLiteral("index.html"));
    if (!desktop().openUrl(QUrl::fromLocalFile(page)))
        desktop().message(this,
                          QStringLiteral("The preview \"%1\" could not be opened in the browser.")
                              .arg(displayPath(page)),
                          QStringLiteral("Error"), MessageIcon::Warning);
}
