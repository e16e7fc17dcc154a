#include "app/duvoload/station/station_exit_code.h"
#include "app/duvoload/station/station_loop.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A socket that answers its tries from a script, one letter a try: E empty, U in use, S silent,
// A a card answers. Once the script is used up a stop is requested. Cards end as `ends` says:
// W written, F failed, I interrupted, R not on record. The trace has one letter per event: w
// waiting, u in use, the card's number when its write starts, then its end in capitals.
struct ScriptedStation {
    std::string tries;
    std::string ends;
    std::size_t tried = 0;
    std::string trace;
    unsigned writes = 0;

    StationSteps Steps() {
        StationSteps steps;
        steps.trySocket = [this] {
            switch (tries.at(tried++)) {
                case 'E':
                    return CardPresence::Empty;
                case 'U':
                    return CardPresence::InUse;
                case 'S':
                    return CardPresence::Silent;
                default:
                    return CardPresence::Answered;
            }
        };
        steps.writeCard = [this](unsigned card) {
            EXPECT_EQ(card, writes + 1);
            switch (ends.at(writes++)) {
                case 'F':
                    return CardEnd::Failed;
                case 'I':
                    return CardEnd::Interrupted;
                case 'R':
                    return CardEnd::RecordLost;
                default:
                    return CardEnd::Written;
            }
        };
        steps.pause = [] {};
        steps.stopRequested = [this] { return tried >= tries.size(); };
        steps.show = [this](const StationState& state) {
            switch (state.phase) {
                case StationPhase::Waiting:
                    trace += 'w';
                    break;
                case StationPhase::InUse:
                    trace += 'u';
                    break;
                case StationPhase::Writing:
                    trace += std::to_string(state.card);
                    break;
                case StationPhase::Remove:
                    trace += "WFIR"[static_cast<int>(state.end)];
                    break;
            }
        };
        return steps;
    }
};

TEST(StationLoop, EachCardOnceInOrderUntilStoppedOrCounted) {
    const struct {
        const char* story;
        const char* tries;
        const char* ends;
        unsigned limit;
        const char* trace;
        unsigned written, failed;
        int exitCode;
    } cases[] = {
        {"stopped while waiting", "EEE", "", 0, "w", 0, 0, 0},
        {"a card left in is written once", "EAAAAAEEA", "WW", 0, "w1Ww2W", 2, 0, 0},
        {"a failed card, then a good one", "AAEAE", "FW", 0, "w1Fw2Ww", 1, 1, 1},
        {"a card that does not answer yet", "SSAE", "W", 0, "w1Ww", 1, 0, 0},
        {"in use is said once, then waiting again", "UUUEAE", "W", 0, "wuw1Ww", 1, 0, 0},
        {"in use while the card is taken out", "AUUSEE", "W", 0, "w1Ww", 1, 0, 0},
        {"--cards 2 ends after the second", "AEAAAAA", "WF", 2, "w1Ww2F", 1, 1, 1},
        {"a stop during a write", "AAAA", "I", 0, "w1I", 0, 1, 130},
        {"a lost record stops at once", "AEAE", "RW", 0, "w1R", 0, 1, 4},
        {"a stop while a card is to be taken out", "AA", "W", 0, "w1W", 1, 0, 0},
    };
    for (const auto& c : cases) {
        ScriptedStation station;
        station.tries = c.tries;
        station.ends = c.ends;
        const StationTotals totals = RunStationSocket(c.limit, station.Steps());
        EXPECT_EQ(station.trace, c.trace) << c.story;
        EXPECT_EQ(totals.written, c.written) << c.story;
        EXPECT_EQ(totals.failed, c.failed) << c.story;
        EXPECT_EQ(StationExitCode(totals), c.exitCode) << c.story;
    }
}

// Several sockets: the worst of their ends wins, whichever socket had it.
TEST(StationLoop, TheSocketsWorstEndIsTheStationsExitCode) {
    const struct {
        std::vector<int> sockets;
        int exitCode;
    } cases[] = {
        {{0, 0}, 0},    {{0, 1}, 1}, {{1, 130}, 130},       {{130, 0}, 130}, {{4, 130}, 4},
        {{1, 4, 0}, 4}, {{0, 2}, 1}, {{-1073741819, 0}, 1},  // an access violation
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CombinedStationExitCode(c.sockets), c.exitCode)
            << ::testing::PrintToString(c.sockets);
    }
}

}  // namespace
