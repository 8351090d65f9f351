// demo_fs2004_flight.exe: a stand-in Flight Simulator 2004 for the demo. It
// loads the real harrier_link.dll as the simulator's module loader does,
// opens its main window "FS98MAIN" with a menu bar that has a Modules menu,
// hands the module its panel services, and flies the scripted flight through
// the token lookups while its message loop dispatches the module's timers.
//
//   demo_fs2004_flight [--ticks N] [--rate R] [--hold MS]
//
// --ticks is the number of sample ticks the flight lasts (100 ms each),
// --rate the simulation rate: simulator seconds per real second. --hold keeps
// the section up that long after the last tick, the simulator paused. The
// last line of output is a JSON summary of what a reader must see last; the
// exit status is 0 when the module published it and installed its entry.
#include <windows.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "flight_script.h"
#include "section_check.h"
#include "harrier_host.h"
#include "sections.h"

namespace {

struct Options {
    int ticks = 150;
    double rate = 20.0;
    DWORD holdMs = 2500;
};

bool ParseOptions(int argc, char **argv, Options *o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const char *name = argv[i];
        const char *value = argv[i + 1];
        if (strcmp(name, "--ticks") == 0)
            o->ticks = atoi(value);
        else if (strcmp(name, "--rate") == 0)
            o->rate = atof(value);
        else if (strcmp(name, "--hold") == 0)
            o->holdMs = (DWORD)atoi(value);
        else
            return false;
    }
    return (argc % 2) == 1 && o->ticks > 0 && o->rate > 0;
}

// The simulator's own units for one moment of the flight.
struct HostValues {
    double heading, latitude, longitude, altitude, groundAltitude, groundSpeed;
    double second, minute, hour, clock2Minute, clock2Hour;
};

// Local time of the flight is Pacific daylight time; the second clock runs
// on UTC, seven hours ahead. The simulator keeps clock values as floats with
// the fraction of the current second.
HostValues ToHostUnits(const Aircraft &a)
{
    HostValues h;
    h.heading = a.heading;
    h.latitude = a.latitude / 360.0 * 40007000.0;
    h.longitude = a.longitude / 360.0 * 281474976710656.0; // 2^48
    h.altitude = a.altitude * 0.3048;
    h.groundAltitude = a.groundAltitude;
    h.groundSpeed = a.groundSpeed * 1.852 / 1.09728;
    double local = fmod(a.localTime, 86400.0);
    double utc = fmod(a.localTime + 7 * 3600.0, 86400.0);
    h.hour = floor(local / 3600.0);
    h.minute = floor(fmod(local, 3600.0) / 60.0);
    h.second = fmod(local, 60.0);
    h.clock2Hour = floor(utc / 3600.0);
    h.clock2Minute = floor(fmod(utc, 3600.0) / 60.0);
    return h;
}

void Script(const HostValues &h)
{
    SetTokenValue(0x56, h.heading);
    SetTokenValue(0x47, h.latitude);
    SetTokenValue(0x48, h.longitude);
    SetTokenValue(0x49, h.altitude);
    SetTokenValue(0x52, h.groundAltitude);
    SetTokenValue(0x227, h.groundSpeed);
    SetTokenValue(5, h.second);
    SetTokenValue(7, h.minute);
    SetTokenValue(6, h.hour);
    SetTokenValue(4, h.clock2Minute);
    SetTokenValue(3, h.clock2Hour);
}

// What a reader must find for these host values: the module's conversions,
// each operation in its order, in double precision (this program is built
// for SSE2, as the module is).
LinkBlock Expected(const HostValues &h)
{
    LinkBlock b;
    memset(&b, 0, sizeof b);
    b.altitude = h.altitude / 0.3048;
    b.latitude = (h.latitude / 40007000.0) * 360.0;
    b.longitude = (h.longitude * 3.552713678800501e-15) * 360.0;
    b.heading = h.heading;
    b.groundSpeed = (h.groundSpeed * 1.09728) / 1.852;
    b.groundAltitude = h.groundAltitude;
    b.hour = (int32_t)h.hour;
    b.minute = (int32_t)h.minute;
    b.second = (int32_t)h.second;
    b.clock2Hour = (int32_t)h.clock2Hour;
    b.clock2Minute = (int32_t)h.clock2Minute;
    b.clock2Second = b.second;
    return b;
}

