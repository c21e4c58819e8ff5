/* The lower level of the operating-system layer: mutexes (local and named),
 * events, fast mutexes, threads and ids over POSIX threads and System V
 * semaphores. Every function returns 0 or one of the SCF_OS_* codes. */
#ifndef KAV_RUNTIME_SCF_OS_H
#define KAV_RUNTIME_SCF_OS_H

#ifdef __cplusplus
extern "C" {
#endif

#define SCF_OS_RC_OK 0
#define SCF_OS_RC_MUTEX_LOCK_FAILED 0x402B   /* 16427: local lock/unlock failure */
#define SCF_OS_RC_NO_MEMORY 0x9002           /* 36866 */
#define SCF_OS_RC_OPENED 0x9003              /* 36867: named object opened, already existed */
#define SCF_OS_RC_CREATED 0x9004             /* 36868: named object created */
#define SCF_OS_RC_EXISTS 0x9020              /* 36896: named object exists */
#define SCF_OS_RC_VANISHED 0x9021            /* 36897: named object vanished while opening */
#define SCF_OS_RC_NAME_FILE 0x9022           /* 36898: name file cannot be opened */
#define SCF_OS_RC_MUTEX_TIMEOUT 0x9029       /* 36905 */
#define SCF_OS_RC_EVENT_KEY 0x9032           /* 36914: event name key failure */
#define SCF_OS_RC_EVENT_TIMEOUT 0x903A       /* 36922 */
#define SCF_OS_RC_SCHED_FAILED 0x9041        /* 36929: scheduling change failed */
#define SCF_OS_RC_THREAD_CREATE 0x9043       /* 36931 */
#define SCF_OS_RC_INVALID 0x9026             /* 36902: invalid argument */
#define SCF_OS_RC_SEM_FAILED 0x9035          /* 36917: semaphore operation failed */

#define SCF_OS_WAIT_FOREVER (-1L)

/* Operating-system scheduling policies. */
#define SCF_OS_SCHED_OTHER 0
#define SCF_OS_SCHED_FIFO 1
#define SCF_OS_SCHED_RR 2

/* Priority levels of scf_os_thread_set_sched_priority. */
#define SCF_OS_PRIO_MIDDLE 0
#define SCF_OS_PRIO_MAX 1
#define SCF_OS_PRIO_MIN 2
#define SCF_OS_PRIO_75 3

typedef struct scf_os_mu scf_os_mu_t;
typedef struct scf_os_event scf_os_event_t;
typedef struct scf_os_fastmutex scf_os_fastmutex_t;
typedef struct scf_os_thread scf_os_thread_t;
typedef void (*scf_os_thread_func_t)(scf_os_thread_t* handle, void* argument);

/* Mutexes. Without a name (null or "") a local recursive mutex; with a name
 * a process-shared one over a set of 3 semaphores keyed by ftok(path, 99),
 * the path being the name when it begins with "/", else "/tmp/" + name.
 * A timeout of -1 (any negative value) waits without limit. */
int scf_os_mutex_create(scf_os_mu_t** mu, const char* name);
int scf_os_mutex_open(scf_os_mu_t** mu, const char* name);
/* Creates, or opens when it exists: SCF_OS_RC_CREATED or SCF_OS_RC_OPENED
 * for a named mutex, 0 for a local one. */
int scf_os_mutex_request(scf_os_mu_t** mu, const char* name);
int scf_os_mutex_lock(scf_os_mu_t* mu, long timeoutMs);
int scf_os_mutex_trylock(scf_os_mu_t* mu);
int scf_os_mutex_unlock(scf_os_mu_t* mu);
/* Frees this process's record; a named set is removed by its last user. */
int scf_os_mutex_close(scf_os_mu_t* mu);
int scf_os_mutex_destroy(scf_os_mu_t* mu);
/* Owner thread id (0 = free) and recursion count. */
int scf_os_mutex_query(scf_os_mu_t* mu, int* owner, int* count);
/* Number of users of a named mutex (1 for a local one). */
int scf_os_mutex_reference_count(scf_os_mu_t* mu, int* count);
const char* scf_os_mutex_get_name(scf_os_mu_t* mu);
/* Traces every local mutex that has an owner, and their number. */
void scf_os_mutex_dump(void);

/* Events over a set of 2 semaphores (0: state, 0 = posted; 1: users). A
 * named event is keyed like a named mutex; without name a private set. */
int scf_os_event_create(scf_os_event_t** ev, const char* name);
int scf_os_event_open(scf_os_event_t** ev, const char* name);
int scf_os_event_request(scf_os_event_t** ev, const char* name);
int scf_os_event_post(scf_os_event_t* ev);
int scf_os_event_reset(scf_os_event_t* ev);
/* 0 ms does not block; a time-out gives SCF_OS_RC_EVENT_TIMEOUT. */
int scf_os_event_wait(scf_os_event_t* ev, long timeoutMs);
int scf_os_event_close(scf_os_event_t* ev);
int scf_os_event_destroy(scf_os_event_t* ev);

/* Plain non-recursive mutexes. */
int scf_os_fastmutex_create(scf_os_fastmutex_t** mu);
int scf_os_fastmutex_lock(scf_os_fastmutex_t* mu);
int scf_os_fastmutex_unlock(scf_os_fastmutex_t* mu);
int scf_os_fastmutex_destroy(scf_os_fastmutex_t* mu);

/* Threads. The thread runs function(handle, argument); it is created with
 * the normal policy and priority 0 whatever was requested. */
int scf_os_thread_create_with_policy_and_priority(scf_os_thread_t** handle, scf_os_thread_func_t function,
                                                  void* argument, int policy, int priority);
int scf_os_thread_join(scf_os_thread_t* handle);
/* Frees the handle; a thread not joined is detached. */
int scf_os_thread_close(scf_os_thread_t* handle);
/* Applies the operating-system policy with the thread's current priority. */
int scf_os_thread_set_sched_policy(scf_os_thread_t* handle, int policy);
/* Computes the priority of the level for the current policy. */
int scf_os_thread_set_sched_priority(scf_os_thread_t* handle, int priorityLevel);
/* The priority value a level stands for under an operating-system policy. */
int scf_os_thread_priority_of_level(int policy, int priorityLevel);

/* The kernel thread id of the caller (cached per thread), the process id. */
unsigned int scf_os_get_tid(void);
unsigned int scf_os_get_pid(void);

#ifdef __cplusplus
}
#endif

#endif
