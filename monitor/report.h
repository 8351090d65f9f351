/* One sample of the monitor: for each watched section what was found and
 * how it changes, ready to be formatted. Also the pieces both formats share.
 * Portable. */
#ifndef MONITOR_REPORT_H
#define MONITOR_REPORT_H

#include <stdint.h>

#include "change_tracker.h"
#include "text_buffer.h"
#include "watched_sections.h"

#if defined(__cplusplus)
extern "C" {
#endif

/* A continuously published section whose record has not changed for this
 * long is shown as stale: its publisher stopped, or the simulator paused. */
#define STALE_AFTER_MS 1000.0

typedef struct SectionReport {
    const SectionInfo *info;
    const SectionSample *sample;
    uint32_t changes;
    double changesPerSecond;
    double msSinceChange;
} SectionReport;

typedef struct MonitorReport {
    uint32_t sample; /* 1 for the first */
    double elapsedMs;
    uint32_t intervalMs;
    SectionReport sections[WATCHED_SECTION_COUNT];
} MonitorReport;

void FillSectionReport(SectionReport *report, const SectionInfo *info, const SectionSample *sample,
                       const ChangeTracker *tracker, double nowMs);
int IsStale(const SectionReport *report);

/* The records out of a sample whose status is StatusRead. */
void DecodeState(const SectionSample *sample, StateBlock *state);
void DecodePlan(const SectionSample *sample, PlanBlock *plan);
void DecodeLink(const SectionSample *sample, LinkBlock *link);

/* How many waypoints of a plan to show: count when it is within 0 to 50,
 * otherwise the nearest of those bounds. */
int ShownWaypoints(const PlanBlock *plan);
int CountIsValid(const PlanBlock *plan);

/* What is wrong with a section that was not read, in one sentence, e.g.
 * "KESTREL_DATA not found: is the simulator running with kestrel loaded?". */
void AppendStatusMessage(TextBuffer *out, const SectionInfo *info, const SectionSample *sample);

/* hh:mm:ss from three int32 fields, whatever their values. */
void AppendClock(TextBuffer *out, int32_t hour, int32_t minute, int32_t second);

/* An identifier's bytes: up to its terminator, or all of the field when it
 * has none. Returns the number of bytes and sets *terminated. */
size_t IdentifierLength(const char identifier[PLAN_IDENTIFIER_SIZE], int *terminated);

#if defined(__cplusplus)
}
#endif

#endif
