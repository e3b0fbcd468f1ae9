#include "pictures.h"

#include "textfiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <QThread>
#include <QtEndian>

#include <webp/encode.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

namespace tandrel {

namespace {

// Part of every cache key: a new encoder setting or library must not reuse old bytes.
constexpr char kEngineVersion[] = "tandrel-pictures-1";
constexpr qint64 kMaxPixels = 100'000'000;
constexpr int kWebpQuality = 78;
constexpr int kWebpMethod = 4;
constexpr int kJpegQuality = 82;
constexpr char kManifestName[] = "picture.json";
constexpr qint64 kManifestLimit = 1024LL * 1024;

QString named(const QString& path) {
    return QStringLiteral("The picture \"%1\"").arg(displayPath(path));
}

QString notAPicture(const QString& what) {
    return QStringLiteral("%1 is not a picture a browser can show (a JPEG, PNG, GIF, WebP or BMP "
                          "file).")
        .arg(what);
}

// ---- Metadata-free copies of animations, block by block ----

// GIF: header, screen, colour table, then blocks up to the trailer. Frames and their
// timing stay; comments, plain text and application blocks other than looping go.
Result<QByteArray> strippedGif(const QByteArray& in, const QString& what) {
    const auto damaged = [&] {
        return Result<QByteArray>::failure(
            QStringLiteral("%1 is a damaged GIF animation: it ends inside a block.").arg(what));
    };
    const auto* p = reinterpret_cast<const uchar*>(in.constData());
    const qsizetype n = in.size();
    if (n < 13)
        return damaged();
    qsizetype pos = 13;
    if (p[10] & 0x80)
        pos += 3 * (qsizetype(1) << ((p[10] & 7) + 1));
    if (pos > n)
        return damaged();
    QByteArray out = in.left(pos);
    out.reserve(n);
    // The end of the sub-blocks starting at pos, after their zero terminator; -1 when cut off.
    const auto subBlocksEnd = [&](qsizetype at) -> qsizetype {
        while (at < n) {
            const int len = p[at];
            ++at;
            if (len == 0)
                return at;
            at += len;
        }
        return -1;
    };
    while (true) {
        if (pos >= n)
            return damaged();
        const uchar kind = p[pos];
        if (kind == 0x3B) {
            out.append(char(0x3B));
            return out;
        }
        qsizetype end = -1;
        bool keep = true;
        if (kind == 0x2C) {
            qsizetype at = pos + 10;
            if (at > n)
                return damaged();
            if (p[pos + 9] & 0x80)
                at += 3 * (qsizetype(1) << ((p[pos + 9] & 7) + 1));
            end = at + 1 <= n ? subBlocksEnd(at + 1) : -1; // after the LZW code size
        } else if (kind == 0x21 && pos + 1 < n) {
            const uchar label = p[pos + 1];
            end = subBlocksEnd(pos + 2);
            if (label == 0xFF) {
                const QByteArray app = in.mid(pos + 3, 11);
                keep = p[pos + 2] == 11 && (app == "NETSCAPE2.0" || app == "ANIMEXTS1.0");
            } else {
                keep = label == 0xF9; // the frame's delay and transparency
            }
        } else {
            return Result<QByteArray>::failure(
                QStringLiteral("%1 is a damaged GIF animation: an unknown block at byte %2.")
                    .arg(what)
                    .arg(pos));
        }
        if (end < 0)
            return damaged();
        if (keep)
            out.append(in.constData() + pos, end - pos);
        pos = end;
    }
}

// WebP: RIFF chunks; the frames stay, ICC, EXIF and XMP go, and the header's flags
// stop announcing them. Without the profile its colours are taken as sRGB.
Result<QByteArray> strippedWebp(const QByteArray& in, const QString& what) {
    const auto damaged = [&] {
        return Result<QByteArray>::failure(
            QStringLiteral("%1 is a damaged WebP animation: a chunk runs past its end.").arg(what));
    };
    QByteArray out = in.left(12);
    for (qsizetype pos = 12; pos < in.size();) {
        if (pos + 8 > in.size())
            return damaged();
        const QByteArray tag = in.mid(pos, 4);
        const qsizetype len = qFromLittleEndian<quint32>(in.constData() + pos + 4);
        const qsizetype end = pos + 8 + len + (len & 1);
        if (end > in.size())
            return damaged();
        if (tag != "ICCP" && tag != "EXIF" && tag != "XMP ") {
            const qsizetype at = out.size();
            out.append(in.constData() + pos, end - pos);
            if (tag == "VP8X" && len >= 1)
                out[at + 8] = char(uchar(out[at + 8]) & ~(0x20 | 0x08 | 0x04));
        }
        pos = end;
    }
    qToLittleEndian<quint32>(quint32(out.size() - 8), out.data() + 4);
    return out;
}

bool animatedWebp(const QByteArray& in) {
    return in.size() >= 21 && in.mid(12, 4) == "VP8X" && (uchar(in[20]) & 0x02);
}

// ---- Decoding ----

struct Probe {
    QByteArray format;
    QSize stored;
    QSize upright;
    int frames = 1;
};

Result<Probe> probe(const QByteArray& bytes, const QString& what) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    static const QList<QByteArray> webFormats = {"jpeg", "png", "gif", "webp", "bmp"};
    const QByteArray format = reader.format().toLower();
    if (!reader.canRead() || !webFormats.contains(format == "jpg" ? "jpeg" : format))
        return Result<Probe>::failure(notAPicture(what));
    Probe p;
    p.format = format;
    p.stored = reader.size();
    if (p.stored.isEmpty())
        return Result<Probe>::failure(notAPicture(what));
    if (qint64(p.stored.width()) * p.stored.height() > kMaxPixels)
        return Result<Probe>::failure(
            QStringLiteral("%1 is %2 x %3 pixels, more than the %4 megapixels a published "
                           "picture may have; make it smaller first.")
                .arg(what)
                .arg(p.stored.width())
                .arg(p.stored.height())
                .arg(kMaxPixels / 1'000'000));
    p.upright = p.stored;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        p.upright.transpose();
    if (format == "gif")
        p.frames = std::max(1, reader.imageCount());
    else if (format == "webp" && animatedWebp(bytes))
        p.frames = 2;
    return p;
}

// The picture upright, at most the given upright size (an invalid size: whole). JPEGs
// are scaled while they are decoded, so a large photo is never held at full size.
Result<QImage> decode(const QByteArray& bytes, const Probe& probe, QSize size,
                      const QString& what) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, probe.format);
    reader.setAutoTransform(true);
    // The pixel limit above is what bounds memory; Qt's own is lower than 100 MP in RGBA.
    reader.setAllocationLimit(int(kMaxPixels * 4 / (1024LL * 1024) + 1));
    if (size.isValid() && size != probe.upright)
        reader.setScaledSize(probe.stored == probe.upright ? size : size.transposed());
    QImage image = reader.read();
    if (image.isNull())
        return Result<QImage>::failure(
            QStringLiteral("%1 could not be read: %2.").arg(what, reader.errorString()));
    if (size.isValid() && image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

bool anyTransparent(const QImage& image) {
    if (!image.hasAlphaChannel())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return true;
    }
    return false;
}

