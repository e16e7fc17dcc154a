#include "app/duvoload/plan/image_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/duvoload/plan/file_open.h"
#include "app/duvoload/plan/sha256.h"

namespace {

// Reads at most `limit` bytes of `path` into `bytes`; false with the reason on failure.
bool ReadUpTo(const std::string& path, std::size_t limit, std::vector<unsigned char>* bytes,
              std::string* reason) {
    if (IsFolder(path)) {
        *reason = "\"" + path + "\" is a folder";
        return false;
    }
    std::FILE* file = OpenForReading(path);
    if (file == nullptr) {
        *reason = std::string("cannot open \"") + path + "\": " + std::strerror(errno);
        return false;
    }
    bytes->clear();
    unsigned char buffer[65536];
    while (bytes->size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - bytes->size());
        const std::size_t got = std::fread(buffer, 1, want, file);
        bytes->insert(bytes->end(), buffer, buffer + got);
        if (got < want) break;
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        *reason = std::string("cannot read \"") + path + "\": " + std::strerror(readErrno);
        return false;
    }
    return true;
}

}  // namespace

bool LoadImageFile(const BlockFile& entry, LoadedImage* image, std::string* error) {
    std::string reason;
    // Reading up to the limit is enough: a file that fills it is refused, whatever its size.
    if (!ReadUpTo(entry.path, IMAGE_LENGTH_LIMIT, &image->bytes, &reason)) {
        *error = entry.origin + ": " + reason;
        return false;
    }
    if (image->bytes.size() >= IMAGE_LENGTH_LIMIT) {
        *error = entry.origin + ": \"" + entry.path +
                 "\" is too large: an image must be shorter than " +
                 std::to_string(IMAGE_LENGTH_LIMIT) + " bytes";
        return false;
    }
    // An image without a single chunk writes nothing: its download fails (the card is not waited
    // for) or, with the extended wait, leaves the block as it was.
    if (image->bytes.empty()) {
        *error = entry.origin + ": \"" + entry.path + "\" is empty";
        return false;
    }
    image->sha256 = Sha256Hex(image->bytes.data(), image->bytes.size());
    if (!entry.sha256.empty() && entry.sha256 != image->sha256) {
        *error = entry.origin + ": \"" + entry.path + "\" has SHA-256 " + image->sha256 +
                 ", the manifest expects " + entry.sha256;
        return false;
    }
    return true;
}

bool ReadTextFile(const std::string& path, std::string* text, std::string* error) {
    // A manifest is small: one that reaches the image limit is refused, never cut short.
    std::vector<unsigned char> bytes;
    if (!ReadUpTo(path, IMAGE_LENGTH_LIMIT, &bytes, error)) return false;
    if (bytes.size() >= IMAGE_LENGTH_LIMIT) {
        *error = "\"" + path + "\" is too large for a manifest";
        return false;
    }
    text->assign(bytes.begin(), bytes.end());
    return true;
}
