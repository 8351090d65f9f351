/*
 * The published sections of kestrel (Flight Simulator X) and harrier_link
 * (Flight Simulator 2004): names, sizes and record layouts, byte for byte.
 *
 * This header is the contract between the two bridges and every moving-map
 * reader. Both DLLs are built from it, and a reader may include it as it
 * is: plain C or C++, no <windows.h>.
 *
 * Records have no header, version or sequence field and are copied whole to
 * offset 0 of their section. Integers are little-endian int32, floating
 * point little-endian IEEE 754 doubles, fields packed in order.
 *
 * What a reader must expect: the sections carry no lock. A record can be
 * read while it is being copied, and the aircraft values and the time of
 * StateBlock arrive in two publications, so one group may be newer than
 * the other.
 */
#ifndef KESTREL_SECTIONS_H
#define KESTREL_SECTIONS_H

#include <stddef.h>
#include <stdint.h>

/* Layout checks at compile time, in every language a reader may use: C++11
 * and later, C11 and later, and older C compilers through an array whose
 * size turns negative when a check fails. */
#if defined(__cplusplus)
#define SECTIONS_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define SECTIONS_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define SECTIONS_ASSERT_JOIN2(a, b) a##b
#define SECTIONS_ASSERT_JOIN(a, b) SECTIONS_ASSERT_JOIN2(a, b)
#define SECTIONS_ASSERT(cond, msg) \
    typedef char SECTIONS_ASSERT_JOIN(sections_assert_, __LINE__)[(cond) ? 1 : -1]
#endif

/* Section names (no namespace prefix) and the sizes their publishers create
 * them with. A section that a reader created first keeps the reader's size,
 * and a view of any section is rounded up to whole pages: take the record
 * sizes below, not the view's, as the bytes to read. */
#define KESTREL_DATA_NAME "KESTREL_DATA"
#define KESTREL_DATA_SIZE 1024u
#define KESTREL_PLAN_NAME "KESTREL_PLAN"
#define KESTREL_PLAN_SIZE 1208u
#define HARRIER_LINK_NAME "HARRIER_Link"
#define HARRIER_LINK_SIZE 1024u

#define PLAN_WAYPOINT_CAPACITY 50
#define PLAN_IDENTIFIER_SIZE 8

#if defined(__cplusplus)
extern "C" {
#endif

/* "KESTREL_DATA", offset 0. Published twice per visual frame: once with new
 * aircraft values, once with a new time of day. */
typedef struct StateBlock {
    double altitude;       /* feet */
    double latitude;       /* degrees, north positive */
    double longitude;      /* degrees, east positive */
    double heading;        /* degrees true */
    double groundSpeed;    /* knots */
    double groundAltitude; /* metres: ground elevation below the aircraft */
    int32_t hour;          /* local time of day; 24 or more past midnight */
    int32_t minute;
    int32_t second;
    uint8_t reserved[4];   /* always zero: nothing writes it */
} StateBlock;

/* One waypoint of the active plan. */
typedef struct PlanWaypoint {
    double latitude;  /* degrees, north positive */
    double longitude; /* degrees, east positive */
    /* At most 7 characters and a terminator. Bytes after the terminator are
     * not cleared and may hold characters of an earlier identifier. */
    char identifier[PLAN_IDENTIFIER_SIZE];
} PlanWaypoint;

/* "KESTREL_PLAN", offset 0. Published only when a plan is taken over.
 * active stays 1 after the simulator deactivates the plan (a deactivation
 * publishes nothing); entries from count on are stale, left from an earlier
 * and longer plan. */
typedef struct PlanBlock {
    int32_t active; /* 1 once a plan has been taken over */
    int32_t count;  /* valid entries at the start of waypoints, 0 to 50 */
    PlanWaypoint waypoints[PLAN_WAYPOINT_CAPACITY];
} PlanBlock;

/* "HARRIER_Link", offset 0. Published every 100 ms. Bytes 0-59 sit where
 * StateBlock has the same fields; heading and groundAltitude are the host's
 * values unconverted, and a second clock follows. */
typedef struct LinkBlock {
    double altitude;       /* feet */
    double latitude;       /* degrees */
    double longitude;      /* degrees */
    double heading;        /* as the host gives it */
    double groundSpeed;    /* knots */
    double groundAltitude; /* as the host gives it */
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t clock2Hour;
    int32_t clock2Minute;
    int32_t clock2Second; /* always equal to second */
} LinkBlock;

#if defined(__cplusplus)
}
#endif

