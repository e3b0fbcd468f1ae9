#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// What a loaded synonym file is turned into once: every term of every braced
// line with the hash of its case-folded text, in file order. A rewrite puts
// the few thousand places of its article into a small table and streams the
// terms past it, instead of searching the article for every term.
namespace tandrel::detail {

// Case folding one UTF-16 unit at a time, as Qt's case-insensitive search
// compares them; surrogates stay as they are (see foldUnits for pairs).
inline char16_t foldUnit(char16_t u) {
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') ? char16_t(u + 32) : u;
    if (QChar::isSurrogate(u))
        return u;
    return QChar::toCaseFolded(u);
}

// A text folded as Qt's case-insensitive search compares it: a low surrogate
// after a high one stands for the low unit of the folded pair (cased pairs
// fold within their high surrogate), every other unit is folded alone.
inline void foldUnits(const char16_t* in, qsizetype n, char16_t* out) {
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = in[i];
        if (QChar::isLowSurrogate(u) && i > 0 && QChar::isHighSurrogate(in[i - 1]))
            out[i] = QChar::lowSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(in[i - 1], u)));
        else
            out[i] = foldUnit(u);
    }
}

// The four characters a term may be followed by: 0 " ", 1 ",", 2 ".", 3 ":"; -1 otherwise.
inline int endIndex(char16_t u) {
    switch (u) {
    case u' ':
        return 0;
    case u',':
        return 1;
    case u'.':
        return 2;
    case u':':
        return 3;
    default:
        return -1;
    }
}
inline constexpr char16_t kEnds[4] = {u' ', u',', u'.', u':'};

// FNV-1a over units: the hash of a text can grow one unit at a time while a
// scan walks forward from a space.
inline constexpr quint64 kHashSeed = 0xcbf29ce484222325ULL;
inline quint64 hashStep(quint64 h, char16_t u) {
    return (h ^ u) * 0x100000001b3ULL;
}

inline std::size_t slotIndex(quint64 hash, std::size_t mask) {
    hash ^= hash >> 29;
    hash *= 0xBF58476D1CE4E5B9ULL;
    hash ^= hash >> 32;
    return std::size_t(hash) & mask;
}

class SynonymIndex {
public:
    // One item of a braced line, as written in the file; repeats are kept.
    struct Term {
        quint64 hash;   // of the folded text
        quint32 offset; // of the exact text in the buffer
        quint32 folded; // of the folded text (== offset when folding changes nothing)
        quint32 length;
    };

    // Room for about this many more characters of rule lines.
    void reserve(qsizetype characters);
    void addLine(QStringView line);

    qsizetype lineCount() const { return qsizetype(m_lineOffset.size()); }
    QStringView line(qsizetype i) const { return view(m_lineOffset[i], m_lineLength[i]); }
    bool braced(qsizetype line) const { return m_braced[line] != 0; }
    enum LineTier : char { CarefulLine, BoldLine, TierLine };
    LineTier tier(qsizetype line) const { return LineTier(m_tier[line]); }
    bool hasBoldLines() const { return m_hasBold; }
    bool hasTierLines() const { return m_hasTierLines; }
    // The items of a braced line are terms()[itemsBegin(line) .. itemsEnd(line)).
    quint32 itemsBegin(qsizetype line) const { return m_itemBegin[line]; }
    quint32 itemsEnd(qsizetype line) const { return m_itemBegin[line + 1]; }

    const std::vector<Term>& terms() const { return m_terms; }
    QStringView termText(quint32 i) const { return view(m_terms[i].offset, m_terms[i].length); }
    const char16_t* foldedText(quint32 i) const { return m_text.data() + m_terms[i].folded; }
    qsizetype maxTermLength() const { return m_maxTermLength; }

    // False only when no folded term continues past an end character after
    // a prefix with this hash; a true answer may be wrong and costs a little.
    bool maybePrefix(quint64 hash) const;

private:
    QStringView view(quint32 offset, quint32 length) const {
        return QStringView(m_text.data() + offset, qsizetype(length));
    }
    void addTerm(quint32 offset, quint32 length);
    void insertPrefix(quint64 hash);

    // Every line, then behind it what the terms need that the line does not
    // hold as such: the line without its inner braces, folded terms.
    std::u16string m_text;
    std::vector<quint32> m_lineOffset;
    std::vector<quint32> m_lineLength;
    std::vector<char> m_braced;
    std::vector<char> m_tier;
    bool m_inBold = false;
    bool m_hasBold = false;
    bool m_hasTierLines = false;
    std::vector<quint32> m_itemBegin{0};
    std::vector<Term> m_terms;
    qsizetype m_maxTermLength = 0;
    std::vector<char16_t> m_scratch;

    std::vector<quint64> m_prefixes; // 0: empty
    qsizetype m_prefixCount = 0;
};

} // namespace tandrel::detail
