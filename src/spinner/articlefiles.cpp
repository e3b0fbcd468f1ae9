#include "articlefiles.h"

#include "spin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tandrel {

LoadedArticle decodeArticle(const QByteArray& bytes) {
    DecodedText decoded = decodeTextWithEncoding(bytes);
    LoadedArticle article{std::move(decoded.text), {decoded.encoding, QStringLiteral("\n")}};
    const qsizetype cr = article.text.indexOf(QLatin1Char('\r'));
    if (cr >= 0) {
        const bool crlf = cr + 1 < article.text.size() && article.text[cr + 1] == u'\n';
        article.format.lineEnd = crlf ? QStringLiteral("\r\n") : QStringLiteral("\r");
        article.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        article.text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return article;
}

Result<LoadedArticle> loadArticle(const QString& path) {
    auto bytes = readFileBytes(path, kTextFileLimit);
    if (!bytes)
        return Result<LoadedArticle>::failure(bytes.error());
    return decodeArticle(bytes.value());
}

QByteArray encodeArticle(const QString& text, const ArticleFormat& format, bool* fellBack) {
    QString stored = text;
    if (format.lineEnd != QLatin1String("\n"))
        stored.replace(QLatin1Char('\n'), format.lineEnd);
    bool lossless = true;
    QByteArray bytes = encodeText(stored, format.encoding, &lossless);
    if (fellBack)
        *fellBack = !lossless;
    return lossless ? bytes : encodeText(stored, TextEncoding::Utf8);
}

int variantsToExport(const VariantSpace& space, int count) {
    return int(std::min<qint64>(count, space.count()));
}

QStringList variantFilePaths(const QString& folder, const QString& stem, int count) {
    const int digits = qMax(2, int(QString::number(count).size()));
    QStringList paths;
    for (int i = 1; i <= count; ++i)
        paths << QDir(folder).filePath(
            QStringLiteral("%1-%2.txt").arg(stem).arg(i, digits, 10, QLatin1Char('0')));
    return paths;
}

QString variantStem(const QString& articlePath) {
    const QString stem = QFileInfo(articlePath).completeBaseName();
    return stem.isEmpty() ? QStringLiteral("article") : stem;
}

QStringList staleVariantFiles(const QString& folder, const QString& stem, int count) {
    const QStringList wanted = variantFilePaths(folder, stem, count);
    const QRegularExpression name(
        QStringLiteral("^%1-\\d{2,}\\.txt$").arg(QRegularExpression::escape(stem)));
    QStringList stale;
    const QDir dir(folder);
    for (const QString& file :
         dir.entryList({stem + QStringLiteral("-*.txt")}, QDir::Files, QDir::Name)) {
        if (name.match(file).hasMatch() && !wanted.contains(dir.filePath(file)))
            stale << dir.filePath(file);
    }
    return stale;
}

namespace {

// Hidden beside its final name until every file is on the disk.
QString partPath(const QString& path) {
    const QFileInfo info(path);
    return info.dir().filePath(u'.' + info.fileName() + QStringLiteral(".part"));
}

// The variants to write, in the order they are drawn: ranks of the counted
// space when it is small enough to number, otherwise Spin's draws.
class VariantDraws {
public:
    VariantDraws(const VariantSpace& space, int files, QRandomGenerator& generator)
        : m_space(space), m_generator(generator) {
        if (space.moreThanAMillion())
            return;
        const qint64 total = space.count();
        if (total <= 4 * qint64(files)) {
            for (qint64 r = 0; r < total; ++r)
                m_ranks.push_back(r);
            std::shuffle(m_ranks.begin(), m_ranks.end(), generator);
            m_ranks.resize(std::size_t(files));
            return;
        }
        QSet<qint64> chosen;
        while (qsizetype(m_ranks.size()) < files) {
            const qint64 r = qint64(generator.bounded(quint64(total)));
            if (!chosen.contains(r)) {
                chosen.insert(r);
                m_ranks.push_back(r);
            }
        }
    }

    // The next variant not drawn before; empty after too many repeats.
    std::optional<QString> next() {
        if (!m_space.moreThanAMillion()) {
            if (m_next >= m_ranks.size())
                return std::nullopt;
            return m_space.variant(m_ranks[m_next++]);
        }
        // More than a million: a repeat is rare, so its hash is all that is kept.
        for (int misses = 0; misses < 1000; ++misses) {
            QString variant = Spin(m_space.text(), m_generator);
            const auto key = std::make_pair(qHash(variant, 1), qHash(variant, 0x9E3779B9u));
            if (!m_seen.contains(key)) {
                m_seen.insert(key);
                return variant;
            }
        }
        return std::nullopt;
    }

private:
    const VariantSpace& m_space;
    QRandomGenerator& m_generator;
    std::vector<qint64> m_ranks;
    std::size_t m_next = 0;
    QSet<std::pair<size_t, size_t>> m_seen;
};

// One sync for all the files, where a file system can be synced at once.
Status syncToDisk(const QString& folder, const QStringList& files) {
    int error = 0;
#if defined(Q_OS_LINUX)
    Q_UNUSED(files);
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || ::syncfs(fd) != 0)
        error = errno;
    if (fd >= 0)
        ::close(fd);
#elif defined(Q_OS_UNIX)
    for (const QString& path : files) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0 || ::fsync(fd) != 0)
            error = errno;
        if (fd >= 0)
            ::close(fd);
    }
