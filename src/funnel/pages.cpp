#include "pages.h"

#include "pastecheck.h"

#include "textfiles.h"
#include "tools.h"

#include <QFile>

namespace tandrel {

namespace {

const QString kAcute = QString(QChar(0x00B4));
const QString kAcuteEntity = QStringLiteral("&acute;");

// The working text of one page; every step sees what the earlier ones inserted.
class Page {
public:
    explicit Page(QString text) : m_text(std::move(text)) {}
    void replace(const QString& placeholder, const QString& value) {
        m_text = StrReplace(m_text, placeholder, value, 0);
    }
    void escapeAccents() { replace(kAcute, kAcuteEntity); }
    QString text() const { return m_text; }

private:
    QString m_text;
};

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
    Page page(templates.txtIndexTemplate);
    page.replace(QStringLiteral("[BODY]"), pageBodyTag(s));
    page.replace(QStringLiteral("[HEAD]"), s.headCode);
    page.replace(QStringLiteral("[LINE1]"), s.txtFunnel_LeadLine1);
    page.replace(QStringLiteral("[INSTRUCTIONS]"), s.txtFunnel_Instructions);
    page.replace(QStringLiteral("[OPTINFORM]"), s.txtoptinForm);
    page.replace(QStringLiteral("[PRIVACY]"), s.txtFunnel_Privacy);
    page.replace(QStringLiteral("[PROGRESSBAR]"),
                 s.chkProgressBar == 1 ? templates.txtProgressBar : QString());
    page.replace(QStringLiteral("[FOOTER]"), s.txtFooterNew);
    page.replace(QStringLiteral("[FOOTER_COLOR]"), s.lblColorPicker[1]);
    page.replace(QStringLiteral("[LINE1_COLOR]"), s.lblColorPicker[2]);
    page.replace(QStringLiteral("[INSTRUCTIONS_COLOR]"), s.lblColorPicker[4]);
    page.replace(QStringLiteral("[PRIVACY_COLOR]"), s.lblColorPicker[5]);
    page.replace(QStringLiteral("[BORDER_COLOR]"), s.lblColorPicker[3]);
    if (s.backControl) {
        auto snippet = loadSnippet(paths, QStringLiteral("back.txt"));
        if (!snippet)
            return snippet;
        page.replace(QStringLiteral("[BACK]"),
                     StrReplace(snippet.value(), QStringLiteral("[BACKURL]"), s.backUrl, 0));
    } else {
        page.replace(QStringLiteral("[BACK]"), QString());
    }
    page.replace(QStringLiteral("[RETARGETING]"), s.retargetingCode);
    page.replace(QStringLiteral("[COVER]"), trimBlanks(s.lblSelectedFile[CoverImage].tag));
    page.escapeAccents();
    return page.text();
}

Result<QString> generateThankYouPage(const FunnelSettings& s, const PageTemplates& templates) {
    Page page(templates.txtThanksPageTemplate);
    page.replace(QStringLiteral("[BODY]"), pageBodyTag(s));
    page.replace(QStringLiteral("[SOFT1]"), s.txtBeforeRedirectMsg1);
    page.replace(QStringLiteral("[SOFT2]"), s.txtBeforeRedirectMsg2);
    page.replace(QStringLiteral("[REDIRECTURL]"),
                 s.optAction == 0 ? s.txtDownloadUrl : s.txtRedirectUrl);
    page.replace(QStringLiteral("[FOOTER]"), s.txtFooterNew);
    return page.text();
}

Result<QString> generateDownloadPage(const FunnelSettings& s, const PageTemplates& templates,
                                     const AppPaths& paths) {
    Page page(templates.txtDownloadPageTemplate);
    page.replace(QStringLiteral("[BODY]"), pageBodyTag(s));
    page.replace(QStringLiteral("[THANKS]"), s.txtThanks);
    page.replace(QStringLiteral("[DOWNLOAD_TITLE]"), s.txtDownloadText);
    const QString start = videoStartOf(s.txtFunnel_YouTubeID);
    page.replace(QStringLiteral("[TUBE_ID]"),
                 s.txtFunnel_YouTubeID.trimmed() +
                     (s.chkAutoplay == 1 ? (start.isEmpty() ? QStringLiteral("?autoplay=1")
                                                            : QStringLiteral("&amp;autoplay=1"))
                                         : QString()));
    const bool showLink = !s.txtFileDownloadUrl.isEmpty() && !s.txtDownloadText.isEmpty() &&
                          s.txtFileDownloadUrl != QLatin1String("http://");
    if (showLink) {
        auto snippet = loadSnippet(paths, QStringLiteral("dld_link.txt"));
        if (!snippet)
            return snippet;
        page.replace(QStringLiteral("[DOWNLOAD_LINK]"), snippet.value());
        page.replace(QStringLiteral("[DOWNLOAD_TITLE]"), s.txtDownloadText);
        page.replace(QStringLiteral("[DOWNLOAD_LOCATION]"), s.txtFileDownloadUrl);
    } else {
        page.replace(QStringLiteral("[DOWNLOAD_LINK]"), QString());
    }
    page.replace(QStringLiteral("[FOOTER]"), s.txtFooterNew);
    page.escapeAccents();
    page.replace(QStringLiteral("[COVER]"), trimBlanks(s.lblSelectedFile[CoverImage].tag));
    return page.text();
}

} // namespace tandrel
