// The "registers" model: a plain register file whose map comes from the
// description. `size` 8-bit registers (default 256); every offset without a
// <register> element is a read-write register that resets to 0. No
// behaviours, no signals.
#include "SimDeviceModel.h"

namespace ravosim {
namespace {

const bool registered = registerDeviceModel("registers", [](ModelArgs& args) -> std::unique_ptr<DeviceModel> {
  uint32_t size = 0;
  if (!args.number("size", size, 0x10000, 256)) return nullptr;
  if (size == 0) {
    args.fail("a register file needs at least one register");
    return nullptr;
  }
  auto model = std::make_unique<DeviceModel>("registers", size);
  if (!args.describedRegisters(*model)) return nullptr;
  model->fillWithRegisters();
  return model;
});

}  // namespace
}  // namespace ravosim
