#include "time_split.h"

#include <math.h>

/* hour x 3600 is formed as an int32, so the hour must stay within this. */
#define SPLIT_HOUR_LIMIT (INT32_MAX / 3600)

int SplitLocalTime(double seconds, TimeOfDay *out)
{
    double hours = floor(seconds / 3600.0);
    /* The comparisons are false for NaN, so it is refused too. */
    if (!(hours >= -SPLIT_HOUR_LIMIT && hours <= SPLIT_HOUR_LIMIT))
        return 0;
    int32_t hour = (int32_t)hours;
    double rest = seconds - (double)(hour * 3600);
    int32_t minute = (int32_t)floor(rest / 60.0);
    /* rest is within [-1, 3601) here, so both conversions are defined;
     * the second is truncated, not floored. */
    int32_t second = (int32_t)(rest - (double)(minute * 60));
    out->hour = hour;
    out->minute = minute;
    out->second = second;
    return 1;
}
