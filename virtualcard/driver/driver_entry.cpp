// The virtual card driver: device \Device\duvo0 with the link \DosDevices\duvo0, answered by the
// card model. Flash lives in paged pool for the driver's lifetime; its blocks persist as files.
#include <new>

#include "virtualcard/driver/card_device.h"
#include "virtualcard/driver/dispatch.h"
#include "virtualcard/driver/flash_files.h"
#include "virtualcard/driver/kernel_file.h"

namespace virtualcard::driver {

namespace {

constexpr const wchar_t* kDeviceName = L"\\Device\\duvo0";
constexpr const wchar_t* kLinkName = L"\\DosDevices\\duvo0";
constexpr const wchar_t* kParametersSuffix = L"\\Parameters";
constexpr DEVICE_TYPE kDeviceType = 0x8000;  // the device type of the card's control codes

PDEVICE_OBJECT g_device = nullptr;

void SetParametersKey(CardDevice& card, const UNICODE_STRING& registryPath) {
    card.parametersKey.Buffer = card.parametersKeyBuffer;
    card.parametersKey.Length = 0;
    card.parametersKey.MaximumLength = sizeof(card.parametersKeyBuffer);
    RtlAppendUnicodeStringToString(&card.parametersKey, &registryPath);
    RtlAppendUnicodeToString(&card.parametersKey, kParametersSuffix);
}

void FreeFlash(CardDevice& card) {
    if (card.flash != nullptr) ExFreePoolWithTag(card.flash, kPoolTag);
    if (card.staging != nullptr) ExFreePoolWithTag(card.staging, kPoolTag);
    card.flash = nullptr;
    card.staging = nullptr;
}

bool AllocateFlash(CardDevice& card) {
    card.flash = static_cast<uint8_t*>(ExAllocatePoolWithTag(PagedPool, kFlashSize, kPoolTag));
    card.staging = static_cast<uint8_t*>(ExAllocatePoolWithTag(PagedPool, kBlockSize, kPoolTag));
    if (card.flash == nullptr || card.staging == nullptr) {
        FreeFlash(card);
        return false;
    }
    RtlZeroMemory(card.flash, kFlashSize);
    RtlZeroMemory(card.staging, kBlockSize);
    return true;
}

void InitializeCard(CardDevice& card, const UNICODE_STRING& registryPath) {
    card.model = new (card.modelStorage) CardModel(card.flash, card.staging);
    ExInitializeFastMutex(&card.lock);
    SetParametersKey(card, registryPath);
    NTSTATUS status = CreateCardDataDirectory();
    if (!NT_SUCCESS(status)) DbgPrint("duvo0: data directory not created (%08lx)\n", status);
    card.blocksLoaded = LoadFlashBlocks(*card.model);
    card.model->SetBlockProgrammed(&SaveFlashBlock, nullptr);
}

void DeleteDevice() {
    if (g_device == nullptr) return;
    auto& card = *static_cast<CardDevice*>(g_device->DeviceExtension);
    card.trace.Flush();
    if (card.model != nullptr) card.model->~CardModel();
    FreeFlash(card);
    IoDeleteDevice(g_device);
    g_device = nullptr;
}

void DriverUnload(PDRIVER_OBJECT driver) {
    (void)driver;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    IoDeleteSymbolicLink(&link);
    DeleteDevice();
    DbgPrint("duvo0: unloaded\n");
}

NTSTATUS CreateDevice(PDRIVER_OBJECT driver, const UNICODE_STRING& registryPath) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, kDeviceName);
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(CardDevice), &name, kDeviceType, 0, FALSE, &g_device);
    if (!NT_SUCCESS(status)) return status;
    auto& card = *static_cast<CardDevice*>(g_device->DeviceExtension);
    RtlZeroMemory(&card, sizeof(card));
    if (!AllocateFlash(card)) {
        DeleteDevice();
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    InitializeCard(card, registryPath);

    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        DeleteDevice();
        return status;
    }
    g_device->Flags |= DO_BUFFERED_IO;
    g_device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

}  // namespace

}  // namespace virtualcard::driver

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    using namespace virtualcard::driver;
    driver->MajorFunction[IRP_MJ_CREATE] = &DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = &DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &DispatchDeviceControl;
    driver->DriverUnload = &DriverUnload;
    NTSTATUS status = CreateDevice(driver, *registryPath);
    DbgPrint("duvo0: started (%08lx)\n", status);
    return status;
}
