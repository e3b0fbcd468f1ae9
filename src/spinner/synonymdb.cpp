#include "synonymdb.h"

#include "synonymindex.h"
#include "textfiles.h"
#include "tools.h"

namespace tandrel {

bool isBracedRule(QStringView line) {
    return !line.isEmpty() && line.front() == u'{' && line.back() == u'}';
}

QStringList LoadRule(const QString& line, const QStringList& previousItems) {
    if (!isBracedRule(line))
        return previousItems;
    QString bare = StrReplace(line, QStringLiteral("{"), QString(), 1);
    bare = StrReplace(bare, QStringLiteral("}"), QString(), 1);
    return SplitToList(bare, QStringLiteral("|"));
}

QString RuleWithoutTerm(const QString& line, const QString& term) {
    const QString t = term.toLower();
    QString reduced = StrReplace(line, u'{' + t + u'|', QStringLiteral("{"), 1);
    reduced = StrReplace(reduced, u'|' + t + u'|', QStringLiteral("|"), 1);
    return StrReplace(reduced, u'|' + t + u'}', QStringLiteral("}"), 1);
}

namespace detail {

namespace {
quint64 slotIndex(quint64 hash, std::size_t mask) {
    return ((hash * 0x9E3779B97F4A7C15ULL) >> 20) & mask;
}
} // namespace

quint32 SynonymIndex::findGroup(quint64 hash, const char16_t* key, qsizetype length) const {
    if (m_slots.empty())
        return kNone;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = slotIndex(hash, mask);; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.group == kNone)
            return kNone;
        if (slot.hash != hash)
            continue;
        const Term& head = m_terms[m_groupHead[slot.group]];
        if (head.length == length &&
            std::equal(key, key + length, m_folded.begin() + head.offset))
            return slot.group;
    }
}

bool SynonymIndex::maybePrefix(quint64 hash) const {
    if (m_prefixes.empty())
        return false;
    const quint64 stored = hash ? hash : 1;
    const std::size_t mask = m_prefixes.size() - 1;
    for (std::size_t i = slotIndex(stored, mask);; i = (i + 1) & mask) {
        if (m_prefixes[i] == 0)
            return false;
        if (m_prefixes[i] == stored)
            return true;
    }
}

void SynonymIndex::insertGroup(quint64 hash, quint32 group) {
    if ((m_groupHead.size() + 1) * 2 > m_slots.size()) {
        std::vector<Slot> old(std::max<std::size_t>(1024, m_slots.size() * 2), Slot{0, kNone});
        old.swap(m_slots);
        for (const Slot& slot : old) {
            if (slot.group != kNone)
                insertGroup(slot.hash, slot.group);
        }
    }
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = slotIndex(hash, mask);
    while (m_slots[i].group != kNone)
        i = (i + 1) & mask;
    m_slots[i] = Slot{hash, group};
}

void SynonymIndex::insertPrefix(quint64 hash) {
    const quint64 stored = hash ? hash : 1;
    if ((m_prefixCount + 1) * 2 > qsizetype(m_prefixes.size())) {
        std::vector<quint64> old(std::max<std::size_t>(256, m_prefixes.size() * 2), 0);
        old.swap(m_prefixes);
        m_prefixCount = 0;
        for (quint64 h : old) {
            if (h)
                insertPrefix(h);
        }
    }
    const std::size_t mask = m_prefixes.size() - 1;
    std::size_t i = slotIndex(stored, mask);
    while (m_prefixes[i] != 0) {
        if (m_prefixes[i] == stored)
            return;
        i = (i + 1) & mask;
    }
    m_prefixes[i] = stored;
    ++m_prefixCount;
}

