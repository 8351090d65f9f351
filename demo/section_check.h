// What a reader of a section finds now, compared with what was sent.
#ifndef DEMO_SECTION_CHECK_H
#define DEMO_SECTION_CHECK_H

#include <windows.h>

#include <string.h>

inline bool SectionHolds(const char *name, const void *expected, size_t size)
{
    HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!h)
        return false;
    const void *view = MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
    bool same = view && memcmp(view, expected, size) == 0;
    if (view)
        UnmapViewOfFile(view);
    CloseHandle(h);
    return same;
}

#endif
