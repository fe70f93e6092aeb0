// Critical sections and interlocked counters of the kernel. A critical section is recursive
// as on the system: the owning thread may enter it again and leaves it as often as it entered.
// It must be initialised before use and deleted when no thread uses it any longer.
#pragma once

#include <pthread.h>

#include "win_types.h"

struct CRITICAL_SECTION {
  pthread_mutex_t mutex;
  LONG initialized;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Atomic updates of a 32-bit value; each returns the value as the system's functions do.
LONG InterlockedIncrement(LONG volatile* addend);
LONG InterlockedDecrement(LONG volatile* addend);
LONG InterlockedExchange(LONG volatile* target, LONG value);
LONG InterlockedExchangeAdd(LONG volatile* addend, LONG value);
LONG InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand);
