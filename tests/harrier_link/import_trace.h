// Every call that harrier_link.dll makes into the system, as text lines.
//
// The host rewrites the library's import address table right after
// LoadLibraryA: each imported function is replaced by a shim that records
// the call (with its arguments and, where it matters, its result) and then
// calls the real function. The library still talks to the real user32 and
// kernel32; the tests only watch, and for a few calls make them fail.
#ifndef HARRIER_IMPORT_TRACE_H
#define HARRIER_IMPORT_TRACE_H

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

// Calls the test makes fail instead of passing them on.
struct ImportFaults {
    bool createFileMapping;
    bool mapViewOfFile;
    bool createPopupMenu;
    bool insertMenuItem;
    bool loadMenu;
    UINT itemInfoMask; // GetMenuItemInfoA fails for queries with exactly this fMask (0: none)
};
extern ImportFaults importFaults;

// Patches every import of `module`. Returns the names of the DLLs it imports.
std::vector<std::string> TraceImports(HMODULE module);

// The recorded lines, oldest first. Calls of functions without a shim of
// their own (the runtime's) appear as "[msvcrt.dll!strlen]".
const std::vector<std::string> &TracedCalls();
void ClearTrace();
// A line of the host's own (a lookup, a marker) among the library's calls.
void TraceNote(const std::string &line);

// Values shown by name in the lines instead of as numbers: handles the
// test knows ("main", "bar"), and those the shims name themselves: the
// section ("section"), views ("view"), the timers ("attachTimer",
// "sampleTimer") and their routines ("AttachTick", "SampleTick"), the new
// Modules popups ("newPopup1", "newPopup2" ...), the loaded menus
// ("versionMenu1" ...), and the hook ("MainWindowHook").
void NameValue(uintptr_t value, const std::string &name);
void ForgetNames();
std::string ValueText(uintptr_t value);

// The ids of the timers the library started (0 until it did). Timer
// messages carry these; the routine address they carry may be a handle.
UINT_PTR AttachTimerId();
UINT_PTR SampleTimerId();

// Lines that start with one of the prefixes, or all other lines.
std::vector<std::string> Keep(const std::vector<std::string> &lines, const std::vector<std::string> &prefixes);
std::vector<std::string> Drop(const std::vector<std::string> &lines, const std::vector<std::string> &prefixes);
std::string Joined(const std::vector<std::string> &lines);

#endif
