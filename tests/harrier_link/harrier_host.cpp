#include "harrier_host.h"

#include <gtest/gtest.h>

#include <float.h>
#include <stdio.h>
#include <string.h>

#include <map>

std::vector<Lookup> lookups;
std::vector<std::string> recordProblems;
std::function<void(size_t n)> afterLookup;
std::vector<HostMessage> hostMessages;
std::function<void(UINT message)> onHostMessage;
unsigned hostSeq;
VersionBox versionBox;

namespace {

// A crash (a call into the unloaded library, say) ends the test program at
// once with a line saying where, instead of waiting for a debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS *e)
{
    fprintf(stderr, "\nstand-in host: unhandled exception 0x%08lX at %p\n",
            (unsigned long)e->ExceptionRecord->ExceptionCode, e->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Faults in timer routines and window procedures are swallowed by the
// message dispatch, so a window left pointing into an unloaded library
// spins instead of crashing: a scenario that has not ended after a minute
// ends the program.
volatile LONG watchdogStart;

DWORD WINAPI Watchdog(LPVOID)
{
    for (;;) {
        Sleep(1000);
        if (GetTickCount() - (DWORD)watchdogStart > 60000) {
            fprintf(stderr, "\nstand-in host: the scenario did not end within 60 s\n");
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

struct CrashReport {
    CrashReport()
    {
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        SetUnhandledExceptionFilter(ReportCrash);
        watchdogStart = (LONG)GetTickCount();
        CloseHandle(CreateThread(NULL, 0, Watchdog, NULL, 0, NULL));
    }
} crashReport;

// ---- panel services ----------------------------------------------------------

struct ServicesTable {
    void *entries[64];
};

std::map<int32_t, uint64_t> script;
// What the host last left in its own bytes of each record.
struct HostBytes {
    unsigned char head[8];
    unsigned char tail[8];
};
std::map<const void *, HostBytes> hostBytes;
std::map<int32_t, const void *> recordOfId;

void LookUp(void *record, char table)
{
    unsigned char *r = (unsigned char *)record;
    int32_t id;
    memcpy(&id, r, 4);
    lookups.push_back({id, record, table, _control87(0, 0) & _MCW_PC});
    char note[32];
    snprintf(note, sizeof note, "Lookup(0x%X)", (unsigned)id);
    TraceNote(note);

    HostBytes expected = {};
    auto seen = hostBytes.find(record);
    if (seen != hostBytes.end())
        expected = seen->second;
    if (memcmp(r + 4, expected.head, 8) != 0 || memcmp(r + 20, expected.tail, 8) != 0)
        recordProblems.push_back(std::string("host bytes of record ") + note + " changed between lookups");
    auto place = recordOfId.find(id);
    if (place != recordOfId.end() && place->second != record)
        recordProblems.push_back(std::string(note) + " came in another record");
    recordOfId[id] = record;
    // Fresh host bytes for the next lookup to check.
    uint64_t n = lookups.size();
    uint64_t m = ~n;
    memcpy(expected.head, &n, 8);
    memcpy(expected.tail, &m, 8);
    memcpy(r + 4, expected.head, 8);
    memcpy(r + 20, expected.tail, 8);
    hostBytes[record] = expected;

    auto value = script.find(id);
    if (value != script.end())
        memcpy(r + 12, &value->second, 8);
    if (afterLookup)
        afterLookup(lookups.size());
}

void WINAPI PrimaryLookup(void *record)
{
    LookUp(record, 'P');
}

void WINAPI SecondaryLookup(void *record)
{
    LookUp(record, 'S');
}

ServicesTable MakeTable(void(WINAPI *lookup)(void *))
{
    ServicesTable t;
    // Every other entry points nowhere useful: the library reads entry 40 only.
    for (int i = 0; i < 64; ++i)
        t.entries[i] = (void *)(uintptr_t)(0xBAD00000u + i * 4);
    t.entries[40] = (void *)lookup;
    return t;
}

ServicesTable primaryTable = MakeTable(PrimaryLookup);
ServicesTable secondaryTable = MakeTable(SecondaryLookup);
ServicesTable emptyTable = MakeTable(nullptr);

// ---- message loop --------------------------------------------------------------

int attachTicks;
int sampleTicks;
int strayTimers;
// The timers of a library that has been unloaded; 0 when none.
UINT_PTR staleTimers[2];

void Dispatch(const MSG &msg)
{
    bool libraryTimer = msg.message == WM_TIMER && msg.hwnd == NULL && msg.wParam != 0;
    if (libraryTimer && (msg.wParam == staleTimers[0] || msg.wParam == staleTimers[1])) {
        ++strayTimers;
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (libraryTimer && msg.wParam == AttachTimerId())
        ++attachTicks;
    else if (libraryTimer && msg.wParam == SampleTimerId())
        ++sampleTicks;
}

// ---- main window -----------------------------------------------------------

HWND FindVersionBox()
{
    return FindWindowA("#32770", "Version Information");
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HostMessage m = {++hostSeq, message, wParam, lParam, false};
    if (message == WM_COMMAND)
        m.boxOpen = FindVersionBox() != NULL;
    hostMessages.push_back(m);
    if (onHostMessage)
        onHostMessage(message);
    if (message == WM_USER + 7)
        return hostUserResult;
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- version box -------------------------------------------------------------

UINT_PTR boxTimer;
HWND boxWindow;
HWND boxPaintWindow;
size_t boxLookupsWanted;
size_t boxLookupsAtOpen;
int boxPaintsAtOpen;
int boxWaits;

BOOL CALLBACK CollectDialog(HWND window, LPARAM out)
{
    char cls[64];
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        *(HWND *)out = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM out)
{
    char cls[64], text[256];
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, text, sizeof text);
    if (_stricmp(cls, "Static") == 0 && text[0] != '\0')
        ((std::vector<std::string> *)out)->push_back(text);
    return TRUE;
}

void CALLBACK BoxWatchTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (boxWindow == NULL) {
        HWND found = NULL;
        EnumThreadWindows(GetCurrentThreadId(), CollectDialog, (LPARAM)&found);
        if (found == NULL)
            return;
        boxWindow = found;
        ++versionBox.boxesSeen;
        versionBox.seen = true;
        versionBox.seq = ++hostSeq;
        char caption[256];
        GetWindowTextA(found, caption, sizeof caption);
        versionBox.caption = caption;
        versionBox.texts.clear();
        EnumChildWindows(found, CollectStatic, (LPARAM)&versionBox.texts);
        versionBox.owner = GetWindow(found, GW_OWNER);
        boxLookupsAtOpen = lookups.size();
        boxPaintsAtOpen = CountHostMessages(WM_NCPAINT);
        boxWaits = 0;
        if (boxPaintWindow)
            RedrawWindow(boxPaintWindow, NULL, NULL, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
        return;
    }
    ++boxWaits;
    if (lookups.size() - boxLookupsAtOpen < boxLookupsWanted && boxWaits < 60)
        return;
    versionBox.lookupsWhileOpen = lookups.size() - boxLookupsAtOpen;
    versionBox.paintsWhileOpen = CountHostMessages(WM_NCPAINT) - boxPaintsAtOpen;
    PostMessageA(boxWindow, WM_COMMAND, IDOK, 0);
    boxWindow = NULL;
}

} // namespace

const void *const primaryServices = &primaryTable;
const void *const secondaryServices = &secondaryTable;
const void *const emptyServices = &emptyTable;

void SetTokenValue(int32_t id, double value)
{
    uint64_t bits;
    memcpy(&bits, &value, 8);
    script[id] = bits;
}

void SetTokenBits(int32_t id, uint64_t bits)
{
    script[id] = bits;
}

void ClearTokenValues()
{
    script.clear();
}

void KeepScenarioAlive()
{
    watchdogStart = (LONG)GetTickCount();
}

bool LoadHarrier(HarrierHost *host)
{
    *host = HarrierHost();
    watchdogStart = (LONG)GetTickCount();
    lookups.clear();
    recordProblems.clear();
    script.clear();
    hostBytes.clear();
    recordOfId.clear();
    afterLookup = nullptr;
    hostMessages.clear();
    onHostMessage = nullptr;
    versionBox = VersionBox();
    importFaults = ImportFaults();
    attachTicks = sampleTicks = strayTimers = 0;
    staleTimers[0] = staleTimers[1] = 0;
    ClearTrace();
    ForgetNames();

    EXPECT_EQ(GetModuleHandleA("harrier_link.dll"), nullptr) << "an earlier scenario left harrier_link.dll loaded";
    host->library = LoadLibraryA("harrier_link.dll");
    EXPECT_NE(host->library, nullptr) << "LoadLibraryA(harrier_link.dll) failed, error " << GetLastError();
    if (!host->library)
        return false;
    host->linkage = (uint32_t *)(void *)GetProcAddress(host->library, "Linkage");
    host->importTable = (uint32_t *)(void *)GetProcAddress(host->library, "ImportTable");
    EXPECT_NE(host->linkage, nullptr) << "no export Linkage";
    EXPECT_NE(host->importTable, nullptr) << "no export ImportTable";
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)host->library;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)((const BYTE *)host->library + dos->e_lfanew);
    host->imageStart = (uintptr_t)host->library;
    host->imageEnd = host->imageStart + nt->OptionalHeader.SizeOfImage;
    host->importedDlls = TraceImports(host->library);
    NameValue((uintptr_t)host->library, "module");
    return host->linkage && host->importTable;
}

void StartHarrier(HarrierHost *host, const void *services)
{
    host->importTable[1] = (uint32_t)(uintptr_t)services;
    ((ModuleRoutine)(uintptr_t)host->linkage[1])();
    host->started = true;
}

void StartHarrier(HarrierHost *host)
{
    StartHarrier(host, primaryServices);
}

void StopHarrier(HarrierHost *host)
{
    ((ModuleRoutine)(uintptr_t)host->linkage[2])();
    host->started = false;
}

void UnloadHarrier(HarrierHost *host, bool pinned)
{
    if (host->library) {
        FreeLibrary(host->library);
        // KillTimer succeeds only on a timer that still exists: one the
        // library should have killed before it was unloaded.
        for (UINT_PTR id : {AttachTimerId(), SampleTimerId()}) {
            if (id != 0) {
                EXPECT_FALSE(KillTimer(NULL, id)) << "timer " << ValueText(id) << " outlived the library";
            }
        }
    }
    if (pinned)
        EXPECT_NE(GetModuleHandleA("harrier_link.dll"), nullptr) << "the library should have stayed loaded";
    else
        EXPECT_EQ(GetModuleHandleA("harrier_link.dll"), nullptr) << "the library is still loaded";
    if (!pinned) {
        staleTimers[0] = AttachTimerId();
        staleTimers[1] = SampleTimerId();
    }
    host->library = NULL;
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            Dispatch(msg);
            if (done())
                return true;
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return done();
        MsgWaitForMultipleObjects(0, NULL, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

int AttachTicks()
{
    return attachTicks;
}

int SampleTicks()
{
    return sampleTicks;
}

int StrayTimers()
{
    return strayTimers;
}

HWND CreateMainWindow(HMENU bar)
{
    static bool registered;
    if (!registered) {
        WNDCLASSA wc;
        memset(&wc, 0, sizeof wc);
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        wc.lpszClassName = "FS98MAIN";
        registered = RegisterClassA(&wc) != 0;
        EXPECT_TRUE(registered) << "RegisterClassA(FS98MAIN) failed, error " << GetLastError();
    }
    HWND window = CreateWindowExA(0, "FS98MAIN", "Stand-in simulator", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 640,
                                  400, NULL, bar, GetModuleHandleA(NULL), NULL);
    EXPECT_NE(window, nullptr) << "CreateWindowExA(FS98MAIN) failed, error " << GetLastError();
    NameValue((uintptr_t)window, "main");
    NameValue((uintptr_t)HostProc, "HostWindowProc");
    if (bar)
        NameValue((uintptr_t)bar, "bar");
    PumpFor(50);
    return window;
}

void DestroyMainWindow(HWND window)
{
    if (window && IsWindow(window))
        DestroyWindow(window);
    PumpFor(20);
}

WNDPROC HostWindowProc()
{
    return HostProc;
}

int CountHostMessages(UINT message, WPARAM wParam)
{
    int n = 0;
    for (const HostMessage &m : hostMessages)
        if (m.message == message && (wParam == (WPARAM)-1 || m.wParam == wParam))
            ++n;
    return n;
}

void PaintFrame(HWND window)
{
    int before = CountHostMessages(WM_NCPAINT);
    RedrawWindow(window, NULL, NULL, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    bool painted = PumpUntil([&] { return CountHostMessages(WM_NCPAINT) > before; }, 2000);
    EXPECT_TRUE(painted) << "the host's window procedure got no WM_NCPAINT";
}

// ---- menus -----------------------------------------------------------------

namespace {

HMENU ParseItems(const char *&p, bool bar);

void SkipSpaces(const char *&p)
{
    while (*p == ' ')
        ++p;
}

void ParseItem(const char *&p, HMENU menu)
{
    SkipSpaces(p);
    std::string text;
    while (*p && !strchr("#!{}|", *p))
        text += *p++;
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    UINT id = 0, state = 0;
    HMENU sub = NULL;
    if (*p == '#') {
        ++p;
        while (*p >= '0' && *p <= '9')
            id = id * 10 + (UINT)(*p++ - '0');
    }
    if (*p == '!') {
        ++p;
        while (*p == 'g' || *p == 'd')
            state |= *p++ == 'g' ? MF_GRAYED : MF_DISABLED;
    }
    if (*p == '{') {
        ++p;
        sub = ParseItems(p, false);
        if (*p == '}')
            ++p;
    }
    MENUITEMINFOA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | (sub ? MIIM_SUBMENU : 0);
    info.wID = id;
    info.hSubMenu = sub;
    info.dwTypeData = (char *)text.c_str();
    UINT position = (UINT)GetMenuItemCount(menu);
    BOOL inserted = InsertMenuItemA(menu, position, TRUE, &info);
    EXPECT_TRUE(inserted) << "cannot build menu item " << text;
    EnableMenuItem(menu, position, MF_BYPOSITION | state);
    SkipSpaces(p);
}

HMENU ParseItems(const char *&p, bool bar)
{
    HMENU menu = bar ? CreateMenu() : CreatePopupMenu();
    SkipSpaces(p);
    if (*p == '}' || *p == '\0')
        return menu;
    for (;;) {
        ParseItem(p, menu);
        if (*p != '|')
            break;
        ++p;
    }
    return menu;
}

} // namespace

HMENU BuildMenu(const std::string &text, bool bar)
{
    const char *p = text.c_str();
    return ParseItems(p, bar);
}

std::string DescribeMenu(HMENU menu)
{
    std::string out;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info;
        memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoA(menu, (UINT)i, TRUE, &info);
        char text[256] = "";
        GetMenuStringA(menu, (UINT)i, text, sizeof text, MF_BYPOSITION);
        UINT state = GetMenuState(menu, (UINT)i, MF_BYPOSITION) & 3;
        if (i > 0)
            out += " | ";
        out += text;
        if (info.wID != 0 && !(info.hSubMenu && info.wID == (UINT)(uintptr_t)info.hSubMenu))
            out += "#" + std::to_string(info.wID);
        out += state == 1 ? "!g" : state == 2 ? "!d" : state == 3 ? "!gd" : "";
        if (info.hSubMenu)
            out += IsMenu(info.hSubMenu) ? "{" + DescribeMenu(info.hSubMenu) + "}" : "{?}";
    }
    return out;
}

int FindItem(HMENU menu, const char *text)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char t[256] = "";
        GetMenuStringA(menu, (UINT)i, t, sizeof t, MF_BYPOSITION);
        if (strcmp(t, text) == 0)
            return i;
    }
    return -1;
}

void WatchForVersionBox(HWND window, size_t lookupsToWait)
{
    boxPaintWindow = window;
    boxLookupsWanted = lookupsToWait;
    boxWindow = NULL;
    if (!boxTimer)
        boxTimer = SetTimer(NULL, 0, 50, BoxWatchTick);
}

void StopWatchingForVersionBox()
{
    if (boxTimer)
        KillTimer(NULL, boxTimer);
    boxTimer = 0;
    boxWindow = NULL;
}
