#pragma once

#include <QJsonObject>
#include <QString>

#include <array>

namespace tandrel {

// A file picked by the user: caption is the full path, tag the bare name the
// pages refer to. A chosen file is missing when its tag is empty.
struct ChosenFile {
    QString caption;
    QString tag;
    bool operator==(const ChosenFile&) const = default;
};

// Indexes of the window's sections, used to send the user to a missing value.
enum Section {
    GeneralInfo = 0,
    LeadMagnetPage = 1,
    AfterSubscription = 2,
    ThankYouPage = 3,
    BuildSection = 4
};

enum ChosenFileIndex { BackgroundImage = 0, CoverImage = 1, DeliveryFile = 2 };

// Everything the build reads from the main window, one field per control,
// with the window's defaults.
struct FunnelSettings {
    // General Info
    QString txtFunnelUrl = QStringLiteral("http://");
    int optBackground = 0; // 0 colour, 1 image
    std::array<QString, 6> lblColorPicker = {
        QStringLiteral("64,0,64"),   QStringLiteral("255,255,255"), QStringLiteral("64,0,64"),
        QStringLiteral("128,0,128"), QStringLiteral("0,0,0"),       QStringLiteral("0,0,0")};
    std::array<ChosenFile, 3> lblSelectedFile;
    QString txtFooterNew = QStringLiteral("YourWebsite.com - All Rights Reserved");
    QString language =
        QStringLiteral("en"); // of the pages' own words, a code of pageLanguageCodes()

    // Lead Magnet Page
    QString txtFunnel_LeadLine1 =
        QStringLiteral("\"Get Instant Access To My Top 10 Niche Research Tools Instantly\"");
    QString txtFunnel_Instructions =
        QStringLiteral("Simply enter your email below so we know where to send it...");
    QString txtFunnel_Privacy =
        QStringLiteral("We hate SPAM and promise to keep your email address safe. ");
    int cboCols = 1; // 0 "1 Column", 1 "2 Columns"
    int chkProgressBar = 1;
    QString txtoptinForm;
    // Rebuild the pasted form as our own (new funnels), or keep it exactly as pasted.
    bool tidyOptinForm = true;

    // After Subscription Action
    int optAction = 0; // 0 own download page, 1 redirect to txtRedirectUrl
    QString txtRedirectUrl = QStringLiteral("http://");
    QString txtBeforeRedirectMsg1 =
        QStringLiteral("Thanks! Please check your email in 5 minutes...");
    QString txtBeforeRedirectMsg2 = QStringLiteral("Meanwhile, Don't Miss This Awesome Offer ...");

    // Thank You Page
    QString txtThanks = QStringLiteral(
        "Thanks! Watch this Video and Click the Link Below To Get Even Better Results");
    QString txtFunnel_YouTubeID;
    int chkAutoplay = 1;
    QString txtDownloadText = QStringLiteral("Click Here to Download");
    QString txtFileDownloadUrl = QStringLiteral("http://");

    // Window-level values
    QString headCode;
    QString retargetingCode;
    bool backControl = false;
    QString backUrl;
    QString publishTo;       // sftp://, ftps:// or ftp:// address, never with a password
    QJsonObject coverDesign; // the cover creator's design, empty until a cover is made

    // Funnel links: derived from the funnel address whenever it changes.
    int thankYouPageNumber = 0; // 1..100 once derived
    int downloadPageNumber = 0;
    QString txtCapture_Url;
    QString txtDownloadUrl = QStringLiteral("http://");
    QString thankYouPageFile;
    QString downloadPageFile;

    bool operator==(const FunnelSettings&) const = default;

    // The required-file rule: the background image only when it is used, the cover always.
    bool isFileRequired(int index) const;
    // The funnel address is missing when empty or exactly "http://", as typed.
    bool isFunnelUrlMissing() const;

    // Sets the page addresses and file names from the funnel address and two page numbers.
    void deriveFunnelLinks(int thankYouNumber, int downloadNumber);
    // The same with numbers drawn at random, 1 to 100 each.
    void drawFunnelLinks();
};

// The opening body tag of every page, carrying the chosen background.
QString pageBodyTag(const FunnelSettings& settings);

} // namespace tandrel
