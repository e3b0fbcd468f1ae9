#include "variants.h"

#include "spin.h"

#include <QHash>

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace tandrel {

namespace {

enum Kind : char { Plain, Open, Exit };

constexpr qint64 kCap = VariantSpace::kMillion + 1;

// The text read as Spin reads it: which braces and bars are structure, and
// where the end of an alternative continues.
struct Structure {
    std::vector<char> kind;
    std::vector<std::int32_t> target;      // Exit: where it continues; Open: its group
    std::vector<std::int32_t> settle;      // past any Exit, where a position really is
    std::vector<std::int32_t> startsBegin; // per group, into starts
    std::vector<std::int32_t> starts;      // the first position of each alternative

    explicit Structure(const QString& text) {
        const auto n = std::int32_t(text.size());
        kind.assign(std::size_t(n) + 1, Plain);
        target.assign(std::size_t(n) + 1, 0);
        startsBegin.push_back(0);
        forEachGroup(text,
                     [&](qsizetype brace, const std::vector<qsizetype>& bars, qsizetype close) {
                         const auto i = std::int32_t(close);
                         kind[brace] = Open;
                         target[brace] = std::int32_t(startsBegin.size() - 1);
                         starts.push_back(std::int32_t(brace) + 1);
                         for (const qsizetype bar : bars) {
                             kind[bar] = Exit;
                             target[bar] = i + 1;
                             starts.push_back(std::int32_t(bar) + 1);
                         }
                         kind[i] = Exit;
                         target[i] = i + 1;
                         startsBegin.push_back(std::int32_t(starts.size()));
                     });
        settle.assign(std::size_t(n) + 1, n);
        for (std::int32_t i = n - 1; i >= 0; --i)
            settle[i] = kind[i] == Exit ? settle[target[i]] : i;
    }
};

} // namespace

bool VariantSpace::flatGroups(const QString& text, std::vector<Group>& groups) {
    groups.clear();
    bool nested = false;
    forEachGroup(text, [&](qsizetype brace, const std::vector<qsizetype>& bars, qsizetype close) {
        // Inner groups are reported first, so an outer one starts before the last end.
        if (nested || (!groups.empty() && brace < groups.back().close)) {
            nested = true;
            return;
        }
        Group g{std::int32_t(brace), std::int32_t(close), {}};
        g.alternatives.reserve(bars.size() + 1);
        qsizetype from = brace + 1;
        for (const qsizetype bar : bars) {
            g.alternatives.emplace_back(std::int32_t(from), std::int32_t(bar));
            from = bar + 1;
        }
        g.alternatives.emplace_back(std::int32_t(from), std::int32_t(close));
        groups.push_back(std::move(g));
    });
    return !nested;
}

bool VariantSpace::countFlat() {
    if (!flatGroups(m_text, m_flat))
        return false;
    const auto n = std::int32_t(m_text.size());
    const auto view = [&](const std::pair<std::int32_t, std::int32_t>& a) {
        return QStringView(m_text).mid(a.first, a.second - a.first);
    };
    qint64 count = 1;
    for (std::size_t i = 0; i < m_flat.size(); ++i) {
        Group& g = m_flat[i];
        auto& alts = g.alternatives;
        std::sort(alts.begin(), alts.end(),
                  [&](const auto& a, const auto& b) { return view(a) < view(b); });
        alts.erase(std::unique(alts.begin(), alts.end(),
                               [&](const auto& a, const auto& b) { return view(a) == view(b); }),
                   alts.end());
        // An alternative that begins another must part from it at the next
        // character, which therefore has to be plain text (or the end).
        const bool nextIsGroup = i + 1 < m_flat.size() && m_flat[i + 1].brace == g.close + 1;
        const std::int32_t next =
            g.close + 1 < n && !nextIsGroup ? m_text[g.close + 1].unicode() : -1;
        int prefixPairs = 0;
        for (std::size_t a = 0; a < alts.size(); ++a) {
            for (std::size_t b = a + 1; b < alts.size() && view(alts[b]).startsWith(view(alts[a]));
                 ++b) {
                const qsizetype at = view(alts[a]).size();
                if (nextIsGroup || ++prefixPairs > 64 ||
                    (next >= 0 && view(alts[b])[at].unicode() == next))
                    return false;
            }
        }
        count = std::min(kCap, count * qint64(alts.size()));
    }
    m_count = count;
    return true;
}

VariantSpace::VariantSpace(const QString& spinText) : m_text(spinText) {
    m_isFlat = countFlat();
    if (m_isFlat)
        return;
    m_flat.clear();
    const Structure s(m_text);
    const auto n = std::int32_t(m_text.size());

    // Where the text can be after reaching position p: every alternative of
    // a group opening there, followed into nested groups, each place once.
    std::vector<std::int32_t> seen(std::size_t(n) + 1, -1);
    std::int32_t stamp = 0;
    std::vector<std::int32_t> stack;
    const auto closeOver = [&](const std::vector<std::int32_t>& from,
                               std::vector<std::int32_t>& out) {
        ++stamp;
        out.clear();
        for (const std::int32_t p : from)
            stack.push_back(s.settle[p]);
        while (!stack.empty()) {
            const std::int32_t q = stack.back();
            stack.pop_back();
            if (seen[q] == stamp)
                continue;
            seen[q] = stamp;
            if (q < n && s.kind[q] == Open) {
                const std::int32_t g = s.target[q];
                for (std::int32_t k = s.startsBegin[g]; k < s.startsBegin[g + 1]; ++k)
                    stack.push_back(s.settle[s.starts[k]]);
            } else {
                out.push_back(q);
            }
        }
        std::sort(out.begin(), out.end());
    };

    // The deterministic states: sets of positions, kept end to end in pool.
    std::vector<std::int32_t> pool;
    std::vector<std::int64_t> offset{0};
    std::unordered_map<quint64, std::int32_t> head;
    std::vector<std::int32_t> sameHash;
    const auto stateOf = [&](const std::vector<std::int32_t>& set) {
        quint64 h = 0xcbf29ce484222325ULL;
        for (const std::int32_t p : set)
            h = (h ^ quint64(p)) * 0x100000001b3ULL;
        const auto [it, inserted] = head.try_emplace(h, -1);
        for (std::int32_t id = it->second; id >= 0; id = sameHash[id]) {
            if (offset[id + 1] - offset[id] == std::int64_t(set.size()) &&
                std::equal(set.begin(), set.end(), pool.begin() + offset[id]))
                return id;
        }
        const auto id = std::int32_t(offset.size() - 1);
        pool.insert(pool.end(), set.begin(), set.end());
        offset.push_back(std::int64_t(pool.size()));
        sameHash.push_back(it->second);
        it->second = id;
        return id;
    };

    std::vector<std::int32_t> set;
    std::vector<std::int32_t> from;
    closeOver({0}, set);
    stateOf(set);
    std::vector<std::pair<char16_t, std::int32_t>> reads;
    for (std::int32_t id = 0; id < std::int32_t(offset.size() - 1); ++id) {
        m_firstEdge.push_back(std::int32_t(m_edges.size()));
        const std::vector<std::int32_t> positions(pool.begin() + offset[id],
                                                  pool.begin() + offset[id + 1]);
        m_accepts.push_back(!positions.empty() && positions.back() == n ? 1 : 0);
        if (positions.size() == 1 && positions[0] < n) {
            // One way on: read the plain run at once.
            std::int32_t r = positions[0] + 1;
            while (r < n && s.kind[r] == Plain)
                ++r;
            closeOver({r}, set);
            m_edges.push_back({stateOf(set), positions[0], r});
            continue;
        }
        reads.clear();
        for (const std::int32_t p : positions) {
            if (p < n)
                reads.emplace_back(m_text[p].unicode(), p);
        }
        std::stable_sort(reads.begin(), reads.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < reads.size();) {
            std::size_t j = i;
            from.clear();
            while (j < reads.size() && reads[j].first == reads[i].first)
                from.push_back(reads[j++].second + 1);
            closeOver(from, set);
            m_edges.push_back({stateOf(set), reads[i].second, reads[i].second + 1});
            i = j;
        }
    }
    const auto states = std::int32_t(offset.size() - 1);
    m_firstEdge.push_back(std::int32_t(m_edges.size()));

    // Every edge leads to a state whose first position is further on.
    std::vector<std::int32_t> order(std::size_t(states), 0);
    for (std::int32_t id = 0; id < states; ++id)
        order[id] = id;
    std::sort(order.begin(), order.end(),
              [&](std::int32_t a, std::int32_t b) { return pool[offset[a]] > pool[offset[b]]; });
    m_counts.assign(std::size_t(states), 0);
    for (const std::int32_t id : order) {
        qint64 total = m_accepts[id] != 0 ? 1 : 0;
        for (std::int32_t e = m_firstEdge[id]; e < m_firstEdge[id + 1]; ++e)
            total = std::min(kCap, total + m_counts[m_edges[e].target]);
        m_counts[id] = total;
    }
    m_count = m_counts[0];
}

QString VariantSpace::variant(qint64 rank) const {
    if (m_isFlat) {
        if (rank < 0 || rank >= m_count)
            return QString();
        std::vector<std::int32_t> choice(m_flat.size(), 0);
        for (std::size_t i = m_flat.size(); i-- > 0;) {
            const auto k = qint64(m_flat[i].alternatives.size());
            choice[i] = std::int32_t(rank % k);
            rank /= k;
        }
        QString out;
        out.reserve(m_text.size());
        qsizetype at = 0;
        for (std::size_t i = 0; i < m_flat.size(); ++i) {
            const auto& [from, to] = m_flat[i].alternatives[std::size_t(choice[i])];
            out += QStringView(m_text).mid(at, m_flat[i].brace - at);
            out += QStringView(m_text).mid(from, to - from);
            at = m_flat[i].close + 1;
        }
        out += QStringView(m_text).mid(at);
        return out;
    }
    QString out;
    std::int32_t state = 0;
    for (;;) {
        if (m_accepts[state]) {
            if (rank == 0)
                return out;
            --rank;
        }
        std::int32_t e = m_firstEdge[state];
        for (; e < m_firstEdge[state + 1]; ++e) {
            const qint64 below = m_counts[m_edges[e].target];
            if (rank < below)
                break;
            rank -= below;
        }
        if (e == m_firstEdge[state + 1])
            return out; // a rank past the count
        out += QStringView(m_text).mid(m_edges[e].from, m_edges[e].to - m_edges[e].from);
        state = m_edges[e].target;
    }
}

namespace {

std::vector<QStringView> wordsOf(const QString& text) {
    std::vector<QStringView> words;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        while (i < n && text[i].isSpace())
            ++i;
        qsizetype j = i;
        while (j < n && !text[j].isSpace())
            ++j;
        if (j > i)
            words.push_back(QStringView(text).mid(i, j - i));
        i = j;
    }
    return words;
}

} // namespace

