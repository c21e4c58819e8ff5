/* The ravo device-access libraries: every family in one include. */
#ifndef RAVO_H
#define RAVO_H

#include "ravo_aio.h"
#include "ravo_ffdc.h"
#include "ravo_fsi.h"
#include "ravo_gpio.h"
#include "ravo_iic.h"
#include "ravo_iomux.h"
#include "ravo_scratchpad.h"
#include "ravo_types.h"

#endif
