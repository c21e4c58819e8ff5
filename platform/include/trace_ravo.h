/* Trace library of the platform: named in-memory ring buffers of compact
 * binary records.
 *
 * A record holds the time, the trace point (a format text with static
 * storage duration and a source line), up to TRACE_RAVO_MAX_ARGS 32-bit
 * values and optionally one short string. Writing never fails and never
 * blocks the caller for long; it is safe from any thread. The decoder turns
 * a buffer back into text lines. With the environment variable KAV_TRACE set
 * to "stderr" every record is mirrored as a text line to stderr. */
#ifndef TRACE_RAVO_H
#define TRACE_RAVO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TRACE_RAVO_API __attribute__((visibility("default")))
#define TRACE_RAVO_MAX_ARGS 8
#define TRACE_RAVO_MAX_STRING 48

typedef struct trace_ravo_buffer* trace_ravo_desc_t;

/* Creates the buffer `name` of `size` bytes, or finds it when it already
 * exists. Returns 0 and stores the descriptor in *desc; -1 on bad arguments. */
TRACE_RAVO_API int trace_ravo_init_buffer(trace_ravo_desc_t* desc, const char* name, unsigned int size);

/* Writes one record. `fmt` must outlive the process's use of the buffer (a
 * string literal); it may use %d %i %u %x %X %p-free integer conversions for
 * the values and one %s for `str`. A null descriptor is ignored. */
TRACE_RAVO_API void trace_ravo_write_all(trace_ravo_desc_t desc, const char* fmt, unsigned int line,
                                         const char* str, unsigned int nargs, const uint32_t* args);

/* The buffer of that name, or null. */
TRACE_RAVO_API trace_ravo_desc_t trace_ravo_find_buffer(const char* name);

/* Calls `line` for each record of the buffer, oldest first, with the record
 * as text ("<seconds>.<micros> <line>: <formatted text>"). Returns the number
 * of records. */
TRACE_RAVO_API size_t trace_ravo_decode(trace_ravo_desc_t desc, void (*line)(void* ctx, const char* text),
                                        void* ctx);

/* Writes the last `last` records of every buffer as text to the descriptor. */
TRACE_RAVO_API void trace_ravo_dump_all(int fd, unsigned int last);

/* Empties every buffer (tests). */
TRACE_RAVO_API void trace_ravo_clear_all(void);

/* An observer sees every record written while it is installed, however busy
 * the buffers: it is called on the writing thread, after the record is
 * stored, with the buffer's name and the record as trace_ravo_decode gives
 * it. It must not write records itself. For tests and tools; the platform's
 * own trace library has no such call. */
typedef void (*trace_ravo_observer_t)(void* ctx, const char* buffer, const char* text);

/* Installs the observer (null removes it). Returns only after a call of the
 * observer it replaces has ended, so that its context may then go. */
TRACE_RAVO_API void trace_ravo_set_observer(trace_ravo_observer_t observer, void* ctx);

#ifdef __cplusplus
}
#endif

#endif
