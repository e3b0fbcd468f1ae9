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

// The window's names of the texts still holding the sample the window starts with.
QStringList sampleTextsLeft(const FunnelSettings& settings);

// A warning for a cover the page cannot show well (its size as shown, rotation applied),
// or an empty text.
QString coverSizeNote(QSize size);

// What the video box makes of a pasted value: the bare id of a video page
// address (watch?v=, the short link, embed/, shorts/, extra parameters
// allowed) or of a pasted embed code, with "?start=N" after it when the
// address starts the video later (t= or start=); the value itself when it
// already reads so; nothing otherwise.
std::optional<QString> videoIdFromPaste(const QString& text);

// A funnel address typed without a scheme ("example.com/guide"): the pages
// would link relative to themselves.
bool lacksScheme(const QString& address);
// The video id alone and what the player's address adds after it ("?start=90" or
// empty), from what the video box holds.
QString videoIdOf(const QString& box);
QString videoStartOf(const QString& box);
// The address with "https://" put before it when it lacks a scheme.
QString withScheme(const QString& address);

// Why a browser could not follow a typed web address (a blank in it, a scheme
// other than http or https, no host name); empty when it can. A missing scheme
// is not named: the window puts "https://" in front.
QString webAddressNote(const QString& address);

// The addresses of a saved funnel that the pages would use as they are but a
// visitor's browser could not follow, one sentence each naming the field.
QStringList addressWarnings(const FunnelSettings& s);

} // namespace tandrel
