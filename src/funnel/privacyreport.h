#pragma once

#include "funnelsettings.h"
#include "result.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tandrel {

// What the published funnel tells others about its visitors, read from the
// built files themselves, so that whatever put it there (a pasted code, a
// template, a feature of the funnel) is found alike.
struct PrivacyFinding {
    enum class Kind { OutsideHost, Storage, PictureMetadata, PreTicked, PlainHttpForm };
    Kind kind = Kind::OutsideHost;
    QString file; // the page, stylesheet or picture, relative to the folder
    QString host; // OutsideHost and PlainHttpForm: the host, in lower case
    QString line; // one sentence: what, where from, how to change it
};

struct PrivacyReport {
    QList<PrivacyFinding> findings; // pages in funnel order, each in document order, then the rest
    // Every outside host the pages contact, sorted, once each.
    QStringList hosts() const;
    QStringList lines() const;
    // A short summary for a confirmation ("2 outside hosts, ...").
    QString summary() const;
};

// Each page, stylesheet or picture is read up to this size; a larger one is named and refused.
inline constexpr qint64 kReportFileLimit = 64LL * 1024 * 1024;

// Reads the built funnel in `folder` (its .html and .css files and its pictures).
// `settings` only tell which host is the funnel's own and which value of the window
// brought a finding in.
Result<PrivacyReport> privacyReport(const QString& folder, const FunnelSettings& settings);

} // namespace tandrel
