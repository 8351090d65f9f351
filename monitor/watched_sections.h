/* The three sections the monitor watches, and what one look at a section
 * found. Portable: the platform part fills SectionSample, everything else
 * only reads it. */
#ifndef MONITOR_WATCHED_SECTIONS_H
#define MONITOR_WATCHED_SECTIONS_H

#include <stddef.h>
#include <stdint.h>

#include "sections.h"

#if defined(__cplusplus)
extern "C" {
#endif

enum { WatchData, WatchPlan, WatchLink, WATCHED_SECTION_COUNT };

/* The largest record the monitor copies. */
#define RECORD_BYTES_MAX sizeof(PlanBlock)

typedef struct SectionInfo {
    const char *name;
    size_t recordSize;
    const char *library;    /* the DLL that publishes it */
    const char *recordName; /* the record at its offset 0 */
    /* 1 for sections refreshed all the time (every frame, every tick): a
     * quiet second means stale data. The plan changes only when a plan is
     * taken over. */
    int continuous;
} SectionInfo;

extern const SectionInfo watchedSections[WATCHED_SECTION_COUNT];

typedef enum SectionStatus {
    StatusMissing,     /* no object of that name */
    StatusUnopenable,  /* the name exists but cannot be opened as a section */
    StatusUnmappable,  /* opened, but no view could be mapped for reading */
    StatusTooSmall,    /* the section holds fewer bytes than its record */
    StatusRead         /* record holds a copy of the record */
} SectionStatus;

typedef struct SectionSample {
    SectionStatus status;
    uint32_t error;        /* the system's error code for StatusUnopenable and StatusUnmappable */
    uint64_t sectionSize;  /* the section's own size, when sectionSizeKnown */
    int sectionSizeKnown;
    uint64_t viewSize;     /* bytes the mapped view spans: whole pages */
    unsigned char record[RECORD_BYTES_MAX];
} SectionSample;

/* How many bytes at the start of a mapped section may be read: its own
 * size when known, never more than the view, which is page-granular and so
 * may reach past the section's end. */
uint64_t ReadableBytes(const SectionSample *sample);

/* Copies size bytes from a view that another process may be writing into,
 * until two copies in a row agree or the attempts run out; out holds the
 * last copy. Returns 1 when it settled. The sections carry no lock, so this
 * only makes a torn record less likely. */
int CopyRecordSettled(unsigned char *out, const volatile unsigned char *view, size_t size);

#if defined(__cplusplus)
}
#endif

#endif
