#include "plan_scan.h"

#include <stdint.h>
#include <string.h>

#include "plan_number.h"

/* A line holding this, letter case as written, is a trigger line. */
static const char triggerPhrase[] = "ATCWaypoint id";
#define TRIGGER_LENGTH (sizeof triggerPhrase - 1)

/* The degree mark after the whole degrees. Plan files mostly write a degree
 * sign, as the single byte 0xB0 (Windows-1252) or as 0xC2 0xB0 (UTF-8,
 * whose 0xC2 is then passed over like any other byte that is no digit). */
#define ASTERISK '*'
#define DEGREE_SIGN 0xB0

/* The line less its last character, which the reader takes to be the line
 * feed (a piece of a longer line, and a last line without a line feed, lose
 * their last character all the same). */
static size_t WithoutLastCharacter(size_t length)
{
    return length > 0 ? length - 1 : 0;
}

/* How far the trigger search moves on when the byte under the phrase's
 * last place is c and the phrase does not end there: from c's last place
 * among the phrase's first 13 bytes to the phrase's end, or the whole
 * phrase for a byte not among them. Most lines are passed over in a few
 * steps, without looking at every byte. */
static size_t TriggerShift(unsigned char c)
{
    switch (c) {
    case 'A':
        return 13;
    case 'T':
        return 12;
    case 'C':
        return 11;
    case 'W':
        return 10;
    case 'a':
        return 9;
    case 'y':
        return 8;
    case 'p':
        return 7;
    case 'o':
        return 6;
    case 'n':
        return 4;
    case 't':
        return 3;
    case ' ':
        return 2;
    case 'i':
        return 1;
    default:
        return TRIGGER_LENGTH;
    }
}

int HasPlanTrigger(const char *line, size_t length)
{
    const unsigned char *p = (const unsigned char *)line;
    const unsigned char last = (unsigned char)triggerPhrase[TRIGGER_LENGTH - 1];
    for (size_t at = 0; at + TRIGGER_LENGTH <= length; at += TriggerShift(p[at + TRIGGER_LENGTH - 1]))
        if (p[at + TRIGGER_LENGTH - 1] == last && memcmp(p + at, triggerPhrase, TRIGGER_LENGTH - 1) == 0)
            return 1;
    return 0;
}

size_t TakePlanIdentifier(const char *text, size_t length, char *identifier)
{
    size_t n = 0;
    const char *equals = (const char *)memchr(text, '=', length);
    /* Without an "=", or with fewer than the opening character and the two
     * closing ones after it, there is no identifier: it is stored empty.
     * One of 8 characters or more keeps its first 7. */
    if (equals != NULL) {
        size_t after = length - (size_t)(equals - text) - 1;
        if (after >= 3) {
            n = after - 3;
            if (n > PLAN_IDENTIFIER_SIZE - 1)
                n = PLAN_IDENTIFIER_SIZE - 1;
            memcpy(identifier, equals + 2, n);
        }
    }
    identifier[n] = '\0';
    return n;
}

/* The first c in [from, end), or null. The marks of a position lie a few
 * bytes apart: a plain walk is quicker here than a call out per mark. */
static const char *FindByte(const char *from, const char *end, unsigned char c)
{
    for (; from < end; from++)
        if ((unsigned char)*from == c)
            return from;
    return NULL;
}

/* The first asterisk from the walk on; where the rest of the line holds
 * none, the first degree sign. A line written with asterisks is thus read
 * by its asterisks alone. *asterisks starts at 1 for a line and drops to 0
 * once a search has found none, so that no later search looks again. */
static const char *FindDegreeMark(const char *from, const char *end, int *asterisks)
{
    const char *mark = *asterisks ? FindByte(from, end, ASTERISK) : NULL;
    if (mark == NULL) {
        *asterisks = 0;
        mark = FindByte(from, end, DEGREE_SIGN);
    }
    return mark;
}

/* One coordinate from *walk on: the sign letter and the digits up to the
 * degree mark, the minutes up to the apostrophe, the seconds up to the
 * double quote. Advances *walk past the coordinate. A coordinate written in
 * degrees and decimal minutes, with no double quote anywhere after its
 * apostrophe (S22* 47.50',W45* 12.29'), has seconds 0 and ends at its
 * apostrophe. */
