#include "virtualcard/driver/socket_control.h"

#include "virtualcard/driver/dispatch.h"

namespace virtualcard::driver {

namespace {

constexpr DEVICE_TYPE kDeviceType = 0x8000;
constexpr const wchar_t* kControlName = L"\\Device\\DuvoVirtualCardSockets";
constexpr const wchar_t* kControlLink = L"\\DosDevices\\DuvoVirtualCardSockets";

PDEVICE_OBJECT g_control = nullptr;

NTSTATUS RemoveCard(CardDevice& card) {
    CardDeviceLock lock(card);
    if (!card.present) return STATUS_SUCCESS;
    DeleteSocketLink(card.socket);
    card.present = false;
    return STATUS_SUCCESS;
}

NTSTATUS InsertCard(CardDevice& card) {
    CardDeviceLock lock(card);
    card.model->EraseFlash();
    ++card.cardNumber;
    if (card.present) return STATUS_SUCCESS;
    NTSTATUS status = CreateSocketLink(card.socket);
    if (NT_SUCCESS(status)) card.present = true;
    return status;
}

}  // namespace

NTSTATUS CreateSocketControl(PDRIVER_OBJECT driver) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, kControlName);
    NTSTATUS status = IoCreateDevice(driver, 0, &name, kDeviceType, 0, FALSE, &g_control);
    if (!NT_SUCCESS(status)) return status;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kControlLink);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(g_control);
        g_control = nullptr;
        return status;
    }
    g_control->Flags |= DO_BUFFERED_IO;
    g_control->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

void DeleteSocketControl() {
    if (g_control == nullptr) return;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kControlLink);
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(g_control);
    g_control = nullptr;
}

bool IsSocketControl(PDEVICE_OBJECT device) {
    return device == g_control;
}

NTSTATUS DispatchSocketControl(PIRP irp) {
    const IO_STACK_LOCATION& stack = *IoGetCurrentIrpStackLocation(irp);
    const auto& parameters = stack.Parameters.DeviceIoControl;
    const auto* input = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    if (input == nullptr || parameters.InputBufferLength != 4) {
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
    }
    const ULONG socket = static_cast<ULONG>(input[0]) | static_cast<ULONG>(input[1]) << 8 |
                         static_cast<ULONG>(input[2]) << 16 | static_cast<ULONG>(input[3]) << 24;
    CardDevice* card = SocketCard(socket);
    if (card == nullptr) return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE);
    switch (parameters.IoControlCode) {
        case kIoctlRemoveCard:
            return CompleteRequest(irp, RemoveCard(*card));
        case kIoctlInsertCard:
            return CompleteRequest(irp, InsertCard(*card));
        default:
            return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

}  // namespace virtualcard::driver
