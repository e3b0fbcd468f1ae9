#pragma once

#include "publish.h"

#include <QDateTime>

namespace tandrel {

// One publish as the history shows it: when, where, what went, how long, the result.
struct PublishEvent {
    QDateTime started; // UTC
    QString target;    // the address, never a password
    QString outcome;   // "published", "undone", "failed" or "cancelled"
    int filesSent = 0;
    qint64 bytesSent = 0;
    qint64 milliseconds = 0;
    QString message;
};

inline constexpr int kHistoryLength = 100;
inline constexpr char kPublishHistoryName[] = "publish-history.json";

PublishEvent publishEvent(const PublishTarget& target, const PublishReport& report,
                          const QDateTime& started, qint64 milliseconds);
PublishEvent publishEvent(const QString& address, const PublishReport& report,
                          const QDateTime& started, qint64 milliseconds);

// Newest first. No file yet is an empty history; an unreadable one says why.
Result<QList<PublishEvent>> readPublishHistory(const QString& file);

// Adds the event in front and keeps the newest kHistoryLength. A damaged file
// is moved aside (".damaged") and the history started afresh.
Status addToPublishHistory(const QString& file, const PublishEvent& event);

} // namespace tandrel
