#include "synonymdb.h"

#include "synonymindex.h"
#include "textfiles.h"
#include "tools.h"

#include <algorithm>

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

void SynonymIndex::reserve(qsizetype characters) {
    m_text.reserve(m_text.size() + std::size_t(characters + characters / 8));
    m_terms.reserve(m_terms.size() + std::size_t(characters / 8));
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

void SynonymIndex::addTerm(quint32 offset, quint32 length) {
    quint64 hash = kHashSeed;
    bool foldsToItself = true;
    bool holdsEnd = false;
    if (m_scratch.size() < length)
        m_scratch.resize(length);
    const char16_t* exact = m_text.data() + offset;
    foldUnits(exact, length, m_scratch.data());
    for (quint32 i = 0; i < length; ++i) {
        const char16_t folded = m_scratch[i];
        foldsToItself = foldsToItself && folded == exact[i];
        holdsEnd = holdsEnd || endIndex(folded) >= 0;
        hash = hashStep(hash, folded);
    }
    quint32 folded = offset;
    if (!foldsToItself) {
        folded = quint32(m_text.size());
        m_text.append(m_scratch.data(), length);
    }
    m_terms.push_back(Term{hash, offset, folded, length});
    m_maxTermLength = std::max(m_maxTermLength, qsizetype(length));
    if (holdsEnd) {
        // Prefixes that a scan must walk past an end character to complete.
        quint64 prefix = kHashSeed;
        for (quint32 i = 0; i < length; ++i) {
            if (endIndex(m_scratch[i]) >= 0)
                insertPrefix(prefix);
            prefix = hashStep(prefix, m_scratch[i]);
        }
    }
}

void SynonymIndex::addLine(QStringView line) {
    const auto offset = quint32(m_text.size());
    m_text.append(line.utf16(), std::size_t(line.size()));
    m_lineOffset.push_back(offset);
    m_lineLength.push_back(quint32(line.size()));
    const bool isBraced = isBracedRule(line);
    m_braced.push_back(isBraced ? 1 : 0);
    if (line == kBoldTierLine || line == kCarefulTierLine) {
        m_inBold = line == kBoldTierLine;
        m_tier.push_back(TierLine);
        m_hasTierLines = true;
    } else {
        m_tier.push_back(m_inBold ? BoldLine : CarefulLine);
        m_hasBold = m_hasBold || m_inBold;
    }
    if (isBraced) {
        // Same terms as LoadRule: braces out, split at "|", empty parts dropped.
        quint32 bare = offset + 1;
        auto bareLength = quint32(line.size() - 2);
        const QStringView inner = line.mid(1, line.size() - 2);
        if (std::any_of(inner.begin(), inner.end(),
                        [](QChar c) { return c == u'{' || c == u'}'; })) {
            bare = quint32(m_text.size());
            for (const QChar c : inner) {
                if (c != u'{' && c != u'}')
                    m_text.push_back(c.unicode());
            }
            bareLength = quint32(m_text.size()) - bare;
        }
        for (quint32 start = 0; start <= bareLength;) {
            quint32 end = start;
            while (end < bareLength && m_text[bare + end] != u'|')
                ++end;
            if (end > start)
                addTerm(bare + start, end - start);
            start = end + 1;
        }
    }
    m_itemBegin.push_back(quint32(m_terms.size()));
}

} // namespace detail

SynonymDb::SynonymDb() : m_index(std::make_shared<const detail::SynonymIndex>()) {}
SynonymDb::SynonymDb(std::shared_ptr<const detail::SynonymIndex> index)
    : m_index(std::move(index)) {}

qsizetype SynonymDb::lineCount() const {
    return m_index->lineCount();
}
QString SynonymDb::line(qsizetype i) const {
    return m_index->line(i).toString();
}

bool SynonymDb::hasBoldLines() const {
    return m_index->hasBoldLines();
}

SynonymDb SynonymDb::forTier(SynonymTier tier) const {
    const detail::SynonymIndex& index = *m_index;
    if (!index.hasTierLines())
        return *this;
    SynonymDbBuilder builder;
    for (qsizetype i = 0; i < index.lineCount(); ++i) {
        const auto kind = index.tier(i);
        if (kind == detail::SynonymIndex::CarefulLine ||
            (kind == detail::SynonymIndex::BoldLine && tier == SynonymTier::Bold))
            builder.addLine(index.line(i));
    }
    return builder.finish();
}

QStringList SynonymDb::lines() const {
    QStringList all;
    all.reserve(lineCount());
    for (qsizetype i = 0; i < lineCount(); ++i)
        all.append(line(i));
    return all;
}

SynonymDbBuilder::SynonymDbBuilder() : m_index(std::make_unique<detail::SynonymIndex>()) {}
SynonymDbBuilder::~SynonymDbBuilder() = default;
SynonymDbBuilder::SynonymDbBuilder(SynonymDbBuilder&&) noexcept = default;
SynonymDbBuilder& SynonymDbBuilder::operator=(SynonymDbBuilder&&) noexcept = default;

void SynonymDbBuilder::addLine(QStringView line) {
    m_index->addLine(line);
}

void SynonymDbBuilder::reserve(qsizetype characters) {
    m_index->reserve(characters);
}

void SynonymDbBuilder::addLines(const QStringList& lines) {
    for (const QString& line : lines)
        m_index->addLine(line);
}

qsizetype SynonymDbBuilder::lineCount() const {
    return m_index->lineCount();
}

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
    const auto text = LoadTextFile(path);
    if (!text)
        return Result<SynonymDb>::failure(text.error());
    const QString& all = text.value();
    SynonymDbBuilder builder;
    builder.reserve(all.size());
    // The lines LoadListFile gives, without a QString for each: CR LF, LF and
    // CR end a line, a last line end makes no empty line, and a file that is
    // a single line end has no lines.
    const bool onlyLineEnd = all == u"\n" || all == u"\r" || all == u"\r\n";
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size() && !onlyLineEnd; ++i) {
        const QChar c = all[i];
        if (c != u'\n' && c != u'\r')
            continue;
        builder.addLine(QStringView(all).mid(start, i - start));
        if (c == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < all.size() && !onlyLineEnd)
        builder.addLine(QStringView(all).mid(start));
    return builder.finish();
}

} // namespace tandrel
