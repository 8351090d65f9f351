// Stand-in Flight Simulator X add-on host: loads kestrel.dll as the
// simulator does, reaches the stand-in SimConnect that it bound, builds
// SimConnect messages, and reads the sections as a moving-map reader does.
#ifndef KESTREL_HOST_H
#define KESTREL_HOST_H

#include <windows.h>

#include <string>
#include <vector>

#include "sections.h"
#include "simconnect_stub.h"
#include "test_bytes.h"

typedef int(WINAPI *DLLStartFn)(void);
typedef void(WINAPI *DLLStopFn)(void);

// One loaded kestrel.dll. Module state is fresh after each LoadKestrel,
// since the library (and the stand-in SimConnect with it) is unloaded
// between scenarios.
struct KestrelHost {
    HMODULE library;
    HMODULE simConnect;
    DLLStartFn start;
    DLLStopFn stop;
    StubSetOpenResultFn setOpenResult;
    StubCallCountFn callCount;
    StubCallFn call;
    StubDeliverFn deliver;
    StubClearCallsFn clearCalls;
};

// Loads kestrel.dll from beside the test program; fails the test (and
// returns false) if it or its SimConnect dependency cannot be found.
bool LoadKestrel(KestrelHost *host);
// Unloads it and checks that both modules are really gone.
void UnloadKestrel(KestrelHost *host);

std::vector<std::string> RecordedCalls(const KestrelHost &host);

// Message builders, laid out as SimConnect delivers them.
std::vector<unsigned char> OpenMessage();
std::vector<unsigned char> QuitMessage();
std::vector<unsigned char> EventMessage(DWORD eventId);
std::vector<unsigned char> FileNameEventMessage(DWORD eventId, const std::string &fileName);
std::vector<unsigned char> DataMessage(DWORD requestId, const std::vector<double> &values);
std::vector<unsigned char> StateMessage(double altitude, double latitude, double longitude, double heading,
                                        double groundSpeed, double groundAltitude);
std::vector<unsigned char> TimeMessage(double localTime);

void Deliver(const KestrelHost &host, const std::vector<unsigned char> &message);

// The section's first `size` bytes as a reader sees them; empty when the
// section does not exist.
std::vector<unsigned char> ReadSection(const char *name, size_t size);
StateBlock ReadState();
PlanBlock ReadPlan();

// Same, but from a separate reader process (section_dump.exe).
std::vector<unsigned char> ReadSectionFromProcess(const char *name, size_t size);


// Fills a section with the 0xDEADBEEF sentinel, so a test can tell whether
// anything was published into it since.
void Scribble(const char *name, size_t size);
bool AllSentinel(const std::vector<unsigned char> &bytes);
bool AllZero(const std::vector<unsigned char> &bytes, size_t from = 0);

#endif
