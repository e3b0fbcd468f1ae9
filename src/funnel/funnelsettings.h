#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <array>
#include <span>
#include <variant>

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

// The swatches of lblColorPicker, by what they paint.
enum ColorIndex {
    BackgroundColor = 0,
    FooterColor = 1,
    HeadlineColor = 2,
    BorderColor = 3,
    InstructionsColor = 4,
    PrivacyColor = 5
};

// One more version of the opt-in page for a split test; an empty value shows version A's.
struct PageVersion {
    QString headline;
    ChosenFile cover;
    QString buttonText;
    bool operator==(const PageVersion&) const = default;
};

// Versions of the opt-in page shown to visitors at random. Version A is the page's own
// headline and cover; the form tells the autoresponder which version a subscriber saw.
struct SplitTest {
    static constexpr int kMaxVersions = 3;
    QString buttonText;                        // version A's; empty: the form's own
    QList<PageVersion> others;                 // B and C
    QString field = QStringLiteral("version"); // the hidden field that carries the name
    QString tagField; // a field of the form that also gets the name; empty: none
    bool operator==(const SplitTest&) const = default;
    int count() const { return 1 + int(others.size()); }
    static QString name(int version) { return QString(QChar(u'A' + version)); }
};

// Everything the build reads from the main window, one field per control,
// with the window's defaults.
struct FunnelSettings {
    // General Info
    QString txtFunnelUrl = QStringLiteral("http://");
    int optBackground = 0; // 0 colour, 1 image
    std::array<QString, PrivacyColor + 1> lblColorPicker = {
        QStringLiteral("64,0,64"),   QStringLiteral("255,255,255"), QStringLiteral("64,0,64"),
        QStringLiteral("128,0,128"), QStringLiteral("0,0,0"),       QStringLiteral("0,0,0")};
    std::array<ChosenFile, DeliveryFile + 1> lblSelectedFile;
    QString txtFooterNew = QStringLiteral("YourWebsite.com - All Rights Reserved");
    QString theme = QStringLiteral("classic"); // a folder of the themes folder
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
    // Campaign parameter (utm_source...) to the form field that receives it, for fields the
    // pasted form does not declare itself.
    QJsonObject campaignFields;

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
    SplitTest splitTest;

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

// How a value is written in saved funnels.
enum class FieldKind {
    Text,       // string as typed
    Colour,     // "r,g,b"
    Path,       // chosen file
    Selected,   // int option or check box value 1/0, stored as a bool
    Flag,       // bool
    Columns,    // 1 or 2, stored as list index 0 or 1
    PageNumber, // 1 to 100
    Language,   // a code of pageLanguageCodes()
    Design,     // the cover creator's design, left out while empty
    Campaign,   // campaign parameter to field name, left out while empty
    Versions,   // the split test, left out while it has its defaults
};

// Who sets a value: a control of the main window, or something else (a dialog, the cover
// creator, the page-number draw) whose value the window only keeps.
enum class SetBy { Control, Elsewhere };

// What a saved funnel without the key means: the default above, off (funnels saved before
// the value existed keep the pages they built), or a page number drawn at random.
enum class Absent { Default, Off, Drawn };

using FieldRef = std::variant<QString& (*)(FunnelSettings&), ChosenFile& (*)(FunnelSettings&),
                              int& (*)(FunnelSettings&), bool& (*)(FunnelSettings&),
                              QJsonObject& (*)(FunnelSettings&), SplitTest& (*)(FunnelSettings&)>;

// One saved value of FunnelSettings: its key in saved funnels, its kind, who sets it, and
// the member. The saved-funnel file and the window's binding table both follow this table.
struct FunnelField {
    const char* key;
    FieldKind kind;
    SetBy setBy;
    Absent absent;
    FieldRef ref;

