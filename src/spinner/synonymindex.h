#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// What a loaded synonym file is turned into once, so that a rewrite can look
// terms up by the text around each space instead of searching the article
// for every term of every line.
namespace tandrel::detail {

// Case folding one UTF-16 unit at a time, as Qt's case-insensitive search
// compares them; surrogates stay as they are (only caseless pairs reach the
// fast rewrite).
inline char16_t foldUnit(char16_t u) {
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') ? char16_t(u + 32) : u;
    if (QChar::isSurrogate(u))
        return u;
    return QChar::toCaseFolded(u);
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
inline quint64 hashStep(quint64 h, char16_t u) { return (h ^ u) * 0x100000001b3ULL; }

class SynonymIndex {
public:
    // One distinct term, as written in the file. Ids follow the order in
    // which a rewrite first tries each term (line, then position in line).
    struct Term {
        quint32 offset;      // into exact/folded
        quint32 length;
        quint32 line;        // first braced line that holds it
        quint32 group;       // terms with the same folded text share a group
        quint32 nextInGroup; // kNone at the end
    };
    static constexpr quint32 kNone = 0xFFFFFFFFu;

    void addLine(const QString& line);

    const QStringList& lines() const { return m_lines; }
    bool braced(qsizetype line) const { return m_braced[line] != 0; }
    // Term ids of a braced line's items, in order, repeats kept.
    const quint32* itemsBegin(qsizetype line) const { return m_items.data() + m_itemBegin[line]; }
    const quint32* itemsEnd(qsizetype line) const { return m_items.data() + m_itemBegin[line + 1]; }

    const std::vector<Term>& terms() const { return m_terms; }
    QStringView termText(quint32 id) const {
        const Term& t = m_terms[id];
        return QStringView(m_exact.data() + t.offset, t.length);
    }
    quint32 groupHead(quint32 group) const { return m_groupHead[group]; }
    qsizetype groupCount() const { return qsizetype(m_groupHead.size()); }
    qsizetype maxTermLength() const { return m_maxTermLength; }

    // The group whose folded text is key (hash: its hash), or kNone.
    quint32 findGroup(quint64 hash, const char16_t* key, qsizetype length) const;
    // False only when no folded term continues past an end character after
    // a prefix with this hash; a true answer may be wrong and costs a little.
    bool maybePrefix(quint64 hash) const;

private:
    quint32 termId(QStringView exact, const std::vector<char16_t>& folded);
    void insertGroup(quint64 hash, quint32 group);
    void insertPrefix(quint64 hash);

    QStringList m_lines;
    std::vector<char> m_braced;
    std::vector<quint32> m_itemBegin{0};
    std::vector<quint32> m_items;
    std::vector<Term> m_terms;
    std::vector<char16_t> m_exact;
    std::vector<char16_t> m_folded; // same offsets as m_exact
    std::vector<quint32> m_groupHead;
    std::vector<quint32> m_groupTail;
    qsizetype m_maxTermLength = 0;

    struct Slot {
        quint64 hash;
        quint32 group; // kNone: empty
    };
    std::vector<Slot> m_slots;
    std::vector<quint64> m_prefixes; // 0: empty
    qsizetype m_prefixCount = 0;
};

} // namespace tandrel::detail
