#pragma once

#include "funnelsettings.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace tandrel {

// What the browser will make of a text the pages insert as HTML, in one short
// sentence; empty when the page shows it as typed.
QString htmlReadingNote(const QString& text);

// What a visitor or the autoresponder would notice about a pasted sign-up
// form: no form, no e-mail field, sent by GET or not over https, fields
// without labels. One short sentence each; the build still uses the code.
QStringList optinFormNotes(const QString& code);

// What the video box makes of a pasted value: the bare id of a video page
// address (watch?v=, the short link, embed/, shorts/, extra parameters
// allowed), the value itself when it already reads as an id, nothing otherwise.
// The window's names of the texts still holding the sample the window starts with.
QStringList sampleTextsLeft(const FunnelSettings& settings);

// A warning for a cover the page cannot show well (its size as shown, rotation applied),
// or an empty text.
QString coverSizeNote(QSize size);

std::optional<QString> videoIdFromPaste(const QString& text);

// A funnel address typed without a scheme ("example.com/guide"): the pages
// would link relative to themselves.
bool lacksScheme(const QString& address);
// The address with "https://" put before it when it lacks a scheme.
QString withScheme(const QString& address);

} // namespace tandrel