#else
    Q_UNUSED(files);
#endif
    if (error != 0)
        return Status::failure(QStringLiteral("The variants could not be written to \"%1\": %2.")
                                   .arg(displayPath(folder), qt_error_string(error)));
    return Status::success();
}

} // namespace

Result<int> exportVariants(const VariantSpace& space, int files, const QString& folder,
                           const QString& stem, const ArticleFormat& format, bool overwrite,
                           QRandomGenerator& generator, bool* fellBack) {
    if (fellBack)
        *fellBack = false;
    if (!QFileInfo(folder).isDir())
        return Result<int>::failure(
            QStringLiteral("The folder \"%1\" does not exist; no variant was written.")
                .arg(displayPath(folder)));
    files = std::min(files, variantsToExport(space, files));
    const QStringList paths = variantFilePaths(folder, stem, files);
    if (!overwrite) {
        for (const QString& path : paths) {
            if (QFileInfo::exists(path))
                return Result<int>::failure(
                    QStringLiteral("The file \"%1\" already exists; no variant was written.")
                        .arg(displayPath(path)));
        }
    }
    QStringList parts;
    const auto failed = [&](const QString& why) {
        for (const QString& part : parts)
            QFile::remove(part);
        return Result<int>::failure(why + QStringLiteral(" No variant was written."));
    };
    VariantDraws draws(space, files, generator);
    for (const QString& path : paths) {
        const std::optional<QString> variant = draws.next();
        if (!variant)
            break;
        bool utf8 = false;
        const QByteArray bytes = encodeArticle(*variant, format, &utf8);
        QFile part(partPath(path));
        parts << part.fileName();
        errno = 0;
        if (!part.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            part.write(bytes) != bytes.size() || !part.flush()) {
            const QString reason = errno == ENOSPC
                                       ? QStringLiteral("there is no space left on the disk")
                                       : part.errorString();
            part.close();
            return failed(QStringLiteral("The file \"%1\" could not be written: %2.")
                              .arg(displayPath(path), reason));
        }
        part.close();
        if (fellBack && utf8)
            *fellBack = true;
    }
    if (const Status synced = syncToDisk(folder, parts); !synced)
        return failed(synced.error());
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (std::rename(QFile::encodeName(parts[i]).constData(),
                        QFile::encodeName(paths[i]).constData()) != 0) {
            const int error = errno;
            for (qsizetype k = i; k < parts.size(); ++k)
                QFile::remove(parts[k]);
            return Result<int>::failure(
                QStringLiteral("The file \"%1\" could not be written: %2.%3")
                    .arg(displayPath(paths[i]), qt_error_string(error),
                         i == 0
                             ? QString()
                             : QStringLiteral(" Only the first %1 variants were written.").arg(i)));
        }
    }
    return int(parts.size());
}

} // namespace tandrel
