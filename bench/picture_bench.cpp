// Times the published pictures of a funnel with a large background photo and a phone
// photo as cover: cold (every cut encoded), from the cache, and the same cuts encoded
// by Qt's WebP plugin for comparison. Each run is a child process, so its peak memory
// is its own.
//
//   tandrel-bench-picture

#include "picturepages.h"
#include "pictures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tandrel;

namespace {

// Soft light, a few shapes and sensor noise: encoders find it about as hard as a photo.
QByteArray photoLikeJpeg(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(90, 140, 210));
    sky.setColorAt(1, QColor(230, 200, 150));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 60; ++i) {
        const QPointF centre(random.bounded(size.width()), random.bounded(size.height()));
        const double radius = size.width() / 30.0 + random.bounded(size.width() / 6);
        QRadialGradient blob(centre, radius);
        blob.setColorAt(0, QColor::fromHsv(random.bounded(360), 160, 200, 200));
        blob.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setBrush(blob);
        painter.drawEllipse(centre, radius, radius);
    }
    painter.end();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(random.bounded(13)) - 6;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                           qBound(0, qBlue(p) + n, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    writer.write(image);
    return bytes;
}

// A phone's way of storing a portrait photo: landscape pixels and an EXIF orientation 6.
QByteArray withOrientation6(const QByteArray& jpeg) {
    QByteArray tiff("MM\0*\0\0\0\x08\0\x01", 10);
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 12); // Orientation = 6
    tiff += QByteArray(4, '\0');                                  // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1\0\0", 4);
    qToBigEndian<quint16>(quint16(payload.size() + 2), segment.data() + 2);
    return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

struct Job {
    QByteArray background;
    QByteArray cover;
};

// The build's own cuts for these pictures: a 6000 x 4000 background, a portrait 3024 x 4032
// cover in the two-column layout.
QList<PictureCut> backgroundCuts() {
    return tandrel::backgroundCuts(QSize(6000, 4000));
}
QList<PictureCut> coverCuts() {
    return tandrel::coverCuts(QSize(3024, 4032), 1);
}

// What a build asks for: both pictures in their cuts, and the social card.
QString prepareAll(const Job& job, const QString& cache) {
    qint64 bytes = 0;
    int files = 0;
    for (const auto& [source, stem, cuts, fallback] :
         {std::tuple{job.background, QStringLiteral("background"), backgroundCuts(), 0},
          std::tuple{job.cover, QStringLiteral("cover"), coverCuts(),
                     coverFallbackWidth(QSize(3024, 4032), 1)}}) {
        PictureRequest request;
        request.source = source;
        request.sourcePath = stem + QStringLiteral(".jpg");
        request.stem = stem;
        request.cuts = cuts;
        request.fallbackWidth = fallback;
        const auto ready = preparePicture(request, cache);
        if (!ready)
            return ready.error();
        for (const PictureFile& file : ready->variants)
            bytes += file.bytes.size();
        bytes += ready->fallback ? ready->fallback->bytes.size() : 0;
        files += int(ready->variants.size()) + (ready->fallback ? 1 : 0);
    }
    const auto card =
        makeSocialCard(job.cover, job.background, Qt::black, QStringLiteral("card.jpg"), cache);
    if (!card)
        return card.error();
    return QStringLiteral("%1 files, %2 KB")
        .arg(files + 1)
        .arg((bytes + card->bytes.size()) / 1024);
}

// The same cuts through Qt alone: its reader, smooth scaling, its WebP plugin.
QString qtPluginOnly(const Job& job) {
    qint64 bytes = 0;
    for (const auto& [source, cuts] :
         {std::pair{job.background, backgroundCuts()}, std::pair{job.cover, coverCuts()}}) {
        QBuffer buffer;
        buffer.setData(source);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        for (const PictureCut& cut : cuts) {
            const QSize box = cut.height
                                  ? QSize(cut.width, cut.height)
                                  : image.size().scaled(cut.width, 1 << 20, Qt::KeepAspectRatio);
            const QImage scaled =
                image.scaled(box, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
            QByteArray out;
            QBuffer sink(&out);
            sink.open(QIODevice::WriteOnly);
            QImageWriter writer(&sink, "webp");
            writer.setQuality(78);
            if (!writer.write(scaled.copy(QRect(QPoint(), box))))
                return writer.errorString();
            bytes += out.size();
        }
    }
    return QStringLiteral("%1 KB").arg(bytes / 1024);
}

// Runs one case in a fresh process (exec, since Qt's worker threads do not survive a
// bare fork); its peak memory comes back through wait4.
void measure(const char* self, const char* name, const QString& folder) {
    std::fflush(stdout);
    int ends[2];
    if (pipe(ends) != 0)
        return;
    const QByteArray path = folder.toLocal8Bit();
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        dup2(ends[1], STDOUT_FILENO);
        execl(self, self, "--case", name, path.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    char buffer[256] = {};
    const ssize_t got = read(ends[0], buffer, sizeof buffer - 1);
    close(ends[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const QByteArray line = QByteArray(buffer, got > 0 ? qsizetype(got) : 0).trimmed();
    const qsizetype space = line.indexOf(' ');
    std::printf("%-28s %8s s %7.2f s %7.0f MB  %s\n", name, line.left(space).constData(), cpu,
                double(usage.ru_maxrss) / 1024.0,
                WIFSIGNALED(status) ? strsignal(WTERMSIG(status))
                                    : line.mid(space + 1).constData());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--case")) {
        const QString& folder = args[3];
        const Job job{readAll(folder + QStringLiteral("/background.jpg")),
                      readAll(folder + QStringLiteral("/cover.jpg"))};
        const QString cache = folder + QStringLiteral("/cache");
        const QString& name = args[2];
        QElapsedTimer timer;
        timer.start();
        const QString outcome = name.startsWith(QLatin1String("Qt"))       ? qtPluginOnly(job)
                                : name.contains(QLatin1String("no cache")) ? prepareAll(job, {})
                                                                           : prepareAll(job, cache);
        std::printf("%.3f %s\n", double(timer.nsecsElapsed()) / 1e9, qPrintable(outcome));
        return 0;
    }
    QTemporaryDir folder;
    const QByteArray background = photoLikeJpeg({6000, 4000}, 1);
    const QByteArray cover = withOrientation6(photoLikeJpeg({4032, 3024}, 2));
    for (const auto& [name, bytes] :
         {std::pair{"/background.jpg", background}, std::pair{"/cover.jpg", cover}}) {
        QFile file(folder.path() + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
    }
    std::printf(
        "background 6000x4000 JPEG %lld KB, cover 4032x3024 (orientation 6) JPEG %lld KB\n\n",
        static_cast<long long>(background.size() / 1024),
        static_cast<long long>(cover.size() / 1024));
    std::printf("%-28s %10s %9s %10s  %s\n", "run", "wall", "cpu", "peak", "outcome");
    const QByteArray self = QCoreApplication::applicationFilePath().toLocal8Bit();
    for (const char* name :
         {"cold, empty cache", "from the cache", "cold, no cache", "Qt WebP plugin, same cuts"})
        measure(self.constData(), name, folder.path());
    return 0;
}
