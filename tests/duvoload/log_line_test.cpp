#include "app/duvoload/record/log_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A log line goes out whole, with its CR LF, in one write; a write that takes part of it, or
// fails, is not a kept line.
TEST(WriteLogLine, KeepsTheLineOnlyWhenTheWholeLineIsTaken) {
    const std::string line = "2026-12-08T12:00:00+00:00\t0\t3\tC:\\a.bin";
    const std::string bytes = line + "\r\n";
    const struct {
        bool succeeds;
        std::size_t taken;
        LogLineWrite result;
    } cases[] = {
        {true, bytes.size(), LogLineWrite::Kept},
        {true, bytes.size() - 1, LogLineWrite::Short},
        {true, 0, LogLineWrite::Short},
        {false, 0, LogLineWrite::Failed},
    };
    for (const auto& c : cases) {
        std::vector<std::string> writes;
        EXPECT_EQ(WriteLogLine(line,
                               [&](const std::string& given, std::size_t* taken) {
                                   writes.push_back(given);
                                   *taken = c.taken;
                                   return c.succeeds;
                               }),
                  c.result)
            << c.taken;
        EXPECT_EQ(writes, std::vector<std::string>{bytes});
    }
}

}  // namespace
