#include "import_trace.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <map>

ImportFaults importFaults;

namespace {

std::vector<std::string> lines;
std::map<uintptr_t, std::string> names;
UINT_PTR attachTimerId;
UINT_PTR sampleTimerId;
int popupsMade;
int menusLoaded;

std::string Format(const char *format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string V(uintptr_t value)
{
    return ValueText(value);
}

std::string V(const void *value)
{
    return ValueText((uintptr_t)value);
}

std::string Quoted(const char *text)
{
    if (text == nullptr)
        return "0";
    if ((uintptr_t)text < 0x10000)
        return Format("#%u", (unsigned)(uintptr_t)text);
    return std::string("\"") + text + "\"";
}

void Record(const std::string &line)
{
    lines.push_back(line);
}

std::string Message(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCPAINT:
        return "WM_NCPAINT";
    case WM_COMMAND:
        return Format("WM_COMMAND, %lu, %ld", (unsigned long)wParam, (long)lParam);
    default:
        return Format("0x%X", message);
    }
}

// ---- kernel32 -------------------------------------------------------------

HANDLE WINAPI ShimCreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD high,
                                     DWORD low, LPCSTR name)
{
    HANDLE h = NULL;
    if (importFaults.createFileMapping)
        SetLastError(ERROR_ACCESS_DENIED);
    else
        h = CreateFileMappingA(file, security, protect, high, low, name);
    if (h)
        NameValue((uintptr_t)h, "section");
    Record("CreateFileMappingA(" + V(file) + ", " + V(security) + ", " + V(protect) + ", " + V(high) + ", " +
           V(low) + ", " + Quoted(name) + ") = " + V(h));
    return h;
}

LPVOID WINAPI ShimMapViewOfFile(HANDLE section, DWORD access, DWORD high, DWORD low, SIZE_T size)
{
    LPVOID view = importFaults.mapViewOfFile ? NULL : MapViewOfFile(section, access, high, low, size);
    if (view)
        NameValue((uintptr_t)view, "view");
    Record("MapViewOfFile(" + V(section) + ", " + V(access) + ", " + V(high) + ", " + V(low) + ", " + V(size) +
           ") = " + V(view));
    return view;
}

BOOL WINAPI ShimUnmapViewOfFile(LPCVOID view)
{
    Record("UnmapViewOfFile(" + V(view) + ")");
    return UnmapViewOfFile(view);
}

BOOL WINAPI ShimCloseHandle(HANDLE h)
{
    Record("CloseHandle(" + V(h) + ")");
    return CloseHandle(h);
}

BOOL WINAPI ShimGetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE *module)
{
    BOOL ok = GetModuleHandleExA(flags, name, module);
    Record("GetModuleHandleExA(" + Format("0x%lX", (unsigned long)flags) + ", " + V(name) + ") = " + V(ok));
    return ok;
}

// ---- user32: window and timers ---------------------------------------------

UINT_PTR WINAPI ShimSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC routine)
{
    UINT_PTR timer = SetTimer(window, id, elapse, routine);
    if (elapse == 1000) {
        attachTimerId = timer;
        NameValue((uintptr_t)routine, "AttachTick");
        NameValue(timer, "attachTimer");
    } else if (elapse == 100) {
        sampleTimerId = timer;
        NameValue((uintptr_t)routine, "SampleTick");
        NameValue(timer, "sampleTimer");
    }
    Record("SetTimer(" + V(window) + ", " + V(id) + ", " + V(elapse) + ", " + V((uintptr_t)routine) + ") = " +
           V(timer));
    return timer;
}

BOOL WINAPI ShimKillTimer(HWND window, UINT_PTR timer)
{
    BOOL ok = KillTimer(window, timer);
    Record("KillTimer(" + V(window) + ", " + V(timer) + ") = " + V(ok));
    return ok;
}

HWND WINAPI ShimFindWindowExA(HWND parent, HWND after, LPCSTR className, LPCSTR title)
{
    HWND found = FindWindowExA(parent, after, className, title);
    Record("FindWindowExA(" + V(parent) + ", " + V(after) + ", " + Quoted(className) + ", " + Quoted(title) +
           ") = " + V(found));
    return found;
}

LONG WINAPI ShimGetWindowLongA(HWND window, int index)
{
    LONG value = GetWindowLongA(window, index);
    Record("GetWindowLongA(" + V(window) + ", " + Format("%d", index) + ") = " + V((uintptr_t)value));
    return value;
}

