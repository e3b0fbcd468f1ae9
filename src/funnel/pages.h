#pragma once

#include "apppaths.h"
#include "funnelsettings.h"
#include "result.h"

namespace tandrel {

// The templates of one build, read afresh from the template folder each time.
struct PageTemplates {
    QString txtProgressBar;
    QString txtIndexTemplate;
    QString txtThanksPageTemplate;
    QString txtDownloadPageTemplate;
};

// The layout picks the opt-in template, the after-subscription action the thank-you template.
Result<PageTemplates> loadTemplates(const AppPaths& paths, const FunnelSettings& settings);

// Each returns the finished page text; a needed snippet that cannot be read is a failure.
Result<QString> generateLeadMagnetPage(const FunnelSettings& settings,
                                       const PageTemplates& templates, const AppPaths& paths);
Result<QString> generateThankYouPage(const FunnelSettings& settings,
                                     const PageTemplates& templates);
Result<QString> generateDownloadPage(const FunnelSettings& settings, const PageTemplates& templates,
                                     const AppPaths& paths);

} // namespace tandrel
