#pragma once

#include <QString>
#include <QStringList>

namespace tandrel {

// The few words the pages say themselves, in one language of the funnel.
struct PageWords {
    const char* code; // BCP 47, also the pages' lang attribute
    const char* name; // as its speakers write it, for the window's list
    bool rightToLeft;
    const char* coverAlt;
    const char* coverAltDownload;
    const char* optinHeading; // when the headline is empty
    const char* thankYouHeading;
    const char* downloadHeading;
    const char* progressAlmost;
    const char* progressPercent;
    const char* redirectNote; // thank-you page leading to the download page
    const char* goNow;
    const char* countdownOne; // {n} is the number of seconds left
    const char* countdownTwo;
    const char* countdownMany;
    const char* redirectNoteOffer; // thank-you page leading to the user's address
    const char* goNowOffer;
    const char* countdownOfferOne;
    const char* countdownOfferTwo;
    const char* countdownOfferMany;
    const char* stay;
    const char* stopped;
    const char* videoTitle;
    const char* playVideo;
};

inline const QString kDefaultLanguage = QStringLiteral("en");

// nullptr for a code not in the list.
const PageWords* findPageWords(const QString& code);
// English when the code is unknown.
const PageWords& pageWords(const QString& code);
QStringList pageLanguageCodes();

} // namespace tandrel
