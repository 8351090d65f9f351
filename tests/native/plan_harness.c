/* One input of the plan fuzzer and of the corpus replayer: arbitrary bytes
 * taken as a plan file, split into lines as text-mode fgets splits them and
 * scanned as the DLL's file loop scans them. Aborts, naming what broke, when
 *  - count leaves 0 to 50, or a filled identifier is not a terminated
 *    string of at most 7 characters;
 *  - anything of PlanBlock is written that the reader must leave alone:
 *    active, entries from count on, bytes behind an identifier's terminator
 *    (the block is an exact heap allocation and each line an exact copy
 *    without terminator, so writes and reads outside them are caught by the
 *    address sanitizer);
 *  - the result differs from the reader written the plain way, on
 *    terminated strings with strstr, strchr and the C library's correctly
 *    rounded strtod;
 *  - the number conversion differs from strtod (decimal forms only), in
 *    value bits or in the length taken, on the input's first bytes. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plan_number.h"
#include "plan_scan.h"
#include "text_mode_lines.h"

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

#define NUMBER_PROBE 1000

static void Fail(const char *what, int index)
{
    fprintf(stderr, "plan harness: %s (entry %d)\n", what, index);
    abort();
}

static int IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/* strtod limited to decimal forms: hexadecimal, infinity and NaN texts
 * give what their decimal prefix gives. */
static double ReferenceConvert(const char *text, size_t *used)
{
    const char *p = text;
    while (IsBlank(*p))
        p++;
    const char *q = p;
    if (*q == '+' || *q == '-')
        q++;
    if (*q == 'i' || *q == 'I' || *q == 'n' || *q == 'N') {
        *used = 0;
        return 0.0;
    }
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
        *used = (size_t)(q + 1 - text);
        return *p == '-' ? -0.0 : 0.0;
    }
    char *end;
    double value = strtod(text, &end);
    *used = (size_t)(end - text);
    return value;
}

static double ReferenceNumber(const char *buffer)
{
    size_t used;
    return ReferenceConvert(buffer, &used);
}

static void DropLastCharacter(char *text)
{
    size_t n = strlen(text);
    if (n > 0)
        text[n - 1] = '\0';
}

static void ReferenceIdentifier(const char *line, char *identifier)
{
    char text[PLAN_LINE_SIZE];
    strcpy(text, line);
    DropLastCharacter(text);
    identifier[0] = '\0';
    const char *equals = strchr(text, '=');
    if (equals != NULL && strlen(equals + 1) >= 3) {
        size_t n = strlen(equals + 2) - 2;
        if (n > 7)
            n = 7;
        memcpy(identifier, equals + 2, n);
        identifier[n] = '\0';
    }
}

static int ReferenceCoordinate(const char **walk, char letter, double *value)
{
    const char *p = *walk;
    const char *mark = strchr(p, '*');
    if (mark == NULL)
        mark = strchr(p, (char)0xB0);
    if (mark == NULL)
        return 0;
    char number[PLAN_LINE_SIZE];
    size_t n = 0;
    double sign = 1.0;
    for (; p < mark; p++) {
        if (*p == letter)
            sign = -1.0;
        else if (*p >= '0' && *p <= '9')
            number[n++] = *p;
    }
    number[n] = '\0';
    double degrees = ReferenceNumber(number);
    p = mark + 1;
    const char *apostrophe = strchr(p, '\'');
    if (apostrophe == NULL)
        return 0;
    for (n = 0; p < apostrophe; p++)
        number[n++] = *p;
    number[n] = '\0';
    double minutes = ReferenceNumber(number);
    p = apostrophe + 1;
    double seconds = 0.0;
    const char *quote = strchr(p, '"');
    if (quote != NULL) {
        for (n = 0; p < quote; p++)
            number[n++] = *p;
        number[n] = '\0';
        seconds = ReferenceNumber(number);
        p = quote + 1;
    }
    *value = ((degrees + minutes / 60.0) + seconds / 3600.0) * sign;
    /* Not a number: the stored bits are SSE2's one quiet NaN, whatever the
     * compiler made of the sign here. */
    if (*value != *value) {
        uint64_t bits = (uint64_t)0xFFF8 << 48;
        memcpy(value, &bits, sizeof bits);
    }
    *walk = p;
    return 1;
}

static int ReferencePosition(const char *line, double *latitude, double *longitude)
{
    char text[PLAN_LINE_SIZE];
    strcpy(text, line);
    DropLastCharacter(text);
    const char *p = strchr(text, '>');
    if (p == NULL)
        return 0;
    p++;
    return ReferenceCoordinate(&p, 'S', latitude) && ReferenceCoordinate(&p, 'W', longitude);
}

