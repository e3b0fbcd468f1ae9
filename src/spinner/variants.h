#pragma once

#include <QRandomGenerator>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tandrel {

// The different texts Spin can give for a text in spin syntax, counted
// without expanding them: the choices are read as an automaton over the
// text's characters, made deterministic, so two choices that spell the same
// text are one path. Builds in time about linear in the text for texts made by
// the rewrite; nesting, open braces and repeated alternatives cost nothing more.
class VariantSpace {
public:
    // Counts above this say only "more than a million".
    static constexpr qint64 kMillion = 1000000;

    explicit VariantSpace(const QString& spinText);

    // The number of different variants, exact up to a million; above that
    // kMillion + 1.
    qint64 count() const { return m_count; }
    bool moreThanAMillion() const { return m_count > kMillion; }
    // Variant number rank (0 to count() - 1) in a fixed order; each once.
    // Only for a space of at most a million.
    QString variant(qint64 rank) const;
    const QString& text() const { return m_text; }

    // The groups of a text without nesting, in text order: the "{", the "}"
    // and every alternative as [from, to) of the text; false when groups nest.
    struct Group {
        std::int32_t brace;
        std::int32_t close;
        std::vector<std::pair<std::int32_t, std::int32_t>> alternatives;
    };
    static bool flatGroups(const QString& text, std::vector<Group>& groups);

private:
    bool countFlat();
    // Texts whose groups do not nest and whose choices differ within their
    // group or at the character after it (all the rewrite makes) are counted
    // as a product and numbered digit by digit, without the automaton.
    std::vector<Group> m_flat;
    bool m_isFlat = false;

    struct Edge {
        std::int32_t target;
        std::int32_t from; // the text it reads: spin text [from, to)
        std::int32_t to;
    };
    const QString m_text;
    std::vector<std::int32_t> m_firstEdge; // per state; edges of state s: [first[s], first[s+1])
    std::vector<Edge> m_edges;
    std::vector<char> m_accepts;
    std::vector<qint64> m_counts;
    qint64 m_count = 0;
};

// A text whose groups neither nest nor share a word, read for comparing its
// variants: each group with the word pieces around it that it joins (so
// "{nice|fine}," compares "nice," with "fine,"), its alternatives as words.
// Two variants differ in the words one has that the other lacks, group by group.
class GroupWords {
public:
    // Empty when groups nest, two share a word, one has more than 255
    // alternatives, or comparing every pair of a group's alternatives would
    // cost more than a few times the text. replaced: what each group stands
    // for in the original, in order (the rewrite's list).
    static std::optional<GroupWords> of(const QString& text,
                                        const std::vector<QString>* replaced = nullptr);

    // Expected differing words over expected words, for two independent
    // draws and for a draw and the original, every alternative as likely as
    // Spin makes it.
    struct Expected {
        double between = 0;
        double fromOriginal = 0;
    };
    Expected expected() const;

    // A variant as the alternative chosen in each group.
    using Choices = std::vector<quint8>;
    Choices draw(QRandomGenerator& generator) const;
    QString text(const Choices& choices) const;
    // Differing words over the words of both (0 to 1).
    double difference(const Choices& a, const Choices& b) const;

private:
    struct Unit {
        std::int32_t brace;
        std::int32_t close;
        std::vector<std::pair<std::int32_t, std::int32_t>> alternatives;
        std::vector<std::vector<std::size_t>> words; // hashed, per alternative
        std::vector<std::size_t> original;
    };
    qint64 words(const Choices& choices) const;
    std::int32_t unshared(std::size_t unit, int a, int b) const;
    QString m_text;
    std::vector<Unit> m_units;
    qint64 m_plainWords = 0;
};

// How different the variants of a spin text are, measured on drawn variants:
// the share of words (0 to 1) one variant has that the other lacks at that place.
struct VariantSummary {
    qint64 count = 0;
    bool moreThanAMillion = false;
    double betweenVariants = 0;
    double fromOriginal = 0;
};
// With replaced (the text each group stands for, as the rewrite reports it)
// and groups that neither nest nor touch another, the figures are worked out
// from the groups, in time linear in the text: the expected share of words
// two independent draws (or a draw and the original) do not have in common,
// expected differing words over expected words. Otherwise they are measured
// on a few drawn variants.
VariantSummary summarizeVariants(const QString& spinText, const QString& original,
                                 QRandomGenerator& generator,
                                 const std::vector<QString>* replaced = nullptr);
// One sentence for the window and the command line.
QString variantSummaryText(const VariantSummary& summary);

// The share of words of two texts that are not matched in the other, pairing
// words in order and resynchronising after a few differing words.
double wordDifference(const QString& a, const QString& b);

} // namespace tandrel
