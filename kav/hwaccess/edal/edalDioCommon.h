// Helpers shared by the digital-I/O functions of the device access layer.
#ifndef KAV_HWACCESS_EDALDIOCOMMON_H
#define KAV_HWACCESS_EDALDIOCOMMON_H

#include <string>

#include "kav/hwaccess/edal/EdalDioHandle.h"

namespace edalDioCommon {

// The digital-I/O handle behind h, or null (then msg names the function and
// code receives the status to return).
EdalDioHandle* toDio(EdalHandle* h, const char* function, unsigned int& code, std::string& msg);

// Puts "<call>) for device <path> (m_ravo=<handle>) failed with errno=<err>",
// the first-failure data of the device and then the former message into msg.
// call is the function name with its arguments, without the closing ")".
// Returns the digital-I/O status code of err.
unsigned int failure(const std::string& call, const EdalDioHandle* h, unsigned int err, std::string& msg);

// Whether the process-wide interrupt context exists; without it no interrupt
// request can be pending.
bool interruptContextExists();

}  // namespace edalDioCommon

#endif
