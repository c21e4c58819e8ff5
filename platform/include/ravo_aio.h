/* libravo_aio: asynchronous requests on ravo devices.
 *
 * A context holds up to `capacity` requests (submitted and not yet handed
 * back by ravo_aio_ctx_wait). A control block describes one request: the
 * caller's key (any pointer, handed back by ravo_aiocb_return_key), the
 * device handle and an event record of the device family. For GPIO devices
 * the event record is a ravo_gpio_event_t: the request completes as soon as
 * one watched pin is at its level; a request whose pin is already at its
 * level when it is submitted completes at once. Requests are one-shot.
 *
 * Request states and ravo_aiocb_status results:
 *   RAVO_AIO_STATUS_IDLE      initialised, not submitted
 *   RAVO_AIO_STATUS_PENDING   submitted, waiting for its event
 *   RAVO_AIO_STATUS_DONE      completed (the second status word holds the
 *                             levels of the watched pins at completion)
 *   RAVO_AIO_STATUS_CANCELED  cancelled
 *   ENODEV (19)               the device went away (its CFAM was removed or
 *                             the handle closed) while the request was pending
 * A completed request stays in the context until ravo_aio_ctx_wait hands it
 * back. Cancelling a completed request fails with EAGAIN (it is completing),
 * also after a wait handed it back and until it is deleted; cancelling one
 * that was never submitted or is already cancelled fails with EINVAL. A
 * request is freed with ravo_aiocb_delete when it is not in a context (idle,
 * cancelled, or handed back by a wait).
 *
 * ravo_aio_ctx_wait blocks until at least `min` completed requests are there
 * (or the time-out passes: ETIMEDOUT) and hands back at most `max` of them,
 * oldest first. ravo_aio_ctx_break_wait makes a blocked wait return -1 with
 * EINTR; a break while nobody waits is kept for the next wait. */
#ifndef RAVO_AIO_H
#define RAVO_AIO_H

#include <time.h>

struct timespec;

#include "ravo_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ravo_aio_ctx ravo_aio_ctx;
typedef struct ravo_aio_cb ravo_aio_cb;

#define RAVO_AIO_STATUS_DONE 0
#define RAVO_AIO_STATUS_IDLE 1
#define RAVO_AIO_STATUS_CANCELED 2
#define RAVO_AIO_STATUS_PENDING 115

/* The flags value ravo_aiocb_delete expects. */
#define RAVO_AIOCB_DELETE_FREE 251

RAVO_API ravo_aio_ctx* ravo_aio_ctx_create(unsigned int capacity);
/* Destroys a context; its requests complete with ENODEV first. Fails with
 * EBUSY while a thread waits in it. */
RAVO_API int ravo_aio_ctx_destroy(ravo_aio_ctx* ctx);
/* Submits n control blocks; EAGAIN when the context is full, EBUSY when a
 * block is already submitted. Returns n. */
RAVO_API int ravo_aio_ctx_submit(ravo_aio_ctx* ctx, unsigned int n, ravo_aio_cb** cbs);
/* Returns 0 and stores the number of control blocks written to cbs. */
RAVO_API int ravo_aio_ctx_wait(ravo_aio_ctx* ctx, unsigned int min, unsigned int max,
                               const struct timespec* timeout, unsigned int* n, ravo_aio_cb** cbs);
RAVO_API int ravo_aio_ctx_break_wait(ravo_aio_ctx* ctx);

/* flags must be 0; event_size must match the device family (12 for GPIO). */
RAVO_API ravo_aio_cb* ravo_aiocb_init(void* key, ravo_struct* dev, int flags, void* event, size_t event_size);
RAVO_API void* ravo_aiocb_return_key(ravo_aio_cb* cb);
/* Returns the status (see above); stores the second status word when
 * `second` is not null. */
RAVO_API int ravo_aiocb_status(ravo_aio_cb* cb, int* second);
RAVO_API int ravo_aiocb_cancel(ravo_aio_cb* cb);
RAVO_API int ravo_aiocb_delete(ravo_aio_cb* cb, int flags);

#ifdef __cplusplus
}
#endif

#endif
