#pragma once

#include <QByteArrayView>
#include <QString>

struct GumboInternalOptions;

namespace tandrel {

// Deeper than any sign-up form nests, far below what the HTML parser survives: it
// frees its tree recursively and checks scopes along the whole stack of open tags.
inline constexpr int kFormNestingLimit = 200;
// Tags, attributes and comments: each costs the parser a few hundred bytes and some time,
// so a form of a few megabytes made of nothing else would take seconds and gigabytes.
inline constexpr qsizetype kFormPartLimit = 100000;
// More attributes on one tag than any form has; the parser compares each with all before it.
inline constexpr int kFormAttributeLimit = 1000;
// What the parser may copy of formatting tags left open (such as <b> or <a> that other
// tags close) to reopen them, about in bytes; each copy costs about kCopyCost and twice
// the tag's attributes.
inline constexpr qint64 kFormCopyLimit = 64LL * 1024 * 1024;
inline constexpr qint64 kCopyCost = 256;

// What one pass over a pasted form's text shows, without a parser: how deep its tags
// may nest once parsed (never less than the parser makes of it) and where that depth
// is first passed.
struct FormNesting {
    int deepest = 0;
    qsizetype deepestLine = 0; // 1-based; 0 when nothing nests
    int mostAttributes = 0;
    qsizetype mostAttributesLine = 0;
    qint64 copies = 0;   // at most what the parser copies to reopen formatting tags
    qsizetype parts = 0; // tags, attributes and comments
};
FormNesting scanFormNesting(QByteArrayView utf8);

// The HTML parser's options for every page and form it reads: no parse errors kept.
const GumboInternalOptions& parserOptions();

// Why the parser must not read this form, in one sentence; empty when it may.
QString formRefusal(QByteArrayView utf8);
// The sentence for tags nested too deep, from `line` on.
QString nestingRefusal(qsizetype line);

} // namespace tandrel
