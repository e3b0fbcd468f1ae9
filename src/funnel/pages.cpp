#include "pages.h"

#include "optinform.h"
#include "pagetext.h"
#include "pastecheck.h"
#include "splittest.h"

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

// What a page's steps read besides the settings; a snippet only when the page shows it.
struct PageInput {
    const FunnelSettings& s;
    const PageTemplates& templates;
    QString snippet;
    QString form;
};

bool showsLink(const FunnelSettings& s) {
    return !s.txtFileDownloadUrl.isEmpty() && !s.txtDownloadText.isEmpty() &&
           s.txtFileDownloadUrl != QLatin1String("http://");
}

// One replacement: the placeholder, what the user calls its value, the value, and when it
// runs (always when null). Each step sees what the steps before it inserted.
struct Step {
    const char* placeholder;
    const char* field;
    QString (*value)(const PageInput&);
    bool (*when)(const FunnelSettings&) = nullptr;
};

const char* const kBackUrl = "[BACKURL]";

QString bodyTag(const PageInput& in) {
    return pageBodyTag(in.s);
}
QString footer(const PageInput& in) {
    return in.s.txtFooterNew;
}
QString coverName(const PageInput& in) {
    return trimBlanks(in.s.lblSelectedFile[CoverImage].tag);
}
QString acute(const PageInput&) {
    return QStringLiteral("&acute;");
}
const char* const kAcute = "\xC2\xB4";

// Templates older than the split test show version A alone.
bool testsVersions(const PageInput& in) {
    return in.templates.txtIndexTemplate.contains(QLatin1String(kSplitTestHead));
}

using I = const PageInput&;
// clang-format off
const Step kOptinSteps[] = {
    {"[BODY]", "the page background", bodyTag},
    {"[HEAD]", "the HEAD code", [](I in) { return in.s.headCode; }},
    {"[LINE1]", "the Headline", [](I in) {
         return testsVersions(in) ? versionedHeadline(in.s) : in.s.txtFunnel_LeadLine1; }},
    {"[INSTRUCTIONS]", "the Instructions", [](I in) { return in.s.txtFunnel_Instructions; }},
    {"[OPTINFORM]", "the opt-in form", [](I in) {
         return testsVersions(in) ? withVersionField(in.form, in.s.splitTest) : in.form; }},
    {"[PRIVACY]", "the Privacy Policy", [](I in) { return in.s.txtFunnel_Privacy; }},
    {"[PROGRESSBAR]", "the progress bar",
     [](I in) { return in.s.chkProgressBar == 1 ? in.templates.txtProgressBar : QString(); }},
    {"[FOOTER]", "the Website Footer Text", footer},
    {"[FOOTER_COLOR]", "the footer colour", [](I in) { return in.s.lblColorPicker[FooterColor]; }},
    {"[LINE1_COLOR]", "the headline colour", [](I in) { return in.s.lblColorPicker[HeadlineColor]; }},
    {"[INSTRUCTIONS_COLOR]", "the instructions colour", [](I in) { return in.s.lblColorPicker[InstructionsColor]; }},
    {"[PRIVACY_COLOR]", "the privacy colour", [](I in) { return in.s.lblColorPicker[PrivacyColor]; }},
    {"[BORDER_COLOR]", "the border colour", [](I in) { return in.s.lblColorPicker[BorderColor]; }},
    {"[BACK]", "the back control", [](I in) {
         return in.s.backControl ? StrReplace(in.snippet, QLatin1String(kBackUrl), in.s.backUrl, 0) : QString(); }},
    {"[RETARGETING]", "the retargeting code", [](I in) { return in.s.retargetingCode; }},
    {"[COVER]", "the cover image name", coverName},
    {kAcute, "the acute accents", acute},
};

const Step kThanksSteps[] = {
    {"[BODY]", "the page background", bodyTag},
    {"[SOFT1]", "the first Soft Redirect message", [](I in) { return in.s.txtBeforeRedirectMsg1; }},
    {"[SOFT2]", "the second Soft Redirect message", [](I in) { return in.s.txtBeforeRedirectMsg2; }},
    {"[REDIRECTURL]", "the redirect address",
     [](I in) { return in.s.optAction == 0 ? in.s.txtDownloadUrl : in.s.txtRedirectUrl; }},
    {"[FOOTER]", "the Website Footer Text", footer},
};

