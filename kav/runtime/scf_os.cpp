#include "kav/runtime/scf_os.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "kav/runtime/KavTrace.h"

// ---------------------------------------------------------------------------
// Records

struct scf_os_mu {
  int semId;                        // semaphore set of a named mutex
  std::atomic<unsigned int> owner;  // thread id of the holder, 0 = free
  std::atomic<int> count;           // recursion count of the holder
  bool local;
  scf_os_mu* prev;  // list of local mutexes
  scf_os_mu* next;
  char* name;
  pthread_mutex_t mutex;  // local mutex
};

struct scf_os_event {
  int semId;
  char* name;
};

struct scf_os_fastmutex {
  pthread_mutex_t mutex;
};

struct scf_os_thread {
  scf_os_thread_func_t function;
  void* argument;
  pthread_mutex_t mutex;  // guards the joined flag
  pthread_t thread;
  bool joined;
};

namespace {

pthread_mutex_t g_localListMutex = PTHREAD_MUTEX_INITIALIZER;
scf_os_mu* g_localList = nullptr;

union semun {
  int val;
  struct semid_ds* buf;
  unsigned short* array;
};

const int kMutexSemLock = 0;
const int kMutexSemCount = 1;
const int kMutexSemUsers = 2;
const int kEventSemState = 0;
const int kEventSemUsers = 1;
const int kRequestAttempts = 5;

bool hasName(const char* name) { return name != nullptr && name[0] != '\0'; }

std::string pathOf(const char* name) {
  if (name[0] == '/') return std::string(name);
  return std::string("/tmp/") + name;
}

char* copyName(const char* name) {
  const size_t len = std::strlen(name);
  char* copy = new (std::nothrow) char[len + 1];
  if (copy != nullptr) std::memcpy(copy, name, len + 1);
  return copy;
}

// Creates the name file when needed (the key is taken from it).
bool scf_smart_open(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    do {
      fd = ::open(path.c_str(), O_RDONLY);
    } while (fd < 0 && errno == EINTR);
  }
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

int keyOf(const char* name, key_t* key) {
  const std::string path = pathOf(name);
  if (!scf_smart_open(path)) {
    KAV_TRACE_STR(KAVE, "scf_os: name file %s not opened errno=%d", path.c_str(), errno);
    return SCF_OS_RC_NAME_FILE;
  }
  *key = ftok(path.c_str(), 99);
  if (*key == static_cast<key_t>(-1)) {
    KAV_TRACE_STR(KAVE, "scf_os: ftok %s failed errno=%d", path.c_str(), errno);
    return SCF_OS_RC_NAME_FILE;
  }
  return 0;
}

int semOp(int semId, unsigned short num, short op, short flags) {
  struct sembuf b;
  b.sem_num = num;
  b.sem_op = op;
  b.sem_flg = flags;
  int r;
  do {
    r = semop(semId, &b, 1);
  } while (r < 0 && errno == EINTR);
  return r;
}

struct timespec monotonicNow() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts;
}

struct timespec addMs(struct timespec ts, long ms) {
  ts.tv_sec += ms / 1000;
  ts.tv_nsec += (ms % 1000) * 1000000L;
  if (ts.tv_nsec >= 1000000000L) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1000000000L;
  }
  return ts;
}

// Remaining time to the deadline, false when it has passed.
bool remaining(const struct timespec& deadline, struct timespec* left) {
  const struct timespec now = monotonicNow();
  long long ns = (static_cast<long long>(deadline.tv_sec) - now.tv_sec) * 1000000000LL + (deadline.tv_nsec - now.tv_nsec);
  if (ns <= 0) return false;
  left->tv_sec = static_cast<time_t>(ns / 1000000000LL);
  left->tv_nsec = static_cast<long>(ns % 1000000000LL);
  return true;
}

