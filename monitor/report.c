#include "report.h"

#include <string.h>

void FillSectionReport(SectionReport *report, const SectionInfo *info, const SectionSample *sample,
                       const ChangeTracker *tracker, double nowMs)
{
    report->info = info;
    report->sample = sample;
    report->changes = tracker->watching ? tracker->changes : 0;
    report->changesPerSecond = ChangesPerSecond(tracker, nowMs);
    report->msSinceChange = MillisecondsSinceChange(tracker, nowMs);
}

int IsStale(const SectionReport *report)
{
    return report->info->continuous && report->sample->status == StatusRead &&
           report->msSinceChange >= STALE_AFTER_MS;
}

void DecodeState(const SectionSample *sample, StateBlock *state)
{
    memcpy(state, sample->record, sizeof *state);
}

void DecodePlan(const SectionSample *sample, PlanBlock *plan)
{
    memcpy(plan, sample->record, sizeof *plan);
}

void DecodeLink(const SectionSample *sample, LinkBlock *link)
{
    memcpy(link, sample->record, sizeof *link);
}

int CountIsValid(const PlanBlock *plan)
{
    return plan->count >= 0 && plan->count <= PLAN_WAYPOINT_CAPACITY;
}

int ShownWaypoints(const PlanBlock *plan)
{
    if (plan->count < 0)
        return 0;
    return plan->count > PLAN_WAYPOINT_CAPACITY ? PLAN_WAYPOINT_CAPACITY : plan->count;
}

/* System error codes the messages explain. */
#define ERROR_CODE_ACCESS_DENIED 5u
#define ERROR_CODE_INVALID_HANDLE 6u

void AppendStatusMessage(TextBuffer *out, const SectionInfo *info, const SectionSample *sample)
{
    switch (sample->status) {
    case StatusMissing:
        AppendFormat(out, "%s not found: is the simulator running with %s loaded?", info->name, info->library);
        break;
    case StatusUnopenable:
        AppendFormat(out, "%s cannot be opened (error %lu)", info->name, (unsigned long)sample->error);
        if (sample->error == ERROR_CODE_INVALID_HANDLE)
            AppendText(out, ": the name belongs to an object that is not a section");
        else if (sample->error == ERROR_CODE_ACCESS_DENIED)
            AppendText(out, ": access denied");
        break;
    case StatusUnmappable:
        AppendFormat(out, "%s cannot be mapped for reading (error %lu)", info->name,
                     (unsigned long)sample->error);
        break;
    case StatusTooSmall:
        AppendFormat(out, "%s holds %llu bytes, fewer than its %u-byte %s: not read", info->name,
                     (unsigned long long)ReadableBytes(sample), (unsigned)info->recordSize, info->recordName);
        break;
    case StatusRead:
        break;
    }
}

void AppendClock(TextBuffer *out, int32_t hour, int32_t minute, int32_t second)
{
    AppendFormat(out, "%02ld:%02ld:%02ld", (long)hour, (long)minute, (long)second);
}

size_t IdentifierLength(const char identifier[PLAN_IDENTIFIER_SIZE], int *terminated)
{
    const char *end = (const char *)memchr(identifier, '\0', PLAN_IDENTIFIER_SIZE);
    *terminated = end != NULL;
    return end ? (size_t)(end - identifier) : PLAN_IDENTIFIER_SIZE;
}
