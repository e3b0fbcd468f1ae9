#include "rewrite.h"

#include "spin.h"
#include "synonymindex.h"
#include "tools.h"
#include "wordcount.h"

#include <algorithm>
#include <array>
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

namespace {

template <typename Visit> void forEachCodePoint(QStringView text, Visit visit) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            visit(QChar::surrogateToUcs4(u, text[++i].unicode()));
        else
            visit(char32_t(u));
    }
}

// The rule with the character after each "{" and "|" (or, unbraced, its
// first character) in upper case.
QString capitalised(const QString& rule) {
    const bool braced = isBracedRule(rule);
    QString out;
    out.reserve(rule.size());
    bool next = !braced;
    forEachCodePoint(rule, [&](char32_t c) {
        const char32_t put = next ? QChar::toUpper(c) : c;
        if (QChar::requiresSurrogates(put))
            out += QChar(QChar::highSurrogate(put)), out += QChar(QChar::lowSurrogate(put));
        else
            out += QChar(char16_t(put));
        next = braced && (c == u'{' || c == u'|');
    });
    return out;
}

} // namespace

Capitals capitalsOf(QStringView occurrence) {
    int letters = 0;
    bool allUpper = true;
    bool firstUpper = false;
    bool first = true;
    forEachCodePoint(occurrence, [&](char32_t c) {
        if (first)
            firstUpper = QChar::isUpper(c);
        first = false;
        if (QChar::isLetter(c)) {
            ++letters;
            allUpper = allUpper && QChar::isUpper(c);
        }
    });
    if (letters >= 2 && allUpper)
        return Capitals::All;
    return firstUpper ? Capitals::First : Capitals::AsWritten;
}

QString groupFor(const QString& reducedRule, QStringView occurrence, bool keepOriginal) {
    const Capitals capitals = capitalsOf(occurrence);
    QString cased = capitals == Capitals::All     ? reducedRule.toUpper()
                    : capitals == Capitals::First ? capitalised(reducedRule)
                                                  : reducedRule;
    if (!keepOriginal)
        return cased;
    QString group = QStringLiteral("{");
    group += occurrence;
    if (!isBracedRule(cased))
        return group + u'|' + cased + u'}';
    const QStringView inner = QStringView(cased).mid(1, cased.size() - 2);
    if (inner.compare(occurrence, Qt::CaseInsensitive) != 0) {
        group += u'|';
        group += inner;
    }
    return group + u'}';
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

// A place where " " + some text + end stands; the text is a candidate
// term, looked up by its folded form.
struct Occurrence {
    qsizetype position; // of the space
    qsizetype length;   // through the end character
    quint32 candidate;
    int end;
};

bool operator<(const Occurrence& a, const Occurrence& b) {
    if (a.candidate != b.candidate)
        return a.candidate < b.candidate;
    if (a.end != b.end)
        return a.end < b.end;
    return a.position < b.position;
}

constexpr quint32 kNone = 0xFFFFFFFFu;

// The distinct folded texts that stand in the article where a term could;
// small enough to stay in cache while every term of the file is looked up.
class Candidates {
public:
    explicit Candidates(const std::vector<char16_t>& folded) : m_folded(folded) {}

    quint32 add(quint64 hash, qsizetype position, qsizetype length) {
        if ((m_keys.size() + 1) * 2 > m_slots.size())
            grow();
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = slotIndex(hash, mask);
        for (; m_slots[i].id != kNone; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.hash == hash && same(slot.id, m_folded.data() + position, length))
                return slot.id;
        }
        m_slots[i] = Slot{hash, quint32(m_keys.size())};
        m_keys.push_back(Key{position, length});
        return quint32(m_keys.size() - 1);
    }

    quint32 find(quint64 hash, const char16_t* text, qsizetype length) const {
        if (m_slots.empty())
            return kNone;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = slotIndex(hash, mask); m_slots[i].id != kNone; i = (i + 1) & mask) {
            if (m_slots[i].hash == hash && same(m_slots[i].id, text, length))
                return m_slots[i].id;
        }
        return kNone;
    }

    qsizetype size() const { return qsizetype(m_keys.size()); }

