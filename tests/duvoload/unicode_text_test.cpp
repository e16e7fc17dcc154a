#include "app/duvoload/console/unicode_text.h"

#include <gtest/gtest.h>

namespace {

TEST(UnicodeText, ConvertsBetweenUtf16AndUtf8BothWays) {
    const struct {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"a.bin", "a.bin"},
        {u"\u03A9mega", "\xCE\xA9mega"},                                // 2 bytes
        {u"\u6570\u636E", "\xE6\x95\xB0\xE6\x8D\xAE"},                  // 3 bytes each
        {u"\U0001F600", "\xF0\x9F\x98\x80"},                            // a surrogate pair, 4 bytes
        {u"\U00010000\U0010FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},  // the first and the last
        {u"\u007F\u0080\u07FF\u0800\uFFFF", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
    };
    for (const auto& c : cases) {
        std::string utf8;
        EXPECT_TRUE(AppendUtf8FromUtf16(c.utf16, &utf8));
        EXPECT_EQ(utf8, c.utf8);
        EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16);
        EXPECT_EQ(ValidUtf8Prefix(c.utf8), c.utf8.size());
    }
    std::string utf8;
    EXPECT_FALSE(AppendUtf8FromUtf16(u"a\xD800", &utf8));
    EXPECT_FALSE(
        AppendUtf8FromUtf16(u"\xDC00"
                            "b",
                            &utf8));
}

TEST(UnicodeText, FindsWhereUtf8Stops) {
    // Overlong in 2, 3 and 4 bytes (U+002F, U+07FF, U+FFFF), a surrogate, past U+10FFFF, a cut
    // sequence, a stray continuation byte.
    for (const char* bad : {"\xC0\xAF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xE6\x95", "\x80"}) {
        EXPECT_EQ(ValidUtf8Prefix(std::string("ok") + bad), 2u) << bad;
        EXPECT_EQ(Utf16FromUtf8(std::string("ok") + bad).substr(0, 3), u"ok\uFFFD");
    }
}

// The edges of C0, DEL and C1: each control is found and escaped, its neighbours are left alone.
TEST(UnicodeText, KnowsWhereTheControlRangesEnd) {
    const struct {
        std::string utf8;
        bool control;
        const char* shown;
    } cases[] = {
        {"\x1F", true, "\\x1F"},
        {" ", false, " "},
        {"~", false, "~"},
        {"\x7F", true, "\\x7F"},
        {"\xC2\x80", true, "\\u0080"},
        {"\xC2\x9F", true, "\\u009F"},
        {"\xC2\xA0", false, "\xC2\xA0"},
    };
    for (const auto& c : cases) {
        std::size_t at = 9;
        char32_t codePoint = 0;
        EXPECT_EQ(FindControlCharacter("a" + c.utf8, &at, &codePoint), c.control) << c.shown;
        if (c.control) {
            EXPECT_EQ(at, 1u) << c.shown;
        }
        EXPECT_EQ(EscapeControls(c.utf8), c.shown);
    }
}

TEST(UnicodeText, EscapesControlCharactersOnly) {
    EXPECT_EQ(EscapeControls(std::string("a\0b\tc\r\n\x1B[2J\x7F", 12)),
              "a\\x00b\\x09c\\x0D\\x0A\\x1B[2J\\x7F");
    EXPECT_EQ(EscapeControls("\xC2\x9B\xC2\xA0\xCE\xA9 C:\\x"), "\\u009B\xC2\xA0\xCE\xA9 C:\\x");
    EXPECT_EQ(EscapeControls("\x9B"), "\\x9B");  // not UTF-8: shown as the byte
    std::size_t at = 0;
    char32_t c = 0;
    EXPECT_FALSE(FindControlCharacter("a\tb \xCE\xA9", &at, &c));
    ASSERT_TRUE(FindControlCharacter("\xCE\xA9 \xC2\x85", &at, &c));
    EXPECT_EQ(at, 3u);
    EXPECT_EQ(c, U'\u0085');
}

}  // namespace
