// libravo_aio over the simulated machine.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <new>

#include "SimMachine.h"

using namespace ravosim::detail;

namespace {

bool validCb(Call& c, ravo_aio_cb* cb) {
  if (!cb || !c.m.cbs.count(cb)) return false;
  c.path = cb->path;
  return true;
}

}  // namespace

extern "C" {

RAVO_API ravo_aio_ctx* ravo_aio_ctx_create(unsigned int capacity) {
  Call c("ravo_aio_ctx_create");
  if (c.injectedFault()) return nullptr;
  if (capacity == 0) {
    c.fail(EINVAL);
    return nullptr;
  }
  auto* ctx = new (std::nothrow) ravo_aio_ctx;
  if (!ctx) {
    c.fail(ENOMEM);
    return nullptr;
  }
  ctx->capacity = capacity;
  c.m.contexts.insert(ctx);
  return ctx;
}

RAVO_API int ravo_aio_ctx_destroy(ravo_aio_ctx* ctx) {
  Call c("ravo_aio_ctx_destroy");
  if (!ctx || !c.m.contexts.count(ctx)) return c.fail(EINVAL);
  if (c.injectedFault()) return -1;
  if (ctx->waiters) return c.fail(EBUSY);
  for (ravo_aio_cb* cb : ctx->pending) {
    cb->state = ravo_aio_cb::Returned;
    cb->status = ENODEV;
    cb->ctx = nullptr;
  }
  for (ravo_aio_cb* cb : ctx->completed) {
    cb->state = ravo_aio_cb::Returned;
    cb->ctx = nullptr;
  }
  c.m.contexts.erase(ctx);
  delete ctx;
  return 0;
}

RAVO_API int ravo_aio_ctx_submit(ravo_aio_ctx* ctx, unsigned int n, ravo_aio_cb** cbs) {
  Call c("ravo_aio_ctx_submit");
  if (!ctx || !c.m.contexts.count(ctx) || !cbs) return c.fail(EINVAL);
  for (unsigned i = 0; i < n; ++i) {
    if (!validCb(c, cbs[i])) {
      c.path.clear();
      return c.fail(EINVAL);
    }
  }
  if (n > 0) c.path = cbs[0]->path;
  if (c.injectedFault()) return -1;
  if (ctx->pending.size() + ctx->completed.size() + n > ctx->capacity)
    return c.fail(EAGAIN, "the context holds " + std::to_string(ctx->capacity) + " requests");
  for (unsigned i = 0; i < n; ++i) {
    ravo_aio_cb* cb = cbs[i];
    c.path = cb->path;
    if (cb->state == ravo_aio_cb::Pending || cb->state == ravo_aio_cb::Completed)
      return c.fail(EBUSY, "the request is already submitted");
    int err = 0;
    if (!cb->dev || !c.m.handles.count(cb->dev)) return c.fail(EBADF, "the request's device is closed");
    if (!c.m.engineOf(cb->dev, err)) return c.fail(err, "the request's device is not present");
  }
  for (unsigned i = 0; i < n; ++i) {
    ravo_aio_cb* cb = cbs[i];
    cb->state = ravo_aio_cb::Pending;
    cb->status = RAVO_AIO_STATUS_PENDING;
    cb->second = 0;
    cb->heldLogged = false;
    cb->ctx = ctx;
    ctx->pending.insert(cb);
  }
  c.m.recheckRequests();
  return static_cast<int>(n);
}

RAVO_API int ravo_aio_ctx_wait(ravo_aio_ctx* ctx, unsigned int min, unsigned int max, const struct timespec* timeout,
                               unsigned int* n, ravo_aio_cb** cbs) {
  Call c("ravo_aio_ctx_wait");
  if (!ctx || !c.m.contexts.count(ctx) || !n || !cbs || max == 0 || min > max) return c.fail(EINVAL);
  if (c.injectedFault()) return -1;
  *n = 0;
  const auto deadline =
      timeout ? std::chrono::steady_clock::now() + std::chrono::seconds(timeout->tv_sec) +
                    std::chrono::nanoseconds(timeout->tv_nsec)
              : std::chrono::steady_clock::time_point::max();
  ++ctx->waiters;
  bool timedOut = false;
  // Waits no longer than the machine's next wake-up, which may complete a
  // request (a lock-detect line that returns after its settling time).
  for (;;) {
    c.m.processTimers();
    if (ctx->breakPending || ctx->completed.size() >= min) break;
    if (timeout && std::chrono::steady_clock::now() >= deadline) {
      timedOut = true;
      break;
    }
    const auto until = std::min(deadline, c.m.nextWake);
    if (until == std::chrono::steady_clock::time_point::max())
      ctx->cv.wait(c.lock);
    else
      ctx->cv.wait_until(c.lock, until);
  }
  --ctx->waiters;
  if (ctx->breakPending) {
    ctx->breakPending = false;
    return c.fail(EINTR);
  }
  if (timedOut) return c.fail(ETIMEDOUT);
  unsigned got = 0;
  while (got < max && !ctx->completed.empty()) {
    ravo_aio_cb* cb = ctx->completed.front();
    ctx->completed.pop_front();
    cb->state = ravo_aio_cb::Returned;
    cb->ctx = nullptr;
    cbs[got++] = cb;
  }
  *n = got;
  return 0;
}

RAVO_API int ravo_aio_ctx_break_wait(ravo_aio_ctx* ctx) {
  Call c("ravo_aio_ctx_break_wait");
  if (!ctx || !c.m.contexts.count(ctx)) return c.fail(EINVAL);
  if (c.injectedFault()) return -1;
  ctx->breakPending = true;
  ctx->cv.notify_all();
  return 0;
}

RAVO_API ravo_aio_cb* ravo_aiocb_init(void* key, ravo_struct* dev, int flags, void* event, size_t event_size) {
  Call c("ravo_aiocb_init");
  if (!c.handle(dev, Family::Gpio)) return nullptr;
  if (c.injectedFault()) return nullptr;
  const auto* ev = static_cast<const ravo_gpio_event_t*>(event);
  if (flags != 0 || !ev || event_size != sizeof(ravo_gpio_event_t) || ev->type != RAVO_GPIO_EVENT_LEVEL) {
    c.fail(EINVAL, "bad event record");
    return nullptr;
  }
  auto* cb = new (std::nothrow) ravo_aio_cb;
  if (!cb) {
    c.fail(ENOMEM);
    return nullptr;
  }
  cb->key = key;
  cb->dev = dev;
  cb->path = dev->path;
  cb->event = *ev;
  c.m.cbs.insert(cb);
  return cb;
}

RAVO_API void* ravo_aiocb_return_key(ravo_aio_cb* cb) {
  Call c("ravo_aiocb_return_key");
  if (!validCb(c, cb)) {
    c.fail(EINVAL);
    return nullptr;
  }
  return cb->key;
}

RAVO_API int ravo_aiocb_status(ravo_aio_cb* cb, int* second) {
  Call c("ravo_aiocb_status");
  if (!validCb(c, cb)) return c.fail(EINVAL);
  if (c.injectedFault()) return -1;
  if (second) *second = cb->second;
  return cb->status;
}

RAVO_API int ravo_aiocb_cancel(ravo_aio_cb* cb) {
  Call c("ravo_aiocb_cancel");
  if (!validCb(c, cb)) return c.fail(EINVAL);
  if (c.injectedFault()) return -1;
  switch (cb->state) {
    case ravo_aio_cb::Pending:
      cb->ctx->pending.erase(cb);
      cb->ctx = nullptr;
      cb->state = ravo_aio_cb::Canceled;
      cb->status = RAVO_AIO_STATUS_CANCELED;
      return 0;
    case ravo_aio_cb::Completed:
    case ravo_aio_cb::Returned:
      // Completed, in the context or already handed to a waiter that has
      // not deleted it yet: the completion wins.
      return c.fail(EAGAIN, "the request is completing");
    default:
      return c.fail(EINVAL, "the request is not submitted");
  }
}

RAVO_API int ravo_aiocb_delete(ravo_aio_cb* cb, int flags) {
  Call c("ravo_aiocb_delete");
  if (!validCb(c, cb)) return c.fail(EINVAL);
  if (c.injectedFault()) return -1;
  if (flags != RAVO_AIOCB_DELETE_FREE) return c.fail(EINVAL, "bad flags");
  if (cb->state == ravo_aio_cb::Pending || cb->state == ravo_aio_cb::Completed)
    return c.fail(EBUSY, "the request is still in its context");
  c.m.cbs.erase(cb);
  delete cb;
  return 0;
}

}  // extern "C"
