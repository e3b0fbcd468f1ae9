#include "rewrite.h"

#include "spin.h"
#include "synonymindex.h"
#include "tools.h"
#include "wordcount.h"

#include <algorithm>
#include <vector>

namespace tandrel {

QString replacementReport(qint64 replacements, qint64 words) {
    return QStringLiteral("%1 Replacements on %2 words.").arg(replacements).arg(words);
}

QString ReplaceText(const QString& text, const QString& find, const QString& replacement, int mode,
                    qint64& replacementCount) {
    // An empty find text would be found again and again at the same place.
    if (find.isEmpty())
        return text;
    const Qt::CaseSensitivity cs = mode == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QString marked = StrReplace(replacement, QStringLiteral(" "), QStringLiteral("%%"), 1);
    const QStringView all(text);
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = all.mid(from).indexOf(find, 0, cs);
        if (at < 0) {
            result += all.mid(from);
            return result;
        }
        result += all.mid(from, at);
        result += marked;
        from += at + find.size();
        ++replacementCount;
    }
}

namespace detail {

namespace {

const std::vector<char>& bmpPlain() {
    static const std::vector<char> table = [] {
        std::vector<char> plain(0x10000, 1);
        for (char32_t u = 0x80; u < 0x10000; ++u) {
            if (QChar::isSurrogate(u)) {
                plain[u] = 0;
                continue;
            }
            const QString lower = QString(QChar(char16_t(u))).toLower();
            plain[u] = lower.size() == 1 && foldUnit(lower[0].unicode()) == foldUnit(char16_t(u));
        }
        return plain;
    }();
    return table;
}

// A place where " " + term + end stands, compared ignoring case.
struct Occurrence {
    qsizetype position; // of the space
    qsizetype length;   // through the end character
    quint32 group;
    int end;
};

bool operator<(const Occurrence& a, const Occurrence& b) {
    if (a.group != b.group)
        return a.group < b.group;
    if (a.end != b.end)
        return a.end < b.end;
    return a.position < b.position;
}

// From each space, the text is hashed forward and looked up at each end
// character; the scan stops once no term continues past that point.
std::vector<Occurrence> findOccurrences(const SynonymIndex& index, const std::vector<char16_t>& folded) {
    std::vector<Occurrence> found;
    if (index.groupCount() == 0)
        return found;
    const auto n = qsizetype(folded.size());
    const qsizetype longest = index.maxTermLength();
    for (qsizetype p = 0; p < n; ++p) {
        if (folded[p] != u' ')
            continue;
        quint64 hash = kHashSeed;
        for (qsizetype q = p + 1; q < n; ++q) {
            const char16_t u = folded[q];
            const int end = endIndex(u);
            if (end >= 0) {
                if (q > p + 1) {
                    const quint32 group = index.findGroup(hash, folded.data() + p + 1, q - p - 1);
                    if (group != SynonymIndex::kNone)
                        found.push_back({p, q - p + 1, group, end});
                }
                if (!index.maybePrefix(hash))
                    break;
            }
            if (q - p > longest)
                break;
            hash = hashStep(hash, u);
        }
    }
    return found;
}

std::vector<char16_t> foldedUnits(QStringView text) {
    std::vector<char16_t> folded(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        folded[i] = foldUnit(text[i].unicode());
    return folded;
}

QString markedInsert(const QString& rule, int end) {
    return StrReplace(u' ' + rule + kEnds[end], QStringLiteral(" "), QStringLiteral("%%"), 1);
}

RewriteResult finished(QString text, qint64 replacements, qint64 words) {
    RewriteResult result;
    result.spinText = StrReplace(text, QStringLiteral("%%"), QStringLiteral(" "), 1);
    result.replacementCount = replacements;
    result.wordCount = words;
    result.report = replacementReport(replacements, words);
    return result;
}

} // namespace

bool indexedRewriteApplies(QStringView text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80)
            continue;
        if (QChar::isHighSurrogate(u) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(u, text[++i].unicode());
            if (QChar::toLower(c) != c || QChar::toUpper(c) != c || QChar::toCaseFolded(c) != c)
                return false;
            continue;
        }
        if (!bmpPlain()[u])
            return false;
    }
    return true;
}

