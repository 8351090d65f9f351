// monitor.exe in a process of its own, as a user starts it, and the
// sections a test lays out for it: named sections holding known bytes,
// backed by the paging file or, for an exact small size, by a file.
#ifndef TESTS_MONITOR_PROCESS_H
#define TESTS_MONITOR_PROCESS_H

#include <windows.h>

#include <string>
#include <vector>

#include "json_value.h"

struct MonitorResult {
    bool started;
    DWORD exitCode;
    std::string out;
    std::string err;
};

// Runs "monitor.exe <arguments>" from beside the test program to its end.
MonitorResult RunMonitor(const std::string &arguments);

// The one JSON line of a --once --json run, parsed; fails the test if the
// run did not give exactly one valid line.
JsonValue OnceJson(const std::string &extraArguments = "", DWORD *exitCode = nullptr);

// A monitor that keeps running; the test reads its output line by line.
struct LiveMonitor {
    PROCESS_INFORMATION process;
    HANDLE output;
    std::string pending;
};

bool StartMonitor(LiveMonitor *monitor, const std::string &arguments);
// The next line of output without its line break. False when the monitor
// ended, or gave no line for half a minute (a hang, not a slow machine).
bool NextLine(LiveMonitor *monitor, std::string *line);
// Waits for the monitor to end by itself (half a minute at most) and gives
// its exit code, or STILL_ACTIVE.
DWORD WaitForExit(LiveMonitor *monitor);
// Ends the monitor if it still runs and releases it.
void StopMonitor(LiveMonitor *monitor);

// A paging-file section of `size` bytes that starts with `bytes`. The
// handle keeps it alive; close it to make the section vanish.
HANDLE CreateSection(const char *name, DWORD size, const void *bytes, size_t count);
// A section of exactly `count` bytes, backed by a file of that length, so
// its size is not rounded up to a page. readOnly maps the file read-only.
HANDLE CreateFileSection(const char *name, const void *bytes, size_t count, bool readOnly = false);
// Rewrites the record at the start of a section the test created.
void WriteSection(HANDLE section, const void *bytes, size_t count);

// Closes every handle on destruction, so a failing test leaves no section
// behind for the next one.
struct HeldSections {
    std::vector<HANDLE> handles;
    ~HeldSections();
    HANDLE Keep(HANDLE h);
    void Close(HANDLE h);
};

#endif
