// Interrupt ids: 32-bit numbers whose top byte is the kind of interrupt and
// whose lower bits are the position of the source. The interrupt dispatcher
// sends them, listeners compute the id they register for with the same
// functions. Argument bits outside a field are dropped.
//
// "pin" is the position of the most significant set bit of a pin mask
// (bit 31 is pin 0, bit 0 pin 31); an empty mask gives the pin field 0x3F.
#ifndef KAV_HWACCESS_IRQID_H
#define KAV_HWACCESS_IRQID_H

#include "kav/tree/objects/KavExport.h"

namespace irqid {
const unsigned int KIND_MASK = 0xFF000000u;
const unsigned int SSI_PLUG = 0x80000000u;
const unsigned int SSI_UNPLUG = 0x81000000u;
const unsigned int SSI_DIO_LOW = 0x82000000u;
const unsigned int SSI_DIO_HIGH = 0x83000000u;
const unsigned int SSI_SHIFT = 0x84000000u;
const unsigned int UART_EVENT = 0x85000000u;
const unsigned int UART_ALERT = 0x86000000u;
const unsigned int UART_IH_ENDED = 0x87000000u;
const unsigned int PPPC_PLUG = 0x88000000u;
const unsigned int PPPC_UNPLUG = 0x89000000u;
const unsigned int FSI_PLUG = 0x90000000u;
const unsigned int FSI_UNPLUG = 0x91000000u;
const unsigned int FSI_DIO_LOW = 0x92000000u;
const unsigned int FSI_DIO_HIGH = 0x93000000u;
const unsigned int FSI_SHIFT = 0x94000000u;
const unsigned int FSI_HW_ERROR = 0x95000000u;
const unsigned int FSI_LOCAL_BUS = 0x96000000u;
const unsigned int FSI_UART = 0x97000000u;

// The pin of the most significant set bit (0 for bit 31), -1 for 0.
KAV_EXPORT int pinOfMask(unsigned int mask);
}  // namespace irqid

KAV_EXPORT unsigned int get_ssi_plug_irq_id(unsigned int a, unsigned int b);
KAV_EXPORT unsigned int get_ssi_unplug_irq_id(unsigned int a, unsigned int b);
KAV_EXPORT unsigned int get_ssi_dio_low_irq_id(unsigned int a, unsigned int b, unsigned int c, unsigned int mask);
KAV_EXPORT unsigned int get_ssi_dio_high_irq_id(unsigned int a, unsigned int b, unsigned int c, unsigned int mask);
KAV_EXPORT unsigned int get_ssi_shift_irq_id(unsigned int a, unsigned int b, unsigned int c, unsigned int d);
KAV_EXPORT unsigned int get_uart_event_irq_id(unsigned int a, unsigned int b, unsigned int c);
KAV_EXPORT unsigned int get_uart_alert_irq_id(unsigned int a, unsigned int b, unsigned int c);
KAV_EXPORT unsigned int get_uart_ih_ended_irq_id(unsigned int a, unsigned int b, unsigned int c);
KAV_EXPORT unsigned int get_pppc_plug_irq_id(unsigned int x);
KAV_EXPORT unsigned int get_pppc_unplug_irq_id(unsigned int x);
KAV_EXPORT unsigned int get_fsi_plug_irq_id(unsigned int link, unsigned int cascade, unsigned int engine);
KAV_EXPORT unsigned int get_fsi_unplug_irq_id(unsigned int link, unsigned int cascade, unsigned int engine);
KAV_EXPORT unsigned int get_fsi_dio_low_irq_id(unsigned int link, unsigned int cascade, unsigned int engine,
                                               unsigned int mask);
KAV_EXPORT unsigned int get_fsi_dio_high_irq_id(unsigned int link, unsigned int cascade, unsigned int engine,
                                                unsigned int mask);
KAV_EXPORT unsigned int get_fsi_shift_irq_id(unsigned int link, unsigned int cascade, unsigned int engine,
                                             unsigned int d);
KAV_EXPORT unsigned int get_fsi_hw_error_irq_id(unsigned int link, unsigned int cascade);
KAV_EXPORT unsigned int get_fsi_local_bus_irq_id(unsigned int link, unsigned int cascade);
KAV_EXPORT unsigned int get_fsi_uart_irq_id(unsigned int link, unsigned int cascade, unsigned int c);

KAV_EXPORT bool isSsiPlugIrq(unsigned int irqId);
KAV_EXPORT bool isSsiUnplugIrq(unsigned int irqId);
KAV_EXPORT bool isSsiDioLowIrq(unsigned int irqId);
KAV_EXPORT bool isSsiDioHighIrq(unsigned int irqId);
KAV_EXPORT bool isSsiDioIrq(unsigned int irqId);
KAV_EXPORT bool isSsiShiftIrq(unsigned int irqId);
KAV_EXPORT bool isUartIrq(unsigned int irqId);
KAV_EXPORT bool isFsiPlugIrq(unsigned int irqId);
KAV_EXPORT bool isFsiUnplugIrq(unsigned int irqId);

#endif
