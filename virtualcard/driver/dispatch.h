// The driver's dispatch routines for the card device.
#pragma once

#include "virtualcard/driver/kernel.h"

namespace virtualcard::driver {

// Completes `irp` with `status` and `information` bytes returned; returns `status`.
inline NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// IRP_MJ_CREATE: reads the configuration afresh, so each open sees the registry as it is now.
NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp);

// IRP_MJ_CLOSE: writes out the trace and the status file.
NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp);

// IRP_MJ_DEVICE_CONTROL: one request, answered by the card model.
NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp);

}  // namespace virtualcard::driver
