#include "virtualcard/driver/card_device.h"
#include "virtualcard/driver/dispatch.h"
#include "virtualcard/driver/error_status.h"
#include "virtualcard/driver/socket_control.h"

namespace virtualcard::driver {

namespace {

struct RequestBuffers {
    const uint8_t* in = nullptr;
    ULONG inSize = 0;
    uint8_t* out = nullptr;
    ULONG outSize = 0;
};

// Where the I/O manager put the caller's buffers, by the transfer method in the control code.
// METHOD_NEITHER is served by no request of the card, so its user pointers are never touched.
RequestBuffers BuffersOf(PIRP irp, const IO_STACK_LOCATION& stack) {
    const auto& parameters = stack.Parameters.DeviceIoControl;
    RequestBuffers buffers;
    auto* system = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    switch (parameters.IoControlCode & 3) {
        case METHOD_BUFFERED:
            buffers.in = system;
            buffers.out = system;
            break;
        case METHOD_IN_DIRECT:
        case METHOD_OUT_DIRECT:
            buffers.in = system;
            if (irp->MdlAddress != nullptr) {
                buffers.out = static_cast<uint8_t*>(
                    MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
            }
            break;
        default:
            return buffers;
    }
    if (buffers.in != nullptr) buffers.inSize = parameters.InputBufferLength;
    if (buffers.out != nullptr) buffers.outSize = parameters.OutputBufferLength;
    return buffers;
}

}  // namespace

NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    if (IsSocketControl(device)) return DispatchSocketControl(irp);
    auto& card = *static_cast<CardDevice*>(device->DeviceExtension);
    const IO_STACK_LOCATION& stack = *IoGetCurrentIrpStackLocation(irp);
    RequestBuffers buffers = BuffersOf(irp, stack);
    IoResult result;
    {
        CardDeviceLock lock(card);
        result =
            card.model->DeviceControl(CardNowUs(), stack.Parameters.DeviceIoControl.IoControlCode,
                                      buffers.in, buffers.inSize, buffers.out, buffers.outSize);
    }
    NTSTATUS status = result.ok ? STATUS_SUCCESS : StatusFromWindowsError(result.error);
    return CompleteRequest(irp, status, result.ok ? result.bytesReturned : 0);
}

}  // namespace virtualcard::driver