double wordDifference(const QString& a, const QString& b) {
    const std::vector<QStringView> x = wordsOf(a);
    const std::vector<QStringView> y = wordsOf(b);
    if (x.empty() && y.empty())
        return 0;
    // A group puts in a few words for a few: look that far for the next pair
    // of equal words, and take the nearest.
    constexpr std::size_t kWindow = 8;
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t unmatched = 0;
    const auto same = [&](std::size_t p, std::size_t q) {
        return p < x.size() && q < y.size() && x[p] == y[q];
    };
    while (i < x.size() && j < y.size()) {
        if (x[i] == y[j]) {
            ++i, ++j;
            continue;
        }
        bool found = false;
        for (std::size_t d = 1; d <= 2 * kWindow && !found; ++d) {
            for (std::size_t di = d > kWindow ? d - kWindow : 0; di <= std::min(d, kWindow); ++di) {
                const std::size_t dj = d - di;
                const bool last = i + di + 1 >= x.size() || j + dj + 1 >= y.size();
                if (same(i + di, j + dj) && (last || same(i + di + 1, j + dj + 1))) {
                    unmatched += d;
                    i += di, j += dj;
                    found = true;
                    break;
                }
            }
        }
        if (!found)
            unmatched += 2, ++i, ++j;
    }
    unmatched += (x.size() - std::min(i, x.size())) + (y.size() - std::min(j, y.size()));
    return double(unmatched) / double(x.size() + y.size());
}

