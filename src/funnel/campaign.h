#pragma once

#include "result.h"

#include <QJsonObject>
#include <QStringList>

namespace tandrel {

// Where the opt-in page keeps the campaign values for the rest of the visit (sessionStorage,
// gone with the tab), so a visitor who comes back from another page still brings them.
inline constexpr const char* kCampaignStorageKey = "tandrel.campaign";
// Values from the address are cut to this many characters.
inline constexpr int kCampaignValueLimit = 200;

// The address parameters the opt-in page hands to its form, in the window's order.
const QStringList& campaignParameters();

// Why a typed field name cannot carry a campaign value, in words; empty when it can.
QString campaignFieldNameProblem(const QString& name);

// A saved mapping (parameter to field name) is usable: its keys are parameters and its
// values strings. Names are checked when the page is built.
bool isCampaignMapping(const QJsonObject& mapping);

// What the opt-in form gets: hidden fields for mapped values the form does not declare
// itself (each disabled, so a visit without a campaign or without JavaScript sends none of
// them), and the script that fills them and the declared hidden fields from the address.
struct CampaignMarkup {
    QString fields; // for each <form>, right after its start tag
    QString script; // after the form; empty when the form has nothing to fill
};
// declared: the names of the hidden fields the pasted code holds. Fails naming a bad name.
Result<CampaignMarkup> campaignMarkup(const QJsonObject& mapping, const QStringList& declared,
                                      bool hasForm);

} // namespace tandrel
