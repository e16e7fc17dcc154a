// Runs the protocol against the virtual card on the stand-in's virtual clock. The card sits
// behind an observer registered as \\.\duvo0, which forwards every request and notes each new
// value of the caller's percent, so tests see the progress sequence as the dialog would.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "download/packets.h"
#include "download/sequence.h"
#include "virtualcard/native_host.h"
#include "win32_standin/standin.h"

class PercentObserver final : public win32_standin::Device {
  public:
    PercentObserver(win32_standin::Device& card, const std::atomic<LONG>& percent)
        : card_(card), percent_(percent) {
        win32_standin::RegisterDevice("\\\\.\\duvo0", this);
    }
    ~PercentObserver() override { win32_standin::UnregisterDevice("\\\\.\\duvo0"); }

    void Open() override { card_.Open(); }
    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned, DWORD* error) override {
        Note();
        return card_.Control(code, in, inSize, out, outSize, returned, error);
    }
    // Distinct values in the order they were seen.
    void Note() {
        const LONG now = percent_.load();
        if (seen.empty() || seen.back() != now) {
            seen.push_back(now);
        }
    }
    std::vector<LONG> seen;

  private:
    win32_standin::Device& card_;
    const std::atomic<LONG>& percent_;
};

class CardTest : public ::testing::Test {
  protected:
    static constexpr LONG kUntouched = -7;

    void SetUp() override {
        win32_standin::Reset();
        g_extendedFlashWait = 0;
        config.programmingTimeMs = 0;
    }

    // The card, configured from `config` on first use.
    virtualcard::NativeHost& Card(std::size_t traceCapacity = 1u << 17) {
        if (!card_) {
            card_ = std::make_unique<virtualcard::NativeHost>(config, "\\\\.\\card-under-test",
                                                              traceCapacity);
            observer_ = std::make_unique<PercentObserver>(*card_, percent);
        }
        return *card_;
    }

    // Opens the card for direct protocol calls (the download opens it by itself).
    HANDLE OpenCard() {
        Card();
        return CreateFileA("\\\\.\\duvo0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }

    DWORD Download(const std::vector<BYTE>& image, DWORD block) {
        Card();
        ForgetPercents();
        percent = kUntouched;
        const DWORD result =
            DownloadImage(kOwner, image.data(), static_cast<DWORD>(image.size()), block, &percent);
        observer_->Note();
        return result;
    }

    const std::vector<LONG>& Percents() const { return observer_->seen; }
    void NotePercent() { observer_->Note(); }
    void ForgetPercents() { observer_->seen.clear(); }

    // Host packets as the card saw them: REG_DATA writes between REG_CONTROL = 1 and 0.
    std::vector<std::vector<BYTE>> HostPackets() const {
        std::vector<std::vector<BYTE>> packets;
        for (const virtualcard::TraceEntry& e : card_->Trace()) {
            if (e.write && e.offset == 1 && e.value == 1) {
                packets.emplace_back();
            } else if (e.write && e.offset == 0 && !packets.empty()) {
                packets.back().push_back(e.value);
            }
        }
        return packets;
    }

    std::size_t RegisterRequests() const {
        return card_->counters().registerReads + card_->counters().registerWrites;
    }

    static std::vector<BYTE> Image(std::size_t length, unsigned seed = 1) {
        std::vector<BYTE> image(length);
        std::uint32_t x = seed * 2654435761u + 1;
        for (BYTE& b : image) {
            x = x * 1103515245u + 12345u;
            b = static_cast<BYTE>(x >> 16);
        }
        return image;
    }

    static inline const HWND kOwner = reinterpret_cast<HWND>(0x5150);
    virtualcard::CardConfig config;
    std::atomic<LONG> percent{kUntouched};

  private:
    std::unique_ptr<virtualcard::NativeHost> card_;
    std::unique_ptr<PercentObserver> observer_;
};
