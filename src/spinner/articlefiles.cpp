#include "articlefiles.h"

#include "spin.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <limits>

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

namespace {

// How many choices the groups of a text without nested groups offer (an upper
// bound on its different variants), or the largest int when unknown.
int choiceBound(const QString& text) {
    constexpr int kUnknown = std::numeric_limits<int>::max();
    qint64 product = 1;
    int alternatives = 0; // in the open group; 0 when none is open
    for (const QChar c : text) {
        if (c == u'{') {
            if (alternatives > 0)
                return kUnknown;
            alternatives = 1;
        } else if (c == u'|' && alternatives > 0) {
            ++alternatives;
        } else if (c == u'}' && alternatives > 0) {
            product = qMin<qint64>(product * alternatives, kUnknown);
            alternatives = 0;
        }
    }
    return alternatives > 0 ? kUnknown : int(product);
}

} // namespace

QStringList distinctVariants(const QString& spinText, int count, QRandomGenerator& generator) {
    QStringList variants;
    QSet<QString> seen;
    const int bound = choiceBound(spinText);
    // A text with fewer variants than asked ends once many draws in a row
    // bring nothing new; by then every variant has almost surely been drawn.
    const int patience = 50 + 20 * count;
    for (int misses = 0; variants.size() < qMin(count, bound) && misses < patience;) {
        QString variant = Spin(spinText, generator);
        if (seen.contains(variant)) {
            ++misses;
            continue;
        }
        seen.insert(variant);
        variants.append(std::move(variant));
        misses = 0;
    }
    return variants;
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

Status exportVariants(const QStringList& variants, const QString& folder, const QString& stem,
                      const ArticleFormat& format, bool overwrite, bool* fellBack) {
    if (fellBack)
        *fellBack = false;
    if (!QFileInfo(folder).isDir())
        return Status::failure(
            QStringLiteral("The folder \"%1\" does not exist; no variant was written.")
                .arg(displayPath(folder)));
    const QStringList paths = variantFilePaths(folder, stem, int(variants.size()));
    if (!overwrite) {
        for (const QString& path : paths) {
            if (QFileInfo::exists(path))
                return Status::failure(
                    QStringLiteral("The file \"%1\" already exists; no variant was written.")
                        .arg(displayPath(path)));
        }
    }
    for (qsizetype i = 0; i < variants.size(); ++i) {
        bool utf8 = false;
        const Status written =
            writeFileAtomically(paths[i], encodeArticle(variants[i], format, &utf8));
        if (!written) {
            if (i == 0)
                return written;
            return Status::failure(written.error() +
                                   (i == 1 ? QStringLiteral(" Only the first variant was written.")
                                           : QStringLiteral(" Only the first %1 variants were "
                                                            "written.")
                                                 .arg(i)));
        }
        if (fellBack && utf8)
            *fellBack = true;
    }
    return Status::success();
}

} // namespace tandrel
