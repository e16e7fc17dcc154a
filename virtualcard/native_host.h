// Hosts one virtual card as a device of the native Win32 stand-in, so that CreateFileA on its path
// and DeviceIoControl on the handle reach the card model, with the stand-in's virtual clock as the
// card's time. Owns the flash and the staging area (allocated once, at construction).
//
// The socket holds a card from the start. A test may take it out and put a fresh one in at any
// time, as the driver's socket does under Wine: while the socket is empty CreateFileA fails with
// ERROR_FILE_NOT_FOUND. A handle opened before a removal still reaches the card it opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "virtualcard/card_model.h"
#include "virtualcard/card_test_controls.h"
#include "win32_standin/standin.h"

namespace virtualcard {

inline constexpr const char* kDefaultDevicePath = "\\\\.\\duvo0";

class NativeHost final : public win32_standin::Device {
  public:
    // Registers the card under `path`. With `traceCapacity` > 0 the first that many register
    // accesses are kept in a trace (storage reserved here; later accesses are only counted).
    explicit NativeHost(const CardConfig& config = CardConfig{},
                        const char* path = kDefaultDevicePath, std::size_t traceCapacity = 0);
    ~NativeHost() override;
    NativeHost(const NativeHost&) = delete;
    NativeHost& operator=(const NativeHost&) = delete;

    void Configure(const CardConfig& config) { model_.Configure(config); }
    CardModel& model() { return model_; }
    const Counters& counters() const { return model_.counters(); }
    void ResetCounters() { controls_.ResetCounters(); }
    uint32_t BlockLength(uint32_t block) const { return controls_.BlockLength(block); }
    // The block's programmed bytes (BlockLength of them).
    std::span<const uint8_t> Block(uint32_t block) const;

    // Empties the socket. The counters and the trace go on for the socket.
    void Remove();
    // Puts a fresh card into the socket, in place of any card there: every block blank, and
    // `config` its configuration and fault plan.
    void Insert(const CardConfig& config = CardConfig{});
    bool CardPresent() const { return present_; }

    std::span<const TraceEntry> Trace() const { return trace_; }
    std::size_t TraceDropped() const { return traceDropped_; }
    void ClearTrace();

    // win32_standin::Device
    void Open() override { model_.Open(); }
    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned, DWORD* error) override;

  private:
    static void Record(void* context, const TraceEntry& entry);

    std::string path_;
    std::unique_ptr<uint8_t[]> flash_;
    std::unique_ptr<uint8_t[]> staging_;
    CardModel model_;
    CardTestControls controls_{model_};
    bool present_ = true;
    std::vector<TraceEntry> trace_;
    std::size_t traceCapacity_;
    std::size_t traceDropped_ = 0;
};

}  // namespace virtualcard