// Semaphore operation with a time-out in ms (negative = no limit, 0 = do
// not block). Returns 0, EAGAIN on time-out or the errno of the failure.
int semOpTimed(int semId, unsigned short num, short op, short flags, long timeoutMs) {
  struct sembuf b;
  b.sem_num = num;
  b.sem_op = op;
  if (timeoutMs == 0) {
    b.sem_flg = static_cast<short>(flags | IPC_NOWAIT);
    while (semop(semId, &b, 1) < 0) {
      if (errno != EINTR) return errno;
    }
    return 0;
  }
  b.sem_flg = flags;
  if (timeoutMs < 0) {
    while (semop(semId, &b, 1) < 0) {
      if (errno != EINTR) return errno;
    }
    return 0;
  }
  const struct timespec deadline = addMs(monotonicNow(), timeoutMs);
  for (;;) {
    struct timespec left;
    if (!remaining(deadline, &left)) {
      left.tv_sec = 0;
      left.tv_nsec = 0;
    }
    if (semtimedop(semId, &b, 1, &left) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

// A new set is initialised by its creator; the first semop of the creator
// marks it ready (sem_otime != 0). Openers wait for that.
bool waitSetReady(int semId) {
  for (int i = 0; i < 1000; ++i) {
    union semun arg;
    struct semid_ds ds;
    arg.buf = &ds;
    if (semctl(semId, 0, IPC_STAT, arg) < 0) return false;
    if (ds.sem_otime != 0) return true;
    const struct timespec pause = {0, 1000000L};
    nanosleep(&pause, nullptr);
  }
  return false;
}

int setVal(int semId, int num, int value) {
  union semun arg;
  arg.val = value;
  return semctl(semId, num, SETVAL, arg);
}

// Creates a set of n semaphores exclusively under the key.
int createSet(key_t key, int n, int* semId) {
  const int id = semget(key, n, IPC_CREAT | IPC_EXCL | 0777);
  if (id < 0) {
    if (errno == EEXIST) return SCF_OS_RC_EXISTS;
    KAV_TRACE(KAVE, "scf_os: semget create failed errno=%d", errno);
    return errno == ENOMEM || errno == ENOSPC ? SCF_OS_RC_NO_MEMORY : SCF_OS_RC_SEM_FAILED;
  }
  *semId = id;
  return 0;
}

int openSet(key_t key, int n, int* semId) {
  const int id = semget(key, n, 0);
  if (id < 0) {
    if (errno == ENOENT || errno == EIDRM) return SCF_OS_RC_VANISHED;
    KAV_TRACE(KAVE, "scf_os: semget open failed errno=%d", errno);
    return SCF_OS_RC_SEM_FAILED;
  }
  if (!waitSetReady(id)) return SCF_OS_RC_VANISHED;
  *semId = id;
  return 0;
}

// One user less; the last one removes the set.
void leaveSet(int semId, unsigned short usersSem) {
  if (semOp(semId, usersSem, -1, IPC_NOWAIT | SEM_UNDO) < 0) {
    KAV_TRACE(KAVE, "scf_os: user count of set %d not decremented errno=%d", semId, errno);
  }
  if (semctl(semId, usersSem, GETVAL) == 0) semctl(semId, 0, IPC_RMID);
}

unsigned int currentTid() { return scf_os_get_tid(); }

void linkLocal(scf_os_mu* mu) {
  pthread_mutex_lock(&g_localListMutex);
  mu->prev = nullptr;
  mu->next = g_localList;
  if (g_localList != nullptr) g_localList->prev = mu;
  g_localList = mu;
  pthread_mutex_unlock(&g_localListMutex);
}

void unlinkLocal(scf_os_mu* mu) {
  pthread_mutex_lock(&g_localListMutex);
  if (mu->prev != nullptr) mu->prev->next = mu->next;
  else if (g_localList == mu) g_localList = mu->next;
  if (mu->next != nullptr) mu->next->prev = mu->prev;
  mu->prev = mu->next = nullptr;
  pthread_mutex_unlock(&g_localListMutex);
}

scf_os_mu* newRecord(bool local, const char* name) {
  scf_os_mu* mu = new (std::nothrow) scf_os_mu;
  if (mu == nullptr) return nullptr;
  mu->semId = 0;
  mu->owner.store(0, std::memory_order_relaxed);
  mu->count.store(0, std::memory_order_relaxed);
  mu->local = local;
  mu->prev = mu->next = nullptr;
  mu->name = nullptr;
  if (name != nullptr) {
    mu->name = copyName(name);
    if (mu->name == nullptr) {
      delete mu;
      return nullptr;
    }
  }
  return mu;
}

void freeRecord(scf_os_mu* mu) {
  delete[] mu->name;
  delete mu;
}

int createLocal(scf_os_mu_t** out) {
  scf_os_mu* mu = newRecord(true, nullptr);
  if (mu == nullptr) return SCF_OS_RC_NO_MEMORY;
  if (pthread_mutex_init(&mu->mutex, nullptr) != 0) {
    freeRecord(mu);
    return SCF_OS_RC_NO_MEMORY;
  }
  linkLocal(mu);
  *out = mu;
  return 0;
}

int lockLocal(scf_os_mu* mu, long timeoutMs) {
  const unsigned int tid = currentTid();
  if (mu->owner.load(std::memory_order_relaxed) == tid) {
    mu->count.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
  int r = pthread_mutex_trylock(&mu->mutex);
  if (r == EBUSY) {
    if (timeoutMs < 0) {
      r = pthread_mutex_lock(&mu->mutex);
    } else {
      struct timespec deadline;
      clock_gettime(CLOCK_REALTIME, &deadline);
      deadline = addMs(deadline, timeoutMs);
      r = pthread_mutex_timedlock(&mu->mutex, &deadline);
      if (r == ETIMEDOUT) return SCF_OS_RC_MUTEX_TIMEOUT;
    }
  }
  if (r != 0) {
    KAV_TRACE(KAVE, "scf_os: local lock %p failed r=%d", mu, r);
    return SCF_OS_RC_MUTEX_LOCK_FAILED;
  }
  mu->owner.store(tid, std::memory_order_relaxed);
  mu->count.store(1, std::memory_order_relaxed);
  return 0;
}

int unlockLocal(scf_os_mu* mu) {
  const unsigned int tid = currentTid();
  int rc = 0;
  pthread_mutex_lock(&g_localListMutex);
  if (mu->count.load(std::memory_order_relaxed) == 0 || mu->owner.load(std::memory_order_relaxed) != tid) {
    KAV_TRACE(KAVE, "scf_os: unlock %p not held by %u owner=%u count=%d", mu, tid,
              mu->owner.load(std::memory_order_relaxed), mu->count.load(std::memory_order_relaxed));
    rc = SCF_OS_RC_MUTEX_LOCK_FAILED;
  } else if (mu->count.fetch_sub(1, std::memory_order_relaxed) == 1) {
    mu->owner.store(0, std::memory_order_relaxed);
    pthread_mutex_unlock(&mu->mutex);
  }
  pthread_mutex_unlock(&g_localListMutex);
  return rc;
}

int createNamed(scf_os_mu_t** out, const char* name) {
  key_t key;
  int rc = keyOf(name, &key);
  if (rc != 0) return rc;
  int semId = -1;
  rc = createSet(key, 3, &semId);
  if (rc != 0) return rc;
  if (setVal(semId, kMutexSemLock, 1) < 0 || setVal(semId, kMutexSemCount, 0) < 0 ||
      semOp(semId, kMutexSemUsers, 1, SEM_UNDO) < 0) {
    KAV_TRACE(KAVE, "scf_os: init of mutex set %d failed errno=%d", semId, errno);
    semctl(semId, 0, IPC_RMID);
    return SCF_OS_RC_SEM_FAILED;
  }
  scf_os_mu* mu = newRecord(false, name);
  if (mu == nullptr) {
    leaveSet(semId, kMutexSemUsers);
    return SCF_OS_RC_NO_MEMORY;
  }
  mu->semId = semId;
  *out = mu;
  return 0;
}

int openNamed(scf_os_mu_t** out, const char* name) {
  key_t key;
  int rc = keyOf(name, &key);
  if (rc != 0) return rc;
  int semId = -1;
  rc = openSet(key, 3, &semId);
  if (rc != 0) return rc;
  if (semOp(semId, kMutexSemUsers, 1, SEM_UNDO) < 0) return SCF_OS_RC_VANISHED;
  scf_os_mu* mu = newRecord(false, name);
  if (mu == nullptr) {
    leaveSet(semId, kMutexSemUsers);
    return SCF_OS_RC_NO_MEMORY;
  }
  mu->semId = semId;
  *out = mu;
  return 0;
}

int lockNamed(scf_os_mu* mu, long timeoutMs) {
  const unsigned int tid = currentTid();
  if (mu->owner.load(std::memory_order_relaxed) == tid) {
    if (semOp(mu->semId, kMutexSemCount, 1, 0) < 0) return SCF_OS_RC_SEM_FAILED;
    mu->count.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
  int err = semOpTimed(mu->semId, kMutexSemLock, -1, SEM_UNDO, 0);
  if (err == EAGAIN && timeoutMs != 0) err = semOpTimed(mu->semId, kMutexSemLock, -1, SEM_UNDO, timeoutMs);
  if (err == EAGAIN) return SCF_OS_RC_MUTEX_TIMEOUT;
  if (err != 0) {
    KAV_TRACE(KAVE, "scf_os: named lock %p failed errno=%d", mu, err);
    return SCF_OS_RC_SEM_FAILED;
  }
  setVal(mu->semId, kMutexSemCount, 0);
  semOp(mu->semId, kMutexSemCount, 1, 0);
  mu->owner.store(tid, std::memory_order_relaxed);
  mu->count.store(1, std::memory_order_relaxed);
  return 0;
}

int unlockNamed(scf_os_mu* mu) {
  const unsigned int tid = currentTid();
  if (mu->owner.load(std::memory_order_relaxed) != tid || mu->count.load(std::memory_order_relaxed) == 0) {
    KAV_TRACE(KAVE, "scf_os: named unlock %p not held by %u", mu, tid);
    return SCF_OS_RC_MUTEX_LOCK_FAILED;
  }
  semOp(mu->semId, kMutexSemCount, -1, IPC_NOWAIT);
  if (mu->count.fetch_sub(1, std::memory_order_relaxed) == 1) {
    mu->owner.store(0, std::memory_order_relaxed);
    if (semOp(mu->semId, kMutexSemLock, 1, SEM_UNDO) < 0) return SCF_OS_RC_SEM_FAILED;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Mutexes

extern "C" int scf_os_mutex_create(scf_os_mu_t** mu, const char* name) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  *mu = nullptr;
  return hasName(name) ? createNamed(mu, name) : createLocal(mu);
}

extern "C" int scf_os_mutex_open(scf_os_mu_t** mu, const char* name) {
  if (mu == nullptr || !hasName(name)) return SCF_OS_RC_INVALID;
  *mu = nullptr;
  return openNamed(mu, name);
}

extern "C" int scf_os_mutex_request(scf_os_mu_t** mu, const char* name) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  if (!hasName(name)) return scf_os_mutex_create(mu, name);
  int rc = SCF_OS_RC_VANISHED;
  for (int attempt = 0; attempt < kRequestAttempts; ++attempt) {
    rc = scf_os_mutex_create(mu, name);
    if (rc == 0) return SCF_OS_RC_CREATED;
    if (rc != SCF_OS_RC_EXISTS) return rc;
    rc = scf_os_mutex_open(mu, name);
    if (rc == 0) return SCF_OS_RC_OPENED;
    if (rc != SCF_OS_RC_VANISHED) return rc;
  }
  KAV_TRACE_STR(KAVE, "scf_os: mutex %s not requested rc=0x%X", name, rc);
  return rc;
}

extern "C" int scf_os_mutex_lock(scf_os_mu_t* mu, long timeoutMs) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  return mu->local ? lockLocal(mu, timeoutMs) : lockNamed(mu, timeoutMs);
}

extern "C" int scf_os_mutex_trylock(scf_os_mu_t* mu) { return scf_os_mutex_lock(mu, 0); }

extern "C" int scf_os_mutex_unlock(scf_os_mu_t* mu) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  return mu->local ? unlockLocal(mu) : unlockNamed(mu);
}

extern "C" int scf_os_mutex_close(scf_os_mu_t* mu) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  const unsigned int tid = currentTid();
  if (mu->count.load(std::memory_order_relaxed) != 0) {
    KAV_TRACE(KAVT, "scf_os: closing mutex %p held by %u count=%d", mu, mu->owner.load(std::memory_order_relaxed),
              mu->count.load(std::memory_order_relaxed));
  }
  if (mu->local) {
    unlinkLocal(mu);
    if (mu->owner.load(std::memory_order_relaxed) == tid) pthread_mutex_unlock(&mu->mutex);
    pthread_mutex_destroy(&mu->mutex);
  } else {
    if (mu->owner.load(std::memory_order_relaxed) == tid) {
      setVal(mu->semId, kMutexSemCount, 0);
      semOp(mu->semId, kMutexSemLock, 1, SEM_UNDO);
    }
    leaveSet(mu->semId, kMutexSemUsers);
  }
  freeRecord(mu);
  return 0;
}

extern "C" int scf_os_mutex_destroy(scf_os_mu_t* mu) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  if (mu->local) return scf_os_mutex_close(mu);
  semctl(mu->semId, 0, IPC_RMID);
  freeRecord(mu);
  return 0;
}

extern "C" int scf_os_mutex_query(scf_os_mu_t* mu, int* owner, int* count) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  if (owner != nullptr) *owner = static_cast<int>(mu->owner.load(std::memory_order_relaxed));
  if (count != nullptr) *count = mu->count.load(std::memory_order_relaxed);
  return 0;
}

