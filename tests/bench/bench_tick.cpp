// harrier_link.dll as the FS2004 host runs it: loaded, its ImportTable
// pointed at a stand-in panel services table, LinkInit called, and its
// sample timer routine run tick after tick. The host's lookup does nothing
// but write the value, so what is timed is SampleTick itself. The floor is
// one bare publication of 72 bytes into "HARRIER_Link": a view of the whole
// section mapped, the bytes copied, the view unmapped.
//
// A host meets SampleTick as the routine of a WM_TIMER message. Wine hands
// the routine over in lParam as a handle of its own, not as the address, so
// the bench learns the address where the module gives it away: its SetTimer
// import is pointed at a recorder before LinkInit runs. For information the
// tick is also timed the host's way, by DispatchMessageA of a WM_TIMER
// message that the sample timer really produced.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "bench_harness.h"
#include "sections.h"

namespace {

// The host's view of the module's two exported records.
struct LinkageRecord {
    DWORD moduleId;
    void(__cdecl *init)(void);
    void(__cdecl *deinit)(void);
    DWORD words[4];
};

struct ImportRecord {
    DWORD tableId;
    void *panelServices;
    DWORD words[2];
};

const int lookupEntry = 0xA0 / sizeof(void *);
const double hostValue = 1000.0;

// The stand-in panel services table; only the lookup entry is filled.
void *panelServices[64];
// Lookups made since the bench last cleared it.
int lookups;

void WINAPI WriteValue(void *variable)
{
    memcpy((char *)variable + 12, &hostValue, sizeof hostValue);
}

void WINAPI CountAndWriteValue(void *variable)
{
    ++lookups;
    WriteValue(variable);
}

// The module's timers as LinkInit set them, by period.
struct TimerSeen {
    UINT period;
    TIMERPROC routine;
    UINT_PTR id;
};
TimerSeen timersSeen[4];
int timerCount;

UINT_PTR WINAPI RecordingSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC routine)
{
    UINT_PTR made = SetTimer(window, id, period, routine);
    if (timerCount < 4) {
        TimerSeen seen = {period, routine, made};
        timersSeen[timerCount++] = seen;
    }
    return made;
}

// Points the module's import of user32!SetTimer at the recorder.
bool RecordTimers(HMODULE module)
{
    BYTE *base = (BYTE *)module;
    IMAGE_NT_HEADERS32 *nt = (IMAGE_NT_HEADERS32 *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return false;
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); d->Name != 0; ++d) {
        if (lstrcmpiA((const char *)(base + d->Name), "user32.dll") != 0 || d->OriginalFirstThunk == 0)
            continue;
        IMAGE_THUNK_DATA32 *names = (IMAGE_THUNK_DATA32 *)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA32 *slots = (IMAGE_THUNK_DATA32 *)(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((const char *)byName->Name, "SetTimer") != 0)
                continue;
            DWORD old;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old))
                return false;
            slots->u1.Function = (DWORD)(ULONG_PTR)RecordingSetTimer;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

struct TickBench {
    TIMERPROC sampleTick;
    UINT_PTR sampleTimer;
    MSG timerMessage; // a WM_TIMER of the sample timer, as the queue gave it
    HANDLE link;      // the bench's own handle of "HARRIER_Link"
    LinkBlock record;
};

void HarrierTick(void *context)
{
    TickBench *b = (TickBench *)context;
    b->sampleTick(NULL, WM_TIMER, b->sampleTimer, 0);
}

void DispatchedTick(void *context)
{
    TickBench *b = (TickBench *)context;
    DispatchMessageA(&b->timerMessage);
}

void FloorTick(void *context)
{
    TickBench *b = (TickBench *)context;
    void *view = MapViewOfFile(b->link, FILE_MAP_WRITE, 0, 0, 0);
    if (view == NULL)
        return;
    memcpy(view, &b->record, sizeof b->record);
    UnmapViewOfFile(view);
}

