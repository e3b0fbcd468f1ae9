#pragma once

#include "synonymdb.h"

#include <QString>

#include <vector>

namespace tandrel {

struct RewriteResult {
    QString spinText;            // the article in spin syntax
    qint64 replacementCount = 0; // ReplacementCount
    qint64 wordCount = 0;        // words of the article, before any replacement
    QString report;              // "N Replacements on W words."
    // The text each group of spinText replaced, in text order, as written.
    std::vector<QString> replaced;
};

QString replacementReport(qint64 replacements, qint64 words);

// Every occurrence of find (mode 0 exact, 1 ignoring case), left to right and
// never overlapping one already replaced, becomes replacement with each of
// its spaces written as "%%"; replacementCount grows by one per occurrence.
QString ReplaceText(const QString& text, const QString& find, const QString& replacement, int mode,
                    qint64& replacementCount);

// What the capitals of a replaced occurrence ask of the group put in its
// place: its first character upper case, or all of its letters (two or more).
enum class Capitals { AsWritten, First, All };
Capitals capitalsOf(QStringView occurrence);

// The group that replaces occurrence: the reduced rule with each alternative's
// first character in upper case (First) or all in upper case (All); with
// keepOriginal the occurrence, as written, is its first alternative.
QString groupFor(const QString& reducedRule, QStringView occurrence, bool keepOriginal);

// Whether a swap uses up the space or end character on each side of its
// word, so "a good day" swaps "good" or "day" but never both (KeepApart, what
// careful rewrites always did), or leaves them to its neighbours (Share).
enum class Neighbours { KeepApart, Share };

// The rewrite: spins the article once, counts its words, then turns every
// known word standing between a space and " ", ",", "." or ":" into a group
// of its synonyms, rule line by rule line, and reports the numbers.
RewriteResult Reescribir(const QString& article, const SynonymDb& synonyms,
                         bool keepOriginal = false, Neighbours neighbours = Neighbours::KeepApart);

// The same without the first spin, for an article that has no groups left.
RewriteResult rewriteSpunText(const QString& text, const SynonymDb& synonyms,
                              bool keepOriginal = false,
                              Neighbours neighbours = Neighbours::KeepApart);

namespace detail {
// The indexed rewrite is exact for any text in which every character lowers
// to a single character that folds like it, and which has no unpaired
// surrogate and no cased character outside the BMP: all but a few texts.
bool indexedRewriteApplies(QStringView text);
// Cost: the text, plus one hash look-up per term of the file, never their product.
RewriteResult rewriteIndexed(const QString& text, const SynonymDb& synonyms, bool keepOriginal,
                             Neighbours neighbours = Neighbours::KeepApart);
// Walks every line and term as the window's controls would, searching the
// lower-cased text each time, but only for terms the article holds at all;
// for the rare texts the indexed rewrite cannot take.
RewriteResult rewriteExact(const QString& text, const SynonymDb& synonyms, bool keepOriginal,
                           Neighbours neighbours = Neighbours::KeepApart);
} // namespace detail

} // namespace tandrel
