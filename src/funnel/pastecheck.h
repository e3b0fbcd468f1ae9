#pragma once

#include <QString>
#include <QStringList>

namespace tandrel {

// What the browser will make of a text the pages insert as HTML, in one short
// sentence; empty when the page shows it as typed.
QString htmlReadingNote(const QString& text);

// What a visitor or the autoresponder would notice about a pasted sign-up
// form: no form, no e-mail field, sent by GET or not over https, fields
// without labels. One short sentence each; the build still uses the code.
QStringList optinFormNotes(const QString& code);

} // namespace tandrel