    template <typename T> T& of(FunnelSettings& s) const {
        return std::get<T& (*)(FunnelSettings&)>(ref)(s);
    }
    template <typename T> const T& of(const FunnelSettings& s) const {
        return of<T>(const_cast<FunnelSettings&>(s));
    }
};

namespace fieldtable {
using S = FunnelSettings;
constexpr auto C = SetBy::Control;
constexpr auto E = SetBy::Elsewhere;
constexpr auto D = Absent::Default;
// clang-format off
inline constexpr FunnelField kAll[] = {
    {"funnelUrl",           FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtFunnelUrl; }},
    {"backgroundImageUsed", FieldKind::Selected, C, D, +[](S& s) -> int& { return s.optBackground; }},
    {"backgroundColor",     FieldKind::Colour,   C, D, +[](S& s) -> QString& { return s.lblColorPicker[BackgroundColor]; }},
    {"backgroundImage",     FieldKind::Path,     C, D, +[](S& s) -> ChosenFile& { return s.lblSelectedFile[BackgroundImage]; }},
    {"footerText",          FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtFooterNew; }},
    {"theme",               FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.theme; }},
    {"language",            FieldKind::Language, C, D, +[](S& s) -> QString& { return s.language; }},
    {"footerColor",         FieldKind::Colour,   C, D, +[](S& s) -> QString& { return s.lblColorPicker[FooterColor]; }},
    {"borderColor",         FieldKind::Colour,   C, D, +[](S& s) -> QString& { return s.lblColorPicker[BorderColor]; }},
    {"headline",            FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtFunnel_LeadLine1; }},
    {"headlineColor",       FieldKind::Colour,   C, D, +[](S& s) -> QString& { return s.lblColorPicker[HeadlineColor]; }},
    {"instructions",        FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtFunnel_Instructions; }},
    {"instructionsColor",   FieldKind::Colour,   C, D, +[](S& s) -> QString& { return s.lblColorPicker[InstructionsColor]; }},
    {"privacy",             FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtFunnel_Privacy; }},
    {"privacyColor",        FieldKind::Colour,   C, D, +[](S& s) -> QString& { return s.lblColorPicker[PrivacyColor]; }},
    {"layoutColumns",       FieldKind::Columns,  C, D, +[](S& s) -> int& { return s.cboCols; }},
    {"coverImage",          FieldKind::Path,     C, D, +[](S& s) -> ChosenFile& { return s.lblSelectedFile[CoverImage]; }},
    {"showProgressBar",     FieldKind::Selected, C, D, +[](S& s) -> int& { return s.chkProgressBar; }},
    {"optinForm",           FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtoptinForm; }},
    {"tidyOptinForm",       FieldKind::Flag,     C, Absent::Off, +[](S& s) -> bool& { return s.tidyOptinForm; }},
    {"campaignFields",      FieldKind::Campaign, C, D, +[](S& s) -> QJsonObject& { return s.campaignFields; }},
    {"headCode",            FieldKind::Text,     E, D, +[](S& s) -> QString& { return s.headCode; }},
    {"retargetingCode",     FieldKind::Text,     E, D, +[](S& s) -> QString& { return s.retargetingCode; }},
    {"backControl",         FieldKind::Flag,     E, D, +[](S& s) -> bool& { return s.backControl; }},
    {"backUrl",             FieldKind::Text,     E, D, +[](S& s) -> QString& { return s.backUrl; }},
    {"publishTo",           FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.publishTo; }},
    {"redirectToUrl",       FieldKind::Selected, C, D, +[](S& s) -> int& { return s.optAction; }},
    {"redirectUrl",         FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtRedirectUrl; }},
    {"softRedirect1",       FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtBeforeRedirectMsg1; }},
    {"softRedirect2",       FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtBeforeRedirectMsg2; }},
    {"thankYouHeadline",    FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtThanks; }},
    {"videoId",             FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtFunnel_YouTubeID; }},
    {"autoplay",            FieldKind::Selected, C, D, +[](S& s) -> int& { return s.chkAutoplay; }},
    {"downloadLinkTitle",   FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtDownloadText; }},
    {"downloadLinkUrl",     FieldKind::Text,     C, D, +[](S& s) -> QString& { return s.txtFileDownloadUrl; }},
    {"deliveryFile",        FieldKind::Path,     C, D, +[](S& s) -> ChosenFile& { return s.lblSelectedFile[DeliveryFile]; }},
    {"thankYouPageNumber",  FieldKind::PageNumber, E, Absent::Drawn, +[](S& s) -> int& { return s.thankYouPageNumber; }},
    {"downloadPageNumber",  FieldKind::PageNumber, E, Absent::Drawn, +[](S& s) -> int& { return s.downloadPageNumber; }},
    {"coverDesign",         FieldKind::Design,   E, D, +[](S& s) -> QJsonObject& { return s.coverDesign; }},
    {"splitTest",           FieldKind::Versions, E, D, +[](S& s) -> SplitTest& { return s.splitTest; }},
};
// clang-format on
} // namespace fieldtable

inline std::span<const FunnelField> funnelFields() {
    return fieldtable::kAll;
}
const FunnelField* findFunnelField(const QString& key);
// The values the window's controls do not set, from one settings into another; the page
// addresses follow the page numbers.
void copyFieldsSetElsewhere(const FunnelSettings& from, FunnelSettings& to);
// The key of the first saved value that differs, empty when all are equal.
QString firstDifferentField(const FunnelSettings& a, const FunnelSettings& b);

// The opening body tag of every page, carrying the chosen background.
QString pageBodyTag(const FunnelSettings& settings);

} // namespace tandrel
