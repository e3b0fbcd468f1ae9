#pragma once

#include "apppaths.h"
#include "funnelsettings.h"
#include "optinform.h"
#include "pagefinish.h"
#include "result.h"
#include "themes.h"

namespace tandrel {

// The files a build reads, by layout (cboCols) and after-subscription action (optAction).
inline constexpr const char* kOptinTemplates[] = {"index-1colimage.html", "index.html"};
inline constexpr const char* kThanksTemplates[] = {"thanks_flat.html", "thanks.html"};
inline constexpr const char* kDownloadTemplate = "download.html";
inline constexpr const char* kProgressBarTemplate = "progressbar.htm";
inline constexpr const char* kBackSnippet = "back.txt";
inline constexpr const char* kLinkSnippet = "dld_link.txt";

// The placeholders a page's generator fills, in their order, with those of the snippets it
// may insert; the page's template and snippets carry them between them.
QStringList pagePlaceholders(PageKind kind);

// The templates of one build, read afresh from the template folder each time.
struct PageTemplates {
    QString txtProgressBar;
    QString txtIndexTemplate;
    QString txtThanksPageTemplate;
    QString txtDownloadPageTemplate;
};

// The layout picks the opt-in template, the after-subscription action the thank-you template;
// the theme's own template, where it has one, stands in for the template folder's.
Result<PageTemplates> loadTemplates(const AppPaths& paths, const FunnelSettings& settings,
                                    const Theme& theme = Theme());

// Each returns the finished page text; a needed snippet that cannot be read is a failure.
Result<QString> generateLeadMagnetPage(const FunnelSettings& settings,
                                       const PageTemplates& templates, const AppPaths& paths,
                                       const PageForm& form);
Result<QString> generateThankYouPage(const FunnelSettings& settings,
                                     const PageTemplates& templates);
Result<QString> generateDownloadPage(const FunnelSettings& settings, const PageTemplates& templates,
                                     const AppPaths& paths);

} // namespace tandrel
