#include "app/duvoload/console/control_event.h"

#include <gtest/gtest.h>

namespace {

// Ctrl+C counts up (stop, then abandon); a console that closes, a logoff or a shutdown abandons
// the block at once, as the system ends the process soon after.
TEST(InterruptionsAfter, StopsOnceAbandonsTwiceAndAtOnceWhenTheConsoleGoes) {
    const struct {
        DWORD type;
        LONG before;
        LONG after;
    } cases[] = {
        {CTRL_C_EVENT, 0, 1},        {CTRL_C_EVENT, 1, 2},
        {CTRL_BREAK_EVENT, 0, 1},    {CTRL_CLOSE_EVENT, 0, 2},
        {CTRL_CLOSE_EVENT, 1, 2},    {CTRL_LOGOFF_EVENT, 0, 2},
        {CTRL_SHUTDOWN_EVENT, 0, 2}, {3, 0, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InterruptionsAfter(c.type, c.before), c.after) << c.type << " after " << c.before;
    }
}

}  // namespace
