#include "app/duvoload/record/block_log.h"

#include "app/duvoload/console/system_message.h"
#include "app/duvoload/console/unicode_text.h"
#include "app/duvoload/record/log_line.h"

CBlockLog::~CBlockLog() {
    if (IsOpen()) CloseHandle(m_file);
}

bool CBlockLog::Open(const std::string& path, std::string* error) {
    // FILE_APPEND_DATA alone: every write lands at the end, even with another writer.
    m_file = CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        *error = "option --log \"" + path +
                 "\": cannot open the log for appending: " + SystemMessage(GetLastError());
        return false;
    }
    m_path = path;
    return true;
}

bool CBlockLog::Append(const std::string& line) {
    if (!IsOpen()) return true;
    if (m_failed) return false;
    const LogLineWrite written =
        WriteLogLine(line, [this](const std::string& bytes, std::size_t* taken) {
            DWORD done = 0;
            const BOOL ok =
                WriteFile(m_file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
            *taken = done;
            return ok != FALSE;
        });
    if (written == LogLineWrite::Failed) {
        return Fail("cannot write the log");
    }
    if (written == LogLineWrite::Short) {
        SetLastError(ERROR_HANDLE_DISK_FULL);
        return Fail("the log took only part of a line");
    }
    if (!FlushFileBuffers(m_file)) {
        return Fail("cannot flush the log to the disk");
    }
    return true;
}

bool CBlockLog::Fail(const char* what) {
    const std::string reason = SystemMessage(GetLastError());
    m_failure = EscapeControls("duvoload: log \"" + m_path + "\": " + what + ": " + reason);
    m_failed = true;
    return false;
}
