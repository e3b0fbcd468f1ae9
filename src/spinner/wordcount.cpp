#include "wordcount.h"

#include <array>
#include <optional>

namespace tandrel {

namespace {

constexpr std::array<bool, 256> makeTable() {
    std::array<bool, 256> word{};
    for (int c = 'a'; c <= 'z'; ++c)
        word[c] = true;
    for (int c = '0'; c <= '9'; ++c)
        word[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c)
        word[c] = true;
    for (int c = 188; c <= 255; ++c)
        word[c] = true;
    for (int c = 128; c <= 159; ++c)
        word[c] = true;
    word[247] = false; // division sign
    word[215] = false; // multiplication sign
    word['.'] = true;
    word['\''] = true;
    return word;
}
constexpr std::array<bool, 256> kWordCharacter = makeTable();

bool isWordCharacter(char32_t c) {
    if (c < 256)
        return kWordCharacter[c];
    return QChar::isLetter(c) || QChar::isDigit(c);
}

} // namespace

qint64 count_words(const QString& text) {
    if (text.isEmpty())
        return 0;
    qint64 changes = 0;
    bool state = false;
    std::optional<bool> first;
    bool last = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        const bool word = isWordCharacter(c);
        if (!first)
            first = word;
        last = word;
        if (word != state) {
            ++changes;
            state = word;
        }
    }
    return changes / 2 + ((*first && last) ? 1 : 0);
}

} // namespace tandrel
