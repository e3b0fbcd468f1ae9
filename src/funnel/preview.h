#pragma once

#include "apppaths.h"
#include "funnelbuild.h"
#include "funnelsettings.h"

class QTemporaryDir;

namespace tandrel {

// Builds the funnel into `folder` from a copy of the templates and snippets, so the
// real output stays as it is, and links the copy's pages to each other: signing up
// leads to the local thank-you page instead of the autoresponder, and that page on
// to the local download page. A failed copy or link comes back as a failed build.
BuildOutcome buildPreview(const FunnelSettings& settings, const AppPaths& paths,
                          const QTemporaryDir& folder);

} // namespace tandrel
