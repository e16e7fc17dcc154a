// Text as duvoload keeps it: UTF-8 throughout, converted to and from the system's UTF-16 at its
// edges, with control characters escaped wherever text a user gave is shown again.
#pragma once

#include <cstddef>
#include <string>

// Appends the UTF-8 form of `text` to `utf8`. False when `text` holds a surrogate without its
// partner (Windows accepts such names; no UTF-8 text can name them).
bool AppendUtf8FromUtf16(const std::u16string& text, std::string* utf8);

// The UTF-16 form of UTF-8 text; a malformed sequence becomes U+FFFD.
std::u16string Utf16FromUtf8(const std::string& utf8);

#ifdef _WIN32
// The same for the system's wide strings, which are UTF-16 on Windows.
std::wstring WideFromUtf8(const std::string& utf8);
bool AppendUtf8FromWide(const std::wstring& text, std::string* utf8);
#endif

// The number of bytes of the longest well-formed UTF-8 prefix of `text`.
std::size_t ValidUtf8Prefix(const std::string& text);

// The first control character (C0, DEL or C1) of UTF-8 text other than a tab: its byte offset
// and code point; false when there is none.
bool FindControlCharacter(const std::string& utf8, std::size_t* at, char32_t* codePoint);

// `text` with every control character (C0, DEL, C1), tabs and line ends included, written as
// \xHH (C0, DEL) or \uHHHH (C1), so that shown again it cannot move the cursor, recolour the
// terminal or split a line or a field. A byte that is not UTF-8 is written as \xHH too.
std::string EscapeControls(const std::string& utf8);
