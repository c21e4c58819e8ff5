#include "fw/CfamAccess.h"

#include "ravo_sim_control.h"

namespace fw {

namespace {

ErrorLog* failure(int err, const Target& chip, uint32_t address, uint32_t value) {
  return ErrorLog::create(ErrorLog::Hardware, kModuleCfamAccess, static_cast<uint16_t>(err), chip.id(),
                          static_cast<uint64_t>(address) << 32 | value);
}

}  // namespace

ErrorLog* CfamAccess::read(const Target& chip, uint32_t address, uint32_t& value) {
  value = 0;
  const int err = ravosim::cfamRead(chip.id(), address, value);
  if (err == 0) return nullptr;
  value = 0;
  return failure(err, chip, address, 0);
}

ErrorLog* CfamAccess::write(const Target& chip, uint32_t address, uint32_t value) {
  const int err = ravosim::cfamWrite(chip.id(), address, value);
  return err == 0 ? nullptr : failure(err, chip, address, value);
}

}  // namespace fw
