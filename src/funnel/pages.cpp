#include "pages.h"

#include "optinform.h"
#include "pagetext.h"
#include "pastecheck.h"

#include "textfiles.h"
#include "tools.h"

#include <QFile>

namespace tandrel {

namespace {

// Blanks only, as typed names may legitimately hold other whitespace.
QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// kind names the file for the user: "template file", "snippet file".
Result<QString> loadNamed(const QString& kind, const QString& path) {
    auto text = LoadTextFile(path);
    if (text)
        return text;
    return Result<QString>::failure(QStringLiteral("The %1 \"%2\" could not be read: %3.")
                                        .arg(kind, displayPath(path),
                                             QFile::exists(path)
                                                 ? QStringLiteral("it is unreadable")
                                                 : QStringLiteral("it does not exist")));
}

Result<QString> loadSnippet(const AppPaths& paths, const QString& name) {
    return loadNamed(QStringLiteral("snippet file"), AppPaths::join(paths.snippetsDir(), name));
}

} // namespace

Result<PageTemplates> loadTemplates(const AppPaths& paths, const FunnelSettings& settings) {
    const QString folder = paths.templatesDir();
    PageTemplates templates;
    const std::pair<QString*, QString> loads[] = {
        {&templates.txtProgressBar, QStringLiteral("progressbar.htm")},
        {&templates.txtIndexTemplate, settings.cboCols == 0 ? QStringLiteral("index-1colimage.html")
                                                            : QStringLiteral("index.html")},
        {&templates.txtThanksPageTemplate, settings.optAction == 0
                                               ? QStringLiteral("thanks_flat.html")
                                               : QStringLiteral("thanks.html")},
        {&templates.txtDownloadPageTemplate, QStringLiteral("download.html")},
    };
    for (const auto& [buffer, name] : loads) {
        auto text = loadNamed(QStringLiteral("template file"), AppPaths::join(folder, name));
        if (!text)
            return Result<PageTemplates>::failure(text.error());
        *buffer = text.value();
    }
    return templates;
}

Result<QString> generateLeadMagnetPage(const FunnelSettings& s, const PageTemplates& templates,
                                       const AppPaths& paths) {
    PageText page("opt-in page", templates.txtIndexTemplate);
    page.replace(QStringLiteral("[BODY]"), pageBodyTag(s), "the page background");
    page.replace(QStringLiteral("[HEAD]"), s.headCode, "the HEAD code");
    page.replace(QStringLiteral("[LINE1]"), s.txtFunnel_LeadLine1, "the Headline");
    page.replace(QStringLiteral("[INSTRUCTIONS]"), s.txtFunnel_Instructions, "the Instructions");
    page.replace(QStringLiteral("[OPTINFORM]"), optinFormForPage(s).html, "the opt-in form");
    page.replace(QStringLiteral("[PRIVACY]"), s.txtFunnel_Privacy, "the Privacy Policy");
    page.replace(QStringLiteral("[PROGRESSBAR]"),
                 s.chkProgressBar == 1 ? templates.txtProgressBar : QString(), "the progress bar");
    page.replace(QStringLiteral("[FOOTER]"), s.txtFooterNew, "the Website Footer Text");
    page.replace(QStringLiteral("[FOOTER_COLOR]"), s.lblColorPicker[1], "the footer colour");
    page.replace(QStringLiteral("[LINE1_COLOR]"), s.lblColorPicker[2], "the headline colour");
    page.replace(QStringLiteral("[INSTRUCTIONS_COLOR]"), s.lblColorPicker[4],
                 "the instructions colour");
    page.replace(QStringLiteral("[PRIVACY_COLOR]"), s.lblColorPicker[5], "the privacy colour");
    page.replace(QStringLiteral("[BORDER_COLOR]"), s.lblColorPicker[3], "the border colour");
    if (s.backControl) {
        auto snippet = loadSnippet(paths, QStringLiteral("back.txt"));
        if (!snippet)
            return snippet;
        page.replace(QStringLiteral("[BACK]"),
                     StrReplace(snippet.value(), QStringLiteral("[BACKURL]"), s.backUrl, 0),
                     "the back control");
    } else {
        page.replace(QStringLiteral("[BACK]"), QString(), "the back control");
    }
    page.replace(QStringLiteral("[RETARGETING]"), s.retargetingCode, "the retargeting code");
    page.replace(QStringLiteral("[COVER]"), trimBlanks(s.lblSelectedFile[CoverImage].tag),
                 "the cover image name");
    page.escapeAccents();
    return page.text();
}

Result<QString> generateThankYouPage(const FunnelSettings& s, const PageTemplates& templates) {
    PageText page("thank-you page", templates.txtThanksPageTemplate);
    page.replace(QStringLiteral("[BODY]"), pageBodyTag(s), "the page background");
    page.replace(QStringLiteral("[SOFT1]"), s.txtBeforeRedirectMsg1,
                 "the first Soft Redirect message");
    page.replace(QStringLiteral("[SOFT2]"), s.txtBeforeRedirectMsg2,
                 "the second Soft Redirect message");
    page.replace(QStringLiteral("[REDIRECTURL]"),
                 s.optAction == 0 ? s.txtDownloadUrl : s.txtRedirectUrl, "the redirect address");
    page.replace(QStringLiteral("[FOOTER]"), s.txtFooterNew, "the Website Footer Text");
    return page.text();
}

Result<QString> generateDownloadPage(const FunnelSettings& s, const PageTemplates& templates,
                                     const AppPaths& paths) {
    PageText page("download page", templates.txtDownloadPageTemplate);
    page.replace(QStringLiteral("[BODY]"), pageBodyTag(s), "the page background");
    page.replace(QStringLiteral("[THANKS]"), s.txtThanks, "the Thank You Headline");
    page.replace(QStringLiteral("[DOWNLOAD_TITLE]"), s.txtDownloadText, "the Link Title");
    const QString start = videoStartOf(s.txtFunnel_YouTubeID);
    page.replace(QStringLiteral("[TUBE_ID]"),
                 s.txtFunnel_YouTubeID.trimmed() +
                     (s.chkAutoplay == 1 ? (start.isEmpty() ? QStringLiteral("?autoplay=1")
                                                            : QStringLiteral("&amp;autoplay=1"))
                                         : QString()),
                 "the video id");
    const bool showLink = !s.txtFileDownloadUrl.isEmpty() && !s.txtDownloadText.isEmpty() &&
                          s.txtFileDownloadUrl != QLatin1String("http://");
    if (showLink) {
        auto snippet = loadSnippet(paths, QStringLiteral("dld_link.txt"));
        if (!snippet)
            return snippet;
        page.replace(QStringLiteral("[DOWNLOAD_LINK]"), snippet.value(), "the download link");
        page.replace(QStringLiteral("[DOWNLOAD_TITLE]"), s.txtDownloadText, "the Link Title");
        page.replace(QStringLiteral("[DOWNLOAD_LOCATION]"), s.txtFileDownloadUrl, "the Link Url");
    } else {
        page.replace(QStringLiteral("[DOWNLOAD_LINK]"), QString(), "the download link");
    }
    page.replace(QStringLiteral("[FOOTER]"), s.txtFooterNew, "the Website Footer Text");
    page.escapeAccents();
    page.replace(QStringLiteral("[COVER]"), trimBlanks(s.lblSelectedFile[CoverImage].tag),
                 "the cover image name");
    return page.text();
}

} // namespace tandrel