namespace {

// The words of a text as hashes: what separates them is white space.
void hashWords(QStringView text, std::vector<std::size_t>& into) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        while (i < n && text[i].isSpace())
            ++i;
        qsizetype j = i;
        while (j < n && !text[j].isSpace())
            ++j;
        if (j > i)
            into.push_back(qHash(text.mid(i, j - i), 0x9E3779B9u));
        i = j;
    }
}

// Words one list has that the other lacks: both lengths less twice their
// longest common subsequence.
std::int32_t unsharedWords(const std::vector<std::size_t>& a, const std::vector<std::size_t>& b) {
    std::vector<std::int32_t> row(b.size() + 1, 0);
    for (const std::size_t x : a) {
        std::int32_t diagonal = 0;
        for (std::size_t j = 0; j < b.size(); ++j) {
            const std::int32_t above = row[j + 1];
            row[j + 1] = x == b[j] ? diagonal + 1 : std::max(row[j], above);
            diagonal = above;
        }
    }
    return std::int32_t(a.size() + b.size()) - 2 * row[b.size()];
}

} // namespace

std::optional<GroupWords> GroupWords::of(const QString& text,
                                         const std::vector<QString>* replaced) {
    GroupWords out;
    std::vector<VariantSpace::Group> groups;
    if (!VariantSpace::flatGroups(text, groups) || (replaced && groups.size() != replaced->size()))
        return std::nullopt;
    out.m_text = text;
    const qsizetype n = text.size();
    const auto space = [&](qsizetype i) { return text[i].isSpace(); };
    qsizetype runStart = 0;
    QString joined;
    std::vector<std::size_t> words;
    for (std::size_t g = 0; g <= groups.size(); ++g) {
        // The plain run before group g (or the end), less the word pieces its groups join.
        const qsizetype runEnd = g < groups.size() ? groups[g].brace : n;
        const QStringView run = QStringView(text).mid(runStart, runEnd - runStart);
        words.clear();
        hashWords(run, words);
        const bool joinsBefore = g > 0 && !run.isEmpty() && !run.front().isSpace();
        const bool joinsAfter = g < groups.size() && !run.isEmpty() && !run.back().isSpace();
        if (g > 0 && g < groups.size() &&
            std::none_of(run.begin(), run.end(), [](QChar c) { return c.isSpace(); }))
            return std::nullopt; // two groups in one word
        out.m_plainWords +=
            std::max<qint64>(0, qint64(words.size()) - joinsBefore - (joinsAfter ? 1 : 0));
        if (g == groups.size())
            break;
        const VariantSpace::Group& group = groups[g];
        if (group.alternatives.size() > 255)
            return std::nullopt;
        qsizetype left = group.brace;
        while (left > runStart && !space(left - 1))
            --left;
        qsizetype right = group.close + 1;
        while (right < n && !space(right) && text[right] != u'{')
            ++right;
        const QStringView before = QStringView(text).mid(left, group.brace - left);
        const QStringView after = QStringView(text).mid(group.close + 1, right - group.close - 1);
        const auto wordsWith = [&](QStringView middle) {
            joined.clear();
            joined += before;
            joined += middle;
            joined += after;
            std::vector<std::size_t> hashes;
            hashWords(joined, hashes);
            return hashes;
        };
        Unit unit;
        unit.brace = group.brace;
        unit.close = group.close;
        qint64 total = 0;
        for (const auto& [from, to] : group.alternatives) {
            unit.alternatives.emplace_back(from, to);
            unit.words.push_back(wordsWith(QStringView(text).mid(from, to - from)));
            total += qint64(unit.words.back().size());
        }
        if (replaced)
            unit.original = wordsWith((*replaced)[g]);
        // Every pair of alternatives is compared: keep that within a few times the text.
        if (double(total) * double(total + qint64(unit.original.size())) >
            64.0 * double(group.close - group.brace + 64))
            return std::nullopt;
        out.m_units.push_back(std::move(unit));
        runStart = group.close + 1;
    }
    return out;
}

