#pragma once

#include "funnelsettings.h"
#include "result.h"

#include <QStringList>

namespace tandrel {

// A pasted sign-up form rebuilt as our own markup from what it declares: the same
// address, method and fields, none of the vendor's styles or scripts.
struct TidyForm {
    QString html;       // empty when the form cannot be rebuilt faithfully
    QString reason;     // then why not, in one line
    QString refusal;    // a sentence when the form cannot be read at all
    QStringList fields; // what the rebuilt form holds, in words for the window
};

TidyForm tidyOptinForm(const QString& pasted);

// One line for the window under the pasted form: the rebuilt form's fields, why the
// form stays as pasted, or why the build will refuse it; empty when there is nothing to say.
QString formLayoutSummary(const QString& pasted, bool tidy);

// What the opt-in page shows in the form panel. A form kept as pasted has what breaks
// pages defused: min-width capped as max-width is, media queries written for the
// window turned into queries for the panel, iframes given the height their text needs.
struct PageForm {
    QString html;
    QString style; // the panel's look: "tidy", "own" (the form brings styles) or "plain"
    QString css;   // rules for the page's head, may be empty
};
// Fails, saying why, for a form the parser cannot read safely (tags nested too deep).
Result<PageForm> optinFormForPage(const FunnelSettings& settings);

// The names of the fields the pasted form declares, in their order, each once.
QStringList formFieldNames(const QString& pasted);

// With a split test: the form carries the version's name in the test's hidden field (A
// without script), and a script after it sets the chosen version's name there and in the
// tag field, and its button text. Unchanged without a split test.
QString withVersionField(const QString& formHtml, const SplitTest& test);

} // namespace tandrel
