// The download core as a program without a window uses it: any socket, events instead of a
// message box and WM_APP, abandoning on request, and the probe.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "download/packets.h"
#include "download/sequence.h"
#include "virtualcard/native_host.h"
#include "win32_standin/standin.h"

namespace {

using virtualcard::FlashFault;
using virtualcard::ReplyFault;

constexpr const char* kSocket3 = "\\\\.\\duvo3";

// Everything the core told its caller, in order, with the open handles at each failure.
struct Recorder {
    struct Event {
        char kind;  // 'S' sending, 'P' programming, 'H' hand-over, 'F' failure
        LONG percent;
        DWORD bytes;
    };
    std::vector<Event> events;
    std::string failureText;
    DWORD failureResult = 0;
    ResultKind failureKind = ResultKind::Written;
    std::size_t openAtFailure = 0;
    int abandonAfterAsks = -1;  // -1 never
    int asks = 0;

    DownloadEvents Events() {
        DownloadEvents e;
        e.context = this;
        e.progress = [](void* c, const DownloadProgress& p) {
            static_cast<Recorder*>(c)->events.push_back(
                {p.phase == DownloadPhase::Sending ? 'S' : 'P', p.percent, p.bytes});
        };
        e.handOver = [](void* c) { static_cast<Recorder*>(c)->events.push_back({'H', 0, 0}); };
        e.failed = [](void* c, const DownloadResult& result) {
            auto* r = static_cast<Recorder*>(c);
            r->events.push_back({'F', 0, 0});
            r->failureText = result.message;
            r->failureResult = result.code;
            r->failureKind = result.kind;
            r->openAtFailure = win32_standin::OpenHandleCount();
        };
        e.abandon = [](void* c) {
            auto* r = static_cast<Recorder*>(c);
            return r->abandonAfterAsks >= 0 && r->asks++ >= r->abandonAfterAsks;
        };
        return e;
    }
    std::string Kinds() const {
        std::string kinds;
        for (const Event& e : events) {
            kinds += e.kind;
        }
        return kinds;
    }
};

class RunDownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win32_standin::Reset();
        g_extendedFlashWait = 0;
        config.programmingTimeMs = 0;
    }

    DownloadResult Run(DWORD unit, std::size_t length, DWORD block) {
        image.assign(length, 0);
        for (std::size_t i = 0; i < length; ++i) {
            image[i] = static_cast<BYTE>(i * 7 + 3);
        }
        return RunDownload(unit, image.data(), static_cast<DWORD>(length), block, &percent,
                           recorder.Events());
    }

    // The device of `path` was opened once and closed once, and no window was involved.
    static void ExpectOneOpenAndClose(const char* path) {
        const auto opens = win32_standin::CreateFileCalls();
        ASSERT_EQ(1u, opens.size());
        EXPECT_STREQ(path, opens[0].path);
        EXPECT_EQ(1u, win32_standin::CloseCount(opens[0].result));
        EXPECT_EQ(0u, win32_standin::OpenHandleCount());
        EXPECT_TRUE(win32_standin::MessageBoxes().empty());
        EXPECT_EQ(0u, win32_standin::TotalPostedMessages());
    }

    virtualcard::CardConfig config;
    std::vector<BYTE> image;
    std::atomic<LONG> percent{-7};
    Recorder recorder;
};

TEST_F(RunDownloadTest, ASocketsCardIsWrittenAndTheEventsFollowBothPhases) {
    virtualcard::NativeHost card(config, kSocket3);
    EXPECT_EQ(ResultKind::Written, Run(3, 300, 9).kind);
    ExpectOneOpenAndClose(kSocket3);
    ASSERT_EQ(384u, card.BlockLength(9));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), card.Block(9).begin()));

    // Sending: the start, then one event per acknowledged chunk with the bytes acknowledged so
    // far; the hand-over after the percent is back at 0; programming ends at 100.
    const auto& e = recorder.events;
    ASSERT_GE(e.size(), 7u);
    EXPECT_EQ("SSSSPH", recorder.Kinds().substr(0, 6));
    const std::vector<std::pair<LONG, DWORD>> sending = {{0, 0}, {0, 128}, {42, 256}, {85, 300}};
    for (std::size_t i = 0; i < sending.size(); ++i) {
        EXPECT_EQ(sending[i].first, e[i].percent) << i;
        EXPECT_EQ(sending[i].second, e[i].bytes) << i;
    }
    EXPECT_EQ(0, e[4].percent);
    EXPECT_EQ('P', e.back().kind);
    EXPECT_EQ(100, e.back().percent);
    EXPECT_EQ(300u, e.back().bytes);
    EXPECT_EQ(100, percent.load());
}

