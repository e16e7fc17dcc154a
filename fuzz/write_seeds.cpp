// Writes the committed corpus: DownloadImage inputs recorded from the virtual card with a fault
// plan each, and mailbox inputs spelled out by hand. Usage: write_seeds <corpus folder>; it fills
// <folder>/download_image and <folder>/mailbox, and prints each download's result.
//
// Three download inputs of the corpus come from no card configuration and are kept as they are,
// like the inputs the fuzzer found: a card that refuses one chosen host packet and still answers
// it (pending-packet-then-refused-send, refused-send-acknowledged), and a late reply of the
// longest length after the end packet (longest-late-reply).
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "download/sequence.h"
#include "fuzz/download_checker.h"
#include "fuzz/download_input.h"
#include "fuzz/model_card.h"
#include "win32_standin/standin.h"

namespace {

namespace fs = std::filesystem;

using virtualcard::CardConfig;
using virtualcard::FaultPlan;
using virtualcard::FlashFault;
using virtualcard::ReplyFault;

struct DownloadSeed {
    const char* name;
    DownloadInput fields;
    CardConfig card;
};

// The first `attempts` replies to chunk `chunk` are `fault`; the later ones acknowledge it.
void WrongReplies(FaultPlan& plan, ReplyFault fault, uint32_t chunk, uint32_t attempts) {
    plan.ackReply = fault;
    plan.ackFaultChunk = chunk;
    plan.ackFaultAttempts = attempts;
}

void Write(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A card that programs a block in 4 ms: completion at the third status poll.
CardConfig QuickCard() {
    CardConfig config;
    config.programmingTimeMs = 4;
    return config;
}

std::vector<DownloadSeed> DownloadSeeds() {
    std::vector<DownloadSeed> seeds;
    const auto add = [&seeds](const char* name, DWORD length, auto&& tune) {
        DownloadSeed seed{name, {}, QuickCard()};
        seed.fields.length = length;
        seed.fields.seed = static_cast<BYTE>(length);
        tune(seed.fields, seed.card.faults, seed.card);
        seeds.push_back(seed);
    };
    const auto none = [](DownloadInput&, FaultPlan&, CardConfig&) {};
    add("success-300-bytes", 300, none);
    add("success-2048-bytes-block-14", 2048,
        [](DownloadInput& f, FaultPlan&, CardConfig&) { f.block = 14; });
    add("extended-wait-empty-image", 0, [](DownloadInput&, FaultPlan& p, CardConfig& c) {
        c.extendedWait = true;
        p.flash = FlashFault::kAfterPolls;
        p.flashDonePolls = 45;
    });
    add("empty-image-no-wait", 0, none);
    add("open-fails", 10, [](DownloadInput& f, FaultPlan&, CardConfig&) { f.openFails = true; });
    add("card-info-fails-without-code", 10, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        p.failRequestIndex = 0;
        p.failError = 0;
    });
    add("init-fails", 10,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.failRequestIndex = 1; });
    add("no-ready-reply", 10,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.requestReply = ReplyFault::kSilent; });
    add("ready-magic-lower-case", 10, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        std::snprintf(p.readyMagic, sizeof p.readyMagic, "duvordyang");
    });
    add("ready-reply-11-bytes", 10,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.requestReplyLength = 11; });
    add("three-wrong-replies-then-ack", 200, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        WrongReplies(p, ReplyFault::kWrongText, 0, 3);
    });
    add("three-short-replies-then-ack", 200, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        WrongReplies(p, ReplyFault::kShort, 0, 3);
    });
    add("four-wrong-replies", 200, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        WrongReplies(p, ReplyFault::kWrongCode, 0, 4);
    });
    // Replies that differ from the expected text only in its last letter.
    add("ack-last-letter-differs", 200, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        WrongReplies(p, ReplyFault::kLastLetter, 1, 4);
    });
    add("flash-done-last-letter-differs", 100,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.flash = FlashFault::kLastLetter; });
    add("flash-done-with-fail-text", 100,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.flash = FlashFault::kWrongText; });
    add("silent-after-first-chunk", 400,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.silentAfterChunk = 1; });
    add("flash-never-done", 128,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.flash = FlashFault::kNever; });
    add("two-byte-flash-done", 129,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.flash = FlashFault::kTwoBytes; });
    add("late-acks-before-flash-done", 64,
        [](DownloadInput&, FaultPlan& p, CardConfig&) { p.lateAcks = 2; });
    add("card-info-32-bytes", 130, [](DownloadInput& f, FaultPlan& p, CardConfig&) {
        f.infoFilled = 32;
        p.cardInfoBytes = 32;
    });
    add("register-base-wraps", 50,
        [](DownloadInput& f, FaultPlan&, CardConfig&) { f.registerBase = 0xFFFFFFFE; });
    add("block-beyond-four-digits", 20,
        [](DownloadInput& f, FaultPlan&, CardConfig&) { f.block = 0x12345; });
    add("refused-sends-after-pending-packet", 256, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        p.pendingPacketLength = 300;
        p.refuseHostPackets = true;
    });
    // The status read before the first send fails: 0xFF, which announces a packet to drain.
    add("failed-status-read", 100, [](DownloadInput&, FaultPlan& p, CardConfig&) {
        p.failRequestIndex = 2;
        p.failError = 0;
    });
    return seeds;
}