// Premultiplied or opaque 32-bit pixels in sRGB, the form every cut is scaled from.
QImage normalised(QImage image, bool* transparent) {
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    *transparent = anyTransparent(image);
    if (!*transparent && image.hasAlphaChannel())
        image = image.convertToFormat(QImage::Format_RGB32);
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}

// ---- Encoding ----

QByteArray encodeWebp(const QImage& image) {
    const bool alpha = image.hasAlphaChannel();
    const QImage rgba =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    WebPConfig config;
    WebPConfigInit(&config);
    config.quality = kWebpQuality;
    config.method = kWebpMethod;
    // Sharp colour conversion would keep red text edges crisper but doubles the time.
    config.use_sharp_yuv = 0;
    config.thread_level = 0; // cuts are encoded side by side instead
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.width = rgba.width();
    picture.height = rgba.height();
    const int ok = alpha ? WebPPictureImportRGBA(&picture, rgba.constBits(), rgba.bytesPerLine())
                         : WebPPictureImportRGBX(&picture, rgba.constBits(), rgba.bytesPerLine());
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    QByteArray bytes;
    if (ok && WebPEncode(&config, &picture))
        bytes = QByteArray(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size));
    WebPMemoryWriterClear(&writer);
    WebPPictureFree(&picture);
    return bytes;
}

