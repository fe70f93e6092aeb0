// Loading shared libraries as the Windows loader does: LoadLibraryA, GetProcAddress by name or
// by ordinal number, FreeLibrary and GetModuleFileNameA, over the system's dynamic loader.
//
// A module handle (HMODULE) is the address at which the library is mapped, as on Windows, so
// that any code holding an address inside a module can name it. Each LoadLibraryA counts one
// reference, each FreeLibrary drops one; the library is unloaded with its last reference.
//
// Names. A name with a folder ("C:\Tools\Tagsmith.dll", "lib/x.so") is a Windows path mapped
// as every path is. A name without an extension gets ".dll", as on Windows. For each place
// searched the loader tries the file name as given, then "lib" + the name without its
// extension in lower case + ".so", so "Tagsmith.dll" also finds "libtagsmith.so". A bare name
// is searched the system way (LD_LIBRARY_PATH, the run paths, the loader's cache and its
// default folders), then in the running program's folder and in "../lib" beside it, where the
// build puts the libraries its programs load.
//
// GetProcAddress finds only what the module itself defines, never a symbol of a library it
// depends on. By ordinal (MAKEINTRESOURCEA(n)) it reads the module's ordinal table
// (kernel/ordinal_exports.h). Failures return null or FALSE and set the last error:
// ERROR_MOD_NOT_FOUND (126) for a library that cannot be found, ERROR_BAD_EXE_FORMAT for a file
// that is no loadable library, ERROR_PROC_NOT_FOUND (127) for a missing name or number,
// ERROR_INVALID_HANDLE for a handle that names no loaded module. All functions may be called
// from any thread.
#pragma once

#include "win_types.h"

// Any address inside a module names it; LoadLibraryA hands out the address where it starts.
using HINSTANCE = const void*;
using HMODULE = HINSTANCE;
using FARPROC = INT_PTR (*)();

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#ifndef MAKEINTRESOURCE
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#endif
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

HMODULE LoadLibraryA(LPCSTR lpLibFileName);
// lpProcName is a name, or an ordinal number made with MAKEINTRESOURCEA. A null module is the
// running program.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL FreeLibrary(HMODULE hLibModule);
// The Windows path of the module's file (of the running program for a null module). Returns
// the length copied without the NUL; when the buffer is too small the name is cut to nSize - 1
// characters, nSize is returned and the last error is ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

namespace halyard {

// Function pointers to and from FARPROC. The cast goes through void (*)(), which compilers
// take as the type that stands for any function, so that no warning hides a real mistake.
template <typename Fn>
FARPROC AsFarProc(Fn* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}
template <typename Fn>
Fn ProcAs(FARPROC proc) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace halyard
