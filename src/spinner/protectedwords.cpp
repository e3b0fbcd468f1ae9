#include "protectedwords.h"

#include <QRegularExpression>

#include <algorithm>

namespace tandrel {

QStringList parseProtectedWords(const QString& typed) {
    QStringList words;
    for (const QString& part : typed.split(QRegularExpression(QStringLiteral("[,\\n]")))) {
        const QString word = part.simplified().toLower();
        if (!word.isEmpty() && !words.contains(word))
            words << word;
    }
    return words;
}

namespace {

// a holds b as whole words: " b " stands in " a ".
bool holdsWords(const QString& a, const QString& b) {
    return (u' ' + a + u' ').contains(u' ' + b + u' ');
}

} // namespace

SynonymDb withoutProtectedTerms(const SynonymDb& synonyms, const QStringList& protectedWords) {
    if (protectedWords.isEmpty())
        return synonyms;
    QStringList lines;
    lines.reserve(synonyms.lineCount());
    for (qsizetype i = 0; i < synonyms.lineCount(); ++i) {
        const QString line = synonyms.line(i);
        if (!isBracedRule(line)) {
            lines << line;
            continue;
        }
        const QStringList terms = LoadRule(line, {});
        QStringList kept;
        for (const QString& term : terms) {
            const QString lower = term.toLower();
            const bool hit =
                std::any_of(protectedWords.begin(), protectedWords.end(), [&](const QString& word) {
                    return holdsWords(lower, word) || holdsWords(word, lower);
                });
            if (!hit)
                kept << term;
        }
        if (kept.size() == terms.size())
            lines << line;
        else if (kept.size() > 1)
            lines << u'{' + kept.join(u'|') + u'}';
        // A line left with one term would swap it for itself, and with none
        // repeat the previous line's terms: such lines go.
    }
    return synonymDbFromLines(lines);
}

} // namespace tandrel
