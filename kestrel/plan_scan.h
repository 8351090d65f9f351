/* Scanning the lines of a flight-plan file into PlanBlock's waypoints.
 * Portable: no platform headers, no allocation. Every routine takes the
 * line's length and never reads past it; a line holds no NUL within that
 * length (the file loop measures it with strlen).
 *
 * A waypoint is a trigger line, holding "ATCWaypoint id", together with the
 * two lines after it: the first is not examined, the second is the position
 * line. The trigger line gives the identifier, the position line latitude
 * and longitude in degrees, minutes and seconds. */
#ifndef KESTREL_PLAN_SCAN_H
#define KESTREL_PLAN_SCAN_H

#include <stddef.h>
#include <stdint.h>

#include "sections.h"

/* The line buffer of the file loop: a line comes in pieces of at most 255
 * characters, line feed included, and each piece is taken as a line. */
#define PLAN_LINE_SIZE 256

#if defined(__cplusplus)
extern "C" {
#endif

/* The reader's working state for one file; none of it outlives the file. */
typedef struct PlanScan {
    /* Waypoints stored so far: the index of the entry the next one fills. */
    int32_t count;
    /* Lines still to come for the waypoint in hand: 2 right after its
     * trigger line, 1 when the next line is its position line, 0 when no
     * waypoint is in hand. */
    int32_t linesAhead;
    /* The identifier of the waypoint in hand; it reaches its entry only
     * once the position has been read, so entries from count on are never
     * touched. */
    char identifier[PLAN_IDENTIFIER_SIZE];
    size_t identifierLength;
} PlanScan;

void BeginPlanScan(PlanScan *scan);

/* The length of the NUL-terminated line in a line buffer of capacity bytes
 * (capacity itself when no terminator is found). The buffer is read in
 * whole words, past the terminator but never past capacity, so every byte
 * of it must have been written since the buffer was made. */
size_t PlanLineLength(const char *line, size_t capacity);

/* Takes the next line of the file (length bytes, line feed included when
 * the line has one). Fills block's waypoints from entry 0 on; touches
 * neither count nor active. Returns 0 once 50 waypoints are stored: the
 * table is full and the file is read no further. */
int ScanPlanLine(PlanScan *scan, PlanBlock *block, const char *line, size_t length);

/* Writes the number of waypoints read into block's count: once per file,
 * after its last line. A waypoint whose file ends before its position line
 * is not counted. */
void EndPlanScan(const PlanScan *scan, PlanBlock *block);

/* The steps of ScanPlanLine, for tests. */

/* Whether the line holds "ATCWaypoint id", letter case as written. */
int HasPlanTrigger(const char *line, size_t length);

/* Takes the identifier out of a trigger line whose last character (the
 * line feed) is already cut off: it starts two characters after the first
 * "=", and the last two characters are left out. Writes it, at most 7
 * characters, and a terminator into identifier (8 bytes); nothing behind
 * the terminator is written. Returns its length. */
size_t TakePlanIdentifier(const char *text, size_t length, char *identifier);

/* Reads latitude and longitude from a position line whose last character
 * is already cut off. Returns 1 and sets both, or returns 0 and sets
 * neither when a mark is missing where the walk needs one. */
int ReadPlanPosition(const char *text, size_t length, double *latitude, double *longitude);

#if defined(__cplusplus)
}
#endif

#endif
