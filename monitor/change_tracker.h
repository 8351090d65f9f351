/* Per section: how often its record changes and how long ago it last did,
 * as a reader polling it sees. Times are milliseconds on any steady clock.
 * Portable. */
#ifndef MONITOR_CHANGE_TRACKER_H
#define MONITOR_CHANGE_TRACKER_H

#include <stddef.h>
#include <stdint.h>

#include "watched_sections.h"

#if defined(__cplusplus)
extern "C" {
#endif

/* The rate is measured over the last second. */
#define CHANGE_WINDOW_MS 1000.0
/* Change times kept for the rate; a poller sees fewer changes a second. */
#define CHANGE_STAMPS 256

typedef struct ChangeTracker {
    int watching; /* 1 from the first record read until the section is lost */
    unsigned char last[RECORD_BYTES_MAX];
    double firstSeenMs;
    double lastChangeMs; /* meaningful once changes > 0 */
    uint32_t changes;    /* since watching began */
    double stamps[CHANGE_STAMPS];
    uint32_t stampCount; /* stamps written so far; the ring wraps */
} ChangeTracker;

/* A record read at nowMs. The first one after the section appeared is not
 * a change; every later one that differs from its predecessor is. */
void TrackRecord(ChangeTracker *tracker, const unsigned char *record, size_t size, double nowMs);
/* The section could not be read: counting starts afresh when it returns. */
void TrackAbsence(ChangeTracker *tracker);

/* Changes per second over the last CHANGE_WINDOW_MS, or over the time since
 * the section appeared when that is shorter; 0 when not watching. */
double ChangesPerSecond(const ChangeTracker *tracker, double nowMs);
/* Milliseconds since the last change, or since the section appeared when
 * it has not changed since; 0 when not watching. */
double MillisecondsSinceChange(const ChangeTracker *tracker, double nowMs);

#if defined(__cplusplus)
}
#endif

#endif
