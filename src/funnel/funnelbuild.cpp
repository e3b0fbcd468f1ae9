#include "funnelbuild.h"

#include "buildrecord.h"

#include "modcopy.h"
#include "optinform.h"
#include "pagefinish.h"
#include "pages.h"
#include "picturepages.h"
#include "pictures.h"
#include "textfiles.h"
#include "themes.h"
#include "tools.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <algorithm>

namespace tandrel {

namespace {

const char* const kChosenFileNames[] = {"background image", "cover image", "delivery file"};

// The page templates that come with the template copy and are not part of a funnel.
const char* const kTemplateFiles[] = {
    kOptinTemplates[0],     kOptinTemplates[1],      kThanksTemplates[0],
    kThanksTemplates[1],    kDownloadTemplate,       kProgressBarTemplate,
    "index-1colvideo.html", "index-2colsvideo.html", "index_cover.html"};

struct Picture {
    int index; // which of the chosen files
    QString source;
    QString stem;
    QByteArray bytes;
    ReadyPicture ready;
};

// Published names keep the user's word for the picture but nothing an address must escape.
QString safeStem(const QString& path, const char* fallback) {
    QString stem;
    for (const QChar c : QFileInfo(path).completeBaseName().toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            stem += c;
        else if (!stem.isEmpty() && !stem.endsWith(u'-'))
            stem += u'-';
        if (stem.size() >= 40)
            break;
    }
    while (stem.endsWith(u'-'))
        stem.chop(1);
    return stem.isEmpty() ? QLatin1String(fallback) : stem;
}

constexpr int kStripShape = 3; // as tall as this many times its width

// The header alone tells whether a browser shows it and its upright size.
Result<QSize> pictureSize(int index, const QString& path, const QByteArray& bytes) {
    const QString what = QStringLiteral("The %1").arg(QLatin1String(kChosenFileNames[index]));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    static const QList<QByteArray> webFormats = {"jpeg", "jpg", "png", "gif", "webp", "bmp"};
    QSize size = reader.canRead() ? reader.size() : QSize();
    if (!webFormats.contains(reader.format().toLower()) || size.isEmpty())
        return Result<QSize>::failure(QStringLiteral("%1 \"%2\" is not a picture a browser can "
                                                     "show (a JPEG, PNG, GIF, WebP or BMP file).")
                                          .arg(what, displayPath(path)));
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

// Read whole before anything is touched: the picture may lie in the output folder itself.
Result<Picture> readPicture(int index, const QString& path, const FunnelSettings& s,
                            const QString& stem, int backgroundFallback, const QString& cacheDir) {
    const QString what = QStringLiteral("The %1").arg(QLatin1String(kChosenFileNames[index]));
    auto bytes = readFileBytes(path, kPictureFileLimit, what, QStringLiteral("picture"));
    if (!bytes)
        return Result<Picture>::failure(bytes.error());
    const auto shown = pictureSize(index, path, bytes.value());
    if (!shown)
        return Result<Picture>::failure(shown.error());
    PictureRequest request;
    request.source = bytes.value();
    request.sourcePath = path;
    request.stem = stem;
    if (index == CoverImage) {
        QSize size = shown.value();
        if (size.height() >= kStripShape * size.width()) {
            // A strip shows its top, cut square: sent whole, a phone would load ten times
            // what it shows, and narrower it would be a sliver on short screens.
            request.region = QRect(0, 0, size.width(), size.width());
            size = request.region.size();
        }
        request.cuts = coverCuts(size, s.cboCols);
        request.fallbackWidth = coverFallbackWidth(size, s.cboCols);
    } else {
        request.cuts = backgroundCuts(shown.value());
        request.fallbackWidth = backgroundFallback;
    }
    auto ready = preparePicture(request, cacheDir);
    if (!ready)
        return Result<Picture>::failure(ready.error());
    return Picture{index, path, stem, std::move(bytes.value()), std::move(ready.value())};
}

QList<PictureFile> filesOf(const ReadyPicture& ready) {
    QList<PictureFile> files = ready.variants;
    for (const auto* one : {&ready.fallback, &ready.asIs}) {
        if (*one)
            files.append(**one);
    }
    return files;
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
    QHash<QString, QString> sourceOf; // published name, lower case -> the user's file
    for (const Picture& picture : pictures) {
        for (const PictureFile& file : filesOf(picture.ready)) {
            if (reserved.contains(file.name, Qt::CaseInsensitive))
                return Status::failure(
                    QStringLiteral("The picture \"%1\" would be published as \"%2\", the name "
                                   "of a file the funnel needs; rename the picture and choose it "
                                   "again.")
                        .arg(displayPath(picture.source), file.name));
            const QString other = sourceOf.value(file.name.toLower());
            if (!other.isEmpty() && other != picture.source)
                return Status::failure(
                    QStringLiteral("The pictures \"%1\" and \"%2\" would both be published as "
                                   "\"%3\"; rename one of them.")
                        .arg(displayPath(other), displayPath(picture.source), file.name));
            sourceOf.insert(file.name.toLower(), picture.source);
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
    QList<PictureFile> files;
    qint64 phoneBytes = 0;
    QStringList warnings;
    QStringList chosenInside; // chosen pictures lying in the output folder: the user's, kept
    QByteArray themeCss;      // follows funnel.css in the funnel's copy of it
};

// A theme that cannot be used gives way to classic, and the build says why.
Theme themeFor(const FunnelSettings& s, const AppPaths& paths, QStringList* warnings) {
    auto theme = loadTheme(paths, s.theme);
    if (theme)
        return theme.value();
    warnings->append(theme.error() + QStringLiteral(" The pages were built in the Classic theme."));
    auto classic = loadTheme(paths, QString::fromLatin1(kClassicTheme));
    return classic ? classic.value() : Theme();
}

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

// A template the user edited before pictures came in sizes sets the background inline.
bool needsInlineBackground(const PageTemplates& templates) {
    for (const QString* text : {&templates.txtIndexTemplate, &templates.txtThanksPageTemplate,
                                &templates.txtDownloadPageTemplate}) {
        if (text->contains(QLatin1String("[BODY]")) && !text->contains(QLatin1String(kPictureCss)))
            return true;
    }
    return false;
}

Result<QList<Picture>> readPictures(const FunnelSettings& s, const PageTemplates& templates,
                                    const QString& cacheDir) {
    QList<Picture> pictures;
    const QString coverStem = safeStem(s.lblSelectedFile[CoverImage].caption, "cover");
    for (int i = 0; i < 3; ++i) {
        if (!s.isFileRequired(i))
            continue;
        QString stem =
            safeStem(s.lblSelectedFile[i].caption, i == CoverImage ? "cover" : "background");
        if (i != CoverImage && stem == coverStem)
            stem += QStringLiteral("-background");
        const int inlineWidth = needsInlineBackground(templates) ? 1920 : 0;
        auto picture = readPicture(i, s.lblSelectedFile[i].caption, s, stem, inlineWidth, cacheDir);
        if (!picture)
            return Result<QList<Picture>>::failure(picture.error());
        pictures.append(std::move(picture.value()));
    }
    return pictures;
}

// The covers of the split test's other versions that have their own, named apart from A's.
Result<QList<Picture>> readVersionCovers(const FunnelSettings& s, const QString& cacheDir) {
    QList<Picture> covers;
    QStringList stems{safeStem(s.lblSelectedFile[CoverImage].caption, "cover")};
    QStringList sources{s.lblSelectedFile[CoverImage].caption};
    for (int v = 1; v < s.splitTest.count(); ++v) {
        const QString path = s.splitTest.others[v - 1].cover.caption;
        if (path.isEmpty())
            continue;
        QString stem = safeStem(path, "cover");
        if (stems.contains(stem) && !sources.contains(path))
            stem += QStringLiteral("-") + SplitTest::name(v).toLower();
        stems << stem;
        sources << path;
        auto picture = readPicture(CoverImage, path, s, stem, 0, cacheDir);
        if (!picture)
            return Result<QList<Picture>>::failure(
                QStringLiteral("Version %1 of the split test: %2")
                    .arg(SplitTest::name(v), picture.error()));
        picture.value().index = v; // the version, from here on
        covers.append(std::move(picture.value()));
    }
    return covers;
}

const Picture* pictureOf(const QList<Picture>& pictures, int index) {
    for (const Picture& picture : pictures) {
        if (picture.index == index)
            return &picture;
    }
    return nullptr;
}

QString publishedName(const ReadyPicture& ready) {
    if (ready.asIs)
        return ready.asIs->name;
    if (ready.fallback)
        return ready.fallback->name;
    return ready.variants.isEmpty() ? QString() : ready.variants.last().name;
}

// The pages name the published files where the settings name the user's.
FunnelSettings pageSettingsFor(const FunnelSettings& s, const QList<Picture>& pictures) {
    FunnelSettings page = s;
    for (const Picture& picture : pictures)
        page.lblSelectedFile[picture.index].tag = publishedName(picture.ready);
    return page;
}

Result<PictureFile> socialCardFor(const FunnelSettings& s, const QList<Picture>& pictures,
                                  const QString& cacheDir) {
    const Picture* cover = pictureOf(pictures, CoverImage);
    const Picture* background = pictureOf(pictures, BackgroundImage);
    const Rgb colour = parseRgb(s.lblColorPicker[BackgroundColor]).value_or(Rgb{64, 0, 64});
    return makeSocialCard(cover->bytes, background ? background->bytes : QByteArray(),
                          QColor(colour.r, colour.g, colour.b),
                          cover->stem + QStringLiteral("-card.jpg"), cacheDir);
}

constexpr qint64 kHeavyPicture = 400LL * 1024;

// The phone's picture of a cover or background; a heavy one is named.
qint64 phoneBytesOf(const Picture& picture, bool cover, int layout, QStringList* warnings) {
    const PictureFile* file = cover ? coverFetched(picture.ready, PageKind::Optin, layout, kPhone)
                                    : backgroundFetched(picture.ready, kPhone);
    if (!file)
        return 0;
    const qint64 size = file->bytes.size();
    if (picture.ready.asIs && size > kHeavyPicture)
        warnings->append(QStringLiteral("The animation \"%1\" is published as it is, %2, and "
                                        "a phone loads all of it; a still picture would load "
                                        "faster.")
                             .arg(displayPath(picture.source), describeSize(size)));
    else if (size > kHeavyPicture)
        warnings->append(QStringLiteral("The picture \"%1\" still weighs %2 on a phone.")
                             .arg(displayPath(picture.source), describeSize(size)));
    return size;
}

// What the opt-in page loads on a phone: the page, its stylesheet and the pictures of the
// phone's size. A visitor of a split test loads one version's cover: the heaviest counts.
qint64 phoneWeight(const QString& page, qint64 themeBytes, const AppPaths& paths,
                   const QList<Picture>& pictures, const QList<Picture>& versionCovers, int layout,
                   QStringList* warnings) {
    qint64 bytes =
        page.toUtf8().size() + themeBytes +
        QFileInfo(AppPaths::join(paths.templatesDir(), QStringLiteral("funnel.css"))).size();
    qint64 cover = 0;
    for (const Picture& picture : pictures) {
        if (picture.index == CoverImage)
            cover = phoneBytesOf(picture, true, layout, warnings);
        else
            bytes += phoneBytesOf(picture, false, layout, warnings);
    }
    for (const Picture& picture : versionCovers)
        cover = std::max(cover, phoneBytesOf(picture, true, layout, warnings));
    return bytes + cover;
}

Result<Assembled> assembleFunnel(const FunnelSettings& settings, const AppPaths& paths,
                                 const QString& cacheDir) {
    using R = Result<Assembled>;
    Assembled funnel;
    const Theme theme = themeFor(settings, paths, &funnel.warnings);
    auto templates = loadTemplates(paths, settings, theme);
    if (!templates)
        return R::failure(templates.error());
    if (Status noLinks = modCopy::refuseLinks(paths.templatesDir()); !noLinks)
        return R::failure(noLinks.error());

    // Read once: the opt-in page shows it, and all three pages' heads know its look.
    auto form = optinFormForPage(settings);
    if (!form)
        return R::failure(form.error());
    auto pictures = readPictures(settings, templates.value(), cacheDir);
    if (!pictures)
        return R::failure(pictures.error());
    const SplitTest& test = settings.splitTest;
    // Two fields of one name would send the visitor's e-mail, say, twice or not at all.
    if (test.count() > 1 && formFieldNames(settings.txtoptinForm).contains(test.field.trimmed()))
        return R::failure(QStringLiteral("The split test's field \"%1\" is a field of the opt-in "
                                         "form already; give the version's field another name.")
                              .arg(test.field.trimmed()));
    auto versionCovers = readVersionCovers(settings, cacheDir);
    if (!versionCovers)
        return R::failure(versionCovers.error());
    auto card = socialCardFor(settings, pictures.value(), cacheDir);
    if (!card)
        return R::failure(card.error());
    FunnelSettings s = pageSettingsFor(settings, pictures.value());
    fitColoursToCard(theme, s.lblColorPicker);

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

    if (Status names =
            checkNames(pictures.value() + versionCovers.value(), pageNames, paths.templatesDir());
        !names)
        return R::failure(names.error());
    PageFacts facts;
    facts.form = std::move(form.value());
    if (const Picture* cover = pictureOf(pictures.value(), CoverImage)) {
        facts.cover = cover->ready;
        facts.coverSize = cover->ready.shown;
    }
    if (const Picture* background = pictureOf(pictures.value(), BackgroundImage))
        facts.background = background->ready;
    facts.socialCard = card->name;
    for (const Picture& cover : versionCovers.value()) {
        facts.versionCovers.append({cover.index, publishedName(cover.ready), cover.ready});
    }
    facts.lightCard = theme.lightCard;
    facts.darkCard = theme.darkCard;
    const PageKind kinds[] = {PageKind::Optin, PageKind::ThankYou, PageKind::Download};
    funnel.pageNames = pageNames;
    if (!theme.stylesheet.isEmpty())
        funnel.themeCss =
            QStringLiteral("\n/* Theme: %1 */\n%2").arg(theme.name, theme.stylesheet).toUtf8();
    const QString output = QFileInfo(paths.outputTemplatesDir()).canonicalFilePath();
    for (const Picture& picture : pictures.value() + versionCovers.value()) {
        funnel.files += filesOf(picture.ready);
        const QFileInfo source(picture.source);
        if (!output.isEmpty() && source.canonicalPath() == output)
            funnel.chosenInside << source.fileName();
    }
    funnel.files.append(card.value());
    for (int i = 0; i < 3; ++i) {
        const auto finished = finishPage(kinds[i], pageTexts[i].value(), s, facts);
        if (!finished)
            return R::failure(finished.error());
        funnel.pageTexts.append(finished.value());
    }
    if (test.count() > 1 && withVersionField(facts.form.html, test) == facts.form.html)
        funnel.warnings << QStringLiteral("The opt-in form has no <form> tag the page can add the "
                                          "version's field to: your autoresponder will not learn "
                                          "which version a subscriber saw.");
    funnel.phoneBytes =
        phoneWeight(funnel.pageTexts.first(), funnel.themeCss.size(), paths, pictures.value(),
                    versionCovers.value(), s.cboCols, &funnel.warnings);
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
    const auto keep = [&funnel](const QString& name, bool isFolder) {
        return isFolder || name.startsWith(u'.') || funnel.chosenInside.contains(name);
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
    if (!funnel.themeCss.isEmpty()) {
        const QString css = AppPaths::join(swap.staged, QStringLiteral("funnel.css"));
        QByteArray sheet;
        if (QFileInfo::exists(css)) {
            auto base = readFileBytes(css, kTextFileLimit, QStringLiteral("The stylesheet"));
            if (!base)
                return Status::failure(base.error());
            sheet = base.value();
        }
        if (Status written = writeFileAtomically(css, sheet + funnel.themeCss); !written)
            return written;
    }
    for (int i = 0; i < 3; ++i) {
        if (Status written = writeFileAtomically(AppPaths::join(swap.staged, funnel.pageNames[i]),
                                                 funnel.pageTexts[i].toUtf8());
            !written)
            return written;
    }
    for (const PictureFile& file : funnel.files) {
        if (Status written =
                writeFileAtomically(AppPaths::join(swap.staged, file.name), file.bytes);
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

QString weightNote(const BuildOutcome& outcome) {
    if (!outcome.built())
        return QString();
    QStringList lines{QStringLiteral("On a phone %1 px wide the opt-in page loads %2.")
                          .arg(kPhone.size.width())
                          .arg(describeSize(outcome.phoneBytes))};
    lines += outcome.warnings;
    return lines.join(u'\n');
}

BuildOutcome buildFunnel(const FunnelSettings& s, const AppPaths& paths,
                         const QString& pictureCache) {
    if (auto refused = refusal(s))
        return *refused;
    // One build at a time, and none while a publish reads the output.
    const auto lock = lockOutput(paths, FileLock::Mode::Exclusive);
    if (!lock)
        return BuildOutcome::failure(lock.error());
    if (Status recovered = settleWorkFolders(paths); !recovered)
        return BuildOutcome::failure(recovered.error());
    // Everything the build needs is read and checked before the output is touched.
    const auto funnel =
        assembleFunnel(s, paths, pictureCache.isEmpty() ? paths.pictureCacheDir() : pictureCache);
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
    outcome.phoneBytes = funnel->phoneBytes;
    outcome.warnings = funnel->warnings;
    return outcome;
}

} // namespace tandrel
