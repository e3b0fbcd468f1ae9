#pragma once

#include "result.h"
#include "textfiles.h"
#include "variants.h"

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

// The variants an export writes unless told otherwise, and the most it writes.
constexpr int kDefaultVariants = 10;
constexpr int kMostVariants = 1000;

// How many files an export of count variants writes: fewer when the text has fewer.
int variantsToExport(const VariantSpace& space, int count);

// The files an export of count variants writes: stem-01.txt, stem-02.txt...
QStringList variantFilePaths(const QString& folder, const QString& stem, int count);
// The stem of an article's variant files ("article" for one without a file).
QString variantStem(const QString& articlePath);
// Variant files of an earlier export in folder that an export of count does not write.
QStringList staleVariantFiles(const QString& folder, const QString& stem, int count);

// Draws files different variants (at most variantsToExport) and writes each
// as it is drawn, so only one is held at a time; every file reaches the disk
// in one sync at the end and only then takes its name, so a failure or a
// crash leaves none of them. Refuses, writing nothing, when the folder is
// missing or (unless overwrite) one of the files is there already.
// With minDifference (0 to 1), a variant is written only when it differs
// from every one written before in at least that share of their words
// (GroupWords), so fewer may be written than asked for.
// The number of files written; fellBack: some variant was written as UTF-8 instead.
Result<int> exportVariants(const VariantSpace& space, int files, const QString& folder,
                           const QString& stem, const ArticleFormat& format, bool overwrite,
                           QRandomGenerator& generator, bool* fellBack = nullptr,
                           double minDifference = 0);

// What an export says when it wrote fewer than asked because of its floor:
// "Wrote 6 of 10 variants: the others were within 10% of one already written."
QString floorShortfall(int written, int asked, double minDifference);

} // namespace tandrel
