#include "app/duvoload/plan/manifest.h"

#include <gtest/gtest.h>

namespace {

constexpr char kHashLower[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kHashUpper[] = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";

TEST(ParseManifest, ReadsFieldsQuotesCommentsAndLineEnds) {
    const std::string text = std::string("# production set\r\n") +
                             "\r\n"
                             "2 a.bin\r\n"
                             "  3\t\"sub dir\\b c.bin\"  " +
                             kHashUpper + "  # trailing\r\n" + "4 C:\\abs\\d.bin " + kHashLower +
                             "\n" + "\t5 /unix/e.bin";
    std::vector<BlockFile> blocks;
    std::string error;
    ASSERT_TRUE(ParseManifest(text, "Z:\\work\\m.txt", &blocks, &error)) << error;
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].block, 2);
    EXPECT_EQ(blocks[0].path, "Z:\\work\\a.bin");
    EXPECT_EQ(blocks[0].sha256, "");
    EXPECT_EQ(blocks[0].origin, "manifest \"Z:\\work\\m.txt\" line 3");
    EXPECT_EQ(blocks[1].path, "Z:\\work\\sub dir\\b c.bin");
    EXPECT_EQ(blocks[1].sha256, kHashLower);
    EXPECT_EQ(blocks[2].path, "C:\\abs\\d.bin");
    EXPECT_EQ(blocks[2].sha256, kHashLower);
    EXPECT_EQ(blocks[3].block, 5);
    EXPECT_EQ(blocks[3].path, "/unix/e.bin");
    EXPECT_EQ(blocks[3].origin, "manifest \"Z:\\work\\m.txt\" line 6");
}

TEST(ParseManifest, AHashSignInsideAPathIsPartOfIt) {
    std::vector<BlockFile> blocks;
    std::string error;
    ASSERT_TRUE(
        ParseManifest("2 a#1.bin\n3 \"b #2.bin\" # comment\n4 c.bin#\n", "m", &blocks, &error))
        << error;
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].path, "a#1.bin");
    EXPECT_EQ(blocks[1].path, "b #2.bin");
    EXPECT_EQ(blocks[2].path, "c.bin#");
}

TEST(ParseManifest, AbsolutePathsAreTakenAsTheyAre) {
    for (const char* path : {"C:\\x\\a.bin", "C:/x/a.bin", "z:/a.bin", "\\x\\a.bin", "/x/a.bin",
                             "\\\\server\\share\\a.bin"}) {
        EXPECT_TRUE(IsAbsolutePath(path)) << path;
        std::vector<BlockFile> blocks;
        std::string error;
        ASSERT_TRUE(
            ParseManifest(std::string("2 ") + path + "\n", "D:\\set\\m.txt", &blocks, &error))
            << error;
        EXPECT_EQ(blocks[0].path, path);
    }
    for (const char* path : {"a.bin", "x\\a.bin", "C:a.bin", "1:/a.bin"}) {
        EXPECT_FALSE(IsAbsolutePath(path)) << path;
    }
}

