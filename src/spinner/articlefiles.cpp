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
#include <sys/file.h>
#include <sys/resource.h>
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

// Variants that differ from every one drawn before in at least a share of
// their words; gives up after many draws in a row found none.
class FloorDraws {
public:
    FloorDraws(const VariantSpace& space, double floor, QRandomGenerator& generator)
        : m_space(space), m_floor(floor), m_generator(generator),
          m_groups(GroupWords::of(space.text())) {}

    std::optional<QString> next() {
        for (int misses = 0; misses < kMisses; ++misses) {
            if (m_groups) {
                GroupWords::Choices choices = m_groups->draw(m_generator);
                if (std::all_of(m_kept.begin(), m_kept.end(), [&](const auto& kept) {
                        return m_groups->difference(choices, kept) >= m_floor;
                    })) {
                    m_kept.push_back(std::move(choices));
                    return m_groups->text(m_kept.back());
                }
                continue;
            }
            // Nested or joined groups: the texts themselves are compared and kept.
            QString variant = Spin(m_space.text(), m_generator);
            if (std::all_of(m_keptTexts.begin(), m_keptTexts.end(), [&](const QString& kept) {
                    return wordDifference(variant, kept) >= m_floor;
                })) {
                m_keptTexts.push_back(variant);
                return variant;
            }
        }
        return std::nullopt;
    }

private:
    static constexpr int kMisses = 1000;
    const VariantSpace& m_space;
    const double m_floor;
    QRandomGenerator& m_generator;
    const std::optional<GroupWords> m_groups;
    std::vector<GroupWords::Choices> m_kept;
    std::vector<QString> m_keptTexts;
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

// Exports into one folder take turns, so the part files found there are left
// over from a killed export. The system drops the lock of a killed process.
class FolderTurn {
public:
    explicit FolderTurn(const QString& folder) {
#ifdef Q_OS_UNIX
        m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            m_busy = errno == EWOULDBLOCK;
            ::close(m_fd);
            m_fd = -1;
        }
#else
        Q_UNUSED(folder);
#endif
    }
    ~FolderTurn() {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    FolderTurn(const FolderTurn&) = delete;
    FolderTurn& operator=(const FolderTurn&) = delete;
    bool busy() const {
        return m_busy;
    }
    bool held() const {
        return m_fd >= 0;
    }

private:
    int m_fd = -1;
    bool m_busy = false;
};

void removeStaleParts(const QString& folder) {
    static const QRegularExpression part(QStringLiteral("^\\..+-\\d{2,}\\.txt\\.part$"));
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (part.match(name).hasMatch())
            QFile::remove(dir.filePath(name));
    }
}

#ifdef O_TMPFILE
// Files the rest of the program may open meanwhile (a publish, the windows).
constexpr qsizetype kSpareFiles = 64;

// Whether count more files can stay open below the soft limit, which keeps
// every descriptor in the range that any library can handle.
bool roomToKeepOpen(int count) {
    rlimit limit{};
    const qsizetype open =
        QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
            .size();
    // Without /proc the files could not be given their names.
    return open > 0 && ::getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
           (limit.rlim_cur == RLIM_INFINITY ||
            rlim_t(open + count + kSpareFiles) <= limit.rlim_cur);
}
#endif

// The written variants until they take their names. Where the system allows,
// they are files without a name in the folder (O_TMPFILE), which vanish with
// the process, so even a kill leaves nothing in the user's folder; elsewhere
// hidden ".NAME.part" files, which the next export into the folder removes.
class PendingFiles {
public:
    PendingFiles(const QString& folder, int count) : m_folder(folder) {
#ifdef O_TMPFILE
        m_unnamed = roomToKeepOpen(count);
#else
        Q_UNUSED(count);
#endif
    }
    ~PendingFiles() {
#ifdef O_TMPFILE
        for (const int fd : m_fds)
            ::close(fd);
#endif
        for (qsizetype i = m_named; i < m_parts.size(); ++i)
            QFile::remove(m_parts[i]);
    }
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;

    qsizetype size() const {
        return m_paths.size();
    }
    const QStringList& parts() const {
        return m_parts;
    }

