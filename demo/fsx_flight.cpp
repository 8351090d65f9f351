// demo_fsx_flight.exe: a stand-in Flight Simulator X for the demo. It loads
// the real kestrel.dll, which binds the stand-in SimConnect beside it, and
// plays the scripted flight through it as the simulator would: the open
// acknowledgement, the activation of the shipped plan, then on every visual
// frame the state and the time messages, paced at a real frame rate.
//
//   demo_fsx_flight [--frames N] [--fps F] [--rate R] [--hold MS] [--plan FILE]
//
// --rate is the simulation rate: simulator seconds per real second. --hold
// keeps the sections up that long after the last frame, so readers take
// their last look. The last line of output is a JSON summary of what was
// sent; the exit status is 0 when the library published it.
#include <windows.h>
#include <mmsystem.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "flight_script.h"
#include "section_check.h"
#include "sections.h"
#include "simconnect_stub.h"
#include "time_split.h"

namespace {

typedef int(WINAPI *DLLStartFn)(void);
typedef void(WINAPI *DLLStopFn)(void);

struct Options {
    int frames = 600;
    double fps = 30.0;
    double rate = 36.0;
    DWORD holdMs = 2000;
    std::string plan = "plans\\KSEA-KOLM.pln";
};

struct Simulator {
    HMODULE library = nullptr;
    DLLStartFn start = nullptr;
    DLLStopFn stop = nullptr;
    StubDeliverFn deliver = nullptr;
};

// SimConnect's received-message layouts: size, version and kind first.
std::vector<unsigned char> Message(DWORD kind, DWORD size)
{
    std::vector<unsigned char> m(size, 0);
    DWORD header[3] = {size, 4, kind};
    memcpy(m.data(), header, sizeof header);
    return m;
}

void Put(std::vector<unsigned char> *m, size_t offset, DWORD value)
{
    memcpy(m->data() + offset, &value, sizeof value);
}

std::vector<unsigned char> DataMessage(DWORD request, const double *values, DWORD count)
{
    std::vector<unsigned char> m = Message(8, 40 + 8 * count);
    Put(&m, 12, request);
    Put(&m, 20, request); // the definition has the request's number
    Put(&m, 28, 1);       // entry 1 of 1
    Put(&m, 32, 1);
    Put(&m, 36, count);
    memcpy(m.data() + 40, values, 8 * count);
    return m;
}

std::vector<unsigned char> PlanActivated(const std::string &path)
{
    std::vector<unsigned char> m = Message(6, 288);
    Put(&m, 12, 0xFFFFFFFFu);
    Put(&m, 16, 1); // FlightPlanActivated
    memcpy(m.data() + 24, path.c_str(), path.size() + 1);
    return m;
}

void Deliver(const Simulator &sim, const std::vector<unsigned char> &m)
{
    sim.deliver(m.data(), (DWORD)m.size());
}

bool Load(Simulator *sim)
{
    sim->library = LoadLibraryA("kestrel.dll");
    if (!sim->library) {
        fprintf(stderr, "demo_fsx_flight: cannot load kestrel.dll (error %lu)\n", GetLastError());
        return false;
    }
    HMODULE simConnect = GetModuleHandleA("SimConnect.dll");
    sim->start = (DLLStartFn)(void (*)(void))GetProcAddress(sim->library, "DLLStart");
    sim->stop = (DLLStopFn)(void (*)(void))GetProcAddress(sim->library, "DLLStop");
    sim->deliver = simConnect ? (StubDeliverFn)(void (*)(void))GetProcAddress(simConnect, "StubDeliver") : nullptr;
    if (!sim->start || !sim->stop || !sim->deliver) {
        fprintf(stderr, "demo_fsx_flight: kestrel.dll or the stand-in SimConnect lacks its exports\n");
        return false;
    }
    return true;
}

bool ParseOptions(int argc, char **argv, Options *o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const char *name = argv[i];
        const char *value = argv[i + 1];
        if (strcmp(name, "--frames") == 0)
            o->frames = atoi(value);
        else if (strcmp(name, "--fps") == 0)
            o->fps = atof(value);
        else if (strcmp(name, "--rate") == 0)
            o->rate = atof(value);
        else if (strcmp(name, "--hold") == 0)
            o->holdMs = (DWORD)atoi(value);
        else if (strcmp(name, "--plan") == 0)
            o->plan = value;
        else
            return false;
    }
    return (argc % 2) == 1 && o->frames > 0 && o->fps > 0 && o->rate > 0;
}

// A plan path relative to this program's folder, made absolute as the
// simulator names plan files.
std::string PlanPath(const std::string &plan)
{
    if (plan.size() > 1 && (plan[1] == ':' || plan[0] == '\\'))
        return plan;
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self, n);
    return dir.substr(0, dir.find_last_of('\\') + 1) + plan;
}