TEST(ParseManifest, RelativePathsFollowTheManifestsFolder) {
    const struct {
        const char* manifest;
        const char* path;
    } cases[] = {{"m.txt", "a.bin"}, {"dir/m.txt", "dir/a.bin"}, {"C:m.txt", "C:a.bin"}};
    for (const auto& c : cases) {
        std::vector<BlockFile> blocks;
        std::string error;
        // Led by a UTF-8 byte order mark, as some editors save it.
        ASSERT_TRUE(
            ParseManifest("\xEF\xBB\xBF"
                          "2 a.bin\n",
                          c.manifest, &blocks, &error))
            << error;
        EXPECT_EQ(blocks[0].path, c.path);
    }
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// UTF-16 after its byte order mark (what Windows PowerShell 5 writes with `>`), UTF-8 with or
// without one: each names the same files.
TEST(ParseManifest, ReadsUtf8AndUtf16) {
    const std::string bild = "bild-\xC3\xA4.bin";                         // bild-ä.bin
    const std::string data = "\xE6\x95\xB0\xE6\x8D\xAE.bin";              // 数据.bin
    const std::string expected[] = {bild, data, "\xF0\x9F\x98\x80.bin"};  // and U+1F600
    const std::u16string text16 =
        u"2 bild-\u00E4.bin\r\n3 \u6570\u636E.bin\r\n4 \U0001F600.bin\r\n";
    const std::string text8 = "2 " + bild + "\n3 " + data + "\n4 \xF0\x9F\x98\x80.bin\n";
    for (const std::string& bytes :
         {text8, "\xEF\xBB\xBF" + text8, Utf16(text16, false), Utf16(text16, true)}) {
        std::vector<BlockFile> blocks;
        std::string error;
        ASSERT_TRUE(ParseManifest(bytes, "m", &blocks, &error)) << error;
        ASSERT_EQ(blocks.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(blocks[i].path, expected[i]);
    }
}

TEST(ParseManifest, RefusesNamingTheLine) {
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"2 a.bin\n1 b.bin\n", "manifest \"m\" line 2: block 1 is not between 2 and 14"},
        {"2\n", "manifest \"m\" line 1: expected BLOCK FILE [SHA-256], found 1 field(s)"},
        {"2 a b c\n", "manifest \"m\" line 1: expected BLOCK FILE [SHA-256], found 4 field(s)"},
        {"2 \"a b\n", "manifest \"m\" line 1: a double quote is not closed"},
        {"2 \"a\"b\n", "manifest \"m\" line 1: a quoted path must be followed by a space or a tab"},
        {"2 \"\"\n", "manifest \"m\" line 1: the file name is empty"},
        {"2 a abc\n", "manifest \"m\" line 1: \"abc\" is not a SHA-256 (64 hexadecimal digits)"},
        {std::string("2 a ") + kHashLower + "0\n",
         std::string("manifest \"m\" line 1: \"") + kHashLower +
             "0\" is not a SHA-256 (64 hexadecimal digits)"},
        {"2 a " + std::string(63, 'a') + "g\n", "manifest \"m\" line 1: \"" + std::string(63, 'a') +
                                                    "g\" is not a SHA-256 (64 hexadecimal digits)"},
        {"2 a.bin\n\n2 b.bin\n",
         "manifest \"m\" line 3: block 2 is already named by manifest \"m\" line 1"},
        {"# nothing\r\n\r\n", "manifest \"m\": no block in it"},
        // A NUL would cut the path short; an escape or a lone CR would reach the terminal.
        {std::string("2 a.bin\n3 a.bin\0junk\n", 20),
         "manifest \"m\" line 2: the line holds the control character \\x00"},
        {"2 \x1B[2Ja.bin\n", "manifest \"m\" line 1: the line holds the control character \\x1B"},
        {"2 a.bin\rb.bin\n", "manifest \"m\" line 1: the line holds the control character \\x0D"},
        {"2 a\xC2\x9B.bin\n",
         "manifest \"m\" line 1: the line holds the control character \\u009B"},
        // Text in another encoding: Latin-1's ä is no UTF-8.
        {"2 a.bin\n3 bild-\xE4.bin\n",
         "manifest \"m\" line 2: not UTF-8 text (save the manifest as UTF-8 or UTF-16)"},
        {Utf16(u"2 a.bin\n3 \xD800.bin\n", false), "manifest \"m\" line 2: not valid UTF-16 text"},
        {Utf16(u"2 a.bin\n", true) + std::string(1, '\0'),
         "manifest \"m\" line 2: not valid UTF-16 text"},
    };
    for (const auto& c : cases) {
        std::vector<BlockFile> blocks;
        std::string error;
        EXPECT_FALSE(ParseManifest(c.text, "m", &blocks, &error)) << c.message;
        EXPECT_EQ(error, c.message);
    }
}

}  // namespace
