// Runs a console program in a console shared with it, and does to it what a user at that console
// would. Its exit code becomes this one's.
//
//   console_runner [--ctrl-c PATTERN | --terminate PATTERN]... -- PROGRAM [ARGS ...]
//       The program's stderr comes through a pipe and is copied to this one's stderr. Each
//       action, in order, is taken when a line of that stderr contains its PATTERN: --ctrl-c
//       presses Ctrl+C, --terminate ends the program at once (TerminateProcess, as when it is
//       killed by its id).
//   console_runner --screen -- PROGRAM [ARGS ...]
//       The program writes its stdout and stderr to the console itself; once it has ended, the
//       console's rows (up to the cursor, trailing spaces dropped) are printed on this one's
//       stdout in UTF-8: what a user would have seen.
//
// Arguments, the program's included, are taken and passed on as UTF-16.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

BOOL WINAPI IgnoreControl(DWORD) {
    return TRUE;
}

struct Action {
    bool terminate;
    std::string pattern;  // UTF-8, as the program's stderr lines are compared in bytes
};

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

// A console shared with the program, which GenerateConsoleCtrlEvent and --screen need: the one
// inherited, or a new one (Wine gives a program started from a pipe none), with this program's
// standard handles put back as they were given.
void EnsureConsole() {
    const HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
        return;
    }
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    FreeConsole();
    AllocConsole();
    SetStdHandle(STD_INPUT_HANDLE, in);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
}

void WriteOut(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

// The console's rows up to the cursor's, as UTF-8 lines.
void PrintScreen(HANDLE screen) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info)) {
        std::fprintf(stderr, "console_runner: cannot read the console [%lu]\n", GetLastError());
        return;
    }
    std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen, row.data(), static_cast<DWORD>(row.size()), {0, y},
                                    &read);
        std::wstring text = row.substr(0, read);
        text.erase(text.find_last_not_of(L' ') + 1);
        WriteOut(Utf8(text) + "\n");
    }
}

// Copies the program's stderr to ours and takes each action when its pattern shows up.
void FollowStderr(HANDLE readEnd, HANDLE process, const std::vector<Action>& actions) {
    std::size_t next = 0;
    std::string line;
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::fwrite(buffer, 1, got, stderr);
        for (DWORD k = 0; k < got; ++k) {
            if (buffer[k] != '\n') {
                line += buffer[k];
                continue;
            }
            if (next < actions.size() && line.find(actions[next].pattern) != std::string::npos) {
                const Action& action = actions[next++];
                if (action.terminate) {
                    TerminateProcess(process, 137);
                    std::fprintf(stderr, "console_runner: program terminated\n");
                } else if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
                    std::fprintf(stderr, "console_runner: Ctrl+C not sent [%lu]\n", GetLastError());
                } else {
                    std::fprintf(stderr, "console_runner: Ctrl+C %zu sent\n", next);
                }
            }
            line.clear();
        }
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: console_runner [--ctrl-c PATTERN | --terminate PATTERN]... -- PROGRAM "
                 "[ARGS ...]\n"
                 "       console_runner --screen -- PROGRAM [ARGS ...]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<Action> actions;
    bool screen = false;
    int i = 1;
    for (; i < argc && std::wstring(argv[i]) != L"--"; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--screen") {
            screen = true;
        } else if ((option == L"--ctrl-c" || option == L"--terminate") && i + 1 < argc) {
            actions.push_back({option == L"--terminate", Utf8(argv[++i])});
        } else {
            return Usage();
        }
    }
    if (i + 1 >= argc || (screen && !actions.empty())) return Usage();
    std::wstring commandLine;
    for (int j = i + 1; j < argc; ++j) {
        if (j > i + 1) commandLine += L' ';
        commandLine += Quoted(argv[j]);
    }

    EnsureConsole();
    SetConsoleCtrlHandler(IgnoreControl, TRUE);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    HANDLE console = INVALID_HANDLE_VALUE;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    if (screen) {
        console =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        startup.hStdOutput = console;
        startup.hStdError = console;
    } else {
        CreatePipe(&readEnd, &writeEnd, &inherit, 0);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = writeEnd;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "console_runner: cannot start %s [%lu]\n", Utf8(commandLine).c_str(),
                     GetLastError());
        return 2;
    }
    if (screen) {
        WaitForSingleObject(process.hProcess, INFINITE);
        PrintScreen(console);
    } else {
        CloseHandle(writeEnd);
        FollowStderr(readEnd, process.hProcess, actions);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD exitCode = 2;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
