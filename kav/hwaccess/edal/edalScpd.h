// Scratchpad memory access of the device access layer. Failures of the
// library return its errno.
#ifndef KAV_HWACCESS_EDALSCPD_H
#define KAV_HWACCESS_EDALSCPD_H

#include <string>

#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/edal/EdalInfo.h"

unsigned int edalScratchpadOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg);
// Deletes the handle and sets h to null, also when the close failed.
unsigned int edalScratchpadClose(EdalHandle*& h, std::string& msg);
unsigned int edalScratchpadWrite(EdalHandle* h, unsigned int offset, const unsigned char* data, unsigned int len,
                                 std::string& msg);
// len: bytes asked for; on success the bytes read.
unsigned int edalScratchpadRead(EdalHandle* h, unsigned int offset, unsigned char* data, unsigned int& len,
                                std::string& msg);
unsigned int edalScratchpadReadColdstartState(EdalHandle* h, bool& state, std::string& msg);
unsigned int edalScratchpadResetColdstartState(EdalHandle* h, std::string& msg);
unsigned int edalScratchpadGetSize(EdalHandle* h, unsigned int& size, std::string& msg);

#endif