    Status add(const QString& path, const QByteArray& bytes) {
        QFile file;
        errno = 0;
        bool opened = false;
#ifdef O_TMPFILE
        if (m_unnamed) {
            const int fd = ::open(QFile::encodeName(m_folder).constData(),
                                  O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            if (fd >= 0) {
                m_fds.push_back(fd);
                opened = file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
            } else if (m_fds.empty() && (errno == EOPNOTSUPP || errno == EISDIR)) {
                m_unnamed = false; // a file system without them
            } else {
                return writeFailed(path, qt_error_string(errno));
            }
        }
#endif
        if (!m_unnamed) {
            file.setFileName(partPath(path));
            m_parts << file.fileName();
            opened = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        }
        m_paths << path;
        if (!opened || file.write(bytes) != bytes.size() || !file.flush())
            return writeFailed(path, file.errorString());
        return Status::success();
    }

    // Each file takes its name; never over another file unless overwrite.
    Result<int> name(bool overwrite) {
        for (qsizetype i = 0; i < m_paths.size(); ++i) {
            const QByteArray to = QFile::encodeName(m_paths[i]);
            bool done = false;
#ifdef O_TMPFILE
            if (m_unnamed) {
                const QByteArray from = "/proc/self/fd/" + QByteArray::number(m_fds[size_t(i)]);
                if (overwrite) {
                    // A link cannot replace a file; the rename that follows can.
                    m_parts << partPath(m_paths[i]);
                    const QByteArray part = QFile::encodeName(m_parts.last());
                    ::unlink(part.constData());
                    done = ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, part.constData(),
                                    AT_SYMLINK_FOLLOW) == 0 &&
                           std::rename(part.constData(), to.constData()) == 0;
                    m_named = m_parts.size() - (done ? 0 : 1);
                } else {
                    done = ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(),
                                    AT_SYMLINK_FOLLOW) == 0;
                }
            } else
#endif
            {
                done = std::rename(QFile::encodeName(m_parts[i]).constData(), to.constData()) == 0;
                m_named = i + (done ? 1 : 0);
            }
            if (!done) {
                const int error = errno;
                return Result<int>::failure(
                    QStringLiteral("The file \"%1\" could not be written: %2.%3")
                        .arg(displayPath(m_paths[i]), qt_error_string(error),
                             i == 0 ? QString()
                                    : QStringLiteral(" Only the first %1 variants were written.")
                                          .arg(i)));
            }
        }
        return int(m_paths.size());
    }

private:
    static Status writeFailed(const QString& path, const QString& why) {
        const QString reason =
            errno == ENOSPC ? QStringLiteral("there is no space left on the disk") : why;
        return Status::failure(QStringLiteral("The file \"%1\" could not be written: %2.")
                                   .arg(displayPath(path), reason));
    }

    QString m_folder;
    bool m_unnamed = false;
    std::vector<int> m_fds;
    QStringList m_paths;
    QStringList m_parts;
    qsizetype m_named = 0; // parts from here on are removed at the end
};

} // namespace

Result<int> exportVariants(const VariantSpace& space, int files, const QString& folder,
                           const QString& stem, const ArticleFormat& format, bool overwrite,
                           QRandomGenerator& generator, bool* fellBack, double minDifference) {
    if (fellBack)
        *fellBack = false;
    if (!QFileInfo(folder).isDir())
        return Result<int>::failure(
            QStringLiteral("The folder \"%1\" does not exist; no variant was written.")
                .arg(displayPath(folder)));
    const FolderTurn turn(folder);
    if (turn.busy())
        return Result<int>::failure(
            QStringLiteral("Another export is writing into \"%1\"; no variant was written.")
                .arg(displayPath(folder)));
    if (turn.held())
        removeStaleParts(folder);
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
    PendingFiles pending(folder, files);
    VariantDraws draws(space, minDifference > 0 ? 0 : files, generator);
    FloorDraws floorDraws(space, minDifference, generator);
    for (const QString& path : paths) {
        const std::optional<QString> variant = minDifference > 0 ? floorDraws.next() : draws.next();
        if (!variant)
            break;
        bool utf8 = false;
        const QByteArray bytes = encodeArticle(*variant, format, &utf8);
        if (const Status added = pending.add(path, bytes); !added)
            return Result<int>::failure(added.error() + QStringLiteral(" No variant was written."));
        if (fellBack && utf8)
            *fellBack = true;
    }
    if (const Status synced = syncToDisk(folder, pending.parts()); !synced)
        return Result<int>::failure(synced.error() + QStringLiteral(" No variant was written."));
    return pending.name(overwrite);
}

QString floorShortfall(int written, int asked, double minDifference) {
    return QStringLiteral("Wrote %1 of %2 variants: the others were within %3% of one already "
                          "written.")
        .arg(written)
        .arg(asked)
        .arg(QString::number(minDifference * 100, 'g', 3));
}

} // namespace tandrel