TEST_F(RunDownloadTest, FailuresNameTheSocketAndAreReportedOnceWithTheDeviceOpen) {
    struct Case {
        const char* name;
        void (*apply)(virtualcard::FaultPlan&);
        const char* text;
        DWORD result;
        ResultKind kind;
    };
    constexpr ResultKind kSystem = ResultKind::SystemError;
    const Case cases[] = {
        {"information", [](auto& f) { f.failRequestIndex = 0, f.failError = 21; },
         "Duvo3 failed [00000015]\n", 21, kSystem},
        {"initialisation", [](auto& f) { f.failRequestIndex = 1, f.failError = 1117; },
         "Duvo3 failed to intialize [0000045D]\n", 1117, kSystem},
        // A driver's ERROR_BUSY and ERROR_CANCELLED are the driver's failures, whatever else
        // those numbers stand for.
        {"information busy", [](auto& f) { f.failRequestIndex = 0, f.failError = 170; },
         "Duvo3 failed [000000AA]\n", 170, kSystem},
        {"initialisation cancelled", [](auto& f) { f.failRequestIndex = 1, f.failError = 1223; },
         "Duvo3 failed to intialize [000004C7]\n", 1223, kSystem},
        {"no ready reply", [](auto& f) { f.requestReply = ReplyFault::kSilent; },
         "Duvo3 not respond [05419368]\n", ERR_NO_READY_REPLY, ResultKind::CardFailed},
        {"flash never done", [](auto& f) { f.flash = FlashFault::kNever; },
         "Duvo3 not respond [87025353]\n", ERR_TRANSFER_FAILED, ResultKind::CardFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win32_standin::Reset();
        recorder = {};
        virtualcard::CardConfig faulty = config;
        c.apply(faulty.faults);
        virtualcard::NativeHost card(faulty, kSocket3);
        const DownloadResult result = Run(3, 200, 4);
        EXPECT_EQ(c.result, result.code);
        EXPECT_EQ(c.kind, result.kind);
        EXPECT_EQ(c.text, std::string(result.message));
        EXPECT_EQ(c.text, recorder.failureText);
        EXPECT_EQ(c.result, recorder.failureResult);
        EXPECT_EQ(c.kind, recorder.failureKind);
        EXPECT_EQ(1u, recorder.openAtFailure);
        const std::string kinds = recorder.Kinds();
        EXPECT_EQ(kinds.size() - 1, kinds.find('F'));
        ExpectOneOpenAndClose(kSocket3);
        EXPECT_EQ(0u, card.BlockLength(4));
    }

    // No card in the socket at all: the open fails, and there is nothing to close.
    win32_standin::Reset();
    recorder = {};
    const DownloadResult noCard = Run(5, 10, 2);
    EXPECT_EQ(ERR_OPEN_FAILED, noCard.code);
    EXPECT_EQ(ResultKind::NoDevice, noCard.kind);
    EXPECT_EQ("Duvo5 open failed [00000002]\n", recorder.failureText);
    EXPECT_STREQ("\\\\.\\duvo5", win32_standin::CreateFileCalls()[0].path);
    EXPECT_TRUE(win32_standin::CloseHandleCalls().empty());
}

TEST_F(RunDownloadTest, AnAbandonedDownloadStopsWhereItIsAndIsNeverTakenForWritten) {
    // Asked before every chunk and every poll of the flash wait: abandoning at the third chunk
    // sends two chunks and no end packet; abandoning during the flash wait comes after the
    // hand-over, with the card still programming.
    struct Case {
        const char* name;
        int asksBeforeAbandon;
        FlashFault flash;
        const char* kinds;
    };
    const Case cases[] = {
        {"before the first chunk", 0, FlashFault::kNone, "SF"},
        {"at the third chunk", 2, FlashFault::kNone, "SSSF"},
        {"while the flash is programmed", 4, FlashFault::kNever, "SSSSPHPF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win32_standin::Reset();
        recorder = {};
        recorder.abandonAfterAsks = c.asksBeforeAbandon;
        virtualcard::CardConfig cfg = config;
        cfg.faults.flash = c.flash;
        virtualcard::NativeHost card(cfg, kSocket3, 1u << 16);
        const DownloadResult result = Run(3, 300, 6);
        EXPECT_EQ(ERR_DOWNLOAD_CANCELLED, result.code);
        EXPECT_EQ(ResultKind::Abandoned, result.kind);
        EXPECT_EQ("Duvo3 download cancelled [000004C7]\n", recorder.failureText);
        EXPECT_EQ(c.kinds, recorder.Kinds());
        ExpectOneOpenAndClose(kSocket3);
        EXPECT_EQ(0u, card.BlockLength(6));
    }
}

TEST_F(RunDownloadTest, TheProbeReadsTheBaseAndWritesNothing) {
    config.registerBase = 0x1234;
    virtualcard::NativeHost card(config, kSocket3);
    DWORD base = 0;
    EXPECT_EQ(ResultKind::Written, ProbeCard(3, &base, recorder.Events()).kind);
    EXPECT_EQ(0x1234u, base);
    ExpectOneOpenAndClose(kSocket3);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(0u, card.counters().registerReads + card.counters().registerWrites);

    win32_standin::Reset();
    base = 77;
    EXPECT_EQ(ResultKind::NoDevice, ProbeCard(4, &base, recorder.Events()).kind);
    EXPECT_EQ("Duvo4 open failed [00000002]\n", recorder.failureText);
    EXPECT_EQ(77u, base);
}

}  // namespace