// Mailbox inputs: the register base, then per call its kind (0 receive, 1 receive and drop,
// 2 send with two length bytes) and the answers to its requests.
std::vector<std::pair<const char*, std::vector<uint8_t>>> MailboxSeeds() {
    const std::vector<uint8_t> base = {0xC0, 0x02, 0x00, 0x00};
    std::vector<std::pair<const char*, std::vector<uint8_t>>> seeds;
    const auto add = [&](const char* name, std::vector<uint8_t> calls) {
        std::vector<uint8_t> input = base;
        input.insert(input.end(), calls.begin(), calls.end());
        seeds.emplace_back(name, input);
    };
    add("receive-three-bytes", {0, 0x00, 0x00, 0x80, 3, 0, 0xF2, 0x00, 0x52});
    add("receive-nothing", {0});
    add("receive-at-last-poll", [] {
        std::vector<uint8_t> calls = {0};
        calls.insert(calls.end(), 39, 0x00);
        calls.insert(calls.end(), {0x80, 1, 0, 0x77});
        return calls;
    }());
    add("receive-256-bytes", [] {
        std::vector<uint8_t> calls = {0, 0x80, 0x00, 0x01};
        for (int i = 0; i < 256; ++i) calls.push_back(static_cast<uint8_t>(i == 0xE5 ? 1 : i));
        return calls;
    }());
    add("receive-longest", {0, 0x80, 0xFF, 0xFF, 0x11, 0x22});
    add("drop-packet", {1, 0x80, 0x05, 0x00, 1, 2, 3, 4, 5, 0, 0x80, 0, 0});
    add("receive-failing-reads", {0, kEscape, 0, kEscape, 1, 0x00, 0x00});
    add("send-accepted", {2, 10, 0, 0x00, 0x00, 0x40});
    add("send-refused", {2, 12, 0, 0x00, 0x00, 0x00, 0x00});
    add("send-after-pending-packet", {2, 0x2C, 0x01, 0x80, 0x80, 2, 0, 9, 9, 0x00, 0x40});
    add("send-empty", {2, 0, 0, 0x00, 0x00, 0x40, 0, 0, 0, 0, 0x80, 0, 0});
    add("send-failing-status", {2, 136, 0, kEscape, 2, kEscape, 3, 0, 0});
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_seeds <corpus folder>\n");
        return 2;
    }
    const fs::path downloads = fs::path(argv[1]) / "download_image";
    const fs::path mailbox = fs::path(argv[1]) / "mailbox";
    fs::create_directories(downloads);
    fs::create_directories(mailbox);

    for (const DownloadSeed& seed : DownloadSeeds()) {
        const std::vector<BYTE> image = MakeImage(seed.fields.length, seed.fields.seed);
        win32_standin::Reset();
        ModelCard card(seed.card);
        DownloadChecker checker(image.data(), seed.fields.length, seed.fields.block);
        HostileDevice device(card, checker);
        device.SetCardInfo(seed.fields.infoFilled, seed.fields.registerBase);
        if (!seed.fields.openFails) {
            win32_standin::RegisterDevice(HostileDevice::kPath, &device);
        }
        std::atomic<LONG> percent{0};
        const DWORD result =
            DownloadImage(nullptr, image.data(), seed.fields.length, seed.fields.block, &percent);
        win32_standin::UnregisterDevice(HostileDevice::kPath);

        std::vector<uint8_t> input;
        WriteDownloadInput(seed.fields, input);
        input.insert(input.end(), card.recorded.begin(),
                     card.recorded.begin() + static_cast<std::ptrdiff_t>(card.meaningfulSize));
        Write(downloads / seed.name, input);
        std::printf("%-36s %08X %6zu bytes, %llu requests\n", seed.name,
                    static_cast<unsigned>(result), input.size(),
                    static_cast<unsigned long long>(device.Requests()));
    }
    for (const auto& [name, input] : MailboxSeeds()) {
        Write(mailbox / name, input);
    }
    return 0;
}