LONG WINAPI ShimSetWindowLongA(HWND window, int index, LONG value)
{
    if (index == GWL_WNDPROC && !names.count((uintptr_t)value))
        NameValue((uintptr_t)value, "MainWindowHook");
    LONG previous = SetWindowLongA(window, index, value);
    Record("SetWindowLongA(" + V(window) + ", " + Format("%d", index) + ", " + V((uintptr_t)value) + ") = " +
           V((uintptr_t)previous));
    return previous;
}

BOOL WINAPI ShimIsWindow(HWND window)
{
    BOOL is = IsWindow(window);
    Record("IsWindow(" + V(window) + ") = " + V(is));
    return is;
}

LRESULT WINAPI ShimCallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Record("CallWindowProcA(" + V((uintptr_t)proc) + ", " + V(window) + ", " + Message(message, wParam, lParam) +
           ")");
    return CallWindowProcA(proc, window, message, wParam, lParam);
}

int WINAPI ShimMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Record("MessageBoxA(" + V(owner) + ", " + Quoted(text) + ", " + Quoted(caption) + ", " + V(type) + ")");
    int result = MessageBoxA(owner, text, caption, type);
    Record("MessageBoxA returned " + V(result));
    return result;
}

// ---- user32: menus -----------------------------------------------------------

HMENU WINAPI ShimGetMenu(HWND window)
{
    HMENU menu = GetMenu(window);
    Record("GetMenu(" + V(window) + ") = " + V(menu));
    return menu;
}

int WINAPI ShimGetMenuItemCount(HMENU menu)
{
    int count = GetMenuItemCount(menu);
    Record("GetMenuItemCount(" + V(menu) + ") = " + Format("%d", count));
    return count;
}

BOOL WINAPI ShimGetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info)
{
    UINT mask = info->fMask;
    std::string call = "GetMenuItemInfoA(" + V(menu) + ", " + Format("%u", item) + ", " + V(byPosition) + ", " +
                       Format("{%u, 0x%X}", info->cbSize, mask) + ")";
    if (importFaults.itemInfoMask != 0 && mask == importFaults.itemInfoMask) {
        Record(call + " = 0");
        return FALSE;
    }
    BOOL ok = GetMenuItemInfoA(menu, item, byPosition, info);
    std::string got;
    if (ok && (mask & MIIM_ID))
        got += Format(" id %u", info->wID);
    if (ok && (mask & MIIM_SUBMENU))
        got += " sub " + V(info->hSubMenu);
    if (ok && (mask & MIIM_STRING) && info->dwTypeData)
        got += " " + Quoted(info->dwTypeData);
    Record(call + " = " + V(ok) + got);
    return ok;
}

HMENU WINAPI ShimGetSubMenu(HMENU menu, int position)
{
    HMENU sub = GetSubMenu(menu, position);
    Record("GetSubMenu(" + V(menu) + ", " + Format("%d", position) + ") = " + V(sub));
    return sub;
}

HMENU WINAPI ShimCreatePopupMenu(void)
{
    HMENU popup = importFaults.createPopupMenu ? NULL : CreatePopupMenu();
    if (popup)
        NameValue((uintptr_t)popup, Format("newPopup%d", ++popupsMade));
    Record("CreatePopupMenu() = " + V(popup));
    return popup;
}

BOOL WINAPI ShimInsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info)
{
    std::string call = "InsertMenuItemA(" + V(menu) + ", " + Format("%d", (int)item) + ", " + V(byPosition) + ", " +
                       Format("{%u, 0x%X, type %u, state %u, id %u, sub ", info->cbSize, info->fMask, info->fType,
                              info->fState, info->wID) +
                       V(info->hSubMenu) + ", " + Quoted(info->dwTypeData) + Format(", %u})", info->cch);
    BOOL ok = importFaults.insertMenuItem ? FALSE : InsertMenuItemA(menu, item, byPosition, info);
    Record(call + " = " + V(ok));
    return ok;
}

UINT WINAPI ShimGetMenuState(HMENU menu, UINT item, UINT flags)
{
    UINT state = GetMenuState(menu, item, flags);
    Record("GetMenuState(" + V(menu) + ", " + Format("%u, 0x%X", item, flags) + ") & 3 = " + V(state & 3));
    return state;
}

BOOL WINAPI ShimEnableMenuItem(HMENU menu, UINT item, UINT flags)
{
    Record("EnableMenuItem(" + V(menu) + ", " + Format("%u, 0x%X", item, flags) + ")");
    return EnableMenuItem(menu, item, flags);
}

