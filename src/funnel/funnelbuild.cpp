#include "funnelbuild.h"

#include "buildrecord.h"

#include "modcopy.h"
#include "pagefinish.h"
#include "pages.h"
#include "textfiles.h"
#include "tools.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace tandrel {

namespace {

const char* const kChosenFileNames[] = {"background image", "cover image", "delivery file"};

// The page templates that come with the template copy and are not part of a funnel.
const char* const kTemplateFiles[] = {
    kOptinTemplates[0],     kOptinTemplates[1],      kThanksTemplates[0],
    kThanksTemplates[1],    kDownloadTemplate,       kProgressBarTemplate,
    "index-1colvideo.html", "index-2colsvideo.html", "index_cover.html"};

struct Picture {
    QString source;
    QString name; // the file name beside the pages
    QByteArray bytes;
    QSize shownSize; // browsers apply the EXIF rotation
};

// Read whole before anything is touched: the picture may lie in the output folder itself.
Result<Picture> readPicture(int index, const QString& path) {
    const QString what = QStringLiteral("The %1").arg(QLatin1String(kChosenFileNames[index]));
    auto bytes = readFileBytes(path, kPictureFileLimit, what, QStringLiteral("picture"));
    if (!bytes)
        return Result<Picture>::failure(bytes.error());
    QBuffer buffer(&bytes.value());
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    static const QList<QByteArray> webFormats = {"jpeg", "jpg", "png", "gif", "webp", "bmp"};
    if (!reader.canRead() || !webFormats.contains(reader.format().toLower()))
        return Result<Picture>::failure(QStringLiteral("%1 \"%2\" is not a picture a browser can "
                                                       "show (a JPEG, PNG, GIF, WebP or BMP file).")
                                            .arg(what, displayPath(path)));
    QSize size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return Picture{path, GetFileName(path), std::move(bytes.value()), size};
}

// Names beside the pages are compared without case: many disks and hosts ignore it.
Status checkNames(const QList<Picture>& pictures, const QStringList& pages,
                  const QString& templatesDir) {
    QStringList reserved = pages;
    const auto entries =
        QDir(templatesDir)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    reserved += entries;
    for (const char* name : kTemplateFiles)
        reserved.append(QLatin1String(name));
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        const Picture& picture = pictures[i];
        if (reserved.contains(picture.name, Qt::CaseInsensitive))
            return Status::failure(
                QStringLiteral("The picture \"%1\" has the name of a file the funnel needs, "
                               "\"%2\"; rename the picture and choose it again.")
                    .arg(displayPath(picture.source), picture.name));
        for (qsizetype j = 0; j < i; ++j) {
            const Picture& other = pictures[j];
            if (other.source != picture.source &&
                other.name.compare(picture.name, Qt::CaseInsensitive) == 0)
                return Status::failure(
                    QStringLiteral("The pictures \"%1\" and \"%2\" would both be called "
                                   "\"%3\" beside the pages; rename one of them.")
                        .arg(displayPath(other.source), displayPath(picture.source), picture.name));
        }
    }
    return Status::success();
}

Status renamed(const QString& from, const QString& to) {
    if (QDir().rename(from, to))
        return Status::success();
    return Status::failure(QStringLiteral("The folder \"%1\" could not be moved to \"%2\".")
                               .arg(displayPath(from), displayPath(to)));
}

const char kWorkPrefix[] = ".tandrel-build-";

// The places of one build's swap: its working folder holds the new funnel
// and its record until they move in, then the previous funnel and record.
struct Swap {
    Swap(const QString& folder, const AppPaths& paths)
        : work(folder), staged(AppPaths::join(folder, QStringLiteral("templates"))),
          previous(AppPaths::join(folder, QStringLiteral("previous"))),
          newRecord(AppPaths::join(folder, QStringLiteral("build-record.json"))),
          oldRecord(AppPaths::join(folder, QStringLiteral("previous-record.json"))),
          output(paths.outputTemplatesDir()), record(buildRecordPath(paths)) {}
    QString work, staged, previous, newRecord, oldRecord, output, record;
};

