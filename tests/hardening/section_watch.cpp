// A reader in a process of its own that maps a section over and over while
// a host publishes into it, and fails if the section ever vanishes, shrinks
// or has bytes past the record changed.
//   section_watch NAME RECORD_SIZE SECONDS
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    const char *name = argv[1];
    size_t record = strtoul(argv[2], NULL, 10);
    DWORD until = GetTickCount() + 1000 * (DWORD)strtoul(argv[3], NULL, 10);
    static unsigned char first[65536];
    SIZE_T firstSize = 0;
    unsigned long looks = 0, changes = 0;
    unsigned char lastRecord[2048] = {0};
    while ((LONG)(GetTickCount() - until) < 0) {
        HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
        if (!h) {
            printf("%s vanished after %lu looks\n", name, looks);
            return 1;
        }
        const unsigned char *view = (const unsigned char *)MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
        if (!view) {
            printf("%s cannot be mapped after %lu looks\n", name, looks);
            return 1;
        }
        MEMORY_BASIC_INFORMATION m;
        VirtualQuery(view, &m, sizeof m);
        SIZE_T size = m.RegionSize < sizeof first ? m.RegionSize : sizeof first;
        if (looks == 0) {
            firstSize = size;
            memcpy(first, view, size);
        } else if (size < firstSize) {
            printf("%s shrank from %lu to %lu bytes\n", name, (unsigned long)firstSize, (unsigned long)size);
            return 1;
        } else if (memcmp(first + record, view + record, firstSize - record) != 0) {
            printf("%s: bytes past the %lu-byte record changed\n", name, (unsigned long)record);
            return 1;
        }
        if (memcmp(lastRecord, view, record) != 0) {
            ++changes;
            memcpy(lastRecord, view, record);
        }
        ++looks;
        UnmapViewOfFile(view);
        CloseHandle(h);
    }
    printf("%s: %lu looks, %lu changes seen\n", name, looks, changes);
    return looks > 0 && changes > 1 ? 0 : 1;
}
