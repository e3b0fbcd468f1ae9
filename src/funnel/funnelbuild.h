#pragma once

#include "apppaths.h"
#include "funnelsettings.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

namespace tandrel {

// A value the funnel needs and where the user enters it.
struct MissingInfo {
    enum class Need { FunnelUrl, OptinForm, Video, BackgroundImage, CoverImage, DeliveryFile };
    Need need = Need::FunnelUrl;
    QString message;
    int section = GeneralInfo;
    bool openOptInPanel = false;
    bool missing = true;
};

// Every value these settings make the build need, met or not, in the order it checks them.
QList<MissingInfo> funnelRequirements(const FunnelSettings& settings);
// Only those still missing, in the same order.
QList<MissingInfo> missingRequirements(const FunnelSettings& settings);
// The first of them; nothing when the funnel can be built.
std::optional<MissingInfo> checkFunnelSettings(const FunnelSettings& settings);

struct BuildOutcome {
    enum class Kind { Built, MissingInfo, Failed };
    Kind kind = Kind::Failed;
    QString message;             // the "Missing Info" text or the failure sentence
    int section = GeneralInfo;   // missing info: the section to show
    bool openOptInPanel = false; // missing info: open the opt-in panel too
    QStringList pages;           // built: lead magnet, thank-you and download page names
    QString outputFolder;        // built: where the funnel lies
    qint64 phoneBytes = 0;       // built: what the opt-in page loads on a phone
    QStringList warnings;        // built: pictures that stay heavy

    bool built() const { return kind == Kind::Built; }
    static BuildOutcome failure(const QString& why) {
        BuildOutcome outcome;
        outcome.message = why;
        return outcome;
    }
};

// What a build's pages weigh on a phone, and the pictures that stay heavy; empty unless built.
QString weightNote(const BuildOutcome& outcome);

// Checks, prepares the output folder from the template folder, writes the
// three pages and copies the pictures. Stops at the first failure; never
// touches the output before the settings and templates are known good.
// pictureCache: where pictures made before are kept; empty: the app's own.
BuildOutcome buildFunnel(const FunnelSettings& settings, const AppPaths& paths,
                         const QString& pictureCache = QString());

// Puts back or completes a swap of the output that a killed build left half
// done, and removes the working folders builds left behind. Nothing happens
// while another build or a publish holds the output.
Status recoverInterruptedBuild(const AppPaths& paths);

namespace buildFaults {
// Fault injection for tests: runs between the two renames that swap the output.
inline std::function<void()> betweenRenames;
} // namespace buildFaults

} // namespace tandrel
