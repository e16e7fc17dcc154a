#include "app/duvoload/console/fitted_row.h"

#include "app/duvoload/console/unicode_text.h"

#include <gtest/gtest.h>

namespace {

std::string Fitted(const std::string& utf8, int width) {
    std::string row;
    AppendUtf8FromUtf16(FittedRow(Utf16FromUtf8(utf8), width), &row);
    return row;
}

// A redrawn row fills every column but the last, so that a console that wraps at its last
// column never moves the cursor on by itself; longer text is cut.
TEST(FittedRow, FillsAllColumnsButTheLast) {
    const struct {
        std::string text;
        int width;
        std::string row;
    } cases[] = {
        {"socket 1: sending 5%", 24, "socket 1: sending 5%   "},
        {"socket 1: sending 45%", 12, "socket 1: s"},
        {"\xCE\xA9mega", 8, "\xCE\xA9mega  "},  // Ωmega: one column a character
        {"", 1, " "},
        // A cut inside a surrogate pair: a space stands for the half of U+1F600 that fits.
        {"ab\xF0\x9F\x98\x80z", 4, "ab "},
        {"ab\xF0\x9F\x98\x80z", 5, "ab\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fitted(c.text, c.width), c.row) << c.text << " in " << c.width;
    }
}

}  // namespace
