#include "app/duvoload/plan/manifest.h"

#include <cctype>
#include <cstdio>

#include "app/duvoload/console/unicode_text.h"

namespace {

constexpr std::size_t kHashDigits = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits a line into fields. A field starting with a double quote runs to the next double quote;
// a `#` at the start of a field ends the line.
bool SplitFields(const std::string& line, std::vector<std::string>* fields, std::string* error) {
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size() || line[i] == '#') return true;
        std::string field;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos) {
                *error = "a double quote is not closed";
                return false;
            }
            field = line.substr(i + 1, close - i - 1);
            i = close + 1;
            if (i < line.size() && !IsBlank(line[i])) {
                *error = "a quoted path must be followed by a space or a tab";
                return false;
            }
        } else {
            const std::size_t start = i;
            while (i < line.size() && !IsBlank(line[i])) ++i;
            field = line.substr(start, i - start);
        }
        fields->push_back(field);
    }
}

bool ParseHash(const std::string& text, std::string* hash) {
    if (text.size() != kHashDigits) return false;
    hash->clear();
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        *hash += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return true;
}

std::string LineOrigin(const std::string& manifestPath, int number) {
    return "manifest \"" + manifestPath + "\" line " + std::to_string(number);
}

int LineAt(const std::string& text, std::size_t at) {
    int line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
        if (text[i] == '\n') ++line;
    }
    return line;
}

// UTF-16 text after its byte order mark, as UTF-8. On failure `badLine` is the line (counted in
// the UTF-16 text) that cannot be decoded.
bool DecodeUtf16(const std::string& bytes, bool bigEndian, std::string* text, int* badLine) {
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    const auto lineOf = [&units](std::size_t unit) {
        int line = 1;
        for (std::size_t i = 0; i < unit; ++i) {
            if (units[i] == u'\n') ++line;
        }
        return line;
    };
    if (bytes.size() % 2 != 0) {
        *badLine = lineOf(units.size());
        return false;
    }
    // Converted line by line, so that a lone surrogate is found on its own line.
    for (std::size_t start = 0; start <= units.size();) {
        std::size_t end = units.find(u'\n', start);
        end = end == std::u16string::npos ? units.size() : end + 1;
        if (!AppendUtf8FromUtf16(units.substr(start, end - start), text)) {
            *badLine = lineOf(start);
            return false;
        }
        if (end == units.size()) break;
        start = end;
    }
    return true;
}

// The manifest's text as UTF-8: UTF-16 (either byte order) after a UTF-16 byte order mark,
// otherwise UTF-8, with or without its byte order mark. No other encoding is guessed at: a name
// read in the wrong one would name another file.
bool DecodeManifest(const std::string& bytes, const std::string& manifestPath, std::string* text,
                    std::string* error) {
    const bool littleEndian = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (littleEndian || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        int badLine = 0;
        if (!DecodeUtf16(bytes, !littleEndian, text, &badLine)) {
            *error = LineOrigin(manifestPath, badLine) + ": not valid UTF-16 text";
            return false;
        }
        return true;
    }
    // A UTF-8 byte order mark, as some editors write, is not part of the first line.
    const std::string bom = "\xEF\xBB\xBF";
    *text = bytes.substr(bytes.compare(0, bom.size(), bom) == 0 ? bom.size() : 0);
    const std::size_t valid = ValidUtf8Prefix(*text);
    if (valid != text->size()) {
        *error = LineOrigin(manifestPath, LineAt(*text, valid)) +
                 ": not UTF-8 text (save the manifest as UTF-8 or UTF-16)";
        return false;
    }
    return true;
}

bool ParseLine(const std::string& line, const std::string& folder, BlockFile* entry, bool* empty,
               std::string* error) {
    std::size_t at = 0;
    char32_t control = 0;
    if (FindControlCharacter(line, &at, &control)) {
        const std::size_t length = control < 0x80 ? 1 : 2;  // C0 and DEL, or C1 in UTF-8
        *error = "the line holds the control character " + EscapeControls(line.substr(at, length));
        return false;
    }
    std::vector<std::string> fields;
    if (!SplitFields(line, &fields, error)) return false;
    *empty = fields.empty();
    if (fields.empty()) return true;
    if (fields.size() < 2 || fields.size() > 3) {
        *error =
            "expected BLOCK FILE [SHA-256], found " + std::to_string(fields.size()) + " field(s)";
        return false;
    }
    if (!ParseBlockNumber(fields[0], &entry->block, error)) return false;
    if (fields[1].empty()) {
        *error = "the file name is empty";
        return false;
    }
    entry->path = IsAbsolutePath(fields[1]) ? fields[1] : folder + fields[1];
    if (fields.size() == 3 && !ParseHash(fields[2], &entry->sha256)) {
        *error = "\"" + fields[2] + "\" is not a SHA-256 (64 hexadecimal digits)";
        return false;
    }
    return true;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) return path.substr(0, slash + 1);
    // "C:m.txt" lies in the current folder of drive C.
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return "";
}

bool IsAbsolutePath(const std::string& path) {
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return true;
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

bool ParseManifest(const std::string& bytes, const std::string& manifestPath,
                   std::vector<BlockFile>* blocks, std::string* error) {
    const std::string folder = FolderOf(manifestPath);
    std::string text;
    if (!DecodeManifest(bytes, manifestPath, &text, error)) return false;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        BlockFile entry;
        entry.origin = LineOrigin(manifestPath, number);
        bool empty = false;
        std::string reason;
        if (!ParseLine(line, folder, &entry, &empty, &reason)) {
            *error = entry.origin + ": " + reason;
            return false;
        }
        if (!empty) blocks->push_back(entry);
    }
    if (blocks->empty()) {
        *error = "manifest \"" + manifestPath + "\": no block in it";
        return false;
    }
    return CheckBlockList(*blocks, error);
}
