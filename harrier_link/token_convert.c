#include "token_variable.h"

#include <float.h>
#include <string.h>

/* The readers compare published doubles bit for bit with what the FSX
 * bridge gives: intermediate results must be rounded to double after every
 * operation, never carried in wider registers (x87 without SSE2). */
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error "double arithmetic must be evaluated in double precision (build with SSE2 math)"
#endif

/* 2^-48 as a double: 2^48 host units make 360 degrees of longitude. */
#define LONGITUDE_UNIT 3.552713678800501e-15

/* Kept to this file, so that the value never travels as a function result,
 * which 32-bit x86 returns on the x87 stack. */
static double TokenValue(const TokenVariable *record)
{
    double value;
    memcpy(&value, record->value, sizeof value);
    return value;
}

int32_t TruncateClockValue(double value)
{
    /* Both comparisons are false for NaN. Inside these bounds truncation
     * lands in [INT32_MIN, INT32_MAX]. */
    if (value > -2147483649.0 && value < 2147483648.0)
        return (int32_t)value;
    return INT32_MIN;
}

void FillLinkBlock(const TokenVariable records[TOKEN_COUNT], LinkBlock *block)
{
    double latitude = TokenValue(&records[LatitudeToken]) / 40007000.0;
    latitude = latitude * 360.0;
    double longitude = TokenValue(&records[LongitudeToken]) * LONGITUDE_UNIT;
    longitude = longitude * 360.0;
    /* The host gives metres and feet per second: 1.09728 turns feet per
     * second into km/h, 1.852 km/h into knots. */
    double altitude = TokenValue(&records[AltitudeToken]) / 0.3048;
    double groundSpeed = TokenValue(&records[GroundSpeedToken]) * 1.09728;
    groundSpeed = groundSpeed / 1.852;
    int32_t second = TruncateClockValue(TokenValue(&records[SecondToken]));

    block->altitude = altitude;
    block->latitude = latitude;
    block->longitude = longitude;
    memcpy(&block->heading, records[HeadingToken].value, sizeof block->heading);
    block->groundSpeed = groundSpeed;
    memcpy(&block->groundAltitude, records[GroundAltitudeToken].value, sizeof block->groundAltitude);
    block->hour = TruncateClockValue(TokenValue(&records[HourToken]));
    block->minute = TruncateClockValue(TokenValue(&records[MinuteToken]));
    block->second = second;
    block->clock2Hour = TruncateClockValue(TokenValue(&records[Clock2HourToken]));
    block->clock2Minute = TruncateClockValue(TokenValue(&records[Clock2MinuteToken]));
    block->clock2Second = second;
}