QByteArray encodeWithQt(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) {
        writer.setQuality(quality);
        writer.setOptimizedWrite(true);
        writer.setProgressiveScanWrite(true);
    }
    if (!writer.write(image))
        return {};
    return bytes;
}

// ---- The cache: one folder per key, its list of files written last ----

QString hexKey(QCryptographicHash& hash) {
    return QString::fromLatin1(hash.result().toHex());
}

void addSized(QCryptographicHash& hash, QByteArrayView bytes) {
    const quint64 size = quint64(bytes.size());
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&size), sizeof size));
    hash.addData(bytes);
}

void addVersion(QCryptographicHash& hash) {
    addSized(hash, kEngineVersion);
    addSized(hash, qVersion());
    const int webp = WebPGetEncoderVersion();
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&webp), sizeof webp));
}

QByteArray sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QJsonObject fileEntry(const char* role, const PictureFile& file) {
    return {{"role", role},
            {"name", file.name},
            {"width", file.size.width()},
            {"height", file.size.height()},
            {"sha256", QString::fromLatin1(sha256(file.bytes))}};
}

void store(const QString& cacheDir, const QString& key, const ReadyPicture& picture) {
    if (cacheDir.isEmpty())
        return;
    const QString dir = cacheDir + QLatin1Char('/') + key;
    if (!QDir().mkpath(dir))
        return;
    QJsonArray files;
    const auto put = [&](const char* role, const PictureFile& file) {
        files.append(fileEntry(role, file));
        return writeFileAtomically(dir + QLatin1Char('/') + file.name, file.bytes).ok();
    };
    bool ok = true;
    for (const PictureFile& file : picture.variants)
        ok = ok && put("variant", file);
    if (picture.fallback)
        ok = ok && put("fallback", *picture.fallback);
    if (picture.asIs)
        ok = ok && put("asIs", *picture.asIs);
    // Without its list an entry is never used: a full disk leaves no half entry behind.
    if (!ok)
        return;
    const QJsonObject manifest{{"width", picture.shown.width()},
                               {"height", picture.shown.height()},
                               {"transparent", picture.transparent},
                               {"files", files}};
    (void)writeFileAtomically(dir + QLatin1Char('/') + QLatin1String(kManifestName),
                              QJsonDocument(manifest).toJson(QJsonDocument::Compact));
}

