// Collection of the device libraries' first-failure data into a message.
// Called after every failing library call with the device's handle; appends
// the readable text to msg and never fails.
#ifndef KAV_HWACCESS_EDALFFDC_H
#define KAV_HWACCESS_EDALFFDC_H

#include <string>

#include "ravo_types.h"

namespace edalFfdc {

void collectDio(ravo_struct* handle, std::string& msg);
void collectIomux(ravo_struct* handle, std::string& msg);
void collectI2c(ravo_struct* handle, std::string& msg);
void collectScratchpad(ravo_struct* handle, std::string& msg);

// errno of the last failed call, never 0: a library that failed without
// setting errno is reported as EIO, so a failure can not turn into success.
unsigned int lastErrno();

// first and second separated by a blank; either may be empty.
std::string join(const std::string& first, const std::string& second);
// "0x%08X".
std::string hex(unsigned int value);
// "%p".
std::string pointer(const void* p);

}  // namespace edalFfdc

#endif