private:
    struct Slot {
        quint64 hash;
        quint32 id;
    };
    struct Key {
        qsizetype position;
        qsizetype length;
    };

    bool same(quint32 id, const char16_t* text, qsizetype length) const {
        const Key& key = m_keys[id];
        return key.length == length &&
               std::equal(text, text + length, m_folded.data() + key.position);
    }

    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(256, m_slots.size() * 2), Slot{0, kNone});
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.id == kNone)
                continue;
            std::size_t i = slotIndex(slot.hash, mask);
            while (m_slots[i].id != kNone)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }

    const std::vector<char16_t>& m_folded;
    std::vector<Slot> m_slots;
    std::vector<Key> m_keys;
};

// From each space, the folded text is hashed forward and noted at each end
// character; the walk stops once no term continues past that point.
std::vector<Occurrence> findOccurrences(const SynonymIndex& index,
                                        const std::vector<char16_t>& folded,
                                        Candidates& candidates) {
    std::vector<Occurrence> found;
    if (index.terms().empty())
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
                if (q > p + 1)
                    found.push_back({p, q - p + 1, candidates.add(hash, p + 1, q - p - 1), end});
                if (!index.maybePrefix(hash))
                    break;
            }
            if (q - p > longest)
                break;
            hash = hashStep(hash, u);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The first time each distinct term that stands in the article is tried: the
// lines in order, the items of each in order.
struct Try {
    quint32 term; // index into the terms of the file
    quint32 line;
    quint32 candidate;
};

// tryOfTerm, when given, receives for every item of the file the try that
// stands for its text, or kNone.
std::vector<Try> firstTries(const SynonymIndex& index, const Candidates& candidates,
                            std::vector<quint32>* tryOfTerm = nullptr) {
    std::vector<Try> tries;
    std::vector<quint32> latest(candidates.size(), kNone); // per candidate, its tries chained
    std::vector<quint32> earlier;
    const auto& terms = index.terms();
    if (tryOfTerm)
        tryOfTerm->assign(terms.size(), kNone);
    for (qsizetype line = 0; line < index.lineCount(); ++line) {
        for (quint32 t = index.itemsBegin(line); t != index.itemsEnd(line); ++t) {
            const quint32 candidate =
                candidates.find(terms[t].hash, index.foldedText(t), terms[t].length);
            if (candidate == kNone)
                continue;
            quint32 k = latest[candidate];
            while (k != kNone && index.termText(tries[k].term) != index.termText(t))
                k = earlier[k];
            if (k == kNone) {
                k = quint32(tries.size());
                earlier.push_back(latest[candidate]);
                latest[candidate] = k;
                tries.push_back(Try{t, quint32(line), candidate});
            }
            if (tryOfTerm)
                (*tryOfTerm)[t] = k;
        }
    }
    return tries;
}

std::vector<char16_t> foldedUnits(QStringView text) {
    std::vector<char16_t> folded(std::size_t(text.size()));
    foldUnits(text.utf16(), text.size(), folded.data());
    return folded;
}

// Per BMP unit its lower case when that is one unit (0 when it is not, or
// for a surrogate), so the exact rewrite lowers most text without a QString
// per character.
const std::vector<char16_t>& bmpSingleLower() {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> lower(0x10000, 0);
        for (char32_t u = 0; u < 0x10000; ++u) {
            if (QChar::isSurrogate(u))
                continue;
            const QString l = QString(QChar(char16_t(u))).toLower();
            if (l.size() == 1)
                lower[u] = l[0].unicode();
        }
        return lower;
    }();
    return table;
}

// A reduced rule as it goes in after the space in front of a term, before the end character.
struct Insert {
    QString rule;
    int end;
};

// edge is 1 when the space and end character stay in the text for the
// neighbours, 0 when the group takes them.
QString marked(const QString& group, int end, qsizetype edge) {
    return StrReplace(edge ? group : u' ' + group + kEnds[end], QStringLiteral(" "),
                      QStringLiteral("%%"), 1);
}