SECTIONS_ASSERT(sizeof(double) == 8 && sizeof(int32_t) == 4, "types");
SECTIONS_ASSERT(offsetof(StateBlock, altitude) == 0, "StateBlock.altitude");
SECTIONS_ASSERT(offsetof(StateBlock, latitude) == 8, "StateBlock.latitude");
SECTIONS_ASSERT(offsetof(StateBlock, longitude) == 16, "StateBlock.longitude");
SECTIONS_ASSERT(offsetof(StateBlock, heading) == 24, "StateBlock.heading");
SECTIONS_ASSERT(offsetof(StateBlock, groundSpeed) == 32, "StateBlock.groundSpeed");
SECTIONS_ASSERT(offsetof(StateBlock, groundAltitude) == 40, "StateBlock.groundAltitude");
SECTIONS_ASSERT(offsetof(StateBlock, hour) == 48, "StateBlock.hour");
SECTIONS_ASSERT(offsetof(StateBlock, minute) == 52, "StateBlock.minute");
SECTIONS_ASSERT(offsetof(StateBlock, second) == 56, "StateBlock.second");
SECTIONS_ASSERT(offsetof(StateBlock, reserved) == 60, "StateBlock.reserved");
SECTIONS_ASSERT(sizeof(StateBlock) == 64, "StateBlock size");
SECTIONS_ASSERT(sizeof(StateBlock) <= KESTREL_DATA_SIZE, "StateBlock fits its section");

SECTIONS_ASSERT(offsetof(PlanWaypoint, latitude) == 0, "PlanWaypoint.latitude");
SECTIONS_ASSERT(offsetof(PlanWaypoint, longitude) == 8, "PlanWaypoint.longitude");
SECTIONS_ASSERT(offsetof(PlanWaypoint, identifier) == 16, "PlanWaypoint.identifier");
SECTIONS_ASSERT(sizeof(PlanWaypoint) == 24, "PlanWaypoint size");

SECTIONS_ASSERT(offsetof(PlanBlock, active) == 0, "PlanBlock.active");
SECTIONS_ASSERT(offsetof(PlanBlock, count) == 4, "PlanBlock.count");
SECTIONS_ASSERT(offsetof(PlanBlock, waypoints) == 8, "PlanBlock.waypoints");
SECTIONS_ASSERT(sizeof(PlanBlock) == 1208, "PlanBlock size");
SECTIONS_ASSERT(sizeof(PlanBlock) <= KESTREL_PLAN_SIZE, "PlanBlock fits its section");

SECTIONS_ASSERT(offsetof(LinkBlock, altitude) == 0, "LinkBlock.altitude");
SECTIONS_ASSERT(offsetof(LinkBlock, latitude) == 8, "LinkBlock.latitude");
SECTIONS_ASSERT(offsetof(LinkBlock, longitude) == 16, "LinkBlock.longitude");
SECTIONS_ASSERT(offsetof(LinkBlock, heading) == 24, "LinkBlock.heading");
SECTIONS_ASSERT(offsetof(LinkBlock, groundSpeed) == 32, "LinkBlock.groundSpeed");
SECTIONS_ASSERT(offsetof(LinkBlock, groundAltitude) == 40, "LinkBlock.groundAltitude");
SECTIONS_ASSERT(offsetof(LinkBlock, hour) == 48, "LinkBlock.hour");
SECTIONS_ASSERT(offsetof(LinkBlock, minute) == 52, "LinkBlock.minute");
SECTIONS_ASSERT(offsetof(LinkBlock, second) == 56, "LinkBlock.second");
SECTIONS_ASSERT(offsetof(LinkBlock, clock2Hour) == 60, "LinkBlock.clock2Hour");
SECTIONS_ASSERT(offsetof(LinkBlock, clock2Minute) == 64, "LinkBlock.clock2Minute");
SECTIONS_ASSERT(offsetof(LinkBlock, clock2Second) == 68, "LinkBlock.clock2Second");
SECTIONS_ASSERT(sizeof(LinkBlock) == 72, "LinkBlock size");
SECTIONS_ASSERT(sizeof(LinkBlock) <= HARRIER_LINK_SIZE, "LinkBlock fits its section");

#endif
