// Stand-in Flight Simulator 2004 host for harrier_link.dll: its module
// loader (LoadLibraryA, the two exported records, LinkInit and LinkDeinit),
// its panel services table with a scripted LookupTokenVariable, its
// message loop, and its main window "FS98MAIN" with a real menu bar.
#ifndef HARRIER_HOST_H
#define HARRIER_HOST_H

#include <windows.h>

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "import_trace.h"

typedef void(WINAPI *ModuleRoutine)(void);

struct HarrierHost {
    HMODULE library;
    uint32_t *linkage;     // the 7 words of Linkage
    uint32_t *importTable; // the 4 words of ImportTable
    uintptr_t imageStart, imageEnd;
    std::vector<std::string> importedDlls;
    bool started;
};

// Loads harrier_link.dll from beside the test program, checks that no
// earlier scenario left it loaded, and traces its imports. Resets the
// host's records (lookups, messages, faults, trace).
bool LoadHarrier(HarrierHost *host);
// Writes `services` into ImportTable byte 4 (the host's own table unless
// told otherwise) and calls the routine at Linkage byte 4.
void StartHarrier(HarrierHost *host, const void *services);
void StartHarrier(HarrierHost *host);
// Calls the routine at Linkage byte 8.
void StopHarrier(HarrierHost *host);
// FreeLibrary; expects the module gone unless `pinned`, and neither of its
// timers still running (a timer found running is killed). From then on the
// message loop refuses to dispatch a message of the library's timers, and
// counts it (StrayTimers).
void UnloadHarrier(HarrierHost *host, bool pinned = false);

// ---- panel services ----------------------------------------------------------

// Two service tables; entry 40 of each is a __stdcall lookup that records
// the token id of the record it gets, checks that the host's own bytes of
// the record (4-11, 20-27) are as it left them, and writes the scripted
// value for that id at byte 12.
extern const void *const primaryServices;
extern const void *const secondaryServices;
// A table whose entry 40 is null.
extern const void *const emptyServices;

struct Lookup {
    int32_t id;
    const void *record;
    char table; // 'P' primary, 'S' secondary
    unsigned x87Precision; // _control87 precision bits during the call
};
extern std::vector<Lookup> lookups;
// Problems the lookups saw in the records: host bytes changed, an id that
// moved to another record.
extern std::vector<std::string> recordProblems;

void SetTokenValue(int32_t id, double value);
void SetTokenBits(int32_t id, uint64_t bits);
// From now on the lookups write no value at all (the host's bytes still).
void ClearTokenValues();
// Run by the lookup after recording call number `n` (1-based, counted since
// LoadHarrier); lets a test move the host's table in the middle of a tick.
extern std::function<void(size_t n)> afterLookup;

// ---- message loop --------------------------------------------------------------

// Dispatches this thread's messages until done() holds (tested after each
// message) or timeoutMs have passed. Returns done().
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
void PumpFor(DWORD ms);
// A scenario longer than the watchdog's minute says it is still alive.
void KeepScenarioAlive();
// Timer messages dispatched to the library's two routines since LoadHarrier.
int AttachTicks();
int SampleTicks();
// Timer messages of an unloaded library's timers, refused.
int StrayTimers();

// ---- main window -----------------------------------------------------------

struct HostMessage {
    unsigned seq;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool boxOpen; // a "Version Information" box existed when it arrived
};
// What the host's own window procedure received, in order.
extern std::vector<HostMessage> hostMessages;
extern unsigned hostSeq; // shared sequence counter of messages and box events
// Run by the host's procedure for every message, after recording it.
extern std::function<void(UINT message)> onHostMessage;
// The host's procedure returns this for WM_USER + 7, so tests can check
// that results come back unchanged.
const LRESULT hostUserResult = 0x5EA7;

// Creates the top-level window of class "FS98MAIN", visible, with `bar`
// (may be null) as its menu bar. Names it "main" and its procedure
// "HostWindowProc" in the trace.
HWND CreateMainWindow(HMENU bar);
void DestroyMainWindow(HWND window);
WNDPROC HostWindowProc();
int CountHostMessages(UINT message, WPARAM wParam = (WPARAM)-1);

// Forces a non-client paint and expects the host's procedure to get it.
void PaintFrame(HWND window);

// ---- menus -----------------------------------------------------------------

// Menus are written as text, both to build them and to read them back:
//   item ( " | " item )*      item: Text[#id][!g|!d|!gd][{items}]
// "!g" MF_GRAYED, "!d" MF_DISABLED, "!gd" both; {…} opens a popup, {?} a
// popup whose handle is no menu any more (its state reads as "!gd", since
// GetMenuState cannot read it). A popup item shows no #id when
// its id is its submenu's handle (as AppendMenuA with MF_POPUP makes it).
HMENU BuildMenu(const std::string &text, bool bar);
std::string DescribeMenu(HMENU menu);
// Position of the first item of `menu` with this text, or -1.
int FindItem(HMENU menu, const char *text);

// ---- version box -------------------------------------------------------------

struct VersionBox {
    bool seen;
    unsigned seq;        // when it was first seen
    std::string caption;
    std::vector<std::string> texts; // of its static controls
    HWND owner;
    size_t lookupsWhileOpen;
    int paintsWhileOpen;  // WM_NCPAINT received by the host while it was open
    int boxesSeen;
};
extern VersionBox versionBox;
// Starts a host timer that watches for a message box of this thread, reads
// it, forces a frame paint of `window`, waits until the sampler has run
// `lookupsToWait` lookups while the box is open (at most ~3 s) and closes
// it with its OK button.
void WatchForVersionBox(HWND window, size_t lookupsToWait);
void StopWatchingForVersionBox();

#endif
