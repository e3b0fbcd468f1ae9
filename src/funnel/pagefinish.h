#pragma once

#include "funnelsettings.h"
#include "optinform.h"
#include "pictures.h"
#include "result.h"
#include "rgbtext.h"

#include <QSize>

namespace tandrel {

enum class PageKind { Optin, ThankYou, Download };

// The cover of a split test's version that has its own.
struct VersionCover {
    int version = 1; // index into the split test's versions, A being 0
    QString src;     // the published file the page names
    ReadyPicture ready;
};

// What the build learns from the chosen files, beyond the settings.
struct PageFacts {
    QSize coverSize; // as the browser shows it, EXIF rotation applied; empty when unknown
    PageForm form;   // the opt-in form as the page shows it, read once for all three pages
    std::optional<ReadyPicture> cover; // the files made of the chosen pictures
    std::optional<ReadyPicture> background;
    QString socialCard; // the file social sites show; empty: none
    QList<VersionCover> versionCovers;
    // The theme's cards, which the user's text colours must read on.
    Rgb lightCard{255, 255, 255};
    Rgb darkCard{30, 27, 36};
};

// Where a page's head takes the background picture's rules; a template without it
// gets the picture inline on its body.
inline constexpr const char* kPictureCss = "[PICTURE_CSS]";

// The program's own placeholders, replaced after the page's generator has
// replaced its own, so a template without them comes out as generated:
// attribute-safe texts, the page language, colours chosen for readability,
// the cover's size, and blocks left out when their text is empty. Fails when
// placeholders typed into the texts would make the page too large.
Result<QString> finishPage(PageKind kind, const QString& page, const FunnelSettings& settings,
                           const PageFacts& facts);

// WCAG 2 contrast ratio, 1 to 21.
double contrastRatio(Rgb a, Rgb b);

// "light" or "dark" when the user's text colours on the opt-in card need one
// of them, "auto" when both read well (the visitor's preference decides).
QString optinCardTheme(const FunnelSettings& settings, Rgb lightCard = Rgb{255, 255, 255},
                       Rgb darkCard = Rgb{30, 27, 36});

// The style attribute that gives the thank-you and download headlines the
// user's headline colour on the cards (light, dark) where it reads well.
QString headingStyle(const FunnelSettings& settings, Rgb lightCard = Rgb{255, 255, 255},
                     Rgb darkCard = Rgb{30, 27, 36});

// The footer's text colour, and whether it needs a plate behind it to stay
// readable on the page background: "", "dark" or "light".
QString footerPlate(const FunnelSettings& settings);

} // namespace tandrel
