#include "app/duvoload/console_text.h"

#include <windows.h>

#include "app/duvoload/unicode_text.h"

namespace {

HANDLE HandleOf(StdStream stream) {
    return GetStdHandle(stream == StdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsoleHandle(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

// Line ends as a Windows text file has them: CR LF.
std::string WithCrLf(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

}  // namespace

void WriteText(StdStream stream, const std::string& text) {
    const std::string utf8 = WithCrLf(text);
    const HANDLE handle = HandleOf(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    if (IsConsoleHandle(handle)) {
        const std::u16string utf16 = Utf16FromUtf8(utf8);
        const std::wstring wide(utf16.begin(), utf16.end());
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    for (std::size_t done = 0; done < utf8.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, utf8.data() + done, static_cast<DWORD>(utf8.size() - done), &written,
                       nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

void WriteLine(StdStream stream, const std::string& utf8) {
    WriteText(stream, utf8 + "\n");
}

bool IsConsole(StdStream stream) {
    return IsConsoleHandle(HandleOf(stream));
}