static int ReadCoordinate(const char **walk, const char *end, char negativeLetter, int *asterisks,
                          double *value)
{
    const char *from = *walk;
    const char *mark = FindDegreeMark(from, end, asterisks);
    if (mark == NULL)
        return 0;
    double sign = FindByte(from, mark, (unsigned char)negativeLetter) != NULL ? -1.0 : 1.0;
    double degrees = ConvertPlanDigits(from, (size_t)(mark - from));

    const char *minutesText = mark + 1;
    const char *apostrophe = FindByte(minutesText, end, '\'');
    if (apostrophe == NULL)
        return 0;
    double minutes = ConvertPlanNumber(minutesText, (size_t)(apostrophe - minutesText), NULL);

    const char *secondsText = apostrophe + 1;
    const char *quote = FindByte(secondsText, end, '"');
    double seconds = 0.0;
    if (quote != NULL) {
        seconds = ConvertPlanNumber(secondsText, (size_t)(quote - secondsText), NULL);
        *walk = quote + 1;
    } else {
        *walk = secondsText;
    }
    /* In this order, so every build gives the same bits. */
    double total = ((degrees + minutes / 60.0) + seconds / 3600.0) * sign;
    /* Infinite minutes against infinite seconds of the other sign give no
     * number. Its sign bit is left to the compiler (one may negate rather
     * than multiply), so every build stores the one quiet NaN that SSE2
     * arithmetic makes. */
    if (total != total) {
        uint64_t bits = (uint64_t)0xFFF8 << 48;
        memcpy(&total, &bits, sizeof total);
    }
    *value = total;
    return 1;
}

int ReadPlanPosition(const char *text, size_t length, double *latitude, double *longitude)
{
    const char *end = text + length;
    const char *open = FindByte(text, end, '>');
    if (open == NULL)
        return 0;
    const char *walk = open + 1;
    int asterisks = 1;
    double north, east;
    /* Only a capital S before the latitude's degree mark, and a capital W
     * between the latitude and the longitude's degree mark, make a
     * coordinate negative. */
    if (!ReadCoordinate(&walk, end, 'S', &asterisks, &north) ||
        !ReadCoordinate(&walk, end, 'W', &asterisks, &east))
        return 0;
    *latitude = north;
    *longitude = east;
    return 1;
}

size_t PlanLineLength(const char *line, size_t capacity)
{
    /* Four bytes at a time: a word holds a zero byte exactly when one of
     * its bytes loses its top bit in the subtraction below. */
    size_t at = 0;
    for (; at + sizeof(uint32_t) <= capacity; at += sizeof(uint32_t)) {
        uint32_t word;
        memcpy(&word, line + at, sizeof word);
        if (((word - 0x01010101u) & ~word & 0x80808080u) != 0)
            break;
    }
    while (at < capacity && line[at] != '\0')
        at++;
    return at;
}

void BeginPlanScan(PlanScan *scan)
{
    scan->count = 0;
    scan->linesAhead = 0;
    scan->identifier[0] = '\0';
    scan->identifierLength = 0;
}

int ScanPlanLine(PlanScan *scan, PlanBlock *block, const char *line, size_t length)
{
    if (scan->count >= PLAN_WAYPOINT_CAPACITY)
        return 0;
    /* The two lines after a trigger line are never tested for the trigger
     * phrase; the first of them is not examined at all. */
    if (scan->linesAhead == 2) {
        scan->linesAhead = 1;
        return 1;
    }
    if (scan->linesAhead == 1) {
        scan->linesAhead = 0;
        double latitude, longitude;
        /* A position line on which no position can be read drops its
         * waypoint: it is neither stored nor counted, rather than published
         * at a made-up position. */
        if (ReadPlanPosition(line, WithoutLastCharacter(length), &latitude, &longitude)) {
            PlanWaypoint *entry = &block->waypoints[scan->count];
            entry->latitude = latitude;
            entry->longitude = longitude;
            memcpy(entry->identifier, scan->identifier, scan->identifierLength + 1);
            scan->count++;
        }
        /* With 50 waypoints the table is full: the rest of the file is not
         * read. */
        return scan->count < PLAN_WAYPOINT_CAPACITY;
    }
    if (HasPlanTrigger(line, length)) {
        scan->identifierLength = TakePlanIdentifier(line, WithoutLastCharacter(length), scan->identifier);
        scan->linesAhead = 2;
    }
    return 1;
}

void EndPlanScan(const PlanScan *scan, PlanBlock *block)
{
    block->count = scan->count;
}
