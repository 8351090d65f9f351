#include "process_census.h"

#include <stdlib.h>

ProcessCensus TakeCensus()
{
    ProcessCensus c = {0, 0};
    // Wine answers GetProcessHandleCount with 0; then count the handle
    // values that the process has open.
    if (!GetProcessHandleCount(GetCurrentProcess(), &c.handles) || c.handles == 0) {
        DWORD flags;
        for (ULONG_PTR h = 4; h < 0x10000; h += 4)
            if (GetHandleInformation((HANDLE)h, &flags))
                ++c.handles;
    }
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const char *p = (const char *)si.lpMinimumApplicationAddress;
    const void *lastBase = nullptr;
    MEMORY_BASIC_INFORMATION m;
    while (p < (const char *)si.lpMaximumApplicationAddress && VirtualQuery(p, &m, sizeof m) == sizeof m) {
        if (m.State != MEM_FREE && m.Type == MEM_MAPPED && m.AllocationBase != lastBase) {
            ++c.mappedViews;
            lastBase = m.AllocationBase;
        }
        p = (const char *)m.BaseAddress + m.RegionSize;
    }
    return c;
}

unsigned SoakScale()
{
    const char *s = getenv("SOAK_SCALE");
    unsigned v = s ? (unsigned)strtoul(s, nullptr, 10) : 1;
    return v ? v : 1;
}
