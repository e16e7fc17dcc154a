#include "app/duvoload/console/system_message.h"

#include "app/duvoload/console/unicode_text.h"

std::string SystemMessage(DWORD code) {
    wchar_t text[512] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text / sizeof text[0], nullptr);
    std::wstring message(text, length);
    // The system's texts end in a line break.
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.pop_back();
    }
    std::string utf8;
    if (message.empty() || !AppendUtf8FromWide(message, &utf8)) {
        return "error " + std::to_string(code);
    }
    return utf8 + " (error " + std::to_string(code) + ")";
}
