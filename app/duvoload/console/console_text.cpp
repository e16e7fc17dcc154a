#include "app/duvoload/console/console_text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/duvoload/console/fitted_row.h"
#include "app/duvoload/console/system_message.h"
#include "app/duvoload/console/unicode_text.h"

namespace {

// One writer at a time: a line, or a redraw of the live lines with what goes out above them.
class COutputLock {
  public:
    COutputLock() { EnterCriticalSection(&Section()); }
    ~COutputLock() { LeaveCriticalSection(&Section()); }
    COutputLock(const COutputLock&) = delete;
    COutputLock& operator=(const COutputLock&) = delete;

  private:
    struct Section_ {
        Section_() { InitializeCriticalSection(&section); }
        CRITICAL_SECTION section;
    };
    static CRITICAL_SECTION& Section() {
        static Section_ made;
        return made.section;
    }
};

// The live lines as last drawn; they end on the row above the cursor.
struct LiveLines {
    std::vector<std::string> texts;
    SHORT drawn = 0;
};
LiveLines g_live;

OutputSink g_sink = nullptr;
bool g_outputFailed = false;

HANDLE HandleOf(StdStream stream) {
    return GetStdHandle(stream == StdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool WriteBytes(HANDLE handle, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_HANDLE_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
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

bool WriteConsoleUtf8(HANDLE console, const std::string& utf8) {
    const std::wstring wide = WideFromUtf8(utf8);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written,
                         nullptr) != FALSE;
}

int ConsoleWidth(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    return GetConsoleScreenBufferInfo(console, &info) ? info.dwSize.X : 80;
}

// `utf8` as a redrawn row of a console `width` columns wide.
std::string Fitted(const std::string& utf8, int width) {
    std::string fitted;
    AppendUtf8FromUtf16(FittedRow(Utf16FromUtf8(utf8), width), &fitted);
    return fitted;
}

// Puts the cursor at the start of the first live line.
void GoToLiveTop(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) return;
    const SHORT top = static_cast<SHORT>(std::max(0, info.dwCursorPosition.Y - g_live.drawn));
    SetConsoleCursorPosition(console, COORD{0, top});
}

// Draws the live lines from the cursor's row down; the cursor ends below the last of them.
void DrawLiveLines(HANDLE console) {
    const int width = ConsoleWidth(console);
    std::string rows;
    for (const std::string& text : g_live.texts) {
        rows += Fitted(text, width) + "\r\n";
    }
    WriteConsoleUtf8(console, rows);
    g_live.drawn = static_cast<SHORT>(g_live.texts.size());
}

// Writes `text` to the stream, above the live lines when they stand; false when it failed.
bool WriteOut(StdStream stream, HANDLE handle, const std::string& text) {
    if (g_sink != nullptr) return g_sink(stream, text);
    const std::string utf8 = WithCrLf(text);
    if (!IsConsoleHandle(handle)) return WriteBytes(handle, utf8);
    if (g_live.drawn == 0) return WriteConsoleUtf8(handle, utf8);
    // Above the live lines: over them, each line wide enough to wipe what stood there, then
    // the live lines again below.
    const HANDLE live = HandleOf(StdStream::Err);
    const int width = ConsoleWidth(live);
    GoToLiveTop(live);
    bool written = true;
    std::size_t start = 0;
    while (start < utf8.size()) {
        std::size_t end = utf8.find("\r\n", start);
        if (end == std::string::npos) end = utf8.size();
        written =
            WriteConsoleUtf8(handle, Fitted(utf8.substr(start, end - start), width) + "\r\n") &&
            written;
        start = end + 2;
    }
    DrawLiveLines(live);
    return written;
}

// The first lost write, said once on the other stream (when that one fails too, nowhere).
void ReportLostOutput(StdStream stream, DWORD error) {
    if (g_outputFailed) return;
    g_outputFailed = true;
    const bool out = stream == StdStream::Out;
    const StdStream other = out ? StdStream::Err : StdStream::Out;
    const std::string text = std::string("duvoload: cannot write to ") +
                             (out ? "stdout" : "stderr") + ": " + SystemMessage(error) + "\n";
    WriteOut(other, HandleOf(other), text);
}

}  // namespace

bool WriteText(StdStream stream, const std::string& text) {
    const HANDLE handle = HandleOf(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return true;
    const COutputLock lock;
    if (WriteOut(stream, handle, text)) return true;
    ReportLostOutput(stream, GetLastError());
    return false;
}

bool WriteLine(StdStream stream, const std::string& utf8) {
    return WriteText(stream, utf8 + "\n");
}

bool OutputFailed() {
    const COutputLock lock;
    return g_outputFailed;
}

bool IsConsole(StdStream stream) {
    return IsConsoleHandle(HandleOf(stream));
}

void RedirectOutput(OutputSink sink) {
    g_sink = sink;
}

void SetLiveLine(std::size_t index, const std::string& utf8) {
    const HANDLE console = HandleOf(StdStream::Err);
    if (!IsConsoleHandle(console)) return;
    const COutputLock lock;
    if (g_live.texts.size() <= index) g_live.texts.resize(index + 1);
    g_live.texts[index] = utf8;
    GoToLiveTop(console);
    DrawLiveLines(console);
}

void EndLiveLines() {
    const COutputLock lock;
    g_live = LiveLines{};
}