extern "C" int scf_os_mutex_reference_count(scf_os_mu_t* mu, int* count) {
  if (mu == nullptr || count == nullptr) return SCF_OS_RC_INVALID;
  if (mu->local) {
    *count = 1;
    return 0;
  }
  const int users = semctl(mu->semId, kMutexSemUsers, GETVAL);
  if (users < 0) return SCF_OS_RC_SEM_FAILED;
  *count = users;
  return 0;
}

extern "C" const char* scf_os_mutex_get_name(scf_os_mu_t* mu) { return mu == nullptr ? nullptr : mu->name; }

extern "C" void scf_os_mutex_dump(void) {
  unsigned int held = 0;
  pthread_mutex_lock(&g_localListMutex);
  for (scf_os_mu* mu = g_localList; mu != nullptr; mu = mu->next) {
    const unsigned int owner = mu->owner.load(std::memory_order_relaxed);
    if (owner == 0) continue;
    ++held;
    KAV_TRACE(KAVE, " %p,%p,%08x,%d", mu, &mu->mutex, owner, mu->count.load(std::memory_order_relaxed));
  }
  pthread_mutex_unlock(&g_localListMutex);
  KAV_TRACE(KAVE, "scf_os_mutex_dump: %u mutexes held", held);
}

// ---------------------------------------------------------------------------
// Events

