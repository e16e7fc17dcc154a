#include "app/duvoload/console/fitted_row.h"

#include <algorithm>

#include "app/duvoload/console/unicode_text.h"

std::string Fitted(const std::string& utf8, int width) {
    std::u16string text = Utf16FromUtf8(utf8);
    const std::size_t columns = static_cast<std::size_t>(std::max(width - 1, 1));
    text.resize(columns, u' ');
    // A cut between the two halves of a surrogate pair leaves half a character, which no UTF-8
    // can hold: a space takes its place.
    if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u' ';
    std::string fitted;
    AppendUtf8FromUtf16(text, &fitted);
    return fitted;
}