static void ReferenceRead(const uint8_t *data, size_t size, PlanBlock *block)
{
    TextModeLines lines;
    OpenTextModeLines(&lines, data, size);
    char line[PLAN_LINE_SIZE];
    int32_t count = 0;
    while (count < PLAN_WAYPOINT_CAPACITY && NextTextModeLine(&lines, line)) {
        if (strstr(line, "ATCWaypoint id") == NULL)
            continue;
        char identifier[PLAN_IDENTIFIER_SIZE];
        ReferenceIdentifier(line, identifier);
        if (!NextTextModeLine(&lines, line) || !NextTextModeLine(&lines, line))
            break;
        double latitude, longitude;
        if (ReferencePosition(line, &latitude, &longitude)) {
            PlanWaypoint *entry = &block->waypoints[count++];
            entry->latitude = latitude;
            entry->longitude = longitude;
            memcpy(entry->identifier, identifier, strlen(identifier) + 1);
        }
    }
    block->count = count;
}

static void Scan(const uint8_t *data, size_t size, PlanBlock *block)
{
    PlanScan scan;
    BeginPlanScan(&scan);
    TextModeLines lines;
    OpenTextModeLines(&lines, data, size);
    char buffer[PLAN_LINE_SIZE];
    while (NextTextModeLine(&lines, buffer)) {
        size_t length = strlen(buffer);
        char *exact = (char *)malloc(length > 0 ? length : 1);
        memcpy(exact, buffer, length);
        int more = ScanPlanLine(&scan, block, exact, length);
        free(exact);
        if (!more)
            break;
    }
    EndPlanScan(&scan, block);
}

static void CheckNumber(const uint8_t *data, size_t size)
{
    char text[NUMBER_PROBE + 1];
    size_t n = size < NUMBER_PROBE ? size : NUMBER_PROBE;
    memcpy(text, data, n);
    text[n] = '\0';
    char *exact = (char *)malloc(n > 0 ? n : 1);
    memcpy(exact, data, n);
    size_t used;
    double value = ConvertPlanNumber(exact, n, &used);
    free(exact);
    size_t expectedUsed;
    double expected = ReferenceConvert(text, &expectedUsed);
    if (memcmp(&value, &expected, sizeof value) != 0) {
        fprintf(stderr, "number %.17g, strtod %.17g\n", value, expected);
        Fail("number conversion differs from strtod", -1);
    }
    /* strtod stops at a NUL; so does the conversion, since NUL can neither
     * start nor continue a number. */
    if (used != expectedUsed)
        Fail("number conversion took a different length than strtod", (int)used);
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PlanBlock *block = (PlanBlock *)malloc(sizeof *block);
    PlanBlock *before = (PlanBlock *)malloc(sizeof *before);
    PlanBlock *reference = (PlanBlock *)malloc(sizeof *reference);
    unsigned char *bytes = (unsigned char *)before;
    for (size_t i = 0; i < sizeof *before; i++)
        bytes[i] = (unsigned char)(i * 151u + 7u);
    memcpy(block, before, sizeof *block);
    memcpy(reference, before, sizeof *reference);

    Scan(data, size, block);
    ReferenceRead(data, size, reference);

    if (block->active != before->active)
        Fail("active was written", -1);
    if (block->count < 0 || block->count > PLAN_WAYPOINT_CAPACITY)
        Fail("count out of 0 to 50", block->count);
    for (int i = 0; i < PLAN_WAYPOINT_CAPACITY; i++) {
        const PlanWaypoint *now = &block->waypoints[i];
        const PlanWaypoint *was = &before->waypoints[i];
        if (i >= block->count) {
            if (memcmp(now, was, sizeof *now) != 0)
                Fail("entry past count was written", i);
            continue;
        }
        const char *terminator = (const char *)memchr(now->identifier, '\0', PLAN_IDENTIFIER_SIZE);
        if (terminator == NULL)
            Fail("identifier not terminated within 8 bytes", i);
        size_t length = (size_t)(terminator - now->identifier);
        if (memcmp(now->identifier + length + 1, was->identifier + length + 1,
                   PLAN_IDENTIFIER_SIZE - length - 1) != 0)
            Fail("bytes behind the identifier's terminator were written", i);
    }
    if (block->count != reference->count)
        Fail("count differs from the plain reader", block->count);
    if (memcmp(block, reference, sizeof *block) != 0)
        Fail("waypoints differ from the plain reader", -1);

    CheckNumber(data, size);
    free(block);
    free(before);
    free(reference);
    return 0;
}
