// The --log file: opened for appending before the card is touched, one line written and flushed
// to the disk at a time, every write checked. The first line that cannot be kept leaves one report,
// with the system's reason, for the caller to show; the log then takes no further line.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

class CBlockLog {
  public:
    CBlockLog() = default;
    ~CBlockLog();
    CBlockLog(const CBlockLog&) = delete;
    CBlockLog& operator=(const CBlockLog&) = delete;

    // Opens (or creates) `path` (UTF-8) for appending; false with the reason in `error`.
    bool Open(const std::string& path, std::string* error);
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    // Appends `line` and a CRLF and flushes it to the disk. True when there is no log, or the
    // whole line reached the disk.
    bool Append(const std::string& line);
    // The report of the first line that could not be kept, once: empty before and after.
    std::string TakeFailure() { return std::exchange(m_failure, std::string()); }

  private:
    bool Fail(const char* what);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::string m_path;
    bool m_failed = false;
    std::string m_failure;
};
