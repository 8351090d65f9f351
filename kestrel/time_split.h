/* Splitting the simulator's local time of day (seconds) into hour, minute
 * and second. Portable: no platform headers. */
#ifndef KESTREL_TIME_SPLIT_H
#define KESTREL_TIME_SPLIT_H

#include <stdint.h>

typedef struct TimeOfDay {
    int32_t hour;
    int32_t minute;
    int32_t second;
} TimeOfDay;

#if defined(__cplusplus)
extern "C" {
#endif

/* Returns 1 and fills *out, or returns 0 and leaves *out alone when the time
 * cannot be split into int32 fields (not a number, or an hour so large that
 * hour x 3600 overflows an int32). No modulo: 86400 s gives hour 24. */
int SplitLocalTime(double seconds, TimeOfDay *out);

#if defined(__cplusplus)
}
#endif

#endif