BOOL WINAPI ShimDrawMenuBar(HWND window)
{
    Record("DrawMenuBar(" + V(window) + ")");
    return DrawMenuBar(window);
}

BOOL WINAPI ShimDestroyMenu(HMENU menu)
{
    Record("DestroyMenu(" + V(menu) + ")");
    return DestroyMenu(menu);
}

HMENU WINAPI ShimLoadMenuA(HINSTANCE instance, LPCSTR name)
{
    HMENU menu = importFaults.loadMenu ? NULL : LoadMenuA(instance, name);
    if (menu)
        NameValue((uintptr_t)menu, Format("versionMenu%d", ++menusLoaded));
    Record("LoadMenuA(" + V(instance) + ", " + Quoted(name) + ") = " + V(menu));
    return menu;
}

BOOL WINAPI ShimAppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text)
{
    BOOL ok = AppendMenuA(menu, flags, id, text);
    Record("AppendMenuA(" + V(menu) + ", " + Format("0x%X", flags) + ", " + V(id) + ", " + Quoted(text) + ") = " +
           V(ok));
    return ok;
}

BOOL WINAPI ShimIsMenu(HMENU menu)
{
    BOOL is = IsMenu(menu);
    Record("IsMenu(" + V(menu) + ") = " + V(is));
    return is;
}

BOOL WINAPI ShimRemoveMenu(HMENU menu, UINT item, UINT flags)
{
    BOOL ok = RemoveMenu(menu, item, flags);
    Record("RemoveMenu(" + V(menu) + ", " + Format("%u, 0x%X", item, flags) + ") = " + V(ok));
    return ok;
}

struct Shim {
    const char *name;
    void *function;
};

const Shim shims[] = {
    {"CreateFileMappingA", (void *)ShimCreateFileMappingA},
    {"MapViewOfFile", (void *)ShimMapViewOfFile},
    {"UnmapViewOfFile", (void *)ShimUnmapViewOfFile},
    {"CloseHandle", (void *)ShimCloseHandle},
    {"GetModuleHandleExA", (void *)ShimGetModuleHandleExA},
    {"SetTimer", (void *)ShimSetTimer},
    {"KillTimer", (void *)ShimKillTimer},
    {"FindWindowExA", (void *)ShimFindWindowExA},
    {"GetWindowLongA", (void *)ShimGetWindowLongA},
    {"SetWindowLongA", (void *)ShimSetWindowLongA},
    {"IsWindow", (void *)ShimIsWindow},
    {"CallWindowProcA", (void *)ShimCallWindowProcA},
    {"MessageBoxA", (void *)ShimMessageBoxA},
    {"GetMenu", (void *)ShimGetMenu},
    {"GetMenuItemCount", (void *)ShimGetMenuItemCount},
    {"GetMenuItemInfoA", (void *)ShimGetMenuItemInfoA},
    {"GetSubMenu", (void *)ShimGetSubMenu},
    {"CreatePopupMenu", (void *)ShimCreatePopupMenu},
    {"InsertMenuItemA", (void *)ShimInsertMenuItemA},
    {"GetMenuState", (void *)ShimGetMenuState},
    {"EnableMenuItem", (void *)ShimEnableMenuItem},
    {"DrawMenuBar", (void *)ShimDrawMenuBar},
    {"DestroyMenu", (void *)ShimDestroyMenu},
    {"LoadMenuA", (void *)ShimLoadMenuA},
    {"AppendMenuA", (void *)ShimAppendMenuA},
    {"RemoveMenu", (void *)ShimRemoveMenu},
    {"IsMenu", (void *)ShimIsMenu},
};

// Any other import (the runtime's, mostly) goes through a small generated
// thunk that records its name and jumps on to the real function with every
// register and the stack as they were.
const int maxGeneric = 256;
const int thunkSize = 32;
std::string genericNames[maxGeneric];
void *genericTargets[maxGeneric];
unsigned char *thunks;
int genericCount;

extern "C" void __cdecl RecordGeneric(int index)
{
    lines.push_back("[" + genericNames[index] + "]");
}