StateBlock Expected(const Aircraft &a)
{
    StateBlock s;
    memset(&s, 0, sizeof s);
    s.altitude = a.altitude;
    s.latitude = a.latitude;
    s.longitude = a.longitude;
    s.heading = a.heading;
    s.groundSpeed = a.groundSpeed;
    s.groundAltitude = a.groundAltitude;
    TimeOfDay t;
    if (SplitLocalTime(a.localTime, &t)) {
        s.hour = t.hour;
        s.minute = t.minute;
        s.second = t.second;
    }
    return s;
}

bool PublishedMatches(const StateBlock &expected)
{
    return SectionHolds(KESTREL_DATA_NAME, &expected, sizeof expected);
}

void PrintSummary(const Options &o, const Aircraft &a, const StateBlock &s, bool published)
{
    printf("{\"frames\":%d,\"fps\":%.17g,\"rate\":%.17g,\"simulated_seconds\":%.17g,\"published\":%s,", o.frames,
           o.fps, o.rate, a.flightTime, published ? "true" : "false");
    printf("\"final\":{\"altitude\":%.17g,\"latitude\":%.17g,\"longitude\":%.17g,\"heading\":%.17g,"
           "\"groundSpeed\":%.17g,\"groundAltitude\":%.17g,\"hour\":%ld,\"minute\":%ld,\"second\":%ld},",
           s.altitude, s.latitude, s.longitude, s.heading, s.groundSpeed, s.groundAltitude, (long)s.hour,
           (long)s.minute, (long)s.second);
    printf("\"plan\":[");
    for (int i = 0; i < ROUTE_POINTS; ++i)
        printf("%s{\"identifier\":\"%s\",\"latitude\":%.17g,\"longitude\":%.17g}", i ? "," : "",
               demoRoute[i].identifier, RouteLatitude(&demoRoute[i]), RouteLongitude(&demoRoute[i]));
    printf("]}\n");
    fflush(stdout);
}

double NowMs(const LARGE_INTEGER &start, const LARGE_INTEGER &frequency)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)(now.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        fprintf(stderr, "usage: demo_fsx_flight [--frames N] [--fps F] [--rate R] [--hold MS] [--plan FILE]\n");
        return 2;
    }
    std::string plan = PlanPath(o.plan);
    if (GetFileAttributesA(plan.c_str()) == INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "demo_fsx_flight: no plan file %s\n", plan.c_str());
        return 2;
    }
    Simulator sim;
    if (!Load(&sim))
        return 2;

    timeBeginPeriod(1);
    sim.start();
    Deliver(sim, Message(2, 280)); // open acknowledgement: kestrel starts its two requests
    Deliver(sim, PlanActivated(plan));
    printf("kestrel.dll started, plan %s activated\n", plan.c_str());
    printf("flying %d frames at %.0f fps, simulation rate %.0fx\n", o.frames, o.fps, o.rate);
    fflush(stdout);

    Aircraft a;
    StartFlight(&a);
    LARGE_INTEGER frequency, start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const double frameMs = 1000.0 / o.fps;
    const double step = o.rate / o.fps;
    for (int frame = 0; frame < o.frames; ++frame) {
        if (frame > 0)
            StepFlight(&a, step);
        double state[6] = {a.altitude, a.latitude, a.longitude, a.heading, a.groundSpeed, a.groundAltitude};
        Deliver(sim, DataMessage(0, state, 6));
        Deliver(sim, DataMessage(1, &a.localTime, 1));
        if (frame % (int)(o.fps * 2 > 1 ? o.fps * 2 : 1) == 0)
            printf("frame %4d  %7.0f ft  %11.6f %12.6f  heading %5.1f  %5.1f kt\n", frame, a.altitude, a.latitude,
                   a.longitude, a.heading, a.groundSpeed);
        double wait = (frame + 1) * frameMs - NowMs(start, frequency);
        if (wait > 0)
            Sleep((DWORD)wait);
    }
    StateBlock expected = Expected(a);
    bool published = PublishedMatches(expected);
    printf("last frame sent; %s\n", published ? "KESTREL_DATA holds it" : "KESTREL_DATA does NOT hold it");
    fflush(stdout);
    // The simulator goes on running without new frames, as when paused:
    // readers take their last look and see the data go stale.
    Sleep(o.holdMs);
    Deliver(sim, Message(3, 12)); // quit
    sim.stop();
    FreeLibrary(sim.library);
    timeEndPeriod(1);
    PrintSummary(o, a, expected, published);
    return published ? 0 : 1;
}
