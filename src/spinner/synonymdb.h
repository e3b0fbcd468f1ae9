#pragma once

#include "result.h"

#include <QStringList>

#include <memory>

namespace tandrel {

namespace detail {
class SynonymIndex;
}

// True when the line's first character is "{" and its last is "}".
bool isBracedRule(QStringView line);

// The items a selected rule line leaves in the items list: a braced line
// gives its terms (every brace removed, split at "|", no empty terms); any
// other line leaves the previous items as they were.
QStringList LoadRule(const QString& line, const QStringList& previousItems);

// The rule line with the term (lower-cased) taken out where it stands first,
// in the middle or last; a line whose only term it is comes back unchanged.
QString RuleWithoutTerm(const QString& line, const QString& term);

// How far a rewrite may go: careful groups hold words that mean the same in
// nearly every sentence; bold ones add words and phrases whose senses vary more.
enum class SynonymTier { Careful, Bold };

// Lines that switch the tier of the lines after them. A file starts careful,
// so one without them is all careful. Readers that know no tiers take them
// for groups of one term with a capital, which never matches, and apply
// every line.
inline constexpr QStringView kBoldTierLine = u"{Tier: bold}";
inline constexpr QStringView kCarefulTierLine = u"{Tier: careful}";

// A complete synonym file: every line in file order (unbraced and empty ones
// too) and the lookup built from them once. Immutable and cheap to copy, so
// it can be built on another thread and handed over; a window that holds no
// SynonymDb yet has nothing half-loaded to rewrite with.
class SynonymDb {
public:
    SynonymDb(); // no rule lines: a rewrite replaces nothing

    qsizetype lineCount() const;
    QString line(qsizetype i) const;
    // Every line, built anew on each call (a large file has many).
    QStringList lines() const;
    const detail::SynonymIndex& index() const { return *m_index; }
    // True when some line is marked bold.
    bool hasBoldLines() const;
    // The lines a rewrite of this tier applies, in file order and without the
    // tier lines: Careful only the careful ones, Bold every one.
    SynonymDb forTier(SynonymTier tier) const;

private:
    friend class SynonymDbBuilder;
    explicit SynonymDb(std::shared_ptr<const detail::SynonymIndex> index);
    std::shared_ptr<const detail::SynonymIndex> m_index;
};

// Builds a SynonymDb a few lines at a time, for a window that loads on its
// timer ticks; lineCount() is what the notice can compare between ticks.
class SynonymDbBuilder {
public:
    SynonymDbBuilder();
    ~SynonymDbBuilder();
    SynonymDbBuilder(SynonymDbBuilder&&) noexcept;
    SynonymDbBuilder& operator=(SynonymDbBuilder&&) noexcept;

    void addLine(QStringView line);
    void addLines(const QStringList& lines);
    // Room for about this many characters of rule lines still to come.
    void reserve(qsizetype characters);
    qsizetype lineCount() const;
    // Hands over everything added; the builder starts empty again.
    SynonymDb finish();

private:
    std::unique_ptr<detail::SynonymIndex> m_index;
};

SynonymDb synonymDbFromLines(const QStringList& lines);

// Reads the whole file (one rule line per line, as LoadListFile reads it) and
// builds the lookup. Safe to run on a worker thread.
Result<SynonymDb> loadSynonymDb(const QString& path);

} // namespace tandrel
