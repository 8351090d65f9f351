/* The record through which the host's LookupTokenVariable hands back one
 * simulator variable, and the conversion of the eleven sampled values into
 * LinkBlock. Portable: no platform headers, so the arithmetic is also built
 * and tested natively. */
#ifndef HARRIER_TOKEN_VARIABLE_H
#define HARRIER_TOKEN_VARIABLE_H

#include <stddef.h>
#include <stdint.h>

#include "sections.h"

#if defined(__cplusplus)
extern "C" {
#endif

/* 28 bytes, lent to the host by address at every lookup. The host owns
 * bytes 4-11 and 20-27: the module never reads or writes them, so whatever
 * the host keeps there survives from one lookup to the next. The value is a
 * double at byte 12, which is not 8-byte aligned, hence the byte array. */
typedef struct TokenVariable {
    int32_t id;
    uint8_t hostHead[8];
    uint8_t value[8];
    uint8_t hostTail[8];
} TokenVariable;

SECTIONS_ASSERT(offsetof(TokenVariable, id) == 0, "TokenVariable.id");
SECTIONS_ASSERT(offsetof(TokenVariable, value) == 12, "TokenVariable.value");
SECTIONS_ASSERT(sizeof(TokenVariable) == 28, "TokenVariable size");

/* The sampled tokens, in the order in which every tick looks them up. */
enum {
    HeadingToken,        /* 0x56 */
    LatitudeToken,       /* 0x47 */
    LongitudeToken,      /* 0x48 */
    AltitudeToken,       /* 0x49 */
    GroundAltitudeToken, /* 0x52 */
    GroundSpeedToken,    /* 0x227 */
    SecondToken,         /* 5 */
    MinuteToken,         /* 7 */
    HourToken,           /* 6 */
    Clock2MinuteToken,   /* 4 */
    Clock2HourToken,     /* 3 */
    TOKEN_COUNT
};

/* Truncation toward zero into an int32. The conversion is only defined for
 * values that fit; NaN and anything at or beyond +-2^31 (after truncation)
 * give INT32_MIN, the value x86's own conversion yields for them. */
int32_t TruncateClockValue(double value);

/* Fills every field of *block from the values the host left in the
 * records, which are in lookup order. Each operation is one IEEE double
 * operation, done in the order shown in the code; the unconverted values
 * are copied as bytes, so even a signalling NaN arrives unchanged. */
void FillLinkBlock(const TokenVariable records[TOKEN_COUNT], LinkBlock *block);

#if defined(__cplusplus)
}
#endif

#endif
