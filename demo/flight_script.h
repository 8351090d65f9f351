/* The demo's scripted flight: a departure from Seattle-Tacoma, a climb to
 * 6000 ft and turns along the route of the shipped plan towards Olympia,
 * in simulator time. Plain arithmetic, no platform headers. */
#ifndef DEMO_FLIGHT_SCRIPT_H
#define DEMO_FLIGHT_SCRIPT_H

#if defined(__cplusplus)
extern "C" {
#endif

/* A route point as a plan file writes it: hemisphere, degrees, minutes,
 * seconds. */
typedef struct RoutePoint {
    const char *identifier;
    char latitudeHemisphere; /* 'N' or 'S' */
    int latitudeDegrees;
    int latitudeMinutes;
    double latitudeSeconds;
    char longitudeHemisphere; /* 'E' or 'W' */
    int longitudeDegrees;
    int longitudeMinutes;
    double longitudeSeconds;
} RoutePoint;

/* The waypoints of demo/plans/KSEA-KOLM.pln, in its order. */
#define ROUTE_POINTS 6
extern const RoutePoint demoRoute[ROUTE_POINTS];

/* Signed decimal degrees, formed as the plan reader forms them: minutes/60
 * added to the degrees, then seconds/3600, then the sign. */
double RouteLatitude(const RoutePoint *point);
double RouteLongitude(const RoutePoint *point);

typedef struct Aircraft {
    double altitude;       /* feet */
    double latitude;       /* degrees */
    double longitude;      /* degrees */
    double heading;        /* degrees true */
    double groundSpeed;    /* knots */
    double groundAltitude; /* metres */
    double localTime;      /* seconds since local midnight */
    double flightTime;     /* simulator seconds since the start */
    int nextPoint;         /* route point being flown to */
    int airborne;
} Aircraft;

/* Lined up on runway 16L at 14:05:30 local time. */
void StartFlight(Aircraft *aircraft);
/* Advances the flight by seconds of simulator time. */
void StepFlight(Aircraft *aircraft, double seconds);

#if defined(__cplusplus)
}
#endif

#endif
