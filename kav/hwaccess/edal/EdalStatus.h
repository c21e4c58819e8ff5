// Status codes of the device access layer (32-bit; 0 = success) and the
// conversion of a code into an error value.
#ifndef KAV_HWACCESS_EDALSTATUS_H
#define KAV_HWACCESS_EDALSTATUS_H

#include <string>

class ErrorData;

namespace edal {

const unsigned int EDAL_OK = 0;
// Digital I/O library failure: the base plus errno.
const unsigned int EDAL_DIO_BASE = 0x50000;
// Interrupt enable found a pending request on a pin that is not marked enabled.
const unsigned int EDAL_DIO_NOT_ENABLED = 0x5000B;
// An allocation failed (handle, event record, key record, mutex).
const unsigned int EDAL_DIO_NOMEM = 0x5000C;
// Invalid argument (empty enable mask, unknown lookup-table control).
const unsigned int EDAL_DIO_INVAL = 0x50016;
// The interrupt context does not exist.
const unsigned int EDAL_DIO_NO_CONTEXT = 0x5012C;
// The aio context mutex does not exist.
const unsigned int EDAL_DIO_NO_CONTEXT_MUTEX = 0x5012D;
// Interrupt enable found a pending request with another interrupt id or level.
const unsigned int EDAL_DIO_CONFLICT = 0x50132;
// I2C library failure: the base plus errno.
const unsigned int EDAL_I2C_BASE = 0x70000;
// The I2C transfer mode is undefined.
const unsigned int EDAL_I2C_MODE_UNDEFINED = 0x70016;
// A logical failure that has no errno.
const unsigned int EDAL_LOGICAL = 0xFFFF;

// errno values the layer looks at.
const unsigned int EDAL_ERRNO_AGAIN = 11;

}  // namespace edal

// Fills the error value of a failed engine access (its code was already
// assigned): appends text, the engine's path (when enginePath is not null)
// and the device access layer's message, sets the keys to the string ids of
// primaryKey and secondaryKey and adds the slot id of the failing object.
void setFsiHwaErrorData(ErrorData& err, const std::string& text, const std::string& primaryKey,
                        const std::string& secondaryKey, unsigned int slotId, const char* enginePath,
                        const std::string& msg);

#endif
