#include "kav/hwaccess/fsi/IrqId.h"

namespace {

unsigned int ssiFields(unsigned int a, unsigned int b) { return ((a << 22) & 0x00C00000u) | ((b << 16) & 0x003F0000u); }

unsigned int ssiDioFields(unsigned int a, unsigned int b, unsigned int c) {
  return ssiFields(a, b) | ((c << 8) & 0x00001FC0u);
}

unsigned int fsiFields(unsigned int link, unsigned int cascade) {
  return ((link << 16) & 0x003F0000u) | ((cascade << 14) & 0x0000FFFFu);
}

unsigned int fsiEngineFields(unsigned int link, unsigned int cascade, unsigned int engine) {
  return fsiFields(link, cascade) | ((engine << 8) & 0x00003F00u);
}

// An empty mask gives -1, whose low six bits are 0x3F.
unsigned int pinField(unsigned int mask) { return static_cast<unsigned int>(irqid::pinOfMask(mask)) & 0x3Fu; }

bool isKind(unsigned int irqId, unsigned int kind) { return (irqId & irqid::KIND_MASK) == kind; }

}  // namespace

int irqid::pinOfMask(unsigned int mask) {
  for (int pin = 0; pin < 32; ++pin)
    if ((mask & (0x80000000u >> pin)) != 0) return pin;
  return -1;
}

unsigned int get_ssi_plug_irq_id(unsigned int a, unsigned int b) { return irqid::SSI_PLUG | ssiFields(a, b); }

unsigned int get_ssi_unplug_irq_id(unsigned int a, unsigned int b) { return irqid::SSI_UNPLUG | ssiFields(a, b); }

unsigned int get_ssi_dio_low_irq_id(unsigned int a, unsigned int b, unsigned int c, unsigned int mask) {
  return irqid::SSI_DIO_LOW | ssiDioFields(a, b, c) | pinField(mask);
}

unsigned int get_ssi_dio_high_irq_id(unsigned int a, unsigned int b, unsigned int c, unsigned int mask) {
  return irqid::SSI_DIO_HIGH | ssiDioFields(a, b, c) | pinField(mask);
}

unsigned int get_ssi_shift_irq_id(unsigned int a, unsigned int b, unsigned int c, unsigned int d) {
  return irqid::SSI_SHIFT | ssiDioFields(a, b, c) | (d & 0x3Fu);
}

unsigned int get_uart_event_irq_id(unsigned int a, unsigned int b, unsigned int c) {
  return irqid::UART_EVENT | ssiFields(a, b) | (c & 0x3Fu);
}

unsigned int get_uart_alert_irq_id(unsigned int a, unsigned int b, unsigned int c) {
  return irqid::UART_ALERT | ssiFields(a, b) | (c & 0x3Fu);
}

unsigned int get_uart_ih_ended_irq_id(unsigned int a, unsigned int b, unsigned int c) {
  return irqid::UART_IH_ENDED | ssiFields(a, b) | (c & 0x3Fu);
}

unsigned int get_pppc_plug_irq_id(unsigned int x) { return irqid::PPPC_PLUG | (x & 0xFFFFu); }

unsigned int get_pppc_unplug_irq_id(unsigned int x) { return irqid::PPPC_UNPLUG | (x & 0xFFFFu); }

unsigned int get_fsi_plug_irq_id(unsigned int link, unsigned int cascade, unsigned int engine) {
  return irqid::FSI_PLUG | fsiEngineFields(link, cascade, engine);
}

unsigned int get_fsi_unplug_irq_id(unsigned int link, unsigned int cascade, unsigned int engine) {
  return irqid::FSI_UNPLUG | fsiEngineFields(link, cascade, engine);
}

// The fields do not overlap, so adding them is the same as or-ing them.
unsigned int get_fsi_dio_low_irq_id(unsigned int link, unsigned int cascade, unsigned int engine, unsigned int mask) {
  return irqid::FSI_DIO_LOW + fsiEngineFields(link, cascade, engine) + pinField(mask);
}

unsigned int get_fsi_dio_high_irq_id(unsigned int link, unsigned int cascade, unsigned int engine, unsigned int mask) {
  return irqid::FSI_DIO_HIGH + fsiEngineFields(link, cascade, engine) + pinField(mask);
}

unsigned int get_fsi_shift_irq_id(unsigned int link, unsigned int cascade, unsigned int engine, unsigned int d) {
  return irqid::FSI_SHIFT | fsiEngineFields(link, cascade, engine) | (d & 0x3Fu);
}

unsigned int get_fsi_hw_error_irq_id(unsigned int link, unsigned int cascade) {
  return irqid::FSI_HW_ERROR | fsiFields(link, cascade);
}

unsigned int get_fsi_local_bus_irq_id(unsigned int link, unsigned int cascade) {
  return irqid::FSI_LOCAL_BUS | fsiFields(link, cascade);
}

unsigned int get_fsi_uart_irq_id(unsigned int link, unsigned int cascade, unsigned int c) {
  return irqid::FSI_UART | fsiFields(link, cascade) | (c & 0x3Fu);
}

bool isSsiPlugIrq(unsigned int irqId) { return isKind(irqId, irqid::SSI_PLUG); }
bool isSsiUnplugIrq(unsigned int irqId) { return isKind(irqId, irqid::SSI_UNPLUG); }
bool isSsiDioLowIrq(unsigned int irqId) { return isKind(irqId, irqid::SSI_DIO_LOW); }
bool isSsiDioHighIrq(unsigned int irqId) { return isKind(irqId, irqid::SSI_DIO_HIGH); }
bool isSsiDioIrq(unsigned int irqId) { return isSsiDioLowIrq(irqId) || isSsiDioHighIrq(irqId); }
bool isSsiShiftIrq(unsigned int irqId) { return isKind(irqId, irqid::SSI_SHIFT); }
bool isUartIrq(unsigned int irqId) {
  return isKind(irqId, irqid::UART_EVENT) || isKind(irqId, irqid::UART_ALERT) || isKind(irqId, irqid::UART_IH_ENDED);
}
bool isFsiPlugIrq(unsigned int irqId) { return isKind(irqId, irqid::FSI_PLUG); }
bool isFsiUnplugIrq(unsigned int irqId) { return isKind(irqId, irqid::FSI_UNPLUG); }
