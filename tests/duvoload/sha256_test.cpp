#include "app/duvoload/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string HashOf(const std::string& text) {
    return Sha256Hex(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// The published FIPS 180-2 examples, plus the empty message.
TEST(Sha256, PublishedTestVectors) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HashOf(c.message), c.digest) << c.message.substr(0, 60);
    }
}

}  // namespace
