// The virtual card driver: one card per socket, devices \Device\duvo0 to \Device\duvoN-1 with the
// links \DosDevices\duvoN, each answered by a card model of its own. N is the Slots value of the
// Parameters key, read here at the start (a device cannot appear at an open: an open of a name
// that has no device never reaches the driver). Flash lives in paged pool for the driver's
// lifetime; its blocks persist as files, in a directory per socket. A socket's link comes and goes
// with its card (socket_control.h); every socket starts with a card.
#include <new>

#include "virtualcard/driver/card_device.h"
#include "virtualcard/driver/text_builder.h"
#include "virtualcard/driver/dispatch.h"
#include "virtualcard/driver/flash_files.h"
#include "virtualcard/driver/kernel_file.h"
#include "virtualcard/driver/socket_control.h"

namespace virtualcard::driver {

namespace {

constexpr DEVICE_TYPE kDeviceType = 0x8000;  // the device type of the card's control codes
constexpr ULONG kNameChars = 32;
constexpr const wchar_t* kDevicePrefix = L"\\Device\\duvo";
constexpr const wchar_t* kLinkPrefix = L"\\DosDevices\\duvo";

PDEVICE_OBJECT g_devices[kMaxSlots] = {};

// "<prefix><socket>", e.g. \Device\duvo1.
void NumberedName(wchar_t* name, const wchar_t* prefix, ULONG socket) {
    WideTextBuilder text(name, kNameChars - 1);
    text.Text(prefix).Decimal(socket).Terminate();
}

// Socket 0: <service key>\Parameters; socket N: <service key>\Parameters\SocketN.
void BuildParametersKey(UNICODE_STRING* key, wchar_t* buffer, USHORT bufferBytes,
                        const UNICODE_STRING& registryPath, ULONG socket) {
    key->Buffer = buffer;
    key->Length = 0;
    key->MaximumLength = bufferBytes;
    RtlAppendUnicodeStringToString(key, &registryPath);
    RtlAppendUnicodeToString(key, L"\\Parameters");
    if (socket == 0) return;
    wchar_t subkey[kNameChars];
    NumberedName(subkey, L"\\Socket", socket);
    RtlAppendUnicodeToString(key, subkey);
}

// Socket 0 keeps the data directory itself; socket N uses its subdirectory SocketN.
NTSTATUS CreateDataDirectory(CardDevice& card) {
    WideTextBuilder path(card.dataDirectory, kMaxDataDirectoryChars - 1);
    path.Text(kCardDataDirectory).Terminate();
    NTSTATUS status = CreateDirectory(card.dataDirectory);
    if (card.socket == 0 || !NT_SUCCESS(status)) return status;
    path.Text(L"\\Socket").Decimal(card.socket).Terminate();
    return CreateDirectory(card.dataDirectory);
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
    RtlFillMemory(card.flash, kFlashSize, kErasedByte);
    RtlFillMemory(card.staging, kBlockSize, kErasedByte);
    return true;
}

void InitializeCard(CardDevice& card, const UNICODE_STRING& registryPath) {
    card.model = new (card.modelStorage) CardModel(card.flash, card.staging);
    ExInitializeFastMutex(&card.lock);
    BuildParametersKey(&card.parametersKey, card.parametersKeyBuffer,
                       sizeof(card.parametersKeyBuffer), registryPath, card.socket);
    NTSTATUS status = CreateDataDirectory(card);
    if (!NT_SUCCESS(status)) {
        DbgPrint("duvo%lu: data directory not created (%08lx)\n", card.socket, status);
    }
    card.trace.SetDirectory(card.dataDirectory);
    card.blocksLoaded = LoadFlashBlocks(*card.model, card.dataDirectory);
    card.model->SetBlockProgrammed(&SaveFlashBlock, card.dataDirectory);
}

void DeleteDevice(ULONG socket) {
    PDEVICE_OBJECT device = g_devices[socket];
    if (device == nullptr) return;
    auto& card = *static_cast<CardDevice*>(device->DeviceExtension);
    card.trace.Flush();
    if (card.model != nullptr) card.model->~CardModel();
    FreeFlash(card);
    IoDeleteDevice(device);
    g_devices[socket] = nullptr;
}

void DeleteDevices() {
    DeleteSocketControl();
    for (ULONG socket = 0; socket < kMaxSlots; ++socket) {
        if (g_devices[socket] == nullptr) continue;
        if (SocketCard(socket)->present) DeleteSocketLink(socket);
        DeleteDevice(socket);
    }
}

void DriverUnload(PDRIVER_OBJECT driver) {
    (void)driver;
    DeleteDevices();
    DbgPrint("duvo: unloaded\n");
}

NTSTATUS CreateDevice(PDRIVER_OBJECT driver, const UNICODE_STRING& registryPath, ULONG socket) {
    wchar_t deviceName[kNameChars];
    NumberedName(deviceName, kDevicePrefix, socket);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, deviceName);
    NTSTATUS status = IoCreateDevice(driver, sizeof(CardDevice), &name, kDeviceType, 0, FALSE,
                                     &g_devices[socket]);
    if (!NT_SUCCESS(status)) return status;
    auto& card = *static_cast<CardDevice*>(g_devices[socket]->DeviceExtension);
    RtlZeroMemory(&card, sizeof(card));
    card.socket = socket;
    if (!AllocateFlash(card)) {
        DeleteDevice(socket);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    InitializeCard(card, registryPath);
    status = CreateSocketLink(socket);
    if (!NT_SUCCESS(status)) {
        DeleteDevice(socket);
        return status;
    }
    card.present = true;
    g_devices[socket]->Flags |= DO_BUFFERED_IO;
    g_devices[socket]->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

// All sockets or none: a driver that started with fewer devices than asked for would make a test
// of socket N fail for a reason it cannot see. Socket 0 comes last, so that whoever waits for
// \\.\duvo0 to open finds every socket there.
NTSTATUS CreateDevices(PDRIVER_OBJECT driver, const UNICODE_STRING& registryPath) {
    wchar_t buffer[512];
    UNICODE_STRING parametersKey;
    BuildParametersKey(&parametersKey, buffer, sizeof(buffer), registryPath, 0);
    const ULONG slots = ReadSlots(parametersKey);
    NTSTATUS status = CreateSocketControl(driver);
    for (ULONG socket = slots; NT_SUCCESS(status) && socket-- > 0;) {
        status = CreateDevice(driver, registryPath, socket);
    }
    if (!NT_SUCCESS(status)) {
        DeleteDevices();
        return status;
    }
    DbgPrint("duvo: %lu socket(s)\n", slots);
    return STATUS_SUCCESS;
}

}  // namespace

CardDevice* SocketCard(ULONG socket) {
    if (socket >= kMaxSlots || g_devices[socket] == nullptr) return nullptr;
    return static_cast<CardDevice*>(g_devices[socket]->DeviceExtension);
}

NTSTATUS CreateSocketLink(ULONG socket) {
    wchar_t deviceName[kNameChars];
    NumberedName(deviceName, kDevicePrefix, socket);
    wchar_t linkName[kNameChars];
    NumberedName(linkName, kLinkPrefix, socket);
    UNICODE_STRING device;
    RtlInitUnicodeString(&device, deviceName);
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, linkName);
    return IoCreateSymbolicLink(&link, &device);
}

void DeleteSocketLink(ULONG socket) {
    wchar_t linkName[kNameChars];
    NumberedName(linkName, kLinkPrefix, socket);
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, linkName);
    IoDeleteSymbolicLink(&link);
}

}  // namespace virtualcard::driver

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    using namespace virtualcard::driver;
    driver->MajorFunction[IRP_MJ_CREATE] = &DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = &DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &DispatchDeviceControl;
    driver->DriverUnload = &DriverUnload;
    NTSTATUS status = CreateDevices(driver, *registryPath);
    DbgPrint("duvo: started (%08lx)\n", status);
    return status;
}
