// The --log file: opened for appending before the card is touched, one line written and flushed
// to the disk at a time.
#pragma once

#include <windows.h>

#include <string>

class CBlockLog {
  public:
    CBlockLog() = default;
    ~CBlockLog();
    CBlockLog(const CBlockLog&) = delete;
    CBlockLog& operator=(const CBlockLog&) = delete;

    // Opens (or creates) `path` for appending; false with the reason in `error`.
    bool Open(const std::string& path, std::string* error);
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    // Appends `line` and a CRLF, then flushes it to the disk.
    void Append(const std::string& line);

  private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
};
