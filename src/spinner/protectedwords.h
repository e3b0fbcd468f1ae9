#pragma once

#include "synonymdb.h"

#include <QStringList>

namespace tandrel {

// The user's protected words as typed: separated by commas or line ends,
// trimmed, lower-cased, empty entries and repeats dropped.
QStringList parseProtectedWords(const QString& typed);

// The synonym file without every term that a protected entry equals, holds as
// whole words, or is held by: such words are never replaced and the other
// members of their lines still are where two remain. Letter case of the article is untouched.
SynonymDb withoutProtectedTerms(const SynonymDb& synonyms, const QStringList& protectedWords);

} // namespace tandrel
