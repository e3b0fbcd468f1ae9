#include "spin.h"

#include "tools.h"

#include <QHash>

#include <vector>

namespace tandrel {

QString Spin(const QString& text) {
    return Spin(text, randomGenerator());
}

// Two passes keep this linear however the braces nest or stay open: the
// first draws each closed group's alternative when its "}" is reached (the
// order that makes a seed repeatable), the second copies only the chosen
// alternatives, so no text is copied once per nesting level.
QString Spin(const QString& text, QRandomGenerator& generator) {
    struct Chosen {
        qsizetype begin; // of the alternative
        qsizetype end;
        qsizetype after; // past the group's "}"
    };
    QHash<qsizetype, Chosen> chosen; // by the position of the group's "{"
    const qsizetype n = text.size();
    forEachGroup(text, [&](qsizetype brace, const std::vector<qsizetype>& bars, qsizetype close) {
        const auto alternatives = quint32(bars.size() + 1);
        const auto k = qsizetype(generator.bounded(alternatives));
        const qsizetype begin = k == 0 ? brace + 1 : bars[k - 1] + 1;
        const qsizetype end = k == qsizetype(bars.size()) ? close : bars[k];
        chosen.insert(brace, Chosen{begin, end, close + 1});
    });

    // A brace without its "}" and the bars of its group are plain text.
    QString out;
    out.reserve(n);
    std::vector<Chosen> within;
    qsizetype i = 0;
    while (i < n || !within.empty()) {
        if (!within.empty() && i == within.back().end) {
            i = within.back().after;
            within.pop_back();
            continue;
        }
        if (text[i] == u'{') {
            if (const auto it = chosen.constFind(i); it != chosen.constEnd()) {
                within.push_back(*it);
                i = it->begin;
                continue;
            }
        }
        const qsizetype runEnd = within.empty() ? n : within.back().end;
        qsizetype j = i + 1;
        while (j < runEnd && text[j] != u'{')
            ++j;
        out += QStringView(text).mid(i, j - i);
        i = j;
    }
    return out;
}

} // namespace tandrel