bool PublishedMatches(const LinkBlock &expected)
{
    return SectionHolds(HARRIER_LINK_NAME, &expected, sizeof expected);
}

// The module's entry in the Modules menu, as the menu bar shows it now.
std::string ModulesMenu(HMENU bar)
{
    int at = FindItem(bar, "&Modules");
    return at < 0 ? std::string() : DescribeMenu(GetSubMenu(bar, at));
}

void PrintSummary(int ticks, const LinkBlock &b)
{
    printf("{\"ticks\":%d,\"final\":{\"altitude\":%.17g,\"latitude\":%.17g,\"longitude\":%.17g,\"heading\":%.17g,"
           "\"groundSpeed\":%.17g,\"groundAltitude\":%.17g,\"hour\":%ld,\"minute\":%ld,\"second\":%ld,"
           "\"clock2Hour\":%ld,\"clock2Minute\":%ld,\"clock2Second\":%ld}}\n",
           ticks, b.altitude, b.latitude, b.longitude, b.heading, b.groundSpeed, b.groundAltitude, (long)b.hour,
           (long)b.minute, (long)b.second, (long)b.clock2Hour, (long)b.clock2Minute, (long)b.clock2Second);
    fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        fprintf(stderr, "usage: demo_fs2004_flight [--ticks N] [--rate R] [--hold MS]\n");
        return 2;
    }
    HarrierHost host;
    if (!LoadHarrier(&host)) {
        fprintf(stderr, "demo_fs2004_flight: cannot load harrier_link.dll\n");
        return 2;
    }
    HMENU bar = BuildMenu("&File#100{&Open flight#101 | E&xit#102} | &Aircraft#200{&Select#201} | "
                          "&Modules#21007{&Scenery library#300} | &Help#400{&About#401}",
                          true);
    HWND main = CreateMainWindow(bar);

    Aircraft a;
    StartFlight(&a);
    HostValues now = ToHostUnits(a);
    HostValues last = now;
    Script(now);
    // Each completed tick (its eleven lookups) moves the flight on by one
    // tick of simulator time for the next one; after the last scripted tick
    // the simulator stands still.
    const double step = o.rate * 0.1;
    int flown = 0;
    afterLookup = [&](size_t n) {
        if (n % 11 != 0 || flown >= o.ticks)
            return;
        last = now;
        if (++flown < o.ticks) {
            StepFlight(&a, step);
            now = ToHostUnits(a);
            Script(now);
        }
    };

    StartHarrier(&host);
    printf("harrier_link.dll started in the stand-in host (window FS98MAIN)\n");
    printf("flying %d ticks of 100 ms, simulation rate %.0fx\n", o.ticks, o.rate);
    fflush(stdout);

    bool entry = false;
    int reported = -1;
    PumpUntil([&] {
        if (!entry && AttachTicks() >= 2) {
            entry = true;
            printf("Modules menu: %s\n", ModulesMenu(bar).c_str());
            fflush(stdout);
        }
        if (flown % 50 == 0 && flown != reported) {
            reported = flown;
            printf("tick %4d  %7.0f ft  %11.6f %12.6f  heading %5.1f  %5.1f kt\n", flown, a.altitude, a.latitude,
                   a.longitude, a.heading, a.groundSpeed);
            fflush(stdout);
        }
        return flown >= o.ticks && entry;
    }, (DWORD)o.ticks * 100 + 30000);

    LinkBlock expected = Expected(last);
    bool published = flown >= o.ticks && PublishedMatches(expected);
    HMENU modules = GetSubMenu(bar, FindItem(bar, "&Modules"));
    bool installed = modules && FindItem(modules, "HARRIER") >= 0;
    printf("last tick published; %s\n", published ? "HARRIER_Link holds it" : "HARRIER_Link does NOT hold it");
    printf("Modules menu %s the entry HARRIER\n", installed ? "holds" : "LACKS");
    fflush(stdout);

    // Paused: the sampler goes on publishing the same values while readers
    // take their last look.
    PumpFor(o.holdMs);
    bool stillPublished = PublishedMatches(expected);
    int ticks = SampleTicks();
    StopHarrier(&host);
    DestroyMainWindow(main);
    UnloadHarrier(&host);
    PrintSummary(ticks, expected);
    return published && stillPublished && installed ? 0 : 1;
}