// The entry when it is whole: every file present with the bytes it was written with.
std::optional<ReadyPicture> load(const QString& cacheDir, const QString& key) {
    if (cacheDir.isEmpty())
        return std::nullopt;
    const QString dir = cacheDir + QLatin1Char('/') + key;
    const QString manifestPath = dir + QLatin1Char('/') + QLatin1String(kManifestName);
    if (!QFileInfo(manifestPath).isFile())
        return std::nullopt;
    const auto manifestBytes = readFileBytes(manifestPath, kManifestLimit);
    if (!manifestBytes)
        return std::nullopt;
    const QJsonObject manifest = QJsonDocument::fromJson(*manifestBytes).object();
    ReadyPicture picture;
    picture.shown = QSize(manifest.value("width").toInt(), manifest.value("height").toInt());
    picture.transparent = manifest.value("transparent").toBool();
    const QJsonArray files = manifest.value("files").toArray();
    if (files.isEmpty())
        return std::nullopt;
    for (const auto& value : files) {
        const QJsonObject entry = value.toObject();
        const QString name = entry.value("name").toString();
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
            return std::nullopt;
        auto bytes = readFileBytes(dir + QLatin1Char('/') + name, kPictureFileLimit);
        if (!bytes || sha256(*bytes) != entry.value("sha256").toString().toLatin1())
            return std::nullopt;
        PictureFile file{name, std::move(bytes.value()),
                         QSize(entry.value("width").toInt(), entry.value("height").toInt())};
        const QString role = entry.value("role").toString();
        if (role == QLatin1String("variant"))
            picture.variants.append(std::move(file));
        else if (role == QLatin1String("fallback"))
            picture.fallback = std::move(file);
        else if (role == QLatin1String("asIs"))
            picture.asIs = std::move(file);
        else
            return std::nullopt;
    }
    // Its time of last use, for pruning.
    QFile manifestFile(manifestPath);
    if (manifestFile.open(QIODevice::ReadWrite))
        manifestFile.setFileTime(QDateTime::currentDateTimeUtc(),
                                 QFileDevice::FileModificationTime);
    return picture;
}

bool isKey(const QString& name) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(name).hasMatch();
}

// ---- Cuts ----

struct Plan {
    QString name;
    QRect crop; // in the upright picture
    QSize size;
};

std::vector<Plan> plan(const QList<PictureCut>& cuts, QRect region, const QString& stem) {
    const QSize whole = region.size();
    std::vector<Plan> plans;
    for (const PictureCut& cut : cuts) {
        Plan p;
        p.crop = QRect(QPoint(0, 0), whole);
        if (cut.height <= 0) {
            const int w = std::min(cut.width, whole.width());
            p.size =
                QSize(w, std::max(1, int(std::lround(double(whole.height()) * w / whole.width()))));
        } else {
            const double shrink = std::min(
                {1.0, double(whole.width()) / cut.width, double(whole.height()) / cut.height});
            p.size =
                QSize(std::max(1, int(cut.width * shrink)), std::max(1, int(cut.height * shrink)));
            const double aspect = double(p.size.width()) / p.size.height();
            QSize keep = whole;
            if (double(whole.width()) / whole.height() > aspect)
                keep.setWidth(
                    std::clamp(int(std::lround(whole.height() * aspect)), 1, whole.width()));
            else
                keep.setHeight(
                    std::clamp(int(std::lround(whole.width() / aspect)), 1, whole.height()));
            p.crop = QRect(
                QPoint((whole.width() - keep.width()) / 2, (whole.height() - keep.height()) / 2),
                keep);
        }
        p.crop.translate(region.topLeft());
        const bool natural =
            p.crop.size() == whole &&
            p.size.height() ==
                std::max(1,
                         int(std::lround(double(whole.height()) * p.size.width() / whole.width())));
        p.name = natural ? QStringLiteral("%1-%2.webp").arg(stem).arg(p.size.width())
                         : QStringLiteral("%1-%2x%3.webp")
                               .arg(stem)
                               .arg(p.size.width())
                               .arg(p.size.height());
        if (std::none_of(plans.begin(), plans.end(),
                         [&](const Plan& other) { return other.name == p.name; }))
            plans.push_back(p);
    }
    return plans;
}

// Runs every job, at most one per core at a time; each job is deterministic alone.
void runAll(int count, const std::function<void(int)>& job) {
    const int workers = std::clamp(QThread::idealThreadCount(), 1, std::min(count, 4));
    std::atomic<int> next{0};
    const auto work = [&] {
        for (int i = next++; i < count; i = next++)
            job(i);
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < workers; ++i)
        threads.emplace_back(work);
    work();
    for (auto& thread : threads)
        thread.join();
}

