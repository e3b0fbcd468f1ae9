#include "pagefinish.h"

#include "pastecheck.h"
#include "picturepages.h"
#include "splittest.h"

#include "htmltext.h"
#include "optinform.h"
#include "pagetext.h"
#include "pagewords.h"
#include "tools.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace tandrel {

namespace {

const Rgb kWhite{255, 255, 255};
const Rgb kCssBackground{64, 0, 64}; // funnel.css's body fallback
const double kTextContrast = 4.5;
const double kLargeTextContrast = 3.0;
const int kExtremeShape = 3; // one side this many times the other

double luminance(Rgb c) {
    const auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}

QString words(const char* text) {
    return QString::fromUtf8(text);
}

// A block between <!--[IF:NAME]--> and <!--[END:NAME]--> stays only when its text shows something.
void keepBlockIf(QString& page, const QString& name, bool keep) {
    const QString open = QStringLiteral("<!--[IF:%1]-->").arg(name);
    const QString close = QStringLiteral("<!--[END:%1]-->").arg(name);
    for (qsizetype from = page.indexOf(open); from >= 0; from = page.indexOf(open, from)) {
        const qsizetype end = page.indexOf(close, from + open.size());
        if (end < 0)
            break;
        if (keep) {
            page.remove(end, close.size());
            page.remove(from, open.size());
        } else {
            qsizetype stop = end + close.size();
            // The line the block stood on goes with it.
            while (stop < page.size() && (page[stop] == u' ' || page[stop] == u'\t'))
                ++stop;
            if (stop < page.size() && page[stop] == u'\n')
                ++stop;
            qsizetype start = from;
            while (start > 0 && (page[start - 1] == u' ' || page[start - 1] == u'\t'))
                --start;
            page.remove(start, stop - start);
            from = start;
        }
    }
}

bool isWebAddress(const QUrl& url) {
    return url.isValid() &&
           (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")) &&
           !url.host().isEmpty();
}

QString baseAddress(const QString& funnelUrl) {
    return funnelUrl.endsWith(u'/') ? funnelUrl : funnelUrl + u'/';
}

QString firstShown(std::initializer_list<QString> texts, const QString& fallback, int maxChars) {
    for (const QString& html : texts) {
        const QString plain = plainTextOfHtml(html);
        if (!plain.isEmpty())
            return shortenAtWord(plain, maxChars);
    }
    return fallback;
}

QString socialMeta(const FunnelSettings& s, const QString& title, const PageFacts& facts) {
    const QString description =
        firstShown({s.txtFunnel_Instructions, s.txtFunnel_LeadLine1}, title, 160);
    QStringList lines;
    static const QRegularExpression ownDescription(
        QStringLiteral("<meta[^>]+name\\s*=\\s*[\"']?description"),
        QRegularExpression::CaseInsensitiveOption);
    if (!ownDescription.match(s.headCode).hasMatch())
        lines << QStringLiteral("<meta name=\"description\" content=\"%1\">")
                     .arg(escapeHtml(description));
    lines << QStringLiteral("<meta property=\"og:type\" content=\"website\">")
          << QStringLiteral("<meta property=\"og:title\" content=\"%1\">").arg(escapeHtml(title))
          << QStringLiteral("<meta property=\"og:description\" content=\"%1\">")
                 .arg(escapeHtml(description));
    // Relative addresses mean nothing to the sites that show the preview.
    const QUrl base(baseAddress(s.txtFunnelUrl));
    if (isWebAddress(base)) {
        lines << QStringLiteral("<meta property=\"og:url\" content=\"%1\">")
                     .arg(escapeHtml(base.toString()));
        const QString card = facts.socialCard;
        if (!card.isEmpty()) {
            const QString image =
                escapeHtml(base.resolved(QUrl(QString::fromLatin1(QUrl::toPercentEncoding(card))))
                               .toString(QUrl::FullyEncoded));
            lines << QStringLiteral("<meta property=\"og:image\" content=\"%1\">").arg(image)
                  << QStringLiteral("<meta property=\"og:image:width\" content=\"%1\">")
                         .arg(kSocialCardSize.width())
                  << QStringLiteral("<meta property=\"og:image:height\" content=\"%1\">")
                         .arg(kSocialCardSize.height())
                  << QStringLiteral("<meta property=\"og:image:alt\" content=\"%1\">")
                         .arg(escapeHtml(title))
                  << QStringLiteral("<meta name=\"twitter:image\" content=\"%1\">").arg(image);
        }
    }
    lines << QStringLiteral("<meta name=\"twitter:card\" content=\"summary_large_image\">");
    return lines.join(u'\n');
}

QString countdownAttributes(const char* one, const char* two, const char* many) {
    return QStringLiteral("data-one=\"%1\" data-two=\"%2\" data-many=\"%3\"")
        .arg(escapeHtml(words(one)), escapeHtml(words(two)), escapeHtml(words(many)));
}

// Shapes the stylesheet treats apart: strips are cropped, banners get the width.
QString coverShape(QSize size) {
    if (size.isEmpty())
        return QString();
    if (size.height() >= kExtremeShape * size.width())
        return QStringLiteral("tf-cover--strip");
    if (size.width() >= kExtremeShape * size.height())
        return QStringLiteral("tf-cover--banner");
    return QString();
}

// Without script a lazy picture loads at once, though only version A shows: then the
// other versions' covers are an empty picture (with a size, as the next source has).
const char* const kNoScriptPicture =
    "<source media=\"(scripting: none)\" "
    "srcset=\"data:image/svg+xml,%3Csvg%20xmlns=%22http://www.w3.org/2000/svg%22/%3E 1w\" "
    "sizes=\"1px\">";

// The other versions' covers, each in a figure of its own shape; they load only when shown.
QString coverVersions(const FunnelSettings& s, const PageFacts& facts, const QString& alt) {
    QString html;
    for (const VersionCover& cover : facts.versionCovers) {
        const QSize size = cover.ready.shown;
        html += QStringLiteral("\n<figure class=\"tf-cover%1 %2 tf-vs tf-for-%3\" "
                               "style=\"--cover-ratio:%4/%5;--cover-px:%4px\"><picture>%6%7<img "
                               "src=\"%8\" alt=\"%9\" width=\"%4\" height=\"%5\" "
                               "loading=\"lazy\"></picture></figure>")
                    .arg(s.cboCols == 0 ? QStringLiteral(" tf-cover--above") : QString(),
                         coverShape(size), SplitTest::name(cover.version))
                    .arg(size.width())
                    .arg(size.height())
                    .arg(QLatin1String(kNoScriptPicture),
                         coverSource(cover.ready, PageKind::Optin, s.cboCols),
                         escapeHtml(cover.src), alt);
    }
    return html;
}

} // namespace

double contrastRatio(Rgb a, Rgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString optinCardTheme(const FunnelSettings& s, Rgb lightCard, Rgb darkCard) {
    // Colours the browser cannot read fall back to the card's own, which suit either card.
    struct Text {
        int index;
        double needed;
    };
    const Text texts[] = {{HeadlineColor, kLargeTextContrast},
                          {InstructionsColor, kTextContrast},
                          {PrivacyColor, kTextContrast}};
    double light = 21;
    double dark = 21;
    for (const Text& text : texts) {
        const auto colour = parseRgb(s.lblColorPicker[text.index]);
        if (!colour)
            continue;
        light = std::min(light, contrastRatio(*colour, lightCard) / text.needed);
        dark = std::min(dark, contrastRatio(*colour, darkCard) / text.needed);
    }
    if (light >= 1 && dark >= 1)
        return QStringLiteral("auto");
    return light >= dark ? QStringLiteral("light") : QStringLiteral("dark");
}

QString headingStyle(const FunnelSettings& s, Rgb lightCard, Rgb darkCard) {
    const auto colour = parseRgb(s.lblColorPicker[HeadlineColor]);
    if (!colour)
        return QString();
    QString vars;
    for (const auto& [name, card] : {std::pair{"light", lightCard}, std::pair{"dark", darkCard}})
        if (contrastRatio(*colour, card) >= kLargeTextContrast)
            vars += QStringLiteral("--tf-heading-%1:rgb(%2);")
                        .arg(QLatin1String(name), s.lblColorPicker[HeadlineColor]);
    vars.chop(1);
    return vars.isEmpty() ? QString() : QStringLiteral(" style=\"%1\"").arg(vars);
}

QString footerPlate(const FunnelSettings& s) {
    const Rgb text = parseRgb(s.lblColorPicker[FooterColor]).value_or(kWhite);
    const bool lightText = contrastRatio(text, Rgb{0, 0, 0}) >= contrastRatio(text, kWhite);
    QString plate = lightText ? QStringLiteral("dark") : QStringLiteral("light");
    // Nobody knows what part of a photo ends up behind the footer.
    if (s.optBackground != 0)
        return plate;
    const Rgb background = parseRgb(s.lblColorPicker[BackgroundColor]).value_or(kCssBackground);
    return contrastRatio(text, background) >= kTextContrast ? QString() : plate;
}

Result<QString> finishPage(PageKind kind, const QString& generated, const FunnelSettings& s,
                           const PageFacts& facts) {
    QString page = generated;
    const PageWords& w = pageWords(s.language);

    keepBlockIf(page, QStringLiteral("INSTRUCTIONS"), showsSomething(s.txtFunnel_Instructions));
    keepBlockIf(page, QStringLiteral("PRIVACY"), showsSomething(s.txtFunnel_Privacy));
    keepBlockIf(page, QStringLiteral("SOFT2"), showsSomething(s.txtBeforeRedirectMsg2));
    keepBlockIf(page, QStringLiteral("FOOTER"), showsSomething(s.txtFooterNew));

    const QString plate = footerPlate(s);
    const PageForm& form = facts.form;
    const bool pictureCss = facts.background && page.contains(QLatin1String(kPictureCss));
    if (pictureCss) // the head's rules draw it on a layer of its own
        page.replace(pageBodyTag(s), QStringLiteral("<body class=\"tf-photo\">"));
    QString title;
    switch (kind) {
    case PageKind::Optin:
        title = firstShown({s.txtFunnel_LeadLine1, s.txtFunnel_Instructions}, words(w.optinHeading),
                           65);
        break;
    case PageKind::ThankYou:
        title = firstShown({s.txtBeforeRedirectMsg1}, words(w.thankYouHeading), 65);
        break;
    case PageKind::Download:
        title = firstShown({s.txtThanks}, words(w.downloadHeading), 65);
        break;
    }

    // A block's direction follows most of its letters; the first one may be a Latin brand name.
    const auto dirOf = [](const QString& text, const char* fallback = "") {
        return textDirection(showsSomething(text) ? text : words(fallback));
    };
    const std::pair<const char*, QString> values[] = {
        {"[LANG]", QLatin1String(w.code)},
        {"[DIR]", w.rightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr")},
        {"[LINE1_FALLBACK]",
         showsSomething(s.txtFunnel_LeadLine1) ? QString() : escapeHtml(words(w.optinHeading))},
        {"[SOFT1_FALLBACK]", showsSomething(s.txtBeforeRedirectMsg1)
                                 ? QString()
                                 : escapeHtml(words(w.thankYouHeading))},
        {"[THANKS_FALLBACK]",
         showsSomething(s.txtThanks) ? QString() : escapeHtml(words(w.downloadHeading))},
        {"[DIR_LINE1]", dirOf(s.txtFunnel_LeadLine1, w.optinHeading)},
        {"[DIR_INSTRUCTIONS]", dirOf(s.txtFunnel_Instructions)},
        {"[DIR_PRIVACY]", dirOf(s.txtFunnel_Privacy)},
        {"[DIR_FOOTER]", dirOf(s.txtFooterNew)},
        {"[DIR_SOFT1]", dirOf(s.txtBeforeRedirectMsg1, w.thankYouHeading)},
        {"[DIR_SOFT2]", dirOf(s.txtBeforeRedirectMsg2)},
        {"[DIR_THANKS]", dirOf(s.txtThanks, w.downloadHeading)},
        {"[COVER_WIDTH]",
         QString::number(facts.coverSize.isEmpty() ? 400 : facts.coverSize.width())},
        {"[COVER_HEIGHT]",
         QString::number(facts.coverSize.isEmpty() ? 450 : facts.coverSize.height())},
        {"[COVER_SHAPE]", coverShape(facts.coverSize)},
        {kSplitTestHead, kind == PageKind::Optin ? splitTestHead(s) : QString()},
        {"[COVER_FOR]", versionAClasses(s.splitTest, hasOwnCover)},
        // A version's visitor loads no other version's cover.
        {"[COVER_LOADING]",
         facts.versionCovers.isEmpty() ? QString() : QStringLiteral(" loading=\"lazy\"")},
        {"[COVER_VERSIONS]", coverVersions(s, facts, escapeHtml(words(w.coverAlt)))},
        {"[CARD_THEME]", kind == PageKind::Optin
                             ? optinCardTheme(s, facts.lightCard, facts.darkCard)
                             : QStringLiteral("auto")},
        {"[HEADING_STYLE]", headingStyle(s, facts.lightCard, facts.darkCard)},
        {"[FOOTER_RGB]", parseRgb(s.lblColorPicker[FooterColor]) ? s.lblColorPicker[FooterColor]
                                                                 : QStringLiteral("255,255,255")},
        {"[FOOTER_PLATE]",
         plate.isEmpty() ? QString() : QStringLiteral("tf-footer--plate-") + plate},
        {"[FORM_STYLE]", form.style},
        {"[COVER_SOURCE]", facts.cover ? coverSource(*facts.cover, kind, s.cboCols) : QString()},
        {kPictureCss,
         pictureCss
             ? QStringLiteral("\n<style>\n%1\n</style>").arg(backgroundCss(*facts.background))
             : QString()},
        {"[FORM_CSS]",
         form.css.isEmpty() ? QString() : QStringLiteral("\n<style>\n%1</style>").arg(form.css)},
        {"[VIDEO_ID]",
         QString::fromLatin1(QUrl::toPercentEncoding(videoIdOf(s.txtFunnel_YouTubeID)))},
        {"[TXT_COVER_ALT]", escapeHtml(words(w.coverAlt))},
        {"[TXT_COVER_ALT_DOWNLOAD]", escapeHtml(words(w.coverAltDownload))},
        {"[TXT_PROGRESS_ALMOST]", escapeHtml(words(w.progressAlmost))},
        {"[TXT_PROGRESS_PERCENT]", escapeHtml(words(w.progressPercent))},
        {"[TXT_REDIRECT_NOTE]", escapeHtml(words(w.redirectNote))},
        {"[TXT_GO_NOW]", escapeHtml(words(w.goNow))},
        {"[TXT_COUNTDOWN]", countdownAttributes(w.countdownOne, w.countdownTwo, w.countdownMany)},
        {"[TXT_REDIRECT_NOTE_OFFER]", escapeHtml(words(w.redirectNoteOffer))},
        {"[TXT_GO_NOW_OFFER]", escapeHtml(words(w.goNowOffer))},
        {"[TXT_COUNTDOWN_OFFER]",
         countdownAttributes(w.countdownOfferOne, w.countdownOfferTwo, w.countdownOfferMany)},
        {"[TXT_STAY]", escapeHtml(words(w.stay))},
        {"[TXT_STOPPED]", escapeHtml(words(w.stopped))},
        {"[TXT_VIDEO_TITLE]", escapeHtml(words(w.videoTitle))},
        {"[TXT_PLAY_VIDEO]", escapeHtml(words(w.playVideo))},
        // Last, so a placeholder typed into the user's texts stays as typed here.
        {"[PAGE_TITLE]", escapeHtml(title)},
        {"[SOCIAL_META]", kind == PageKind::Optin ? socialMeta(s, title, facts) : QString()},
    };
    static const char* const names[] = {"opt-in page", "thank-you page", "download page"};
    PageText text(names[int(kind)], page);
    for (const auto& [placeholder, value] : values)
        text.replace(QLatin1String(placeholder), value, "the page's own words");
    return text.text();
}

} // namespace tandrel
