// The simulated Linux driver: takes the requests the library sends on a
// simulated node (0x6D00 on "/dev/halvdev0"; 1 and 0x5385 on a SCSI disk),
// reads the records they point to, runs the command on the firmware and
// writes the answer back where the records say, tracing each request.
#ifndef HALVSIM_DRIVER_H
#define HALVSIM_DRIVER_H

#include "DeviceNodes.h"

namespace halvsim {

// The ioctl on a simulated descriptor: its result, with errno set when it
// is -1. A request that comes in while another is in the driver is traced
// as an overlap and counted (RequestWindow).
int DriverIoctl(const Node &node, unsigned long request, void *arg);

// Opens a simulated path: true with the node when the scenario has it,
// false with *err (ENOENT) when it does not or the state cannot be read.
//
// Both refuse with EBUSY a call that a signal handler makes while the
// simulator is working on this thread: the scenario is held by the call
// the handler interrupted, and such a call must never reach a real device.
bool DriverOpen(const char *path, Node *node, int *err);

}  // namespace halvsim

#endif  // HALVSIM_DRIVER_H