// From wherever a swap stopped (a failure, or a process killed at any step),
// leaves a whole funnel in the output with its own record or none, then
// removes the working folder.
Status settleSwap(const Swap& swap) {
    const auto exists = [](const QString& path) { return QFileInfo::exists(path); };
    if (!exists(swap.output) && exists(swap.previous)) {
        // Stopped between the renames: finish when the new funnel is complete, else go back.
        const bool finished = exists(swap.newRecord) && QDir().rename(swap.staged, swap.output);
        if (!finished && !QDir().rename(swap.previous, swap.output))
            return Status::failure(
                QStringLiteral("The previous funnel is kept in \"%1\"; move it back to \"%2\".")
                    .arg(displayPath(swap.previous), displayPath(swap.output)));
    }
    // The previous funnel is there only once the new one is in place.
    const QString& ownRecord = exists(swap.previous) ? swap.newRecord : swap.oldRecord;
    if (exists(swap.output) && exists(ownRecord) && !exists(swap.record))
        QFile::rename(ownRecord, swap.record);
    return modCopy::removeTree(swap.work);
}

Status settleWorkFolders(const AppPaths& paths) {
    if (modCopy::isLink(paths.outputRoot()))
        return Status::success(); // the build refuses it and names it
    const QDir root(paths.outputRoot());
    const QStringList names = root.entryList({QLatin1String(kWorkPrefix) + u'*'},
                                             QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (Status settled = settleSwap(Swap(root.filePath(name), paths)); !settled)
            return settled;
    }
    return Status::success();
}

} // namespace

QList<MissingInfo> funnelRequirements(const FunnelSettings& s) {
    using Need = MissingInfo::Need;
    QList<MissingInfo> all{
        {Need::FunnelUrl, QStringLiteral("Please enter the url where you'll upload this funnel."),
         GeneralInfo, false, s.isFunnelUrlMissing()},
        {Need::OptinForm, QStringLiteral("Please enter your opt-in form code for this funnel."),
         LeadMagnetPage, true, s.txtoptinForm.isEmpty()},
        {Need::Video, QStringLiteral("Please enter a video to use for this funnel."), ThankYouPage,
         false, s.txtFunnel_YouTubeID.isEmpty()},
    };
    static const MissingInfo fileChecks[] = {
        {Need::BackgroundImage, QStringLiteral("Please select a background image."), GeneralInfo},
        {Need::CoverImage, QStringLiteral("Please select a cover image for your lead magnet."),
         LeadMagnetPage},
        {Need::DeliveryFile, QStringLiteral("Please select a delivery file."), ThankYouPage},
    };
    for (int i = 0; i < 3; ++i) {
        if (!s.isFileRequired(i))
            continue;
        MissingInfo file = fileChecks[i];
        file.missing = s.lblSelectedFile[i].tag.isEmpty();
        all.append(file);
    }
    return all;
}

QList<MissingInfo> missingRequirements(const FunnelSettings& s) {
    QList<MissingInfo> missing = funnelRequirements(s);
    missing.removeIf([](const MissingInfo& need) { return !need.missing; });
    return missing;
}

Status recoverInterruptedBuild(const AppPaths& paths) {
    if (!QFileInfo(paths.outputRoot()).isDir() || modCopy::isLink(paths.outputRoot()))
        return Status::success(); // nothing built; a link is refused by the build
    bool busy = false;
    const auto lock = FileLock::acquire(outputLockPath(paths), FileLock::Mode::Exclusive, 0, &busy);
    if (!lock)
        return busy ? Status::success() : Status::failure(lock.error());
    return settleWorkFolders(paths);
}

std::optional<MissingInfo> checkFunnelSettings(const FunnelSettings& s) {
    const QList<MissingInfo> missing = missingRequirements(s);
    if (missing.isEmpty())
        return std::nullopt;
    return missing.first();
}

