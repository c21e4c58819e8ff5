// The exported surface of the platform's firmware services (libfwsvc.so).
#ifndef FW_FWEXPORT_H
#define FW_FWEXPORT_H

#define FW_API __attribute__((visibility("default")))

#endif
