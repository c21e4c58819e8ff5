/* libravo_ffdc: first-failure data capture of the ravo libraries.
 *
 * Every failing call of a device leaves a record with the device: the device
 * path, the call, errno and what the library found. The family's
 * ..._ffdc_extract call returns records in a chain buffer allocated with
 * malloc (the caller frees it with free); ..._ffdc_unlock discards the
 * records that were extracted so that new failures are captured again. Up
 * to RAVO_FFDC_MAX_RECORDS records are kept per device; while they are all
 * taken, later failures are not recorded until the next unlock.
 *
 * Chain buffer layout (host byte order):
 *   header   uint32 magic RAVO_FFDC_CHAIN_MAGIC, uint32 total size in bytes,
 *            uint32 number of elements, uint32 0
 *   elements one after the other, each:
 *            uint32 magic RAVO_FFDC_ELEMENT_MAGIC, uint32 element size in
 *            bytes (header included, a multiple of 4), uint32 errno,
 *            uint32 sequence number, then a 0-terminated text.
 *
 * Walking a chain:
 *   void* e = NULL;
 *   while (dd_ffdc_get_chain(buf, &e) == 0 && e) {
 *     int size = dd_ffdc_chain_size(e);
 *     char* text = NULL;
 *     if (size < 1 || dd_ffdc_print(e, size, &text) < 0) break;
 *     ... use text ...; free(text);
 *   }
 * dd_ffdc_print also prints a whole chain buffer (all elements, one line
 * each) when given the buffer and the extract's byte count. */
#ifndef RAVO_FFDC_H
#define RAVO_FFDC_H

#include "ravo_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RAVO_FFDC_CHAIN_MAGIC 0x46464443u   /* "FFDC" */
#define RAVO_FFDC_ELEMENT_MAGIC 0x46464445u /* "FFDE" */
#define RAVO_FFDC_CHAIN_HEADER 16
#define RAVO_FFDC_ELEMENT_HEADER 16
#define RAVO_FFDC_MAX_RECORDS 16

/* Delivers the first element (*element null) or the one after *element.
 * Returns 0 when an element was delivered, 1 at the end of the chain, -1
 * (EINVAL) for a damaged buffer. */
RAVO_API int dd_ffdc_get_chain(const void* chain, void** element);
/* Size of the element in bytes; -1 (EINVAL) when it is not an element. */
RAVO_API int dd_ffdc_chain_size(const void* element);
/* Formats an element or a whole chain as text into a malloc'ed string
 * (*text, freed by the caller with free). Returns the length of the text,
 * -1 (EINVAL) when the buffer is neither. */
RAVO_API int dd_ffdc_print(const void* buf, int size, char** text);

#ifdef __cplusplus
}
#endif

#endif