namespace {

int createEvent(scf_os_event_t** out, const char* name) {
  int semId = -1;
  if (hasName(name)) {
    key_t key;
    if (keyOf(name, &key) != 0) return SCF_OS_RC_EVENT_KEY;
    const int rc = createSet(key, 2, &semId);
    if (rc != 0) return rc;
  } else {
    semId = semget(IPC_PRIVATE, 2, IPC_CREAT | 0777);
    if (semId < 0) return errno == ENOMEM || errno == ENOSPC ? SCF_OS_RC_NO_MEMORY : SCF_OS_RC_SEM_FAILED;
  }
  if (setVal(semId, kEventSemState, 1) < 0 || semOp(semId, kEventSemUsers, 1, SEM_UNDO) < 0) {
    semctl(semId, 0, IPC_RMID);
    return SCF_OS_RC_SEM_FAILED;
  }
  scf_os_event* ev = new (std::nothrow) scf_os_event;
  if (ev == nullptr) {
    semctl(semId, 0, IPC_RMID);
    return SCF_OS_RC_NO_MEMORY;
  }
  ev->semId = semId;
  ev->name = hasName(name) ? copyName(name) : nullptr;
  *out = ev;
  return 0;
}

}  // namespace

extern "C" int scf_os_event_create(scf_os_event_t** ev, const char* name) {
  if (ev == nullptr) return SCF_OS_RC_INVALID;
  *ev = nullptr;
  return createEvent(ev, name);
}

