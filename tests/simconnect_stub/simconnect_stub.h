/* Control interface of the stand-in SimConnect client library. Tests reach
 * these through GetProcAddress on the module that kestrel.dll loaded, so
 * the stand-in unloads (and starts afresh) together with kestrel.dll. */
#ifndef SIMCONNECT_STUB_H
#define SIMCONNECT_STUB_H

#include <windows.h>

/* The handle the stand-in hands out; calls that get it print "hSim". */
#define STUB_HANDLE ((HANDLE)(ULONG_PTR)0x5C0C0001u)

typedef void(__cdecl *StubSetOpenResultFn)(HRESULT result);
typedef int(__cdecl *StubCallCountFn)(void);
/* Each call as one line: name(arg, arg, ...), strings quoted, float
 * arguments as their bit pattern, pointers as "NULL" or a role name. */
typedef const char *(__cdecl *StubCallFn)(int index);
/* Delivers one message to the dispatch routine handed to CallDispatch.
 * Returns 0 when no routine has been handed over. */
typedef int(__cdecl *StubDeliverFn)(const void *message, DWORD size);
typedef void(__cdecl *StubClearCallsFn)(void);

#endif