const Step kDownloadSteps[] = {
    {"[BODY]", "the page background", bodyTag},
    {"[THANKS]", "the Thank You Headline", [](I in) { return in.s.txtThanks; }},
    {"[DOWNLOAD_TITLE]", "the Link Title", [](I in) { return in.s.txtDownloadText; }},
    {"[TUBE_ID]", "the video id", [](I in) {
         const QString start = videoStartOf(in.s.txtFunnel_YouTubeID);
         return in.s.txtFunnel_YouTubeID.trimmed() +
                (in.s.chkAutoplay == 1 ? (start.isEmpty() ? QStringLiteral("?autoplay=1")
                                                          : QStringLiteral("&amp;autoplay=1"))
                                       : QString()); }},
    {"[DOWNLOAD_LINK]", "the download link",
     [](I in) { return showsLink(in.s) ? in.snippet : QString(); }},
    {"[DOWNLOAD_TITLE]", "the Link Title", [](I in) { return in.s.txtDownloadText; }, showsLink},
    {"[DOWNLOAD_LOCATION]", "the Link Url", [](I in) { return in.s.txtFileDownloadUrl; }, showsLink},
    {"[FOOTER]", "the Website Footer Text", footer},
    {kAcute, "the acute accents", acute},
    {"[COVER]", "the cover image name", coverName},
};
// clang-format on

template <std::size_t N>
Result<QString> runSteps(const char* name, const QString& text, const Step (&steps)[N],
                         const PageInput& in) {
    PageText page(name, text);
    for (const Step& step : steps) {
        if (!step.when || step.when(in.s))
            page.replace(QString::fromUtf8(step.placeholder), step.value(in), step.field);
    }
    return page.text();
}

template <std::size_t N> QStringList placeholdersOf(const Step (&steps)[N]) {
    QStringList names;
    for (const Step& step : steps) {
        if (step.placeholder[0] == '[' && !names.contains(QLatin1String(step.placeholder)))
            names << QLatin1String(step.placeholder);
    }
    return names;
}

} // namespace

QStringList pagePlaceholders(PageKind kind) {
    switch (kind) {
    case PageKind::Optin:
        return placeholdersOf(kOptinSteps) << QLatin1String(kBackUrl);
    case PageKind::ThankYou:
        return placeholdersOf(kThanksSteps);
    case PageKind::Download:
        return placeholdersOf(kDownloadSteps);
    }
    return {};
}

Result<PageTemplates> loadTemplates(const AppPaths& paths, const FunnelSettings& settings,
                                    const Theme& theme) {
    PageTemplates templates;
    const std::pair<QString*, const char*> loads[] = {
        {&templates.txtProgressBar, kProgressBarTemplate},
        {&templates.txtIndexTemplate, kOptinTemplates[settings.cboCols == 0 ? 0 : 1]},
        {&templates.txtThanksPageTemplate, kThanksTemplates[settings.optAction == 0 ? 0 : 1]},
        {&templates.txtDownloadPageTemplate, kDownloadTemplate},
    };
    for (const auto& [buffer, name] : loads) {
        auto text = loadNamed(QStringLiteral("template file"),
                              themedTemplate(paths, theme, QLatin1String(name)));
        if (!text)
            return Result<PageTemplates>::failure(text.error());
        *buffer = text.value();
    }
    return templates;
}

Result<QString> generateLeadMagnetPage(const FunnelSettings& s, const PageTemplates& templates,
                                       const AppPaths& paths, const PageForm& form) {
    PageInput in{s, templates, {}, form.html};
    if (s.backControl) {
        auto snippet = loadSnippet(paths, QLatin1String(kBackSnippet));
        if (!snippet)
            return snippet;
        in.snippet = snippet.value();
    }
    return runSteps("opt-in page", templates.txtIndexTemplate, kOptinSteps, in);
}

Result<QString> generateThankYouPage(const FunnelSettings& s, const PageTemplates& templates) {
    return runSteps("thank-you page", templates.txtThanksPageTemplate, kThanksSteps,
                    PageInput{s, templates, {}, {}});
}

Result<QString> generateDownloadPage(const FunnelSettings& s, const PageTemplates& templates,
                                     const AppPaths& paths) {
    PageInput in{s, templates, {}, {}};
    if (showsLink(s)) {
        auto snippet = loadSnippet(paths, QLatin1String(kLinkSnippet));
        if (!snippet)
            return snippet;
        in.snippet = snippet.value();
    }
    return runSteps("download page", templates.txtDownloadPageTemplate, kDownloadSteps, in);
}

} // namespace tandrel
