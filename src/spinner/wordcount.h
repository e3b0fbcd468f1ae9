#pragma once

#include <QString>

namespace tandrel {

// Words are runs of word characters. Up to code 255 the fixed table decides
// (letters, digits, "." and "'" and most of 128..255 are word characters);
// above it, letters and digits are, everything else separates. A surrogate
// pair is one character.
qint64 count_words(const QString& text);

} // namespace tandrel
