// I/O multiplexer access of the device access layer. Failures of the
// library return its errno; logical failures 0xFFFF.
#ifndef KAV_HWACCESS_EDALIOMUX_H
#define KAV_HWACCESS_EDALIOMUX_H

#include <string>

#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/edal/EdalInfo.h"

// One multiplexer entry: bit 31 enable, bits 30..28 level, bits 27..24
// control gates, bits 23..20 receiver threshold, bits 19..0 reserved.
typedef unsigned int edal_iomux_info;

unsigned int edalIOmuxOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg);
// Deletes the handle and sets h to null, also when the close failed.
unsigned int edalIOmuxClose(EdalHandle*& h, std::string& msg);
// Writes count entries from index on. A validated multiplexer is not
// written: its entries are read back and must already match.
unsigned int edalIOmuxWrite(EdalHandle* h, unsigned int index, const edal_iomux_info* entries, unsigned int count,
                            std::string& msg);
unsigned int edalIOmuxRead(EdalHandle* h, unsigned int index, edal_iomux_info* entries, unsigned int& count,
                           std::string& msg);
unsigned int edalIOmuxQueryState(EdalHandle* h, unsigned int& state, std::string& msg);
unsigned int edalIOmuxValidate(EdalHandle* h, std::string& msg);
unsigned int edalIOmuxInvalidate(EdalHandle* h, std::string& msg);
unsigned int edalIOmuxQuerySize(EdalHandle* h, unsigned int& size, std::string& msg);

#endif