QImage cutOut(const QImage& base, QSize whole, const QRect& crop, QSize size) {
    const double fx = double(base.width()) / whole.width();
    const double fy = double(base.height()) / whole.height();
    const QRect inBase =
        QRect(QPoint(int(std::lround(crop.x() * fx)), int(std::lround(crop.y() * fy))),
              QSize(std::max(1, int(std::lround(crop.width() * fx))),
                    std::max(1, int(std::lround(crop.height() * fy)))))
            .intersected(base.rect());
    // A view into base, not a copy, and without its text and colour space, which Qt's
    // writers would otherwise put in the file as comments, chunks and a profile.
    const QImage view(base.constScanLine(inBase.y()) + qsizetype(inBase.x()) * 4, inBase.width(),
                      inBase.height(), base.bytesPerLine(), base.format());
    if (view.size() == size)
        return view.copy();
    return view.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

Result<ReadyPicture> prepareAnimation(const PictureRequest& request, const Probe& probe,
                                      const QString& what) {
    const bool gif = probe.format == "gif";
    auto bytes = gif ? strippedGif(request.source, what) : strippedWebp(request.source, what);
    if (!bytes)
        return Result<ReadyPicture>::failure(bytes.error());
    auto first = decode(request.source, probe, QSize(), what);
    if (!first)
        return Result<ReadyPicture>::failure(first.error());
    ReadyPicture ready;
    ready.shown = probe.upright;
    ready.transparent = anyTransparent(first->convertToFormat(QImage::Format_ARGB32));
    ready.asIs =
        PictureFile{request.stem + (gif ? QStringLiteral(".gif") : QStringLiteral(".webp")),
                    std::move(bytes.value()), probe.upright};
    return ready;
}

Result<ReadyPicture> prepareStill(const PictureRequest& request, const Probe& probe,
                                  const QString& what) {
    const QSize whole = probe.upright;
    const QRect region = request.region.isEmpty()
                             ? QRect(QPoint(0, 0), whole)
                             : request.region.intersected(QRect(QPoint(0, 0), whole));
    if (region.isEmpty())
        return Result<ReadyPicture>::failure(
            QStringLiteral("%1 has no part where it was asked for.").arg(what));
    std::vector<Plan> plans = plan(request.cuts, region, request.stem);
    const int fallbackWidth = std::min(request.fallbackWidth, region.width());
    // The smallest decode every cut can be made from without enlarging.
    double scale = 0;
    for (const Plan& p : plans)
        scale = std::max({scale, double(p.size.width()) / p.crop.width(),
                          double(p.size.height()) / p.crop.height()});
    scale = std::max(scale, double(fallbackWidth) / region.width());
    scale = std::min(scale, 1.0);
    const QSize baseSize(std::max(1, int(std::ceil(whole.width() * scale - 1e-6))),
                         std::max(1, int(std::ceil(whole.height() * scale - 1e-6))));
    auto decoded = decode(request.source, probe, baseSize, what);
    if (!decoded)
        return Result<ReadyPicture>::failure(decoded.error());
    ReadyPicture ready;
    ready.shown = region.size();
    const QImage base = normalised(std::move(decoded.value()), &ready.transparent);
    decoded.value() = QImage();

    const int jobs = int(plans.size()) + (fallbackWidth > 0 ? 1 : 0);
    std::vector<PictureFile> files(size_t(jobs), PictureFile{});
    // Largest first, so that two workers end together.
    std::vector<int> order(static_cast<size_t>(jobs));
    std::iota(order.begin(), order.end(), 0);
    const auto area = [&](int i) {
        const QSize s = i < int(plans.size()) ? plans[size_t(i)].size : whole;
        return qint64(s.width()) * s.height();
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return area(a) > area(b); });
    runAll(jobs, [&](int k) {
        const int i = order[size_t(k)];
        if (i < int(plans.size())) {
            const Plan& p = plans[size_t(i)];
            files[size_t(i)] = {p.name, encodeWebp(cutOut(base, whole, p.crop, p.size)), p.size};
            return;
        }
        const QSize size(fallbackWidth,
                         std::max(1, int(std::lround(double(region.height()) * fallbackWidth /
                                                     region.width()))));
        const QImage pixels = cutOut(base, whole, region, size);
        files[size_t(i)] =
            ready.transparent
                ? PictureFile{QStringLiteral("%1-%2.png").arg(request.stem).arg(fallbackWidth),
                              encodeWithQt(pixels, "png", -1), size}
                : PictureFile{QStringLiteral("%1-%2.jpg").arg(request.stem).arg(fallbackWidth),
                              encodeWithQt(pixels.convertToFormat(QImage::Format_RGB32), "jpeg",
                                           kJpegQuality),
                              size};
    });
    for (const PictureFile& file : files)
        if (file.bytes.isEmpty())
            return Result<ReadyPicture>::failure(
                QStringLiteral("%1 could not be written as \"%2\" (%3 x %4 pixels).")
                    .arg(what, file.name)
                    .arg(file.size.width())
                    .arg(file.size.height()));
    for (int i = 0; i < int(plans.size()); ++i)
        ready.variants.append(std::move(files[size_t(i)]));
    if (fallbackWidth > 0)
        ready.fallback = std::move(files.back());
    return ready;
}

} // namespace