extern "C" int scf_os_event_open(scf_os_event_t** ev, const char* name) {
  if (ev == nullptr || !hasName(name)) return SCF_OS_RC_INVALID;
  *ev = nullptr;
  key_t key;
  if (keyOf(name, &key) != 0) return SCF_OS_RC_EVENT_KEY;
  int semId = -1;
  const int rc = openSet(key, 2, &semId);
  if (rc != 0) return rc;
  if (semOp(semId, kEventSemUsers, 1, SEM_UNDO) < 0) return SCF_OS_RC_VANISHED;
  scf_os_event* e = new (std::nothrow) scf_os_event;
  if (e == nullptr) {
    leaveSet(semId, kEventSemUsers);
    return SCF_OS_RC_NO_MEMORY;
  }
  e->semId = semId;
  e->name = copyName(name);
  *ev = e;
  return 0;
}

extern "C" int scf_os_event_request(scf_os_event_t** ev, const char* name) {
  if (ev == nullptr) return SCF_OS_RC_INVALID;
  if (!hasName(name)) return scf_os_event_create(ev, name);
  int rc = SCF_OS_RC_VANISHED;
  for (int attempt = 0; attempt < kRequestAttempts; ++attempt) {
    rc = scf_os_event_create(ev, name);
    if (rc == 0) return SCF_OS_RC_CREATED;
    if (rc != SCF_OS_RC_EXISTS) return rc;
    rc = scf_os_event_open(ev, name);
    if (rc == 0) return SCF_OS_RC_OPENED;
    if (rc != SCF_OS_RC_VANISHED) return rc;
  }
  return rc;
}

