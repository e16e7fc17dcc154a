// Runs a console program in this console and presses Ctrl+C for it: once for each pattern, when
// a line of the program's stderr contains that pattern (in order). The program's stderr is
// copied to this one's; its exit code becomes this one's.
//
//   ctrl_c_runner PATTERN [PATTERN ...] -- PROGRAM [ARGS ...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

BOOL WINAPI IgnoreControl(DWORD) {
    return TRUE;
}

std::string Quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A console shared with the program, which GenerateConsoleCtrlEvent needs: the one inherited,
// or a new one (Wine gives a program started from a pipe none), with this program's standard
// handles put back as they were given.
void EnsureConsole() {
    const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> patterns;
    int i = 1;
    for (; i < argc && std::string(argv[i]) != "--"; ++i) patterns.push_back(argv[i]);
    if (i + 1 >= argc) {
        std::fprintf(stderr, "usage: ctrl_c_runner PATTERN [PATTERN ...] -- PROGRAM [ARGS ...]\n");
        return 2;
    }
    std::string commandLine;
    for (int j = i + 1; j < argc; ++j) {
        if (j > i + 1) commandLine += ' ';
        commandLine += Quoted(argv[j]);
    }

    EnsureConsole();
    SetConsoleCtrlHandler(IgnoreControl, TRUE);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "ctrl_c_runner: cannot start %s [%lu]\n", commandLine.c_str(),
                     GetLastError());
        return 2;
    }
    CloseHandle(writeEnd);

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
            if (next < patterns.size() && line.find(patterns[next]) != std::string::npos) {
                ++next;
                if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
                    std::fprintf(stderr, "ctrl_c_runner: Ctrl+C not sent [%lu]\n", GetLastError());
                } else {
                    std::fprintf(stderr, "ctrl_c_runner: Ctrl+C %zu sent\n", next);
                }
            }
            line.clear();
        }
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 2;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
