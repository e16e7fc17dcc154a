#include "app/duvoload/record/log_line.h"

LogLineWrite WriteLogLine(const std::string& line, const LogBytesWriter& write) {
    const std::string bytes = line + "\r\n";
    std::size_t taken = 0;
    if (!write(bytes, &taken)) return LogLineWrite::Failed;
    return taken == bytes.size() ? LogLineWrite::Kept : LogLineWrite::Short;
}