std::int32_t GroupWords::unshared(std::size_t unit, int a, int b) const {
    const Unit& u = m_units[unit];
    return unsharedWords(u.words[std::size_t(a)], u.words[std::size_t(b)]);
}

GroupWords::Expected GroupWords::expected() const {
    double drawnWords = 0;
    double originalWords = 0;
    double between = 0;
    double fromOriginal = 0;
    for (std::size_t g = 0; g < m_units.size(); ++g) {
        const Unit& u = m_units[g];
        const auto k = int(u.words.size());
        double pairs = 0;
        double toOriginal = 0;
        double words = 0;
        for (int i = 0; i < k; ++i) {
            for (int j = i + 1; j < k; ++j)
                pairs += 2.0 * unshared(g, i, j);
            toOriginal += unsharedWords(u.words[std::size_t(i)], u.original);
            words += double(u.words[std::size_t(i)].size());
        }
        between += pairs / (double(k) * k);
        fromOriginal += toOriginal / k;
        drawnWords += words / k;
        originalWords += double(u.original.size());
    }
    const double drawn = double(m_plainWords) + drawnWords;
    const double withOriginal = drawn + double(m_plainWords) + originalWords;
    return {drawn > 0 ? between / (2 * drawn) : 0,
            withOriginal > 0 ? fromOriginal / withOriginal : 0};
}

