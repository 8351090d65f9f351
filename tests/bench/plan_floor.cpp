#include "plan_floor.h"

#include <windows.h>

#include <share.h>
#include <stdio.h>
#include <string.h>

int ReadLinesOnly(const char *path)
{
    FILE *file = _fsopen(path, "rt", _SH_DENYWR);
    if (file == NULL)
        return -1;
    char line[256];
    int lines = 0;
    while (fgets(line, sizeof line, file) != NULL)
        ++lines;
    fclose(file);
    return lines;
}

void OpenAndCloseOnly(const char *path)
{
    FILE *file = _fsopen(path, "rt", _SH_DENYWR);
    if (file != NULL)
        fclose(file);
}

std::string FixturePath(void)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return std::string();
    char *slash = strrchr(path, '\\');
    if (slash == NULL)
        return std::string();
    slash[1] = '\0';
    return std::string(path) + "bench_plan50.pln";
}
