#include "virtualcard/driver/card_device.h"
#include "virtualcard/driver/dispatch.h"
#include "virtualcard/driver/socket_control.h"
#include "virtualcard/driver/status_file.h"

namespace virtualcard::driver {

NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    if (IsSocketControl(device)) return CompleteRequest(irp, STATUS_SUCCESS);
    auto& card = *static_cast<CardDevice*>(device->DeviceExtension);
    CardDeviceLock lock(card);
    CardConfig config;
    ReadCardParameters(card.parametersKey, card.socket, &config, &card.parameters);
    card.rejectedValuesTotal += card.parameters.rejected;
    card.model->Configure(config);
    card.model->Open();
    card.model->SetTrace(card.parameters.traceEnabled ? &RequestTrace::Record : nullptr,
                         &card.trace);
    ++card.opens;
    WriteStatusFile(card);
    return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    if (IsSocketControl(device)) return CompleteRequest(irp, STATUS_SUCCESS);
    auto& card = *static_cast<CardDevice*>(device->DeviceExtension);
    CardDeviceLock lock(card);
    card.trace.Flush();
    WriteStatusFile(card);
    return CompleteRequest(irp, STATUS_SUCCESS);
}

}  // namespace virtualcard::driver
