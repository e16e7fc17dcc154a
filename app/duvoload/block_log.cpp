#include "app/duvoload/block_log.h"

#include <cstdio>

CBlockLog::~CBlockLog() {
    if (IsOpen()) CloseHandle(m_file);
}

bool CBlockLog::Open(const std::string& path, std::string* error) {
    // FILE_APPEND_DATA alone: every write lands at the end, even with another writer.
    m_file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        char reason[64];
        std::snprintf(reason, sizeof reason, "error %lu", GetLastError());
        *error =
            "option --log \"" + path + "\": cannot open the log for appending (" + reason + ")";
        return false;
    }
    return true;
}

void CBlockLog::Append(const std::string& line) {
    if (!IsOpen()) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FlushFileBuffers(m_file);
}