// Why this equals walking every line: every search text starts with a space
// and every insert holds none and carries a "{" right after its leading
// "%%", so no search text can ever match across or inside an insert. A
// replacement therefore only removes the occurrences it overlaps and never
// makes new ones. Once a term's first try has found its occurrences, they
// are all replaced, and every later try of the same term (in a later line,
// or under an unbraced line that keeps the items) finds nothing. So only the
// first try of each distinct term matters, in the order the lines give, and
// only for terms that stand in the article at all.
//
// For the texts indexedRewriteApplies() admits, the lower-cased text lines up
// with the text unit for unit, and a place that matches in the lower-cased
// text also matches ignoring case; the reverse need not hold ("ſ" against
// "s", "ς" against "σ"), so a try counts as found only when the lower-cased
// text holds the term exactly, and then replaces every case-insensitive match.
RewriteResult rewriteIndexed(const QString& text, const SynonymDb& synonyms) {
    const SynonymIndex& index = synonyms.index();
    const qint64 words = count_words(text);
    const qsizetype n = text.size();
    const QString lowered = text.toLower();
    std::vector<Occurrence> occurrences = findOccurrences(index, foldedUnits(text));
    std::sort(occurrences.begin(), occurrences.end());

    std::vector<quint32> tries;
    for (std::size_t i = 0; i < occurrences.size(); ++i) {
        if (i > 0 && occurrences[i].group == occurrences[i - 1].group)
            continue;
        for (quint32 id = index.groupHead(occurrences[i].group); id != SynonymIndex::kNone;
             id = index.terms()[id].nextInGroup)
            tries.push_back(id);
    }
    std::sort(tries.begin(), tries.end());

    std::vector<char> consumed(n, 0);
    const auto untouched = [&](const Occurrence& o) {
        return std::find(consumed.begin() + o.position, consumed.begin() + o.position + o.length, 1) ==
               consumed.begin() + o.position + o.length;
    };
    struct Replacement {
        qsizetype position;
        qsizetype length;
        qsizetype insert;
    };
    std::vector<Replacement> replacements;
    QStringList inserts;

    for (const quint32 id : tries) {
        const SynonymIndex::Term& term = index.terms()[id];
        const QStringView termText = index.termText(id);
        for (int end = 0; end < 4; ++end) {
            const Occurrence key{0, 0, term.group, end};
            const auto first = std::lower_bound(occurrences.begin(), occurrences.end(), key);
            auto last = first;
            while (last != occurrences.end() && last->group == term.group && last->end == end)
                ++last;
            const bool found = std::any_of(first, last, [&](const Occurrence& o) {
                return untouched(o) && QStringView(lowered).mid(o.position + 1, termText.size()) == termText;
            });
            if (!found)
                continue;
            inserts.append(markedInsert(RuleWithoutTerm(index.lines()[term.line], termText.toString()), end));
            for (auto o = first; o != last; ++o) {
                if (!untouched(*o))
                    continue;
                std::fill(consumed.begin() + o->position, consumed.begin() + o->position + o->length, 1);
                replacements.push_back({o->position, o->length, inserts.size() - 1});
            }
        }
    }

    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.position < b.position; });
    QString work;
    work.reserve(n + qsizetype(replacements.size()) * 16);
    qsizetype at = 0;
    for (const Replacement& r : replacements) {
        work += QStringView(text).mid(at, r.position - at);
        work += inserts[r.insert];
        at = r.position + r.length;
    }
    work += QStringView(text).mid(at);
    return finished(std::move(work), qint64(replacements.size()), words);
}

RewriteResult rewriteExact(const QString& text, const SynonymDb& synonyms) {
    const SynonymIndex& index = synonyms.index();
    const qint64 words = count_words(text);

    // A replacement never makes a search text appear (see rewriteIndexed), so
    // a term can only be found if the article as it starts holds it.
    const QString lowered = text.toLower();
    std::vector<char> present(index.terms().size(), 0);
    for (const Occurrence& o : findOccurrences(index, foldedUnits(lowered))) {
        const QStringView here = QStringView(lowered).mid(o.position + 1, o.length - 2);
        for (quint32 id = index.groupHead(o.group); id != SynonymIndex::kNone; id = index.terms()[id].nextInGroup) {
            if (index.termText(id) == here)
                present[id] = 1;
        }
    }

    QString work = text;
    qint64 replacements = 0;
    const quint32* itemsBegin = nullptr;
    const quint32* itemsEnd = nullptr;
    for (qsizetype line = 0; line < index.lines().size(); ++line) {
        if (index.braced(line)) {
            itemsBegin = index.itemsBegin(line);
            itemsEnd = index.itemsEnd(line);
        }
        for (const quint32* item = itemsBegin; item != itemsEnd; ++item) {
            if (!present[*item])
                continue;
            const QString term = index.termText(*item).toString();
            for (int end = 0; end < 4; ++end) {
                const QString find = u' ' + term + kEnds[end];
                if (!work.toLower().contains(find))
                    continue;
                const QString rule = RuleWithoutTerm(index.lines()[line], term);
                work = ReplaceText(work, find, u' ' + rule + kEnds[end], 1, replacements);
            }
        }
    }
    return finished(std::move(work), replacements, words);
}

} // namespace detail

RewriteResult rewriteSpunText(const QString& text, const SynonymDb& synonyms) {
    return detail::indexedRewriteApplies(text) ? detail::rewriteIndexed(text, synonyms)
                                               : detail::rewriteExact(text, synonyms);
}

RewriteResult Reescribir(const QString& article, const SynonymDb& synonyms) {
    return rewriteSpunText(Spin(article), synonyms);
}

} // namespace tandrel
