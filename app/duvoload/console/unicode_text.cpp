#include "app/duvoload/console/unicode_text.h"

#include <cstdio>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendCodePoint(char32_t c, std::string* utf8) {
    if (c < 0x80) {
        *utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
        *utf8 += static_cast<char>(0xC0 | (c >> 6));
        *utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *utf8 += static_cast<char>(0xE0 | (c >> 12));
        *utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *utf8 += static_cast<char>(0xF0 | (c >> 18));
        *utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes the well-formed UTF-8 sequence at `at` (RFC 3629: no overlong forms, no surrogates,
// nothing past U+10FFFF). Its length, or 0 when the bytes there are not one.
std::size_t DecodeAt(const std::string& text, std::size_t at, char32_t* c) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        *c = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, *c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, *c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, *c = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        *c = *c << 6 | (byte(i) & 0x3F);
    }
    if (*c < min || *c > 0x10FFFF || (*c >= 0xD800 && *c <= 0xDFFF)) return 0;
    return length;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

bool AppendUtf8FromUtf16(const std::u16string& text, std::string* utf8) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            return false;
        }
        AppendCodePoint(c, utf8);
    }
    return true;
}

std::u16string Utf16FromUtf8(const std::string& utf8) {
    std::u16string text;
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeAt(utf8, at, &c);
        if (length == 0) {
            c = kReplacement;
        }
        at += length == 0 ? 1 : length;
        if (c >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(c);
        }
    }
    return text;
}

std::size_t ValidUtf8Prefix(const std::string& text) {
    std::size_t at = 0;
    char32_t c = 0;
    while (at < text.size()) {
        const std::size_t length = DecodeAt(text, at, &c);
        if (length == 0) break;
        at += length;
    }
    return at;
}

bool FindControlCharacter(const std::string& utf8, std::size_t* at, char32_t* codePoint) {
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeAt(utf8, i, &c);
        if (length != 0 && c != '\t' && IsControl(c)) {
            *at = i;
            *codePoint = c;
            return true;
        }
        i += length == 0 ? 1 : length;
    }
    return false;
}

std::string EscapeControls(const std::string& utf8) {
    std::string shown;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        std::size_t length = DecodeAt(utf8, i, &c);
        if (length == 0) {
            // A byte that is no UTF-8 (none reaches here from a checked source) is shown as a
            // byte: passed on raw, 0x9B could start a terminal command.
            c = static_cast<unsigned char>(utf8[i]);
            length = 1;
        } else if (!IsControl(c)) {
            shown.append(utf8, i, length);
            i += length;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, c < 0x80 || length == 1 ? "\\x%02X" : "\\u%04X",
                      static_cast<unsigned>(c));
        shown += escape;
        i += length;
    }
    return shown;
}

#ifdef _WIN32
std::wstring WideFromUtf8(const std::string& utf8) {
    const std::u16string utf16 = Utf16FromUtf8(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

bool AppendUtf8FromWide(const std::wstring& text, std::string* utf8) {
    return AppendUtf8FromUtf16(std::u16string(text.begin(), text.end()), utf8);
}
#endif