Result<ReadyPicture> preparePicture(const PictureRequest& request, const QString& cacheDir) {
    const QString what = named(request.sourcePath);
    if (request.source.size() > kPictureFileLimit)
        return Result<ReadyPicture>::failure(
            QStringLiteral("%1 is larger than %2.").arg(what, describeSize(kPictureFileLimit)));
    for (const PictureCut& cut : request.cuts)
        if (cut.width <= 0 || cut.height < 0 || cut.width > WEBP_MAX_DIMENSION ||
            cut.height > WEBP_MAX_DIMENSION)
            return Result<ReadyPicture>::failure(
                QStringLiteral("%1 was asked for in a size a WebP cannot have: %2 x %3.")
                    .arg(what)
                    .arg(cut.width)
                    .arg(cut.height));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    addVersion(hash);
    addSized(hash, "picture");
    addSized(hash, request.source);
    addSized(hash, request.stem.toUtf8());
    for (const PictureCut& cut : request.cuts) {
        const qint32 box[] = {cut.width, cut.height};
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(box), sizeof box));
    }
    const qint32 fallback[] = {request.fallbackWidth, request.region.x(), request.region.y(),
                               request.region.width(), request.region.height()};
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(fallback), sizeof fallback));
    const QString key = hexKey(hash);
    if (auto cached = load(cacheDir, key))
        return std::move(*cached);

    auto probed = probe(request.source, what);
    if (!probed)
        return Result<ReadyPicture>::failure(probed.error());
    auto ready = probed->frames > 1 ? prepareAnimation(request, *probed, what)
                                    : prepareStill(request, *probed, what);
    if (ready) {
        store(cacheDir, key, *ready);
        prunePictureCache(cacheDir, key);
    }
    return ready;
}

