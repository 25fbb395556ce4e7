// Which write errors of a serial port mean that the device behind it is gone.
//
// USB-serial drivers report a vanished adapter with several codes, not only
// ERROR_DEVICE_NOT_CONNECTED; a port that keeps its handle after any of them
// would never recover. Other errors (a CTS time-out, say) leave the port open.
#pragma once

#include <cstdint>

namespace multio {

// Windows error codes, by value, so that the rule is testable on any platform.
enum : uint32_t {
    kErrAccessDenied = 5,          // ERROR_ACCESS_DENIED
    kErrNotReady = 21,             // ERROR_NOT_READY (Wine: the pty behind the port is gone)
    kErrBadCommand = 22,           // ERROR_BAD_COMMAND
    kErrGenFailure = 31,           // ERROR_GEN_FAILURE
    kErrOperationAborted = 995,    // ERROR_OPERATION_ABORTED
    kErrDeviceNotConnected = 1167, // ERROR_DEVICE_NOT_CONNECTED
};

inline bool IsDeviceLostError(uint32_t code) {
    switch (code) {
    case kErrAccessDenied:
    case kErrNotReady:
    case kErrBadCommand:
    case kErrGenFailure:
    case kErrOperationAborted:
    case kErrDeviceNotConnected:
        return true;
    default:
        return false;
    }
}

} // namespace multio
