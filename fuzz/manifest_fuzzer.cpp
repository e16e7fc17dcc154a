// The manifest parser on any bytes: UTF-8 with or without its byte order mark, UTF-16 in either
// byte order, or neither. A refusal always names the manifest and says why; an accepted list holds
// only valid blocks with names a file system can take; the same text in UTF-16 means the same;
// and the list written out again as a manifest reads back the same.
#include <cstdint>
#include <string>
#include <vector>

#include "app/duvoload/console/unicode_text.h"
#include "app/duvoload/plan/manifest.h"
#include "fuzz/block_list_check.h"
#include "fuzz/check.h"

namespace {

constexpr char kManifestPath[] = "D:\\set\\m.txt";

struct Parsed {
    bool ok = false;
    std::vector<BlockFile> blocks;
    std::string error;
};

Parsed Parse(const std::string& bytes) {
    Parsed parsed;
    parsed.ok = ParseManifest(bytes, kManifestPath, &parsed.blocks, &parsed.error);
    return parsed;
}

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

void CheckNames(const std::vector<BlockFile>& blocks) {
    for (const BlockFile& entry : blocks) {
        FUZZ_CHECK(ValidUtf8Prefix(entry.path) == entry.path.size(), "a name that is not UTF-8");
        std::size_t at = 0;
        char32_t control = 0;
        FUZZ_CHECK(!FindControlCharacter(entry.path, &at, &control),
                   "a name with a control character");
        FUZZ_CHECK(
            StartsWith(entry.origin, std::string("manifest \"") + kManifestPath + "\" line "),
            "an origin that does not name the manifest's line");
        // A relative name is taken from the manifest's folder.
        FUZZ_CHECK(IsAbsolutePath(entry.path), "a name left relative");
    }
}

// The list as a manifest: a name with a space or a tab in double quotes (it then holds no double
// quote: an unquoted field ends at a blank, a quoted one at the next double quote).
std::string Written(const std::vector<BlockFile>& blocks) {
    std::string text;
    for (const BlockFile& entry : blocks) {
        const bool quote = entry.path.find_first_of(" \t") != std::string::npos;
        text += std::to_string(entry.block) + " " + (quote ? "\"" + entry.path + "\"" : entry.path);
        if (!entry.sha256.empty()) text += " " + entry.sha256;
        text += "\r\n";
    }
    return text;
}

std::string Utf16LittleEndian(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const Parsed parsed = Parse(bytes);
    if (!parsed.ok) {
        const std::string origin = std::string("manifest \"") + kManifestPath + "\"";
        FUZZ_CHECK(StartsWith(parsed.error, origin), "a refusal that does not name the manifest");
        const std::size_t reason = parsed.error.find(": ", origin.size());
        FUZZ_CHECK(reason != std::string::npos && reason + 2 < parsed.error.size(),
                   "a refusal without a reason");
    } else {
        CheckAcceptedBlocks(parsed.blocks);
        CheckNames(parsed.blocks);
        const Parsed again = Parse(Written(parsed.blocks));
        FUZZ_CHECK(again.ok && SameBlocks(again.blocks, parsed.blocks),
                   "the list written out again reads back otherwise");
    }
    // UTF-8 text without a byte order mark says the same in UTF-16: the same blocks, or the same
    // refusal.
    const bool marked = StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF") ||
                        StartsWith(bytes, "\xEF\xBB\xBF");
    if (!marked && ValidUtf8Prefix(bytes) == bytes.size()) {
        const Parsed wide = Parse(Utf16LittleEndian(Utf16FromUtf8(bytes)));
        FUZZ_CHECK(wide.ok == parsed.ok && wide.error == parsed.error &&
                       SameBlocks(wide.blocks, parsed.blocks),
                   "the same text in UTF-16 parses otherwise");
    }
    return 0;
}
