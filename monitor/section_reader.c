#include "section_reader.h"

#include <windows.h>

#include <string.h>

/* The section's own size comes from the native section query; its record,
 * the first that the system defines, is declared here. */
typedef struct SectionBasicInformation {
    PVOID baseAddress;
    ULONG allocationAttributes;
    LARGE_INTEGER maximumSize;
} SectionBasicInformation;

typedef LONG(NTAPI *QuerySectionFn)(HANDLE section, int informationClass, PVOID information, SIZE_T length,
                                    SIZE_T *returned);

/* The ntdll routine, or null where it does not exist; then only the view's
 * size is known. Set once by PrepareSectionReader. */
static QuerySectionFn querySection;

void PrepareSectionReader(void)
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll)
        querySection = (QuerySectionFn)(void (*)(void))GetProcAddress(ntdll, "NtQuerySection");
}

static HANDLE OpenForReading(const char *name)
{
    /* Querying the size needs SECTION_QUERY besides the read access; a
     * section whose owner grants read access only is still opened. */
    HANDLE section = OpenFileMappingA(FILE_MAP_READ | SECTION_QUERY, FALSE, name);
    if (section == NULL && GetLastError() == ERROR_ACCESS_DENIED)
        section = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    return section;
}

static void QuerySectionSize(HANDLE section, SectionSample *sample)
{
    if (querySection == NULL)
        return;
    SectionBasicInformation info;
    memset(&info, 0, sizeof info);
    SIZE_T returned = 0;
    if (querySection(section, 0, &info, sizeof info, &returned) == 0 && info.maximumSize.QuadPart >= 0) {
        sample->sectionSize = (uint64_t)info.maximumSize.QuadPart;
        sample->sectionSizeKnown = 1;
    }
}

static uint64_t ViewSize(const void *view)
{
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(view, &region, sizeof region) != sizeof region || region.State != MEM_COMMIT)
        return 0;
    return (uint64_t)region.RegionSize;
}

void ReadWatchedSection(const SectionInfo *info, SectionSample *sample)
{
    sample->status = StatusMissing;
    sample->error = 0;
    sample->sectionSize = 0;
    sample->sectionSizeKnown = 0;
    sample->viewSize = 0;
    HANDLE section = OpenForReading(info->name);
    if (section == NULL) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            sample->status = StatusUnopenable;
            sample->error = error;
        }
        return;
    }
    QuerySectionSize(section, sample);
    const unsigned char *view = (const unsigned char *)MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0);
    if (view == NULL) {
        sample->status = StatusUnmappable;
        sample->error = GetLastError();
        CloseHandle(section);
        return;
    }
    sample->viewSize = ViewSize(view);
    if (ReadableBytes(sample) < info->recordSize) {
        sample->status = StatusTooSmall;
    } else {
        CopyRecordSettled(sample->record, view, info->recordSize);
        sample->status = StatusRead;
    }
    UnmapViewOfFile(view);
    CloseHandle(section);
}