namespace {

// The funnel's pages and pictures, read, made and checked before the output is touched.
struct Assembled {
    QStringList pageNames;
    QStringList pageTexts;
    QList<Picture> pictures;
};

// Missing values first, then page addresses never drawn.
std::optional<BuildOutcome> refusal(const FunnelSettings& s) {
    if (auto missing = checkFunnelSettings(s)) {
        BuildOutcome outcome;
        outcome.kind = BuildOutcome::Kind::MissingInfo;
        outcome.message = missing->message;
        outcome.section = missing->section;
        outcome.openOptInPanel = missing->openOptInPanel;
        return outcome;
    }
    if (s.thankYouPageFile.isEmpty() || s.downloadPageFile.isEmpty())
        return BuildOutcome::failure(
            QStringLiteral(
                "The page addresses have not been derived from the funnel address \"%1\".")
                .arg(s.txtFunnelUrl));
    return std::nullopt;
}

Result<QList<Picture>> readPictures(const FunnelSettings& s) {
    QList<Picture> pictures;
    for (int i = 0; i < 3; ++i) {
        if (!s.isFileRequired(i))
            continue;
        auto picture = readPicture(i, s.lblSelectedFile[i].caption);
        if (!picture)
            return Result<QList<Picture>>::failure(picture.error());
        pictures.append(std::move(picture.value()));
    }
    return pictures;
}

Result<Assembled> assembleFunnel(const FunnelSettings& s, const AppPaths& paths) {
    using R = Result<Assembled>;
    auto templates = loadTemplates(paths, s);
    if (!templates)
        return R::failure(templates.error());
    if (Status noLinks = modCopy::refuseLinks(paths.templatesDir()); !noLinks)
        return R::failure(noLinks.error());

    // Read once: the opt-in page shows it, and all three pages' heads know its look.
    auto form = optinFormForPage(s);
    if (!form)
        return R::failure(form.error());

    const QStringList pageNames = {QStringLiteral("index.html"), s.thankYouPageFile,
                                   s.downloadPageFile};
    Result<QString> pageTexts[] = {
        generateLeadMagnetPage(s, templates.value(), paths, form.value()),
        generateThankYouPage(s, templates.value()),
        generateDownloadPage(s, templates.value(), paths),
    };
    for (const auto& text : pageTexts) {
        if (!text)
            return R::failure(text.error());
    }

    auto pictures = readPictures(s);
    if (!pictures)
        return R::failure(pictures.error());
    if (Status names = checkNames(pictures.value(), pageNames, paths.templatesDir()); !names)
        return R::failure(names.error());
    PageFacts facts;
    facts.form = std::move(form.value());
    for (const Picture& picture : pictures.value()) {
        if (picture.source == s.lblSelectedFile[CoverImage].caption)
            facts.coverSize = picture.shownSize;
    }
    const PageKind kinds[] = {PageKind::Optin, PageKind::ThankYou, PageKind::Download};
    Assembled funnel{pageNames, {}, std::move(pictures.value())};
    for (int i = 0; i < 3; ++i) {
        const auto finished = finishPage(kinds[i], pageTexts[i].value(), s, facts);
        if (!finished)
            return R::failure(finished.error());
        funnel.pageTexts.append(finished.value());
    }
    return funnel;
}

Status prepareOutputFolder(const AppPaths& paths) {
    // The output root was checked when it was locked.
    const QString output = paths.outputTemplatesDir();
    if (Status real = refuseLinkedFolder(output); !real)
        return real;
    QDir().mkpath(output);
    if (!FileExists(output, true))
        return Status::failure(
            QStringLiteral("The following folder is not present:%1 --- Please create it "
                           "or reinstall the software.")
                .arg(displayPath(output)));
    return Status::success();
}

// The templates' other files, the pages, the pictures, and last the record whose
// presence marks the new funnel as complete, so a killed swap may be finished.
Status stageFunnel(const Swap& swap, const QString& templatesDir, const FunnelSettings& s,
                   const Assembled& funnel) {
    // The previous funnel's plain files go; its sub-folders and hidden files stay.
    const auto keep = [](const QString& name, bool isFolder) {
        return isFolder || name.startsWith(u'.');
    };
    if (Status s1 = modCopy::mirrorFolder(swap.output, swap.staged, keep); !s1)
        return s1;
    if (Status s2 = modCopy::CopyFolder(templatesDir, swap.staged); !s2)
        return s2;
    for (const char* name : kTemplateFiles) {
        const QString path = AppPaths::join(swap.staged, QLatin1String(name));
        if (QFileInfo(path).isFile() && !QFile::remove(path))
            return Status::failure(
                QStringLiteral("The file \"%1\" could not be removed from the new funnel.")
                    .arg(displayPath(path)));
    }
    for (int i = 0; i < 3; ++i) {
        if (Status written = writeFileAtomically(AppPaths::join(swap.staged, funnel.pageNames[i]),
                                                 funnel.pageTexts[i].toUtf8());
            !written)
            return written;
    }
    for (const Picture& picture : funnel.pictures) {
        if (Status written =
                writeFileAtomically(AppPaths::join(swap.staged, picture.name), picture.bytes);
            !written)
            return written;
    }
    return writeBuildRecord(swap.newRecord, s, funnel.pageNames);
}

// The first of the two renames: the previous funnel and its record go aside.
Status moveOldAside(const Swap& swap) {
    // Until the new record is in place, no record may vouch for the output.
    if (QFile::exists(swap.record) && !QFile::rename(swap.record, swap.oldRecord))
        return Status::failure(
            QStringLiteral("The file \"%1\" could not be replaced.").arg(displayPath(swap.record)));
    return renamed(swap.output, swap.previous);
}

// The second: the new funnel and its record take their place.
Status moveNewIn(const Swap& swap) {
    if (Status placed = renamed(swap.staged, swap.output); !placed) {
        QFile::remove(swap.newRecord); // so the previous funnel goes back
        const Status settled = settleSwap(swap);
        return settled ? placed : Status::failure(placed.error() + u' ' + settled.error());
    }
    // Moves the new record in, checked below; a folder left over is the next build's to settle.
    static_cast<void>(settleSwap(swap));
    if (!QFileInfo::exists(swap.record))
        return Status::failure(
            QStringLiteral("The file \"%1\" could not be written. The funnel was built, "
                           "but it cannot be published until it is built again.")
                .arg(displayPath(swap.record)));
    return Status::success();
}

// The new funnel is assembled beside the old one and takes its place in two renames.
Status placeFunnel(const AppPaths& paths, const FunnelSettings& s, const Assembled& funnel) {
    const QString root = paths.outputRoot();
    QTemporaryDir work(AppPaths::join(root, QLatin1String(kWorkPrefix) + QStringLiteral("XXXXXX")));
    if (!work.isValid())
        return Status::failure(
            QStringLiteral("A working folder could not be created in \"%1\": %2.")
                .arg(displayPath(root), work.errorString()));
    work.setAutoRemove(false);
    const Swap swap(work.path(), paths);
    // Whatever step fails, the output ends whole and the record describes it. Its own
    // failure is dropped: the step's is the one to report, and the next build settles
    // what is left and reports that.
    auto cleanUp = qScopeGuard([&] { static_cast<void>(settleSwap(swap)); });
    if (Status staged = stageFunnel(swap, paths.templatesDir(), s, funnel); !staged)
        return staged;
    if (Status aside = moveOldAside(swap); !aside)
        return aside;
    if (buildFaults::betweenRenames)
        buildFaults::betweenRenames();
    cleanUp.dismiss();
    return moveNewIn(swap);
}

} // namespace

BuildOutcome buildFunnel(const FunnelSettings& s, const AppPaths& paths) {
    if (auto refused = refusal(s))
        return *refused;
    // One build at a time, and none while a publish reads the output.
    const auto lock = lockOutput(paths, FileLock::Mode::Exclusive);
    if (!lock)
        return BuildOutcome::failure(lock.error());
    if (Status recovered = settleWorkFolders(paths); !recovered)
        return BuildOutcome::failure(recovered.error());
    // Everything the build needs is read and checked before the output is touched.
    const auto funnel = assembleFunnel(s, paths);
    if (!funnel)
        return BuildOutcome::failure(funnel.error());
    if (Status ready = prepareOutputFolder(paths); !ready)
        return BuildOutcome::failure(ready.error());
    if (Status placed = placeFunnel(paths, s, funnel.value()); !placed)
        return BuildOutcome::failure(placed.error());

    BuildOutcome outcome;
    outcome.kind = BuildOutcome::Kind::Built;
    outcome.pages = funnel->pageNames;
    outcome.outputFolder = paths.outputTemplatesDir();
    return outcome;
}

} // namespace tandrel