GroupWords::Choices GroupWords::draw(QRandomGenerator& generator) const {
    Choices choices(m_units.size());
    for (std::size_t g = 0; g < m_units.size(); ++g)
        choices[g] = quint8(generator.bounded(quint32(m_units[g].words.size())));
    return choices;
}

qint64 GroupWords::words(const Choices& choices) const {
    qint64 total = m_plainWords;
    for (std::size_t g = 0; g < m_units.size(); ++g)
        total += qint64(m_units[g].words[choices[g]].size());
    return total;
}

double GroupWords::difference(const Choices& a, const Choices& b) const {
    qint64 unsharedTotal = 0;
    for (std::size_t g = 0; g < m_units.size(); ++g) {
        if (a[g] != b[g])
            unsharedTotal += unshared(g, a[g], b[g]);
    }
    const qint64 both = words(a) + words(b);
    return both > 0 ? double(unsharedTotal) / double(both) : 0;
}

QString GroupWords::text(const Choices& choices) const {
    QString out;
    out.reserve(m_text.size());
    qsizetype at = 0;
    for (std::size_t g = 0; g < m_units.size(); ++g) {
        const auto& [from, to] = m_units[g].alternatives[choices[g]];
        out += QStringView(m_text).mid(at, m_units[g].brace - at);
        out += QStringView(m_text).mid(from, to - from);
        at = m_units[g].close + 1;
    }
    out += QStringView(m_text).mid(at);
    return out;
}

VariantSummary summarizeVariants(const QString& spinText, const QString& original,
                                 QRandomGenerator& generator,
                                 const std::vector<QString>* replaced) {
    VariantSummary summary;
    const VariantSpace space(spinText);
    summary.count = space.count();
    summary.moreThanAMillion = space.moreThanAMillion();
    if (replaced) {
        if (const auto groups = GroupWords::of(spinText, replaced)) {
            const GroupWords::Expected expected = groups->expected();
            summary.betweenVariants = expected.between;
            summary.fromOriginal = expected.fromOriginal;
            return summary;
        }
    }
    // Enough pairs for a steady figure on an article, fewer on a book.
    const int pairs =
        int(std::clamp<qsizetype>(4000000 / std::max<qsizetype>(1, spinText.size()), 2, 12));
    double between = 0;
    double fromOriginal = 0;
    for (int i = 0; i < pairs; ++i) {
        const QString first = Spin(spinText, generator);
        between += wordDifference(first, Spin(spinText, generator));
        fromOriginal += wordDifference(first, original);
    }
    summary.betweenVariants = between / pairs;
    summary.fromOriginal = fromOriginal / pairs;
    return summary;
}

QString variantSummaryText(const VariantSummary& summary) {
    const QString count =
        summary.moreThanAMillion ? QStringLiteral("More than a million different variants")
        : summary.count == 1     ? QStringLiteral("Only 1 variant")
                                 : QStringLiteral("%L1 different variants").arg(summary.count);
    const auto percent = [](double share) { return QString::number(share * 100, 'f', 1); };
    return QStringLiteral("%1; two variants differ in %2% of their words, a variant and the "
                          "original in %3%.")
        .arg(count, percent(summary.betweenVariants), percent(summary.fromOriginal));
}

} // namespace tandrel
