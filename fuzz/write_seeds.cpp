// Writes the committed corpus: DownloadImage inputs recorded from scripted cards, and mailbox
// inputs spelled out by hand. Usage: write_seeds <corpus folder>; it fills
// <folder>/download_image and <folder>/mailbox, and prints each download's result.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "download/sequence.h"
#include "fuzz/download_checker.h"
#include "fuzz/download_input.h"
#include "fuzz/honest_card.h"
#include "win32_standin/standin.h"

namespace {

namespace fs = std::filesystem;

struct DownloadSeed {
    const char* name;
    DownloadInput fields;
    CardScript script;
};

Bytes Text(const char* text) {
    return Bytes(text, text + std::char_traits<char>::length(text));
}

Bytes Packet(BYTE code, const char* text) {
    Bytes packet = {code, 0x00};
    const Bytes body = Text(text);
    packet.insert(packet.end(), body.begin(), body.end());
    return packet;
}

void Write(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<DownloadSeed> DownloadSeeds() {
    const Bytes nack = Packet(0xF2, "RxNG");
    const Bytes ack = Packet(0xF2, "RxOK");
    std::vector<DownloadSeed> seeds;
    const auto add = [&seeds](const char* name, DWORD length, auto&& tune) {
        DownloadSeed seed{name, {}, {}};
        seed.fields.length = length;
        seed.fields.seed = static_cast<BYTE>(length);
        tune(seed.fields, seed.script);
        seeds.push_back(seed);
    };
    const auto none = [](DownloadInput&, CardScript&) {};
    add("success-300-bytes", 300, none);
    add("success-2048-bytes-block-14", 2048, [](DownloadInput& f, CardScript&) { f.block = 14; });
    add("extended-wait-empty-image", 0, [](DownloadInput&, CardScript& s) {
        s.readyReply = Packet(0xFE, "DUVORDYORN");
        s.flashDonePolls = 45;
    });
    add("empty-image-no-wait", 0, none);
    add("open-fails", 10, [](DownloadInput& f, CardScript&) { f.openFails = true; });
    add("card-info-fails-without-code", 10, [](DownloadInput&, CardScript& s) {
        s.failRequest = 0;
        s.failError = 0;
    });
    add("init-fails", 10, [](DownloadInput&, CardScript& s) { s.failRequest = 1; });
    add("no-ready-reply", 10, [](DownloadInput&, CardScript& s) { s.readySilent = true; });
    add("ready-magic-lower-case", 10,
        [](DownloadInput&, CardScript& s) { s.readyReply = Packet(0xFE, "duvordyang"); });
    add("ready-reply-11-bytes", 10,
        [](DownloadInput&, CardScript& s) { s.readyReply = Packet(0xFE, "DUVORDYAN"); });
    add("three-wrong-replies-then-ack", 200, [&](DownloadInput&, CardScript& s) {
        s.dataReplies = {{0, nack}, {1, {0xF2, 0x00}}, {2, {}}};
    });
    add("four-wrong-replies", 200, [&](DownloadInput&, CardScript& s) {
        s.dataReplies = {{0, nack}, {1, nack}, {2, Packet(0xF7, "RxOK")}, {3, nack}};
    });
    // Replies that differ from the expected text only in its last letter.
    add("ack-last-letter-differs", 200, [&](DownloadInput&, CardScript& s) {
        const Bytes almost = Packet(0xF2, "RxO?");
        s.dataReplies = {{0, ack}, {1, almost}, {2, almost}, {3, almost}, {4, almost}};
    });
    add("flash-done-last-letter-differs", 100,
        [](DownloadInput&, CardScript& s) { s.flashDone = Packet(0xF7, "DON?"); });
    add("silent-after-first-chunk", 400,
        [](DownloadInput&, CardScript& s) { s.silentFromDataPacket = 1; });
    add("flash-never-done", 128, [](DownloadInput&, CardScript& s) { s.flashNeverDone = true; });
    add("two-byte-flash-done", 129, [](DownloadInput&, CardScript& s) {
        s.flashDone = {0xF7, 0x00};
    });
    add("late-acks-before-flash-done", 64, [&](DownloadInput&, CardScript& s) {
        s.lateReplies = {ack, ack, {}};
    });
    add("card-info-32-bytes", 130, [](DownloadInput& f, CardScript&) { f.infoFilled = 32; });
    add("register-base-wraps", 50,
        [](DownloadInput& f, CardScript&) { f.registerBase = 0xFFFFFFFE; });
    add("block-beyond-four-digits", 20, [](DownloadInput& f, CardScript&) { f.block = 0x12345; });
    add("pending-packet-then-refused-send", 256, [&](DownloadInput&, CardScript& s) {
        s.pendingAtStart = Bytes(300, 0xF2);
        s.hasPendingAtStart = true;
        s.refusedSends = {1};
        s.replyToRefused = nack;
    });
    add("refused-send-acknowledged", 256, [&](DownloadInput&, CardScript& s) {
        s.refusedSends = {2};
        s.replyToRefused = ack;
    });
    add("longest-late-reply", 100, [&](DownloadInput&, CardScript& s) {
        Bytes longAck = ack;
        longAck.resize(65535, 0x00);  // zeros: the quiet card's answers, so the seed stays short
        s.lateReplies = {longAck};
        s.flashNeverDone = true;
    });
    add("failed-status-read", 100, [](DownloadInput&, CardScript& s) {
        s.failRequest = 20;
        s.failError = 0;
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
        HonestCard card(seed.script);
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
