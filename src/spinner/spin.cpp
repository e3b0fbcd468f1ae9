#include "spin.h"

#include "tools.h"

#include <QStringList>

#include <vector>

namespace tandrel {

QString Spin(const QString& text) { return Spin(text, randomGenerator()); }

QString Spin(const QString& text, QRandomGenerator& generator) {
    struct Group {
        QStringList done;
        QString current;
    };
    std::vector<Group> open;
    QString out;
    out.reserve(text.size());
    const auto sink = [&]() -> QString& { return open.empty() ? out : open.back().current; };

    for (const QChar c : text) {
        if (c == u'{') {
            open.emplace_back();
        } else if (c == u'|' && !open.empty()) {
            open.back().done.append(std::exchange(open.back().current, QString()));
        } else if (c == u'}' && !open.empty()) {
            Group group = std::move(open.back());
            open.pop_back();
            group.done.append(std::move(group.current));
            sink() += group.done[qsizetype(generator.bounded(quint32(group.done.size())))];
        } else {
            sink() += c;
        }
    }
    // Whatever is still open had no "}": its brace and separators are plain text.
    while (!open.empty()) {
        Group group = std::move(open.back());
        open.pop_back();
        group.done.append(std::move(group.current));
        sink() += u'{' + group.done.join(u'|');
    }
    return out;
}

} // namespace tandrel
