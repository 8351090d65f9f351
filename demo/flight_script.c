#include "flight_script.h"

#include <math.h>

const RoutePoint demoRoute[ROUTE_POINTS] = {
    {"KSEA", 'N', 47, 26, 56.00, 'W', 122, 18, 34.00},
    {"SEA", 'N', 47, 26, 7.13, 'W', 122, 18, 34.91},
    {"TCOMA", 'N', 47, 15, 0.00, 'W', 122, 26, 0.00},
    {"NISQY", 'N', 47, 5, 48.00, 'W', 122, 38, 30.00},
    {"OLM", 'N', 46, 58, 18.96, 'W', 122, 54, 7.00},
    {"KOLM", 'N', 46, 58, 10.00, 'W', 122, 54, 8.00},
};

#define PI 3.14159265358979323846
#define FEET_PER_METRE (1.0 / 0.3048)

static const double cruiseAltitude = 6000.0;  /* feet */
static const double patternAltitude = 1500.0; /* feet, for the arrival */
static const double rotateSpeed = 150.0;      /* knots */
static const double climbSpeed = 250.0;
static const double arrivalSpeed = 180.0;
static const double turnRate = 3.0;       /* degrees a second: a standard-rate turn */
static const double captureRadius = 1.0;  /* nautical miles: the next point is taken from here */
static const double descentDistance = 12.0;
static const double lineUpTime = 10.0;    /* seconds on the runway before the roll */

double RouteLatitude(const RoutePoint *p)
{
    double v = (p->latitudeDegrees + p->latitudeMinutes / 60.0) + p->latitudeSeconds / 3600.0;
    return p->latitudeHemisphere == 'S' ? -v : v;
}

double RouteLongitude(const RoutePoint *p)
{
    double v = (p->longitudeDegrees + p->longitudeMinutes / 60.0) + p->longitudeSeconds / 3600.0;
    return p->longitudeHemisphere == 'W' ? -v : v;
}

/* Ground elevation along the way: Sea-Tac's 132 m falling to Olympia's
 * 64 m, with hills and the water of the Sound between. */
static double GroundElevation(double latitude, double longitude)
{
    double along = (47.449 - latitude) / (47.449 - 46.969);
    if (along < 0)
        along = 0;
    if (along > 1)
        along = 1;
    double base = 132.0 + (64.0 - 132.0) * along;
    double hills = 45.0 * sin(longitude * 37.0) * sin(latitude * 53.0) * sin(along * PI);
    double ground = base + hills;
    return ground > 0 ? ground : 0;
}

static double NormaliseHeading(double heading)
{
    while (heading < 0)
        heading += 360.0;
    while (heading >= 360.0)
        heading -= 360.0;
    return heading;
}

/* Flat-earth bearing (degrees true) and distance (nautical miles) to a
 * point: good enough over a few dozen miles. */
static void BearingTo(const Aircraft *a, const RoutePoint *p, double *bearing, double *distance)
{
    double north = (RouteLatitude(p) - a->latitude) * 60.0;
    double east = (RouteLongitude(p) - a->longitude) * 60.0 * cos(a->latitude * PI / 180.0);
    *bearing = NormaliseHeading(atan2(east, north) * 180.0 / PI);
    *distance = sqrt(north * north + east * east);
}

static double Approach(double value, double target, double step)
{
    if (value < target)
        return value + step < target ? value + step : target;
    return value - step > target ? value - step : target;
}

void StartFlight(Aircraft *a)
{
    a->latitude = 47.4638;
    a->longitude = -122.3079;
    a->heading = 180.0;
    a->groundSpeed = 0.0;
    a->groundAltitude = GroundElevation(a->latitude, a->longitude);
    a->altitude = a->groundAltitude * FEET_PER_METRE + 6.0;
    a->localTime = 14 * 3600 + 5 * 60 + 30;
    a->flightTime = 0.0;
    a->nextPoint = 1;
    a->airborne = 0;
}

void StepFlight(Aircraft *a, double dt)
{
    a->flightTime += dt;
    a->localTime += dt;
    double bearing, distance;
    BearingTo(a, &demoRoute[a->nextPoint], &bearing, &distance);
    if (distance < captureRadius && a->nextPoint < ROUTE_POINTS - 1) {
        ++a->nextPoint;
        BearingTo(a, &demoRoute[a->nextPoint], &bearing, &distance);
    }
    double toGo = distance;
    for (int i = a->nextPoint; i + 1 < ROUTE_POINTS; ++i) {
        double north = (RouteLatitude(&demoRoute[i + 1]) - RouteLatitude(&demoRoute[i])) * 60.0;
        double east = (RouteLongitude(&demoRoute[i + 1]) - RouteLongitude(&demoRoute[i])) * 60.0 *
                      cos(a->latitude * PI / 180.0);
        toGo += sqrt(north * north + east * east);
    }
    int arriving = toGo < descentDistance;

    if (!a->airborne) {
        if (a->flightTime > lineUpTime)
            a->groundSpeed = Approach(a->groundSpeed, rotateSpeed, 5.0 * dt);
        if (a->groundSpeed >= rotateSpeed)
            a->airborne = 1;
    } else {
        double targetAltitude = arriving ? patternAltitude : cruiseAltitude;
        double feetPerSecond = a->altitude < targetAltitude ? 2000.0 / 60.0 : 1500.0 / 60.0;
        a->altitude = Approach(a->altitude, targetAltitude, feetPerSecond * dt);
        double groundFeet = a->groundAltitude * FEET_PER_METRE;
        double targetSpeed = arriving ? arrivalSpeed : (a->altitude - groundFeet > 2500.0 ? climbSpeed : rotateSpeed + 20.0);
        a->groundSpeed = Approach(a->groundSpeed, targetSpeed, 2.0 * dt);
        double turn = bearing - a->heading;
        if (turn > 180.0)
            turn -= 360.0;
        if (turn < -180.0)
            turn += 360.0;
        double limit = turnRate * dt;
        a->heading = NormaliseHeading(a->heading + (turn > limit ? limit : (turn < -limit ? -limit : turn)));
    }

    double miles = a->groundSpeed * dt / 3600.0;
    double headingRadians = a->heading * PI / 180.0;
    a->latitude += miles * cos(headingRadians) / 60.0;
    a->longitude += miles * sin(headingRadians) / (60.0 * cos(a->latitude * PI / 180.0));
    a->groundAltitude = GroundElevation(a->latitude, a->longitude);
    if (!a->airborne)
        a->altitude = a->groundAltitude * FEET_PER_METRE + 6.0;
}
