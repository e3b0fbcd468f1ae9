#pragma once

#include <QString>

namespace tandrel {

// The text a visitor reads for a piece of the user's HTML: tags, comments,
// scripts and styles dropped, character references decoded, blanks collapsed.
QString plainTextOfHtml(const QString& html);

// At most maxChars characters, cut at a word and marked with an ellipsis.
QString shortenAtWord(const QString& text, int maxChars);

// Safe inside element text and inside a quoted attribute value.
QString escapeHtml(const QString& text);

// "rtl" or "ltr" by the majority of the strong letters a visitor reads,
// "auto" when there are none or as many of each.
QString textDirection(const QString& html);

// Whether the HTML shows anything: text, or a picture or other embedded content.
bool showsSomething(const QString& html);

// The character a reference such as "&copy;" or "&#169;" stands for, or an
// empty text when the browser would show it as typed. length receives how
// many characters of text (from its start, which is the "&") it uses.
QString decodeCharacterReference(QStringView text, qsizetype* length);

} // namespace tandrel