extern "C" int scf_os_event_post(scf_os_event_t* ev) {
  if (ev == nullptr) return SCF_OS_RC_INVALID;
  return setVal(ev->semId, kEventSemState, 0) < 0 ? SCF_OS_RC_SEM_FAILED : 0;
}

extern "C" int scf_os_event_reset(scf_os_event_t* ev) {
  if (ev == nullptr) return SCF_OS_RC_INVALID;
  return setVal(ev->semId, kEventSemState, 1) < 0 ? SCF_OS_RC_SEM_FAILED : 0;
}

extern "C" int scf_os_event_wait(scf_os_event_t* ev, long timeoutMs) {
  if (ev == nullptr) return SCF_OS_RC_INVALID;
  const int err = semOpTimed(ev->semId, kEventSemState, 0, 0, timeoutMs);
  if (err == 0) return 0;
  if (err == EAGAIN) return SCF_OS_RC_EVENT_TIMEOUT;
  KAV_TRACE(KAVE, "scf_os: event wait %p failed errno=%d", ev, err);
  return SCF_OS_RC_SEM_FAILED;
}

extern "C" int scf_os_event_close(scf_os_event_t* ev) {
  if (ev == nullptr) return SCF_OS_RC_INVALID;
  leaveSet(ev->semId, kEventSemUsers);
  delete[] ev->name;
  delete ev;
  return 0;
}

extern "C" int scf_os_event_destroy(scf_os_event_t* ev) {
  if (ev == nullptr) return SCF_OS_RC_INVALID;
  semctl(ev->semId, 0, IPC_RMID);
  delete[] ev->name;
  delete ev;
  return 0;
}

// ---------------------------------------------------------------------------
// Fast mutexes

extern "C" int scf_os_fastmutex_create(scf_os_fastmutex_t** mu) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  scf_os_fastmutex* m = new (std::nothrow) scf_os_fastmutex;
  if (m == nullptr) return SCF_OS_RC_NO_MEMORY;
  if (pthread_mutex_init(&m->mutex, nullptr) != 0) {
    delete m;
    return SCF_OS_RC_NO_MEMORY;
  }
  *mu = m;
  return 0;
}

extern "C" int scf_os_fastmutex_lock(scf_os_fastmutex_t* mu) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  return pthread_mutex_lock(&mu->mutex) == 0 ? 0 : SCF_OS_RC_MUTEX_LOCK_FAILED;
}

extern "C" int scf_os_fastmutex_unlock(scf_os_fastmutex_t* mu) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  return pthread_mutex_unlock(&mu->mutex) == 0 ? 0 : SCF_OS_RC_MUTEX_LOCK_FAILED;
}

extern "C" int scf_os_fastmutex_destroy(scf_os_fastmutex_t* mu) {
  if (mu == nullptr) return SCF_OS_RC_INVALID;
  pthread_mutex_destroy(&mu->mutex);
  delete mu;
  return 0;
}

// ---------------------------------------------------------------------------
// Threads

namespace {

void* threadMain(void* p) {
  scf_os_thread* handle = static_cast<scf_os_thread*>(p);
  handle->function(handle, handle->argument);
  return nullptr;
}

}  // namespace

extern "C" int scf_os_thread_create_with_policy_and_priority(scf_os_thread_t** handle, scf_os_thread_func_t function,
                                                             void* argument, int policy, int priority) {
  if (handle == nullptr || function == nullptr) return SCF_OS_RC_INVALID;
  *handle = nullptr;
  scf_os_thread* h = new (std::nothrow) scf_os_thread;
  if (h == nullptr) return SCF_OS_RC_NO_MEMORY;
  h->function = function;
  h->argument = argument;
  h->joined = false;
  pthread_mutex_init(&h->mutex, nullptr);

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
  pthread_attr_setschedpolicy(&attr, SCHED_OTHER);
  struct sched_param param;
  std::memset(&param, 0, sizeof param);
  param.sched_priority = 0;
  pthread_attr_setschedparam(&attr, &param);
  const int r = pthread_create(&h->thread, &attr, threadMain, h);
  pthread_attr_destroy(&attr);
  if (r != 0) {
    KAV_TRACE(KAVE, "scf_os: thread creation failed r=%d policy=%d priority=%d", r, policy, priority);
    pthread_mutex_destroy(&h->mutex);
    delete h;
    return SCF_OS_RC_THREAD_CREATE;
  }
  *handle = h;
  return 0;
}