RewriteResult finished(QString text, qint64 replacements, qint64 words) {
    RewriteResult result;
    result.spinText = StrReplace(text, QStringLiteral("%%"), QStringLiteral(" "), 1);
    result.replacementCount = replacements;
    result.wordCount = words;
    result.report = replacementReport(replacements, words);
    return result;
}

// One place of the text replaced by one of the inserts.
struct Replacement {
    qsizetype position;
    qsizetype length;
    qsizetype insert;
};

RewriteResult applied(const QString& text, std::vector<Replacement> replacements,
                      const std::vector<Insert>& inserts, qint64 words, bool keepOriginal,
                      qsizetype edge) {
    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.position < b.position; });
    // Without the original wording an insert depends only on the capitals it replaces.
    std::vector<std::array<QString, 3>> cased(keepOriginal ? 0 : inserts.size());
    QString work;
    work.reserve(text.size() + qsizetype(replacements.size()) * 16);
    std::vector<QString> replaced;
    replaced.reserve(replacements.size());
    qsizetype at = 0;
    for (const Replacement& r : replacements) {
        work += QStringView(text).mid(at, r.position + edge - at);
        const Insert& insert = inserts[std::size_t(r.insert)];
        const QStringView occurrence = QStringView(text).mid(r.position + 1, r.length - 2);
        replaced.push_back(occurrence.toString());
        if (keepOriginal) {
            work += marked(groupFor(insert.rule, occurrence, true), insert.end, edge);
        } else {
            QString& made = cased[std::size_t(r.insert)][int(capitalsOf(occurrence))];
            if (made.isEmpty())
                made = marked(groupFor(insert.rule, occurrence, false), insert.end, edge);
            work += made;
        }
        at = r.position + r.length - edge;
    }
    work += QStringView(text).mid(at);
    RewriteResult result = finished(std::move(work), qint64(replacements.size()), words);
    result.replaced = std::move(replaced);
    return result;
}

// The places of one candidate and end character, in text order: [base, last).
struct Span {
    std::size_t base;
    std::size_t last;
};

