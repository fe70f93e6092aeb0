// Threads and events with the kernel's handle interface: CreateThread starts a thread and
// hands out a handle to wait on (WaitForSingleObject with a timeout), read the exit code from,
// and close. A thread is never killed from outside; instead a thread can be asked to stop
// (RequestThreadStop) and checks ThreadStopRequested at its own safe points, which keeps
// every lock and heap block it holds intact. All functions may be called from any thread.
#pragma once

#include "win_handle.h"
#include "win_types.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x00000004u

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Starts a thread that runs start(param); its return value becomes the exit code. The stack
// size is a hint (0 is the default). With CREATE_SUSPENDED the thread waits for ResumeThread.
// Returns null with the last error set when no thread could be started.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId);
DWORD ResumeThread(HANDLE hThread);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
DWORD GetCurrentThreadId();

// Manual- or auto-reset events.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// Waits until a thread has ended or an event is set, at most dwMilliseconds (INFINITE waits
// for ever). WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

void Sleep(DWORD dwMilliseconds);
// Milliseconds since an arbitrary start, wrapping at 2^32 as on the system.
DWORD GetTickCount();

namespace halyard {

// Asks the thread of a handle to stop; false for a handle that is not an open thread.
bool RequestThreadStop(HANDLE thread);

// True when the calling thread (one started by CreateThread) has been asked to stop.
bool ThreadStopRequested();

// Sleeps like Sleep but wakes early, returning true, when the calling thread is asked to stop.
bool SleepUnlessStopped(DWORD milliseconds);

}  // namespace halyard
