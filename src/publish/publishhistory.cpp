#include "publishhistory.h"

#include "textfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tandrel {

namespace {

// A hundred events take about 40 KB; anything far larger is not ours.
constexpr qint64 kHistoryFileLimit = qint64(4) * 1024 * 1024;

QJsonObject toJson(const PublishEvent& e) {
    return {{"started", e.started.toString(Qt::ISODateWithMs)},
            {"target", e.target},
            {"outcome", e.outcome},
            {"filesSent", e.filesSent},
            {"bytesSent", double(e.bytesSent)},
            {"milliseconds", double(e.milliseconds)},
            {"message", e.message}};
}

PublishEvent fromJson(const QJsonObject& o) {
    return {QDateTime::fromString(o.value("started").toString(), Qt::ISODateWithMs),
            o.value("target").toString(),
            o.value("outcome").toString(),
            o.value("filesSent").toInt(),
            o.value("bytesSent").toInteger(),
            o.value("milliseconds").toInteger(),
            o.value("message").toString()};
}

} // namespace

PublishEvent publishEvent(const PublishTarget& target, const PublishReport& report,
                          const QDateTime& started, qint64 milliseconds) {
    return publishEvent(target.text(), report, started, milliseconds);
}

PublishEvent publishEvent(const QString& address, const PublishReport& report,
                          const QDateTime& started, qint64 milliseconds) {
    static const char* const outcomes[] = {"published", "failed", "cancelled", "planned"};
    return {started.toUTC(),
            address,
            report.undo && report.published() ? QStringLiteral("undone")
                                              : QLatin1String(outcomes[int(report.outcome)]),
            report.pagesSent + report.otherSent,
            report.bytesSent,
            milliseconds,
            report.message};
}

Result<QList<PublishEvent>> readPublishHistory(const QString& file) {
    using R = Result<QList<PublishEvent>>;
    if (!QFileInfo::exists(file))
        return QList<PublishEvent>();
    const auto bytes = readFileBytes(file, kHistoryFileLimit);
    if (!bytes)
        return R::failure(bytes.error());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (!document.isArray())
        return R::failure(QStringLiteral("The publish history %1 is damaged (%2).")
                              .arg(displayPath(file), error.errorString()));
    QList<PublishEvent> events;
    for (const auto& value : document.array())
        if (value.isObject() && events.size() < kHistoryLength)
            events.append(fromJson(value.toObject()));
    return events;
}

Status addToPublishHistory(const QString& file, const PublishEvent& event) {
    QJsonArray events{toJson(event)};
    const auto earlier = readPublishHistory(file);
    if (earlier) {
        for (const PublishEvent& e : *earlier)
            if (events.size() < kHistoryLength)
                events.append(toJson(e));
    } else {
        // Kept aside for whoever wants to read it; the history starts afresh.
        const QString aside = file + QStringLiteral(".damaged");
        QFile::remove(aside);
        QFile::rename(file, aside);
    }
    return writeFileAtomically(file, QJsonDocument(events).toJson());
}

} // namespace tandrel