Span placesOf(const std::vector<Occurrence>& list, quint32 candidate, int end) {
    const auto first = std::lower_bound(list.begin(), list.end(), Occurrence{0, 0, candidate, end});
    auto last = first;
    while (last != list.end() && last->candidate == candidate && last->end == end)
        ++last;
    return Span{std::size_t(first - list.begin()), std::size_t(last - list.begin())};
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

// Why this equals walking every line: a search text starts with a space and
// holds no brace; an insert holds no space, and one made for a braced line
// starts with "%%{", so no search text can match across or inside it. A
// replacement therefore only removes the occurrences it overlaps and never
// makes new ones. A term's first try either replaces all its occurrences or
// finds none, so every later try of it (in a later line, or under an
// unbraced line that keeps the items) finds nothing, and the reduced rule of
// an unbraced line, the only insert without a brace, is never inserted. So
// only the first try of each distinct term matters, in the order the lines
// give, and only for terms that stand in the article at all.
// Where neighbours share, a replacement leaves its space and end character in
// the text, and what it removes are the occurrences whose terms it overlaps.
//
// For the texts indexedRewriteApplies() admits, the lower-cased text lines up
// with the text unit for unit, and a place that matches in the lower-cased
// text also matches ignoring case; the reverse need not hold ("ſ" against
// "s", "ς" against "σ"), so a try counts as found only when the lower-cased
// text holds the term exactly, and then replaces every case-insensitive match.
RewriteResult rewriteIndexed(const QString& text, const SynonymDb& synonyms, bool keepOriginal,
                             Neighbours neighbours) {
    const qsizetype edge = neighbours == Neighbours::Share ? 1 : 0;
    const SynonymIndex& index = synonyms.index();
    const qint64 words = count_words(text);
    const qsizetype n = text.size();
    const QString lowered = text.toLower();
    const std::vector<char16_t> folded = foldedUnits(text);
    Candidates candidates(folded);
    const std::vector<Occurrence> occurrences = findOccurrences(index, folded, candidates);

    // What a replacement takes: its term, and unless shared the space and end character too.
    std::vector<char> consumed(n, 0);
    const auto untouched = [&](const Occurrence& o) {
        const auto last = consumed.begin() + o.position + o.length - edge;
        return std::find(consumed.begin() + o.position + edge, last, 1) == last;
    };
    std::vector<Replacement> replacements;
    std::vector<Insert> inserts;

    for (const Try& attempt : firstTries(index, candidates)) {
        const QStringView term = index.termText(attempt.term);
        for (int end = 0; end < 4; ++end) {
            const Span span = placesOf(occurrences, attempt.candidate, end);
            const auto first = occurrences.begin() + qsizetype(span.base);
            const auto last = occurrences.begin() + qsizetype(span.last);
            const bool found = std::any_of(first, last, [&](const Occurrence& o) {
                return untouched(o) &&
                       QStringView(lowered).mid(o.position + 1, term.size()) == term;
            });
            if (!found)
                continue;
            inserts.push_back(
                {RuleWithoutTerm(index.line(attempt.line).toString(), term.toString()), end});
            for (auto o = first; o != last; ++o) {
                if (!untouched(*o))
                    continue;
                std::fill(consumed.begin() + o->position + edge,
                          consumed.begin() + o->position + o->length - edge, 1);
                replacements.push_back({o->position, o->length, qsizetype(inserts.size()) - 1});
            }
        }
    }

    return applied(text, std::move(replacements), inserts, words, keepOriginal, edge);
}

// The walk over every line and term, with both of its searches answered
// from places found once: whether the lower-cased text holds " term" + end
// (on the lower-cased text, whose units are mapped back to the characters
// they came from, so a lowering that changes length costs nothing more) and
// where a case-insensitive search replaces (unit for unit on the text). As in
// rewriteIndexed, a replacement only removes the places it overlaps, so a
// place still counts while none of its characters has been replaced.
RewriteResult rewriteExact(const QString& text, const SynonymDb& synonyms, bool keepOriginal,
                           Neighbours neighbours) {
    const qsizetype edge = neighbours == Neighbours::Share ? 1 : 0;
    const SynonymIndex& index = synonyms.index();
    const qsizetype n = text.size();

    // The lower-cased text, one character at a time (as QString::toLower
    // lowers, without context), and where each unit came from.
    std::u16string loweredUnits;
    std::vector<qsizetype> fromBegin;
    std::vector<qsizetype> fromEnd;
    loweredUnits.reserve(std::size_t(n) + 16);
    fromBegin.reserve(std::size_t(n) + 16);
    fromEnd.reserve(std::size_t(n) + 16);
    const std::vector<char16_t>& single = bmpSingleLower();
    for (qsizetype i = 0; i < n;) {
        const char16_t u = text[i].unicode();
        qsizetype next = i + 1;
        if (single[u] != 0 || u == 0) {
            loweredUnits += single[u];
            fromBegin.push_back(i);
            fromEnd.push_back(next);
            i = next;
            continue;
        }
        QString lower;
        if (QChar::isHighSurrogate(u) && next < n && text[next].isLowSurrogate()) {
            ++next;
            lower = QStringView(text).mid(i, 2).toString().toLower();
        } else {
            lower = QString(QChar(u)).toLower();
        }
        loweredUnits.append(reinterpret_cast<const char16_t*>(lower.utf16()),
                            std::size_t(lower.size()));
        fromBegin.insert(fromBegin.end(), std::size_t(lower.size()), i);
        fromEnd.insert(fromEnd.end(), std::size_t(lower.size()), next);
        i = next;
    }
    const QStringView lowered(loweredUnits.data(), qsizetype(loweredUnits.size()));

    const std::vector<char16_t> loweredFolded = foldedUnits(lowered);
    Candidates loweredCandidates(loweredFolded);
    const std::vector<Occurrence> loweredPlaces =
        findOccurrences(index, loweredFolded, loweredCandidates);
    std::vector<quint32> tryOfTerm;
    const std::vector<Try> tries = firstTries(index, loweredCandidates, &tryOfTerm);
    const std::vector<char16_t> folded = foldedUnits(text);
    Candidates candidates(folded);
    const std::vector<Occurrence> places = findOccurrences(index, folded, candidates);

    std::vector<char> consumed(n, 0);
    const auto untouched = [&](qsizetype begin, qsizetype end) {
        return std::find(consumed.begin() + begin, consumed.begin() + end, 1) ==
               consumed.begin() + end;
    };
    // Consumed places at the front of a span are skipped for good, as nothing
    // un-replaces them.
    std::vector<std::size_t> loweredSkip(loweredPlaces.size(), 0);
    std::vector<std::size_t> skip(places.size(), 0);
    const auto loweredUntouched = [&](const Occurrence& o) {
        return untouched(fromBegin[o.position + edge], fromEnd[o.position + o.length - 1 - edge]);
    };

    std::vector<Replacement> replacements;
    std::vector<Insert> inserts;
    const auto& terms = index.terms();
    quint32 itemsBegin = 0;
    quint32 itemsEnd = 0;
    for (qsizetype line = 0; line < index.lineCount(); ++line) {
        if (index.braced(line)) {
            itemsBegin = index.itemsBegin(line);
            itemsEnd = index.itemsEnd(line);
        }
        for (quint32 item = itemsBegin; item != itemsEnd; ++item) {
            if (tryOfTerm[item] == kNone)
                continue;
            const QStringView term = index.termText(item);
            const quint32 loweredCandidate = tries[tryOfTerm[item]].candidate;
            const quint32 candidate =
                candidates.find(terms[item].hash, index.foldedText(item), terms[item].length);
            for (int end = 0; end < 4; ++end) {
                const Span l = placesOf(loweredPlaces, loweredCandidate, end);
                bool present = false;
                for (std::size_t k = l.base + (l.base < l.last ? loweredSkip[l.base] : 0);
                     k < l.last && !present; ++k) {
                    if (!loweredUntouched(loweredPlaces[k])) {
                        if (k == l.base + loweredSkip[l.base])
                            ++loweredSkip[l.base];
                        continue;
                    }
                    present = lowered.mid(loweredPlaces[k].position + 1, term.size()) == term;
                }
                if (!present)
                    continue;
                inserts.push_back(
                    {RuleWithoutTerm(index.line(line).toString(), term.toString()), end});
                if (candidate == kNone)
                    continue;
                const Span r = placesOf(places, candidate, end);
                for (std::size_t k = r.base + (r.base < r.last ? skip[r.base] : 0); k < r.last;
                     ++k) {
                    const Occurrence& o = places[k];
                    if (untouched(o.position + edge, o.position + o.length - edge)) {
                        std::fill(consumed.begin() + o.position + edge,
                                  consumed.begin() + o.position + o.length - edge, 1);
                        replacements.push_back(
                            {o.position, o.length, qsizetype(inserts.size()) - 1});
                    }
                    if (k == r.base + skip[r.base])
                        ++skip[r.base];
                }
            }
        }
    }

    return applied(text, std::move(replacements), inserts, count_words(text), keepOriginal, edge);
}

} // namespace detail

RewriteResult rewriteSpunText(const QString& text, const SynonymDb& synonyms, bool keepOriginal,
                              Neighbours neighbours) {
    return detail::indexedRewriteApplies(text)
               ? detail::rewriteIndexed(text, synonyms, keepOriginal, neighbours)
               : detail::rewriteExact(text, synonyms, keepOriginal, neighbours);
}

RewriteResult Reescribir(const QString& article, const SynonymDb& synonyms, bool keepOriginal,
                         Neighbours neighbours) {
    return rewriteSpunText(Spin(article), synonyms, keepOriginal, neighbours);
}

} // namespace tandrel