Result<PictureFile> makeSocialCard(const QByteArray& cover, const QByteArray& background,
                                   QColor backdrop, const QString& name, const QString& cacheDir) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    addVersion(hash);
    addSized(hash, "card");
    addSized(hash, cover);
    addSized(hash, background);
    const QRgb colour = backdrop.rgba();
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&colour), sizeof colour));
    addSized(hash, name.toUtf8());
    const QString key = hexKey(hash);
    if (auto cached = load(cacheDir, key); cached && cached->variants.size() == 1)
        return std::move(cached->variants.front());

    const QSize card = kSocialCardSize;
    const auto read = [](const QByteArray& bytes, const QString& what,
                         const std::function<QSize(QSize)>& fit) -> Result<QImage> {
        if (bytes.size() > kPictureFileLimit)
            return Result<QImage>::failure(
                QStringLiteral("%1 is larger than %2.").arg(what, describeSize(kPictureFileLimit)));
        auto probed = probe(bytes, what);
        if (!probed)
            return Result<QImage>::failure(probed.error());
        auto image = decode(bytes, *probed, fit(probed->upright), what);
        if (!image)
            return image;
        bool transparent = false;
        return normalised(std::move(image.value()), &transparent);
    };
    QImage canvas(card, QImage::Format_RGB32);
    canvas.fill(backdrop.isValid() ? QColor(backdrop.rgb()) : QColor(Qt::white));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!background.isEmpty()) {
        auto back = read(background, QStringLiteral("The background picture of the social card"),
                         [&](QSize whole) {
                             const double s = std::max(double(card.width()) / whole.width(),
                                                       double(card.height()) / whole.height());
                             return s >= 1 ? whole : (QSizeF(whole) * s).toSize();
                         });
        if (!back)
            return Result<PictureFile>::failure(back.error());
        const QSize filled = back->size().scaled(card, Qt::KeepAspectRatioByExpanding);
        const QImage scaled = back->scaled(filled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(
            QPoint((card.width() - filled.width()) / 2, (card.height() - filled.height()) / 2),
            scaled);
        // Darker, so that the cover stands out from a busy photo.
        painter.fillRect(canvas.rect(), QColor(0, 0, 0, 56));
    }
    // The cover whole, most of the card's height, centred.
    const QSize box(card.width() * 9 / 10, card.height() * 86 / 100);
    auto front = read(cover, QStringLiteral("The cover of the social card"), [&](QSize whole) {
        return whole.width() <= box.width() && whole.height() <= box.height()
                   ? whole
                   : whole.scaled(box, Qt::KeepAspectRatio);
    });
    if (!front)
        return Result<PictureFile>::failure(front.error());
    const QSize fitted = front->size().scaled(box, Qt::KeepAspectRatio);
    const QImage shown = fitted == front->size() ? front.value()
                                                 : front->scaled(fitted, Qt::IgnoreAspectRatio,
                                                                 Qt::SmoothTransformation);
    painter.drawImage(
        QPoint((card.width() - fitted.width()) / 2, (card.height() - fitted.height()) / 2), shown);
    painter.end();

    PictureFile file{name, encodeWithQt(canvas, "jpeg", kJpegQuality), card};
    if (file.bytes.isEmpty())
        return Result<PictureFile>::failure(
            QStringLiteral("The social card \"%1\" could not be written as a JPEG.").arg(name));
    ReadyPicture entry;
    entry.shown = card;
    entry.variants.append(file);
    store(cacheDir, key, entry);
    prunePictureCache(cacheDir, key);
    return file;
}

void prunePictureCache(const QString& cacheDir, const QString& keep, qint64 maxBytes,
                       int maxAgeDays) {
    if (cacheDir.isEmpty())
        return;
    struct Entry {
        QString path;
        QDateTime used;
        qint64 bytes = 0;
    };
    std::vector<Entry> entries;
    qint64 total = 0;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto dirs = QDir(cacheDir).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& dir : dirs) {
        // Only what this cache made: a cache folder chosen by mistake keeps everything else.
        if (!isKey(dir.fileName()))
            continue;
        Entry e{dir.absoluteFilePath(), dir.lastModified()};
        const QFileInfo manifest(e.path + QLatin1Char('/') + QLatin1String(kManifestName));
        if (manifest.exists())
            e.used = manifest.lastModified();
        const auto files = QDir(e.path).entryInfoList(QDir::Files | QDir::Hidden);
        for (const QFileInfo& file : files)
            e.bytes += file.size();
        if (e.used.daysTo(now) > maxAgeDays && dir.fileName() != keep) {
            QDir(e.path).removeRecursively();
            continue;
        }
        total += e.bytes;
        if (dir.fileName() != keep)
            entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.used < b.used; });
    for (const Entry& e : entries) {
        if (total <= maxBytes)
            break;
        if (QDir(e.path).removeRecursively())
            total -= e.bytes;
    }
}

} // namespace tandrel
