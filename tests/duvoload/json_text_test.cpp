#include "app/duvoload/record/json_text.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonText, StringsAreEscapedToPlainAscii) {
    const struct {
        std::string text;
        const char* json;
    } cases[] = {
        {"C:\\Firmware\\boot.bin", R"("C:\\Firmware\\boot.bin")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"a\tb\r\n", R"("a\tb\r\n")"},
        {std::string("nul\0esc\x1B del\x7F", 13), R"("nul\u0000esc\u001B del\u007F")"},
        {"\xC2\x9B", R"("\u009B")"},                        // C1 control
        {"\xCE\xA9mega.bin", R"("\u03A9mega.bin")"},        // Ωmega.bin
        {"\xE5\x9B\xBA\xE4\xBB\xB6", R"("\u56FA\u4EF6")"},  // 固件
        {"\xF0\x9F\x98\x80", R"("\uD83D\uDE00")"},          // beyond U+FFFF: a pair
        {"bad\xFF", R"("bad\uFFFD")"},                      // not UTF-8
        {"", R"("")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json) << c.json;
    }
}

TEST(JsonText, NumbersAndObjects) {
    EXPECT_EQ(JsonNumber(-4000), "-4000");
    EXPECT_EQ(JsonDecimal(0.296, 2), "0.30");
    EXPECT_EQ(JsonDecimal(1.0 / 0.0, 2), "null");
    EXPECT_EQ(JsonObject({}), "{}");
    EXPECT_EQ(
        JsonObject(
            {{"schema", JsonNumber(1)}, {"tag", JsonString("WO \"7\"")}, {"card", JSON_NULL}}),
        R"({"schema":1,"tag":"WO \"7\"","card":null})");
}

}  // namespace