// Marks the thread joined (or detached) and tells whether it already was:
// only the first caller may join or detach it.
static bool claimJoin(scf_os_thread_t* handle) {
  pthread_mutex_lock(&handle->mutex);
  const bool joined = handle->joined;
  handle->joined = true;
  pthread_mutex_unlock(&handle->mutex);
  return joined;
}

extern "C" int scf_os_thread_join(scf_os_thread_t* handle) {
  if (handle == nullptr) return SCF_OS_RC_INVALID;
  if (claimJoin(handle)) return 0;
  const int r = pthread_join(handle->thread, nullptr);
  if (r != 0) {
    KAV_TRACE(KAVE, "scf_os: join failed r=%d", r);
    pthread_mutex_lock(&handle->mutex);
    handle->joined = false;
    pthread_mutex_unlock(&handle->mutex);
    return SCF_OS_RC_INVALID;
  }
  return 0;
}

extern "C" int scf_os_thread_close(scf_os_thread_t* handle) {
  if (handle == nullptr) return SCF_OS_RC_INVALID;
  if (!claimJoin(handle)) pthread_detach(handle->thread);
  pthread_mutex_destroy(&handle->mutex);
  delete handle;
  return 0;
}

extern "C" int scf_os_thread_priority_of_level(int policy, int priorityLevel) {
  const int max = sched_get_priority_max(policy);
  const int min = sched_get_priority_min(policy);
  switch (priorityLevel) {
    case SCF_OS_PRIO_MAX:
      return max;
    case SCF_OS_PRIO_MIN:
      return min;
    case SCF_OS_PRIO_75:
      return 75;
    default:
      return (min + max) / 2;
  }
}

extern "C" int scf_os_thread_set_sched_policy(scf_os_thread_t* handle, int policy) {
  if (handle == nullptr) return SCF_OS_RC_INVALID;
  int currentPolicy = 0;
  struct sched_param param;
  std::memset(&param, 0, sizeof param);
  if (pthread_getschedparam(handle->thread, &currentPolicy, &param) != 0) return SCF_OS_RC_SCHED_FAILED;
  const int r = pthread_setschedparam(handle->thread, policy, &param);
  if (r != 0) {
    KAV_TRACE(KAVT, "scf_os: policy %d not applied r=%d priority=%d", policy, r, param.sched_priority);
    return SCF_OS_RC_SCHED_FAILED;
  }
  return 0;
}

extern "C" int scf_os_thread_set_sched_priority(scf_os_thread_t* handle, int priorityLevel) {
  if (handle == nullptr) return SCF_OS_RC_INVALID;
  int policy = 0;
  struct sched_param param;
  std::memset(&param, 0, sizeof param);
  if (pthread_getschedparam(handle->thread, &policy, &param) != 0) return SCF_OS_RC_SCHED_FAILED;
  const int priority = scf_os_thread_priority_of_level(policy, priorityLevel);
  // The thread keeps priority 0: the computed value is only traced.
  KAV_TRACE(KAVT, "scf_os: priority level %d is %d under policy %d", priorityLevel, priority, policy);
  param.sched_priority = 0;
  const int r = pthread_setschedparam(handle->thread, policy, &param);
  if (r != 0) {
    KAV_TRACE(KAVT, "scf_os: priority not applied r=%d policy=%d", r, policy);
    return SCF_OS_RC_SCHED_FAILED;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Ids

extern "C" unsigned int scf_os_get_tid(void) {
  static thread_local unsigned int t_tid = 0;
  if (t_tid == 0) t_tid = static_cast<unsigned int>(syscall(SYS_gettid));
  return t_tid;
}

extern "C" unsigned int scf_os_get_pid(void) { return static_cast<unsigned int>(getpid()); }
