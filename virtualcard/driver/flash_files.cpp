#include "virtualcard/driver/flash_files.h"

#include "virtualcard/driver/kernel_file.h"

namespace virtualcard::driver {

namespace {

void BlockFilePath(wchar_t* path, const wchar_t* directory, uint32_t block) {
    wchar_t name[] = L"block00.bin";
    name[5] = static_cast<wchar_t>(L'0' + block / 10 % 10);
    name[6] = static_cast<wchar_t>(L'0' + block % 10);
    CardDataPath(path, directory, name);
}

}  // namespace

ULONG LoadFlashBlocks(CardModel& model, const wchar_t* directory) {
    auto* data = static_cast<uint8_t*>(ExAllocatePoolWithTag(PagedPool, kBlockSize, kPoolTag));
    if (data == nullptr) return 0;
    ULONG loaded = 0;
    for (uint32_t block = 0; block < kBlockCount; ++block) {
        wchar_t path[kMaxPathChars];
        BlockFilePath(path, directory, block);
        ULONG length = 0;
        NTSTATUS status = ReadWholeFile(path, data, kBlockSize, &length);
        if (status == STATUS_OBJECT_NAME_NOT_FOUND) continue;
        if (NT_SUCCESS(status) && model.LoadBlock(block, data, length)) {
            ++loaded;
        } else {
            DbgPrint("duvo: block file %ls\\block%02u.bin not loaded (%08lx)\n", directory, block,
                     status);
        }
    }
    ExFreePoolWithTag(data, kPoolTag);
    return loaded;
}

void SaveFlashBlock(void* context, uint32_t block, const uint8_t* data, uint32_t length) {
    const auto* directory = static_cast<const wchar_t*>(context);
    wchar_t path[kMaxPathChars];
    BlockFilePath(path, directory, block);
    NTSTATUS status = WriteWholeFile(path, data, length);
    if (!NT_SUCCESS(status)) {
        DbgPrint("duvo: block file %ls\\block%02u.bin not written (%08lx)\n", directory, block,
                 status);
    }
}

}  // namespace virtualcard::driver
