#include "funnelbuild.h"

#include "modcopy.h"
#include "pages.h"
#include "tools.h"

#include <QDir>
#include <QFile>

namespace tandrel {

namespace {

BuildOutcome failed(const QString& message) {
    BuildOutcome outcome;
    outcome.kind = BuildOutcome::Kind::Failed;
    outcome.message = message;
    return outcome;
}

Status removeIfPresent(const QString& path) {
    if (!QFileInfo::exists(path) || QFile::remove(path))
        return Status::success();
    return Status::failure(QStringLiteral("The file \"%1\" could not be deleted from the output folder.")
                               .arg(displayPath(path)));
}

// The previous funnel's files; sub-folders and hidden files stay.
Status emptyOutputFolder(const QString& folder) {
    const auto files = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& file : files) {
        if (Status s = removeIfPresent(file.filePath()); !s)
            return s;
    }
    return Status::success();
}

const char* const kChosenFileNames[] = {"background image", "cover image", "delivery file"};

} // namespace

std::optional<MissingInfo> checkFunnelSettings(const FunnelSettings& s) {
    if (s.isFunnelUrlMissing())
        return MissingInfo{QStringLiteral("Please enter the url where you'll upload this funnel."), GeneralInfo};
    if (s.txtoptinForm.isEmpty())
        return MissingInfo{QStringLiteral("Please enter your opt-in form code for this funnel."),
                           LeadMagnetPage, true};
    if (s.txtFunnel_YouTubeID.isEmpty())
        return MissingInfo{QStringLiteral("Please enter a video to use for this funnel."), ThankYouPage};
    static const MissingInfo fileChecks[] = {
        {QStringLiteral("Please select a background image."), GeneralInfo},
        {QStringLiteral("Please select a cover image for your lead magnet."), LeadMagnetPage},
        {QStringLiteral("Please select a delivery file."), ThankYouPage},
    };
    for (int i = 0; i < 3; ++i) {
        if (s.isFileRequired(i) && s.lblSelectedFile[i].tag.isEmpty())
            return fileChecks[i];
    }
    return std::nullopt;
}

BuildOutcome buildFunnel(const FunnelSettings& s, const AppPaths& paths) {
    if (auto missing = checkFunnelSettings(s)) {
        BuildOutcome outcome;
        outcome.kind = BuildOutcome::Kind::MissingInfo;
        outcome.message = missing->message;
        outcome.section = missing->section;
        outcome.openOptInPanel = missing->openOptInPanel;
        return outcome;
    }
    if (s.thankYouPageFile.isEmpty() || s.downloadPageFile.isEmpty())
        return failed(QStringLiteral("The page addresses have not been derived from the funnel address \"%1\".")
                          .arg(s.txtFunnelUrl));

    auto templates = loadTemplates(paths, s);
    if (!templates)
        return failed(templates.error());

    const QString output = paths.outputTemplatesDir();
    QDir().mkpath(paths.outputRoot());
    QDir().mkpath(output);
    if (!FileExists(output, true))
        return failed(QStringLiteral("The following folder is not present:%1 --- Please create it or reinstall the software.")
                          .arg(displayPath(output)));

    if (Status s1 = emptyOutputFolder(output); !s1)
        return failed(s1.error());
    if (Status s2 = modCopy::CopyFolder(paths.templatesDir(), output); !s2)
        return failed(s2.error());
    for (const char* name : {"index.html", "thanks.html", "thanks_flat.html", "download.html",
                             "index-1colimage.html", "index-1colvideo.html", "index-2colsvideo.html",
                             "progressbar.htm"}) {
        if (Status s3 = removeIfPresent(AppPaths::join(output, QLatin1String(name))); !s3)
            return failed(s3.error());
    }

    const QString leadPage = QStringLiteral("index.html");
    const std::pair<QString, Result<QString>> pages[] = {
        {leadPage, generateLeadMagnetPage(s, templates.value(), paths)},
        {s.thankYouPageFile, generateThankYouPage(s, templates.value())},
        {s.downloadPageFile, generateDownloadPage(s, templates.value(), paths)},
    };
    for (const auto& [name, text] : pages) {
        if (!text)
            return failed(text.error());
        if (Status written = writePage(AppPaths::join(output, name), text.value()); !written)
            return failed(written.error());
    }

    for (int i = 0; i < 3; ++i) {
        if (!s.isFileRequired(i))
            continue;
        const QString source = s.lblSelectedFile[i].caption;
        if (!FileExists(source, false))
            return failed(QStringLiteral("The %1 \"%2\" no longer exists.")
                              .arg(QLatin1String(kChosenFileNames[i]), displayPath(source)));
        const QString target = AppPaths::join(output, GetFileName(source));
        if (Status removed = removeIfPresent(target); !removed)
            return failed(removed.error());
        if (!QFile::copy(source, target))
            return failed(QStringLiteral("The %1 \"%2\" could not be copied to the output folder.")
                              .arg(QLatin1String(kChosenFileNames[i]), displayPath(source)));
    }

    if (Status s4 = removeIfPresent(AppPaths::join(output, QStringLiteral("index_cover.html"))); !s4)
        return failed(s4.error());

    BuildOutcome outcome;
    outcome.kind = BuildOutcome::Kind::Built;
    outcome.pages = {leadPage, s.thankYouPageFile, s.downloadPageFile};
    outcome.outputFolder = output;
    return outcome;
}

} // namespace tandrel