void *GenericThunk(const std::string &name, void *target)
{
    if (thunks == nullptr)
        thunks = (unsigned char *)VirtualAlloc(nullptr, maxGeneric * thunkSize, MEM_COMMIT | MEM_RESERVE,
                                               PAGE_EXECUTE_READWRITE);
    if (thunks == nullptr || genericCount == maxGeneric)
        return target;
    int index = genericCount++;
    genericNames[index] = name;
    genericTargets[index] = target;
    unsigned char *t = thunks + index * thunkSize;
    uint32_t record = (uint32_t)(uintptr_t)&RecordGeneric;
    uint32_t slot = (uint32_t)(uintptr_t)&genericTargets[index];
    unsigned char *p = t;
    *p++ = 0x60; // pushad
    *p++ = 0x68; // push index
    memcpy(p, &index, 4), p += 4;
    *p++ = 0xB8; // mov eax, RecordGeneric
    memcpy(p, &record, 4), p += 4;
    *p++ = 0xFF, *p++ = 0xD0;             // call eax
    *p++ = 0x83, *p++ = 0xC4, *p++ = 0x04; // add esp, 4
    *p++ = 0x61;                          // popad
    *p++ = 0xFF, *p++ = 0x25;             // jmp [slot]
    memcpy(p, &slot, 4), p += 4;
    FlushInstructionCache(GetCurrentProcess(), t, thunkSize);
    return t;
}

} // namespace

std::vector<std::string> TraceImports(HMODULE module)
{
    std::vector<std::string> dlls;
    genericCount = 0;
    const BYTE *base = (const BYTE *)module;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return dlls;
    const IMAGE_IMPORT_DESCRIPTOR *d = (const IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress);
    for (; d->Name != 0; ++d) {
        dlls.push_back((const char *)(base + d->Name));
        DWORD lookup = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        const IMAGE_THUNK_DATA32 *entry = (const IMAGE_THUNK_DATA32 *)(base + lookup);
        IMAGE_THUNK_DATA32 *slot = (IMAGE_THUNK_DATA32 *)(base + d->FirstThunk);
        for (; entry->u1.AddressOfData != 0; ++entry, ++slot) {
            std::string name = "#ordinal";
            if (!IMAGE_SNAP_BY_ORDINAL32(entry->u1.Ordinal))
                name = (const char *)((const IMAGE_IMPORT_BY_NAME *)(base + entry->u1.AddressOfData))->Name;
            void *replacement = nullptr;
            for (const Shim &s : shims)
                if (name == s.name)
                    replacement = s.function;
            if (replacement == nullptr)
                replacement = GenericThunk(dlls.back() + "!" + name, (void *)(uintptr_t)slot->u1.Function);
            DWORD old;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old);
            slot->u1.Function = (DWORD)(uintptr_t)replacement;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
        }
    }
    return dlls;
}

const std::vector<std::string> &TracedCalls()
{
    return lines;
}

void ClearTrace()
{
    lines.clear();
}

void TraceNote(const std::string &line)
{
    lines.push_back(line);
}

void NameValue(uintptr_t value, const std::string &name)
{
    names[value] = name;
}

void ForgetNames()
{
    names.clear();
    attachTimerId = sampleTimerId = 0;
    popupsMade = menusLoaded = 0;
}

std::string ValueText(uintptr_t value)
{
    auto it = names.find(value);
    if (it != names.end())
        return it->second;
    if (value < 0x10000)
        return Format("%u", (unsigned)value);
    if ((int32_t)value < 0 && (int32_t)value > -0x10000)
        return Format("%d", (int)(int32_t)value);
    return Format("0x%X", (unsigned)value);
}

UINT_PTR AttachTimerId()
{
    return attachTimerId;
}

UINT_PTR SampleTimerId()
{
    return sampleTimerId;
}

static bool StartsWithAny(const std::string &line, const std::vector<std::string> &prefixes)
{
    for (const std::string &p : prefixes)
        if (line.compare(0, p.size(), p) == 0)
            return true;
    return false;
}

std::vector<std::string> Keep(const std::vector<std::string> &in, const std::vector<std::string> &prefixes)
{
    std::vector<std::string> out;
    for (const std::string &l : in)
        if (StartsWithAny(l, prefixes))
            out.push_back(l);
    return out;
}

std::vector<std::string> Drop(const std::vector<std::string> &in, const std::vector<std::string> &prefixes)
{
    std::vector<std::string> out;
    for (const std::string &l : in)
        if (!StartsWithAny(l, prefixes))
            out.push_back(l);
    return out;
}

std::string Joined(const std::vector<std::string> &in)
{
    std::string s;
    for (const std::string &l : in)
        s += "  " + l + "\n";
    return s;
}
