#include "win_sync.h"

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&cs->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  cs->initialized = 1;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) { pthread_mutex_lock(&cs->mutex); }

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
  return pthread_mutex_trylock(&cs->mutex) == 0 ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) { pthread_mutex_unlock(&cs->mutex); }

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs->initialized == 0) return;
  pthread_mutex_destroy(&cs->mutex);
  cs->initialized = 0;
}

LONG InterlockedIncrement(LONG volatile* a) { return __atomic_add_fetch(a, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedDecrement(LONG volatile* a) { return __atomic_sub_fetch(a, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedExchange(LONG volatile* t, LONG v) {
  return __atomic_exchange_n(t, v, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchangeAdd(LONG volatile* a, LONG v) {
  return __atomic_fetch_add(a, v, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(LONG volatile* d, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(d, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
