#pragma once

#include "result.h"
#include "textfiles.h"

#include <QRandomGenerator>
#include <QStringList>

namespace tandrel {

// How an article file was stored, so that saving writes it back the same way.
struct ArticleFormat {
    TextEncoding encoding = TextEncoding::Utf8;
    QString lineEnd = QStringLiteral("\n"); // the first kind of line end the file has
};

struct LoadedArticle {
    QString text; // line ends as "\n"
    ArticleFormat format;
};

Result<LoadedArticle> loadArticle(const QString& path);
LoadedArticle decodeArticle(const QByteArray& bytes);

// The bytes of text (line ends as "\n") in format; where Windows-1252 cannot
// hold every character, UTF-8 with the same line ends, and fellBack says so.
QByteArray encodeArticle(const QString& text, const ArticleFormat& format,
                         bool* fellBack = nullptr);

// Up to count different variants of a text in spin syntax, in the order they
// were drawn; fewer when the text has fewer (a text without groups has one).
QStringList distinctVariants(const QString& spinText, int count, QRandomGenerator& generator);

// The files an export of count variants writes: stem-01.txt, stem-02.txt...
QStringList variantFilePaths(const QString& folder, const QString& stem, int count);
// The stem of an article's variant files ("article" for one without a file).
QString variantStem(const QString& articlePath);

// Writes each variant to its file of variantFilePaths. Refuses, writing
// nothing, when the folder is missing or (unless overwrite) one of the files
// is there already. fellBack: some variant was written as UTF-8 instead.
Status exportVariants(const QStringList& variants, const QString& folder, const QString& stem,
                      const ArticleFormat& format, bool overwrite, bool* fellBack = nullptr);

} // namespace tandrel
