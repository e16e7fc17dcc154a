// DownloadImage end to end against a hostile driver: the input decides the opening of the
// device, the block, the image, the card information and every driver request's outcome.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "download/sequence.h"
#include "fuzz/check.h"
#include "fuzz/download_checker.h"
#include "fuzz/download_input.h"
#include "fuzz/hostile_device.h"
#include "win32_standin/standin.h"

namespace {

const HWND kOwner = reinterpret_cast<HWND>(0x4D2);

void CheckMessageBoxes(DWORD result, bool opened) {
    const auto boxes = win32_standin::MessageBoxes();
    if (result == 0) {
        FUZZ_CHECK(boxes.empty(), "message box on success");
        return;
    }
    FUZZ_CHECK(boxes.size() == 1, "not exactly one message box on failure");
    FUZZ_CHECK(boxes[0].owner == kOwner && std::strcmp(boxes[0].caption, "Update") == 0 &&
                   boxes[0].style == (MB_ICONERROR | MB_OK),
               "message box owner, caption or style");
    FUZZ_CHECK(boxes[0].openHandles == (opened ? 1u : 0u),
               "message box not shown while the device was open");
}

void CheckDeviceClosed(bool opened) {
    const auto opens = win32_standin::CreateFileCalls();
    FUZZ_CHECK(opens.size() == 1, "not exactly one open");
    const auto closes = win32_standin::CloseHandleCalls();
    if (!opened) {
        FUZZ_CHECK(closes.empty(), "close without an open device");
        return;
    }
    FUZZ_CHECK(closes.size() == 1 && closes[0].handle == opens[0].result,
               "device not closed exactly once");
    FUZZ_CHECK(win32_standin::OpenHandleCount() == 0, "device left open");
}

void CheckResult(DWORD result, const DownloadChecker& card, bool opened) {
    using Outcome = DownloadChecker::Outcome;
    if (!opened) {
        FUZZ_CHECK(result == ERR_OPEN_FAILED, "result of a failed open");
        return;
    }
    FUZZ_CHECK(card.Ended(), "the download stopped before the card's answers ended it");
    switch (card.Result()) {
        case Outcome::kNoCardInfo:
        case Outcome::kNoInit:
            FUZZ_CHECK(result != 0, "a failed driver request reported as success");
            break;
        case Outcome::kNoReadyReply:
            FUZZ_CHECK(result == ERR_NO_READY_REPLY, "result without a ready reply");
            break;
        case Outcome::kNoFlashDone:
            FUZZ_CHECK(result == ERR_TRANSFER_FAILED, "result without flash done");
            break;
        case Outcome::kFlashDone:
            FUZZ_CHECK(result == 0, "flash done seen but no success");
            break;
    }
    if (result == 0) {
        FUZZ_CHECK(card.AllChunksAcknowledged() && card.FlashDoneSeen(),
                   "success without every chunk acknowledged and flash done");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    AnswerStream input(data, size);
    const DownloadInput fields = ReadDownloadInput(input);
    const std::vector<BYTE> image = MakeImage(fields.length, fields.seed);

    win32_standin::Reset();
    StreamAnswers answers(input);
    DownloadChecker card(image.data(), fields.length, fields.block);
    HostileDevice device(answers, card);
    device.SetCardInfo(fields.infoFilled, fields.registerBase);
    if (!fields.openFails) {
        win32_standin::RegisterDevice(HostileDevice::kPath, &device);
    }
    std::atomic<LONG> percent{-1};
    const DWORD result = DownloadImage(kOwner, image.data(), fields.length, fields.block, &percent);
    win32_standin::UnregisterDevice(HostileDevice::kPath);

    const bool opened = !fields.openFails;
    FUZZ_CHECK(device.Requests() <= DownloadChecker::WorstCaseRequests(fields.length),
               "more driver requests than the worst case");
    CheckDeviceClosed(opened);
    CheckMessageBoxes(result, opened);
    CheckResult(result, card, opened);
    if (result == 0) {
        FUZZ_CHECK(percent.load() == 100, "success without the percent at 100");
        FUZZ_CHECK(win32_standin::TotalPostedMessages() == 1, "success without one WM_APP");
    }
    return 0;
}
