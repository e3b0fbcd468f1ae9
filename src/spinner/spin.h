#pragma once

#include <QRandomGenerator>
#include <QString>

#include <vector>

namespace tandrel {

// One variant of a text in spin syntax: every group "{a|b|...}" becomes one
// of its alternatives, each equally likely; inner groups are resolved first.
// A brace without its partner and a "|" outside any group stay as they are.
// Uses the platform generator unless given another, so seeding makes it repeatable.
QString Spin(const QString& text);
QString Spin(const QString& text, QRandomGenerator& generator);

// Calls group(brace, bars, close) for every closed group, inner groups first:
// the positions of its "{", of its own "|"s and of its "}". Unmatched braces
// and the bars outside any group are left to the caller as plain text.
template <typename Group> void forEachGroup(const QString& text, Group group) {
    struct Open {
        qsizetype brace;
        std::vector<qsizetype> bars;
    };
    std::vector<Open> open;
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const QChar c = text[i];
        if (c == u'{') {
            open.push_back({i, {}});
        } else if (c == u'|' && !open.empty()) {
            open.back().bars.push_back(i);
        } else if (c == u'}' && !open.empty()) {
            const Open closed = std::move(open.back());
            open.pop_back();
            group(closed.brace, closed.bars, i);
        }
    }
}

} // namespace tandrel
