// Taking a socket's card out and putting a fresh one in while programs run, for tests. A control
// device of its own, \Device\DuvoVirtualCardSockets (opened as \\.\DuvoVirtualCardSockets), takes
// two requests, each with the socket number as a 4-byte input:
//   kIoctlRemoveCard  empties the socket: its link \DosDevices\duvoN goes, so that an open of
//                     \\.\duvoN fails as for a device that is not there (error 2). A handle
//                     opened before still reaches the card until it is closed.
//   kIoctlInsertCard  puts a fresh card in, in place of any card there: every block blank, the
//                     socket's configuration read at the next open as always, the link back.
// An open cannot be refused instead: Wine 8 hands out the handle whatever status the driver
// completes IRP_MJ_CREATE with. Every socket holds a card when the driver starts.
#pragma once

#include "virtualcard/driver/card_device.h"
#include "virtualcard/driver/kernel.h"
#include "virtualcard/driver/socket_control_codes.h"

namespace virtualcard::driver {

NTSTATUS CreateSocketControl(PDRIVER_OBJECT driver);
void DeleteSocketControl();
bool IsSocketControl(PDEVICE_OBJECT device);
// IRP_MJ_DEVICE_CONTROL of the control device.
NTSTATUS DispatchSocketControl(PIRP irp);

// The sockets' devices and links, kept by driver_entry.cpp.
CardDevice* SocketCard(ULONG socket);  // null for a socket the driver did not create
NTSTATUS CreateSocketLink(ULONG socket);
void DeleteSocketLink(ULONG socket);

}  // namespace virtualcard::driver
