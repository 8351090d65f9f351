/* The part of the SimConnect client interface that kestrel uses: six calls
 * and the received-message layouts that the dispatch routine reads.
 * Written from the interface's published facts; every offset is checked. */
#ifndef KESTREL_SIMCONNECT_H
#define KESTREL_SIMCONNECT_H

#include <windows.h>
#include <stddef.h>

#if defined(__cplusplus)
extern "C" {
#endif

/* Common header of every received message. dwSize is the message's own
 * length in bytes. */
typedef struct SIMCONNECT_RECV {
    DWORD dwSize;
    DWORD dwVersion;
    DWORD dwID; /* the kind, one of SIMCONNECT_RECV_ID_* */
} SIMCONNECT_RECV;

enum {
    SIMCONNECT_RECV_ID_OPEN = 2,
    SIMCONNECT_RECV_ID_QUIT = 3,
    SIMCONNECT_RECV_ID_EVENT = 4,
    SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8
};

typedef struct SIMCONNECT_RECV_EVENT {
    SIMCONNECT_RECV header;
    DWORD uGroupID;
    DWORD uEventID;
    DWORD dwData;
} SIMCONNECT_RECV_EVENT;

#define SIMCONNECT_FILENAME_FIELD 260

typedef struct SIMCONNECT_RECV_EVENT_FILENAME {
    SIMCONNECT_RECV_EVENT event;
    char szFileName[SIMCONNECT_FILENAME_FIELD];
    DWORD dwFlags;
} SIMCONNECT_RECV_EVENT_FILENAME;

typedef struct SIMCONNECT_RECV_SIMOBJECT_DATA {
    SIMCONNECT_RECV header;
    DWORD dwRequestID;
    DWORD dwObjectID;
    DWORD dwDefineID;
    DWORD dwFlags;
    DWORD dwentrynumber;
    DWORD dwoutof;
    DWORD dwDefineCount;
    DWORD dwData; /* first word of the data values; they run on from here */
} SIMCONNECT_RECV_SIMOBJECT_DATA;

#define SIMCONNECT_ASSERT(cond) static_assert(cond, #cond)
SIMCONNECT_ASSERT(sizeof(SIMCONNECT_RECV) == 12);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_EVENT, uGroupID) == 12);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_EVENT, uEventID) == 16);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_EVENT, dwData) == 20);
SIMCONNECT_ASSERT(sizeof(SIMCONNECT_RECV_EVENT) == 24);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_EVENT_FILENAME, szFileName) == 24);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_EVENT_FILENAME, dwFlags) == 284);
SIMCONNECT_ASSERT(sizeof(SIMCONNECT_RECV_EVENT_FILENAME) == 288);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwRequestID) == 12);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwObjectID) == 16);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwDefineID) == 20);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwFlags) == 24);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwentrynumber) == 28);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwoutof) == 32);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwDefineCount) == 36);
SIMCONNECT_ASSERT(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwData) == 40);
#undef SIMCONNECT_ASSERT

#define SIMCONNECT_DATA_OFFSET 40

enum { SIMCONNECT_DATATYPE_FLOAT64 = 4 };
enum { SIMCONNECT_PERIOD_NEVER = 0, SIMCONNECT_PERIOD_VISUAL_FRAME = 2 };
#define SIMCONNECT_OBJECT_ID_USER 0u
#define SIMCONNECT_UNUSED 0xFFFFFFFFu

typedef void(CALLBACK *DispatchProc)(SIMCONNECT_RECV *pData, DWORD cbData, void *pContext);

HRESULT WINAPI SimConnect_Open(HANDLE *phSimConnect, LPCSTR szName, HWND hWnd,
                               DWORD UserEventWin32, HANDLE hEventHandle, DWORD ConfigIndex);
HRESULT WINAPI SimConnect_Close(HANDLE hSimConnect);
HRESULT WINAPI SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, DWORD EventID,
                                                 const char *SystemEventName);
HRESULT WINAPI SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch,
                                       void *pContext);
HRESULT WINAPI SimConnect_AddToDataDefinition(HANDLE hSimConnect, DWORD DefineID,
                                              const char *DatumName, const char *UnitsName,
                                              DWORD DatumType, float fEpsilon, DWORD DatumID);
HRESULT WINAPI SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, DWORD RequestID,
                                                 DWORD DefineID, DWORD ObjectID, DWORD Period,
                                                 DWORD Flags, DWORD origin, DWORD interval,
                                                 DWORD limit);

#if defined(__cplusplus)
}
#endif

#endif
