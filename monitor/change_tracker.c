#include "change_tracker.h"

#include <string.h>

void TrackRecord(ChangeTracker *tracker, const unsigned char *record, size_t size, double nowMs)
{
    if (size > sizeof tracker->last)
        size = sizeof tracker->last;
    if (!tracker->watching) {
        memset(tracker, 0, sizeof *tracker);
        tracker->watching = 1;
        tracker->firstSeenMs = nowMs;
        memcpy(tracker->last, record, size);
        return;
    }
    if (memcmp(tracker->last, record, size) == 0)
        return;
    memcpy(tracker->last, record, size);
    tracker->lastChangeMs = nowMs;
    ++tracker->changes;
    tracker->stamps[tracker->stampCount % CHANGE_STAMPS] = nowMs;
    ++tracker->stampCount;
}

void TrackAbsence(ChangeTracker *tracker)
{
    tracker->watching = 0;
}

double ChangesPerSecond(const ChangeTracker *tracker, double nowMs)
{
    if (!tracker->watching)
        return 0.0;
    double window = nowMs - tracker->firstSeenMs;
    if (window > CHANGE_WINDOW_MS)
        window = CHANGE_WINDOW_MS;
    if (window <= 0.0)
        return 0.0;
    uint32_t kept = tracker->stampCount < CHANGE_STAMPS ? tracker->stampCount : CHANGE_STAMPS;
    uint32_t inWindow = 0;
    for (uint32_t i = 0; i < kept; ++i) {
        double stamp = tracker->stamps[(tracker->stampCount - 1 - i) % CHANGE_STAMPS];
        if (stamp <= nowMs - window)
            break;
        ++inWindow;
    }
    return inWindow * 1000.0 / window;
}

double MillisecondsSinceChange(const ChangeTracker *tracker, double nowMs)
{
    if (!tracker->watching)
        return 0.0;
    double since = tracker->changes > 0 ? tracker->lastChangeMs : tracker->firstSeenMs;
    return nowMs > since ? nowMs - since : 0.0;
}
