#pragma once

#include "covercanvas.h"
#include "result.h"

#include <QJsonObject>

#include <array>

namespace tandrel {

// What the cover creator shows, kept with the funnel so a cover can be changed later.
struct CoverDesign {
    QString picture; // a file name of the image library
    std::array<CoverLine, 2> lines;
    bool operator==(const CoverDesign&) const = default;
};

// The family every new line starts with: shipped beside the program, so it exists everywhere.
QString defaultCoverFont();
// Registers the fonts laid beside the program (once each), so the default exists everywhere.
void loadCoverFonts(const QString& folder);
// A new line as the cover creator offers it: centred, with a shadow.
CoverLine defaultCoverLine(int index);
CoverDesign defaultCoverDesign();

// Keys left out take the defaults; an unknown key or a value of the wrong
// type is an error naming it ("lines[1].size must be a string").
Result<CoverDesign> coverDesignFromJson(const QJsonObject& json);
QJsonObject coverDesignToJson(const CoverDesign& design);

} // namespace tandrel
