// One line of the --log file as it goes to the disk: its text and a CR LF, the line end of a
// Windows text file, in one write.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

enum class LogLineWrite { Kept, Failed, Short };

// Writes the bytes it is given and reports how many it took; false when the write failed.
using LogBytesWriter = std::function<bool(const std::string& bytes, std::size_t* taken)>;

// Writes `line` and a CR LF through `write` in one call. A write that succeeds but takes only
// part of the line is Short: half a line in the log is no record of the block.
LogLineWrite WriteLogLine(const std::string& line, const LogBytesWriter& write);
