#include "frmmass.h"

#include "controls.h"
#include "desktop.h"
#include "dialogs.h"
#include "frmcovercreator.h"
#include "frmquickspinner.h"
#include "funnelbuild.h"
#include "modcopy.h"
#include "pastecheck.h"
#include "textfiles.h"
#include "tools.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>

// What the buttons and links of the sections open or start.

using namespace tandrel;

namespace {

// Every form of the page sends to the local page instead of where it was set to send.
QString sendFormsTo(const QString& html, const QString& page) {
    static const QRegularExpression formTag(QStringLiteral("<form\\b[^>]*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression sendingAttributes(
        QStringLiteral("\\s(action|method|target|onsubmit)\\s*=\\s*(\"[^\"]*\"|'[^']*'|[^\\s>]*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString local = QStringLiteral("<form action=\"%1\" method=\"get\"").arg(page);
    QString out;
    qsizetype last = 0;
    for (auto it = formTag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        QString tag = m.captured();
        tag.remove(sendingAttributes);
        out += html.mid(last, m.capturedStart() - last) + local + tag.mid(5);
        last = m.capturedEnd();
    }
    return out + html.mid(last);
}

// In the preview copy only: signing up leads to the local thank-you page instead of
// the autoresponder, and that page on to the local download page.
Status linkPreviewPages(const QString& folder, const FunnelSettings& s) {
    const auto rewrite = [&folder](const QString& name, const std::function<QString(QString)>& f) {
        const QString path = AppPaths::join(folder, name);
        const auto page =
            readFileBytes(path, qint64(64) * 1024 * 1024, QStringLiteral("The preview page"));
        if (!page)
            return Status::failure(page.error());
        return writeFileAtomically(path, f(QString::fromUtf8(page.value())).toUtf8());
    };
    Status optIn = rewrite(QStringLiteral("index.html"), [&s](const QString& html) {
        return sendFormsTo(html, s.thankYouPageFile);
    });
    if (!optIn || s.optAction != 0)
        return optIn;
    return rewrite(s.thankYouPageFile, [&s](QString html) {
        return html.replace(s.txtDownloadUrl, s.downloadPageFile);
    });
}

} // namespace

// ---- Dialogs ----

void frmMass::lblHead_Click() {
    frmHead dialog(m_hidden.headCode, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_hidden.headCode = dialog.headCode();
    edited();
}

void frmMass::Label63_Click() {
    frmFreeWebsites dialog(this);
    dialog.exec();
}

void frmMass::Command4_Click() {
    // The design lives with the funnel, so the cover can be changed later.
    frmCoverCreator creator(m_paths, m_hidden.coverDesign, this);
    connect(&creator, &frmCoverCreator::coverSaved, this, [this, &creator](const QString& path) {
        m_hidden.coverDesign = creator.designJson();
        useCover(path);
        edited();
    });
    creator.exec();
}

void frmMass::cmdPro_Click() {
    frmPro dialog(m_hidden.retargetingCode, m_hidden.backControl, m_hidden.backUrl, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_hidden.retargetingCode = dialog.retargetingCode();
    m_hidden.backControl = dialog.backControl();
    m_hidden.backUrl = dialog.backUrl();
    edited();
}

void frmMass::cmdSpinner_Click() {
    std::array<QString, 5> articles;
    for (int i = 0; i < 5; ++i)
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
    m_knownThankYou = m_hidden.thankYouPageNumber;
    m_knownDownload = m_hidden.downloadPageNumber;
    showPageAddresses();
    if (const QStringList samples = sampleTextsLeft(settings()); !samples.isEmpty())
        showStatus(QStringLiteral("Built with sample texts still in: %1.")
                       .arg(samples.join(QStringLiteral(", "))));
    // The folder is named, so it can be found without the file browser too.
    if (desktop().question(
            this,
            QStringLiteral("Process complete. Do you want to open the output folder?\n\n%1")
                .arg(displayPath(outcome.outputFolder)),
            QStringLiteral("Done"), MessageIcon::Information))
        cmdOpenOutput_Click();
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

void frmMass::cmdPreview_Click() {
    // A copy of the templates in a folder of its own: the real output stays as it is.
    auto folder = std::make_unique<QTemporaryDir>();
    const AppPaths preview(folder->path());
    // Installed, the snippets are the install's, not the user's folder.
    const std::pair<QString, QString> parts[] = {{m_paths.templatesDir(), preview.templatesDir()},
                                                 {m_paths.snippetsDir(), preview.snippetsDir()}};
    for (const auto& [from, to] : parts) {
        if (const Status copied = modCopy::CopyFolder(from, to); !copied) {
            desktop().message(this, copied.error(), QStringLiteral("Error"), MessageIcon::Critical);
            return;
        }
    }
    const BuildOutcome outcome = buildFunnel(settings(), preview);
    if (!reportUnbuilt(outcome))
        return;
    if (const Status linked = linkPreviewPages(outcome.outputFolder, settings()); !linked) {
        desktop().message(this, linked.error(), QStringLiteral("Error"), MessageIcon::Critical);
        return;
    }
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
