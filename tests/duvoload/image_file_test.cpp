#include "app/duvoload/plan/image_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/duvoload/plan/sha256.h"

namespace {

class ImageFileTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() /
            ("duvoload_image_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    BlockFile Write(const char* name, std::size_t size) {
        const std::string path = (m_dir / name).string();
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7));
        return BlockFile{5, path, "", "argument \"5=x\""};
    }

    std::filesystem::path m_dir;
};

TEST_F(ImageFileTest, ReadsTheWholeFileUpToTheLimitAndChecksItsHash) {
    BlockFile entry = Write("largest.bin", IMAGE_LENGTH_LIMIT - 1);
    LoadedImage image;
    std::string error;
    ASSERT_TRUE(LoadImageFile(entry, &image, &error)) << error;
    ASSERT_EQ(image.bytes.size(), IMAGE_LENGTH_LIMIT - 1);
    EXPECT_EQ(image.bytes[1000], static_cast<unsigned char>(7000));
    EXPECT_EQ(image.sha256, Sha256Hex(image.bytes.data(), image.bytes.size()));

    entry.sha256 = image.sha256;
    EXPECT_TRUE(LoadImageFile(entry, &image, &error)) << error;
    entry.sha256[0] = entry.sha256[0] == '0' ? '1' : '0';
    EXPECT_FALSE(LoadImageFile(entry, &image, &error));
    EXPECT_EQ(error, "argument \"5=x\": \"" + entry.path + "\" has SHA-256 " + image.sha256 +
                         ", the manifest expects " + entry.sha256);
}

TEST_F(ImageFileTest, RefusesTooLargeMissingEmptyAndFolder) {
    LoadedImage image;
    std::string error;
    const BlockFile tooLarge = Write("too-large.bin", IMAGE_LENGTH_LIMIT);
    EXPECT_FALSE(LoadImageFile(tooLarge, &image, &error));
    EXPECT_EQ(error, "argument \"5=x\": \"" + tooLarge.path +
                         "\" is too large: an image must be shorter than 917504 bytes");
    const BlockFile missing{5, (m_dir / "none.bin").string(), "", "argument \"5=x\""};
    EXPECT_FALSE(LoadImageFile(missing, &image, &error));
    EXPECT_EQ(error.rfind("argument \"5=x\": cannot open \"" + missing.path + "\": ", 0), 0u)
        << error;
    const BlockFile folder{5, m_dir.string(), "", "argument \"5=x\""};
    EXPECT_FALSE(LoadImageFile(folder, &image, &error));
    EXPECT_EQ(error, "argument \"5=x\": \"" + m_dir.string() + "\" is a folder");
    const BlockFile empty = Write("empty.bin", 0);
    EXPECT_FALSE(LoadImageFile(empty, &image, &error));
    EXPECT_EQ(error, "argument \"5=x\": \"" + empty.path + "\" is empty");
}

// A manifest is read whole up to the image limit, and refused at it: never read in part.
TEST_F(ImageFileTest, AManifestIsReadWholeOrRefused) {
    std::string text;
    std::string error;
    const BlockFile largest = Write("largest.txt", IMAGE_LENGTH_LIMIT - 1);
    ASSERT_TRUE(ReadTextFile(largest.path, &text, &error)) << error;
    ASSERT_EQ(text.size(), IMAGE_LENGTH_LIMIT - 1);
    EXPECT_EQ(text.back(), static_cast<char>((IMAGE_LENGTH_LIMIT - 2) * 7));
    const BlockFile tooLarge = Write("too-large.txt", IMAGE_LENGTH_LIMIT);
    EXPECT_FALSE(ReadTextFile(tooLarge.path, &text, &error));
    EXPECT_EQ(error, "\"" + tooLarge.path + "\" is too large for a manifest");
}

// A name outside ASCII reaches the file system as it is, not as a look-alike.
TEST_F(ImageFileTest, ANameOutsideAsciiOpensThatFileAndNoOther) {
    Write("Omega.bin", 10);
    const BlockFile omega = Write("\xCE\xA9mega.bin", 20);  // Ωmega.bin
    LoadedImage image;
    std::string error;
    ASSERT_TRUE(LoadImageFile(omega, &image, &error)) << error;
    EXPECT_EQ(image.bytes.size(), 20u);
}

}  // namespace