quint32 SynonymIndex::termId(QStringView exact, const std::vector<char16_t>& folded) {
    quint64 hash = kHashSeed;
    for (char16_t u : folded)
        hash = hashStep(hash, u);
    const quint32 group = findGroup(hash, folded.data(), qsizetype(folded.size()));
    if (group != kNone) {
        for (quint32 id = m_groupHead[group]; id != kNone; id = m_terms[id].nextInGroup) {
            if (termText(id) == exact)
                return id;
        }
    }

    const auto id = quint32(m_terms.size());
    const auto offset = quint32(m_exact.size());
    m_exact.insert(m_exact.end(), exact.utf16(), exact.utf16() + exact.size());
    m_folded.insert(m_folded.end(), folded.begin(), folded.end());
    Term term{offset, quint32(exact.size()), quint32(m_lines.size() - 1), group, kNone};
    if (group == kNone) {
        term.group = quint32(m_groupHead.size());
        m_groupHead.push_back(id);
        m_groupTail.push_back(id);
        insertGroup(hash, term.group);
        // Prefixes that a scan must walk past an end character to complete.
        quint64 prefix = kHashSeed;
        for (char16_t u : folded) {
            if (endIndex(u) >= 0)
                insertPrefix(prefix);
            prefix = hashStep(prefix, u);
        }
        m_maxTermLength = std::max(m_maxTermLength, qsizetype(folded.size()));
    } else {
        m_terms[m_groupTail[group]].nextInGroup = id;
        m_groupTail[group] = id;
    }
    m_terms.push_back(term);
    return id;
}

void SynonymIndex::addLine(const QString& line) {
    m_lines.append(line);
    const bool isBraced = isBracedRule(line);
    m_braced.push_back(isBraced ? 1 : 0);
    if (isBraced) {
        // Same terms as LoadRule, without building a list per line.
        QString withoutBraces;
        QStringView bare = QStringView(line).mid(1, line.size() - 2);
        if (bare.contains(u'{') || bare.contains(u'}')) {
            withoutBraces = bare.toString();
            withoutBraces.remove(u'{');
            withoutBraces.remove(u'}');
            bare = withoutBraces;
        }
        std::vector<char16_t> folded;
        qsizetype start = 0;
        while (start <= bare.size()) {
            qsizetype end = bare.indexOf(u'|', start);
            if (end < 0)
                end = bare.size();
            if (end > start) {
                const QStringView term = bare.mid(start, end - start);
                folded.resize(term.size());
                for (qsizetype i = 0; i < term.size(); ++i)
                    folded[i] = foldUnit(term[i].unicode());
                m_items.push_back(termId(term, folded));
            }
            start = end + 1;
        }
    }
    m_itemBegin.push_back(quint32(m_items.size()));
}

} // namespace detail

SynonymDb::SynonymDb() : m_index(std::make_shared<const detail::SynonymIndex>()) {}
SynonymDb::SynonymDb(std::shared_ptr<const detail::SynonymIndex> index) : m_index(std::move(index)) {}

const QStringList& SynonymDb::lines() const { return m_index->lines(); }

SynonymDbBuilder::SynonymDbBuilder() : m_index(std::make_unique<detail::SynonymIndex>()) {}
SynonymDbBuilder::~SynonymDbBuilder() = default;
SynonymDbBuilder::SynonymDbBuilder(SynonymDbBuilder&&) noexcept = default;
SynonymDbBuilder& SynonymDbBuilder::operator=(SynonymDbBuilder&&) noexcept = default;

void SynonymDbBuilder::addLine(const QString& line) { m_index->addLine(line); }

void SynonymDbBuilder::addLines(const QStringList& lines) {
    for (const QString& line : lines)
        m_index->addLine(line);
}

qsizetype SynonymDbBuilder::lineCount() const { return m_index->lines().size(); }

SynonymDb SynonymDbBuilder::finish() {
    std::shared_ptr<const detail::SynonymIndex> done = std::move(m_index);
    m_index = std::make_unique<detail::SynonymIndex>();
    return SynonymDb(std::move(done));
}

SynonymDb synonymDbFromLines(const QStringList& lines) {
    SynonymDbBuilder builder;
    builder.addLines(lines);
    return builder.finish();
}

Result<SynonymDb> loadSynonymDb(const QString& path) {
    auto lines = LoadListFile(path);
    if (!lines)
        return Result<SynonymDb>::failure(lines.error());
    return synonymDbFromLines(lines.value());
}

} // namespace tandrel
