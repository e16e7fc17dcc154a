// A scripted card for register-level tests: answers register requests from a status script and
// one card packet, and logs every access. It decodes the request block only as far as the tests
// need (register number in word 2, value in word 5, word 9 = 7 for a read).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "cardlink/byte_order.h"
#include "cardlink/driver_requests.h"
#include "win32_standin/standin.h"

struct RegisterAccess {
    bool write;
    DWORD registerNumber;
    DWORD value;
    bool operator==(const RegisterAccess&) const = default;
};

class RegisterScript final : public win32_standin::Device {
  public:
    static constexpr DWORD kBase = 0x1F0;

    explicit RegisterScript(const char* path = "\\\\.\\script0") : path_(path) {
        win32_standin::RegisterDevice(path, this);
    }
    ~RegisterScript() override { win32_standin::UnregisterDevice(path_); }

    // Status byte returned by the n-th read of REG_CONTROL (counting from 0).
    std::function<BYTE(int)> status = [](int) { return BYTE{0}; };
    // The card's packet: length registers and data bytes, in order.
    DWORD cardLength = 0;
    std::vector<BYTE> cardBytes;
    // Bits above the low byte that the driver leaves in word 5 of a read.
    DWORD readUpperBits = 0;
    // When nonzero, every request fails with this error code.
    DWORD failWith = 0;
    bool failWithoutError = false;

    std::vector<RegisterAccess> log;
    std::vector<std::vector<BYTE>> blocks;  // every request block as sent

    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned, DWORD* error) override {
        if (failWithoutError) {
            *error = 0;
            return false;
        }
        auto* block = static_cast<BYTE*>(out);
        if (code != IOCTL_CARD_REGISTER_IO || in != nullptr || inSize != 0 ||
            outSize != CARD_REGISTER_REQUEST_SIZE) {
            *error = ERROR_INVALID_PARAMETER;
            return false;
        }
        blocks.emplace_back(block, block + outSize);
        const DWORD registerNumber = GetLe32(block + 8);
        const bool write = GetLe32(block + 36) != 7;
        const DWORD value = write ? GetLe32(block + 20) : Read(registerNumber - kBase);
        log.push_back({write, registerNumber, value});
        if (failWith != 0) {
            *error = failWith;
            return false;
        }
        if (!write) {
            PutLe32(block + 20, value | readUpperBits);
        }
        *returned = outSize;
        return true;
    }

    HANDLE OpenHandle() const {
        return CreateFileA(path_, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    }

    static RegisterAccess R(DWORD offset, DWORD value) { return {false, kBase + offset, value}; }
    static RegisterAccess W(DWORD offset, DWORD value) { return {true, kBase + offset, value}; }

  private:
    DWORD Read(DWORD offset) {
        switch (offset) {
            case 0:
                return dataRead_ < cardBytes.size() ? cardBytes[dataRead_++] : 0;
            case 1:
                return status(statusReads_++);
            case 2:
                return cardLength & 0xFF;
            default:
                return cardLength >> 8;
        }
    }

    const char* path_;
    int statusReads_ = 0;
    std::size_t dataRead_ = 0;
};
