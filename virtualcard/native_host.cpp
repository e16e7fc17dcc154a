#include "virtualcard/native_host.h"

#include <cstring>

namespace virtualcard {
namespace {

std::unique_ptr<uint8_t[]> ErasedStorage(std::size_t size) {
    std::unique_ptr<uint8_t[]> storage(new uint8_t[size]);
    std::memset(storage.get(), kErasedByte, size);
    return storage;
}

}  // namespace

NativeHost::NativeHost(const CardConfig& config, const char* path, std::size_t traceCapacity)
    : path_(path),
      flash_(ErasedStorage(kFlashSize)),
      staging_(ErasedStorage(kBlockSize)),
      model_(flash_.get(), staging_.get()),
      traceCapacity_(traceCapacity) {
    model_.Configure(config);
    if (traceCapacity_ > 0) {
        trace_.reserve(traceCapacity_);
        model_.SetTrace(&NativeHost::Record, this);
    }
    win32_standin::RegisterDevice(path_.c_str(), this);
}

NativeHost::~NativeHost() {
    if (present_) win32_standin::UnregisterDevice(path_.c_str());
}

std::span<const uint8_t> NativeHost::Block(uint32_t block) const {
    const uint8_t* data = controls_.BlockData(block);
    if (data == nullptr) return {};
    return {data, controls_.BlockLength(block)};
}

void NativeHost::Remove() {
    if (!present_) return;
    win32_standin::UnregisterDevice(path_.c_str());
    present_ = false;
}

void NativeHost::Insert(const CardConfig& config) {
    model_.EraseFlash();
    model_.Configure(config);
    if (!present_) win32_standin::RegisterDevice(path_.c_str(), this);
    present_ = true;
}

void NativeHost::ClearTrace() {
    trace_.clear();
    traceDropped_ = 0;
}

bool NativeHost::Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* bytesReturned, DWORD* error) {
    const IoResult result =
        model_.DeviceControl(win32_standin::NowUs(), code, static_cast<const uint8_t*>(in), inSize,
                             static_cast<uint8_t*>(out), outSize);
    *bytesReturned = result.bytesReturned;
    *error = result.error;
    return result.ok;
}

void NativeHost::Record(void* context, const TraceEntry& entry) {
    NativeHost& host = *static_cast<NativeHost*>(context);
    if (host.trace_.size() < host.traceCapacity_) {
        host.trace_.push_back(entry);
    } else {
        ++host.traceDropped_;
    }
}

}  // namespace virtualcard