// Waits for a WM_TIMER of the sample timer; other messages (the attach
// timer's among them) are taken off the queue and not dispatched.
bool TakeTimerMessage(TickBench *b)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 3000) {
        MSG m;
        if (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            if (m.message == WM_TIMER && m.hwnd == NULL && m.wParam == b->sampleTimer) {
                b->timerMessage = m;
                return true;
            }
            continue;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
    return false;
}

// One tick with a counting lookup: eleven lookups and the converted value
// in the section, or the figures would time something else.
bool TickPublishes(TickBench *b, BenchOp tick, char *why, size_t whySize)
{
    LinkBlock cleared;
    memset(&cleared, 0, sizeof cleared);
    memcpy(&b->record, &cleared, sizeof cleared);
    FloorTick(b);
    panelServices[lookupEntry] = (void *)CountAndWriteValue;
    lookups = 0;
    tick(b);
    panelServices[lookupEntry] = (void *)WriteValue;
    LinkBlock seen;
    memset(&seen, 0xEE, sizeof seen);
    HANDLE reader = OpenFileMappingA(FILE_MAP_READ, FALSE, HARRIER_LINK_NAME);
    void *view = reader ? MapViewOfFile(reader, FILE_MAP_READ, 0, 0, 0) : NULL;
    if (view != NULL) {
        memcpy(&seen, view, sizeof seen);
        UnmapViewOfFile(view);
    }
    if (reader != NULL)
        CloseHandle(reader);
    if (lookups != 11 || seen.altitude != hostValue / 0.3048 || seen.second != 1000 || seen.clock2Second != 1000) {
        snprintf(why, whySize, "a tick made %d lookups of 11 and published altitude %.17g, second %d", lookups,
                 seen.altitude, (int)seen.second);
        return false;
    }
    b->record = seen;
    return true;
}

void Missing(const char *why)
{
    PrintMissing("tick_ratio", why);
    PrintMissing("tick_us", why);
    PrintMissing("tick_floor_us", why);
}

} // namespace

int main()
{
    SettleThread();
    static TickBench b;
    HMODULE library = LoadLibraryA("harrier_link.dll");
    if (library == NULL) {
        Missing("harrier_link.dll cannot be loaded");
        return 1;
    }
    LinkageRecord *linkage = (LinkageRecord *)(void *)GetProcAddress(library, "Linkage");
    ImportRecord *imports = (ImportRecord *)(void *)GetProcAddress(library, "ImportTable");
    if (linkage == NULL || imports == NULL || !RecordTimers(library)) {
        Missing("harrier_link.dll lacks Linkage, ImportTable or a SetTimer import");
        return 1;
    }
    panelServices[lookupEntry] = (void *)WriteValue;
    imports->panelServices = panelServices;
    linkage->init();

    for (int i = 0; i < timerCount; ++i)
        if (timersSeen[i].period == 100) {
            b.sampleTick = timersSeen[i].routine;
            b.sampleTimer = timersSeen[i].id;
        }
    b.link = OpenFileMappingA(FILE_MAP_WRITE, FALSE, HARRIER_LINK_NAME);
    char why[160];
    if (b.sampleTick == NULL || b.link == NULL) {
        Missing("LinkInit started no 100 ms timer or created no section");
        return 1;
    }
    if (!TickPublishes(&b, HarrierTick, why, sizeof why)) {
        Missing(why);
        return 1;
    }

    BenchPlan plan = {200, 50};
    PairTiming tick = MeasurePair(HarrierTick, FloorTick, &b, plan);
    PrintFigure("tick_ratio", tick.ratio);
    PrintFigure("tick_us", tick.aMicros);
    PrintFigure("tick_floor_us", tick.bMicros);

    if (TakeTimerMessage(&b) && TickPublishes(&b, DispatchedTick, why, sizeof why)) {
        PairTiming dispatched = MeasurePair(DispatchedTick, FloorTick, &b, plan);
        PrintFigure("tick_dispatched_ratio", dispatched.ratio);
        PrintFigure("tick_dispatched_us", dispatched.aMicros);
    } else {
        PrintMissing("tick_dispatched_ratio", "no WM_TIMER of the sample timer could be dispatched");
        PrintMissing("tick_dispatched_us", "no WM_TIMER of the sample timer could be dispatched");
    }

    linkage->deinit();
    CloseHandle(b.link);
    FreeLibrary(library);
    return 0;
}
