// The station's loop against the virtual card in socket 3, cards inserted and taken out on a
// schedule counted in the loop's pauses: each card written once, in order, however long it stays.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "app/duvoload/station/station_exit_code.h"
#include "download/sequence.h"
#include "virtualcard/native_host.h"
#include "win32_standin/standin.h"

namespace {

constexpr const char* kSocket3 = "\\\\.\\duvo3";
constexpr DWORD kUnit = 3;

// Whole chunks: the card fills a last partial chunk with zeros.
struct PlannedImage {
    DWORD block;
    std::vector<BYTE> bytes;
};

std::vector<BYTE> Pattern(std::size_t length, BYTE seed) {
    std::vector<BYTE> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<BYTE>(seed + i * 7);
    return bytes;
}

// A card made, then kept out of the socket until the schedule inserts it.
std::unique_ptr<virtualcard::NativeHost> OutOfSocketCard(bool faulty) {
    virtualcard::CardConfig config;
    if (faulty) config.faults.silentAfterChunk = 1;  // the second chunk is never acknowledged
    auto card = std::make_unique<virtualcard::NativeHost>(config, kSocket3);
    win32_standin::UnregisterDevice(kSocket3);
    return card;
}

TEST(StationOnTheCard, EachInsertedCardWrittenOnceUntilStopped) {
    const std::vector<PlannedImage> plan = {{2, Pattern(256, 1)}, {5, Pattern(1024, 9)}};
    std::vector<std::unique_ptr<virtualcard::NativeHost>> cards;
    cards.push_back(OutOfSocketCard(false));
    cards.push_back(OutOfSocketCard(true));
    cards.push_back(OutOfSocketCard(false));
    // At pause N: insert card i (>= 0) or take the card out (-1). The first stays in for 20
    // pauses, ten seconds.
    const struct {
        unsigned pause;
        int card;
    } schedule[] = {{2, 0}, {22, -1}, {24, 1}, {27, -1}, {28, 2}, {30, -1}};
    constexpr unsigned kStopAtPause = 33;
    unsigned pauses = 0;
    std::vector<unsigned> cardNumbers;

    StationSteps steps;
    steps.trySocket = [] { return TryCard(kUnit); };
    steps.writeCard = [&](unsigned card) {
        cardNumbers.push_back(card);
        for (const PlannedImage& image : plan) {
            std::atomic<LONG> percent{0};
            if (RunDownload(kUnit, image.bytes.data(), static_cast<DWORD>(image.bytes.size()),
                            image.block, &percent, DownloadEvents{})
                    .kind != ResultKind::Written) {
                return CardEnd::Failed;
            }
        }
        return CardEnd::Written;
    };
    steps.pause = [&] {
        Sleep(500);
        ++pauses;
        for (const auto& event : schedule) {
            if (event.pause != pauses) continue;
            if (event.card < 0) {
                win32_standin::UnregisterDevice(kSocket3);
            } else {
                win32_standin::RegisterDevice(kSocket3, cards[event.card].get());
            }
        }
    };
    // A loop that wrote a card twice stops at its fourth card rather than running on.
    steps.stopRequested = [&] { return pauses >= kStopAtPause || cardNumbers.size() > 3; };
    steps.show = [](const StationState&) {};

    const StationTotals totals = RunStationSocket(0, steps);

    EXPECT_EQ(cardNumbers, (std::vector<unsigned>{1, 2, 3}));
    EXPECT_EQ(totals.written, 2u);
    EXPECT_EQ(totals.failed, 1u);
    EXPECT_EQ(StationExitCode(totals), 1);
    for (int good : {0, 2}) {
        EXPECT_EQ(cards[good]->counters().blocksProgrammed, plan.size()) << "card " << good;
        for (const PlannedImage& image : plan) {
            const auto block = cards[good]->Block(image.block);
            EXPECT_EQ(std::vector<BYTE>(block.begin(), block.end()), image.bytes)
                << "card " << good << " block " << image.block;
        }
    }
    // The faulty card failed its first block: its second was not attempted.
    EXPECT_EQ(cards[1]->counters().blocksProgrammed, 0u);
    EXPECT_EQ(cards[1]->BlockLength(5), 0u);
}

}  // namespace
