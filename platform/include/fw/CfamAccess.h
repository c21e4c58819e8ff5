// CFAM register access of a processor chip. A caller that reads, changes
// and writes a register holds the chip's lock (Target::lock) around it.
#ifndef FW_CFAMACCESS_H
#define FW_CFAMACCESS_H

#include <cstdint>

#include "fw/ErrorLog.h"
#include "fw/FwExport.h"
#include "fw/Target.h"

namespace fw {

class FW_API CfamAccess {
 public:
  // Null, or an error log (hardware, module kModuleCfamAccess, reason the
  // errno, user data the chip's id and address << 32 | value) that the
  // caller commits or deletes. A failed read yields 0.
  static ErrorLog* read(const Target& chip, uint32_t address, uint32_t& value);
  static ErrorLog* write(const Target& chip, uint32_t address, uint32_t value);
};

}  // namespace fw

#endif
