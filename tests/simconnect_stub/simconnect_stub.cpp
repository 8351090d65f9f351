// Stand-in for the SimConnect client library: records every call with all
// of its arguments and delivers test-built messages to the dispatch routine.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "simconnect_stub.h"

typedef void(CALLBACK *DispatchProc)(void *message, DWORD size, void *context);

namespace {

const int maxCalls = 4096;
const int lineSize = 160;

// Calls recorded since load (or the last clear); the ones past maxCalls
// are counted but not kept.
char calls[maxCalls][lineSize];
int callCount;
HRESULT openResult = S_OK;
DispatchProc dispatchProc;
void *dispatchContext;

char *NextLine()
{
    static char overflow[lineSize];
    char *line = callCount < maxCalls ? calls[callCount] : overflow;
    ++callCount;
    return line;
}

const char *HandleName(HANDLE h, char *buffer)
{
    if (h == STUB_HANDLE)
        return "hSim";
    snprintf(buffer, 16, "0x%08lX", (unsigned long)(ULONG_PTR)h);
    return buffer;
}

unsigned long FloatBits(float f)
{
    unsigned long bits;
    static_assert(sizeof bits == sizeof f, "float bits");
    memcpy(&bits, &f, sizeof bits);
    return bits;
}

} // namespace

extern "C" {

HRESULT WINAPI SimConnect_Open(HANDLE *phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32,
                               HANDLE hEventHandle, DWORD ConfigIndex)
{
    snprintf(NextLine(), lineSize, "SimConnect_Open(%s, \"%s\", %lu, %lu, %lu, %lu)",
             phSimConnect ? "phSimConnect" : "NULL", szName ? szName : "(null)",
             (unsigned long)(ULONG_PTR)hWnd, (unsigned long)UserEventWin32,
             (unsigned long)(ULONG_PTR)hEventHandle, (unsigned long)ConfigIndex);
    if (openResult < 0)
        return openResult;
    if (phSimConnect)
        *phSimConnect = STUB_HANDLE;
    return openResult;
}

HRESULT WINAPI SimConnect_Close(HANDLE hSimConnect)
{
    char b[16];
    snprintf(NextLine(), lineSize, "SimConnect_Close(%s)", HandleName(hSimConnect, b));
    return S_OK;
}

HRESULT WINAPI SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, DWORD EventID, const char *SystemEventName)
{
    char b[16];
    snprintf(NextLine(), lineSize, "SimConnect_SubscribeToSystemEvent(%s, %lu, \"%s\")",
             HandleName(hSimConnect, b), (unsigned long)EventID, SystemEventName ? SystemEventName : "(null)");
    return S_OK;
}

HRESULT WINAPI SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void *pContext)
{
    char b[16];
    snprintf(NextLine(), lineSize, "SimConnect_CallDispatch(%s, %s, %s)", HandleName(hSimConnect, b),
             pfcnDispatch ? "proc" : "NULL", pContext ? "context" : "NULL");
    dispatchProc = pfcnDispatch;
    dispatchContext = pContext;
    return S_OK;
}

HRESULT WINAPI SimConnect_AddToDataDefinition(HANDLE hSimConnect, DWORD DefineID, const char *DatumName,
                                              const char *UnitsName, DWORD DatumType, float fEpsilon,
                                              DWORD DatumID)
{
    char b[16];
    snprintf(NextLine(), lineSize, "SimConnect_AddToDataDefinition(%s, %lu, \"%s\", \"%s\", %lu, 0x%08lX, 0x%08lX)",
             HandleName(hSimConnect, b), (unsigned long)DefineID, DatumName ? DatumName : "(null)",
             UnitsName ? UnitsName : "(null)", (unsigned long)DatumType, FloatBits(fEpsilon),
             (unsigned long)DatumID);
    return S_OK;
}

HRESULT WINAPI SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, DWORD RequestID, DWORD DefineID,
                                                 DWORD ObjectID, DWORD Period, DWORD Flags, DWORD origin,
                                                 DWORD interval, DWORD limit)
{
    char b[16];
    snprintf(NextLine(), lineSize, "SimConnect_RequestDataOnSimObject(%s, %lu, %lu, %lu, %lu, %lu, %lu, %lu, %lu)",
             HandleName(hSimConnect, b), (unsigned long)RequestID, (unsigned long)DefineID,
             (unsigned long)ObjectID, (unsigned long)Period, (unsigned long)Flags, (unsigned long)origin,
             (unsigned long)interval, (unsigned long)limit);
    return S_OK;
}

void __cdecl StubSetOpenResult(HRESULT result)
{
    openResult = result;
}

int __cdecl StubCallCount(void)
{
    return callCount;
}

const char *__cdecl StubCall(int index)
{
    if (index < 0 || index >= callCount || index >= maxCalls)
        return "";
    return calls[index];
}

void __cdecl StubClearCalls(void)
{
    callCount = 0;
}

int __cdecl StubDeliver(const void *message, DWORD size)
{
    if (dispatchProc == NULL)
        return 0;
    dispatchProc(const_cast<void *>(message), size, dispatchContext);
    return 1;
}

} // extern "C"
