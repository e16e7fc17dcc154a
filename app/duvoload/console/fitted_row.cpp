#include "app/duvoload/console/fitted_row.h"

#include <algorithm>

std::u16string FittedRow(std::u16string text, int width) {
    const std::size_t columns = static_cast<std::size_t>(std::max(width - 1, 1));
    text.resize(columns, u' ');
    // A cut between the two halves of a surrogate pair leaves half a character, which no UTF-8
    // can hold: a space takes its place.
    if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u' ';
    return text;
}
