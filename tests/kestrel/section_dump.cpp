// A minimal reader in a process of its own: prints the first N bytes of a
// named section as hex, or nothing when the section cannot be opened.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, argv[1]);
    if (!h)
        return 1;
    const unsigned char *view = (const unsigned char *)MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
    if (!view)
        return 1;
    unsigned long n = strtoul(argv[2], NULL, 10);
    for (unsigned long i = 0; i < n; ++i)
        printf("%02X", view[i]);
    UnmapViewOfFile(view);
    CloseHandle(h);
    return 0;
}
