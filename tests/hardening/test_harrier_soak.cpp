// Long runs through the real harrier_link.dll in the stand-in FS2004 host:
// nothing may leak, the last publication must be right, and a reader in
// another process must never see the section misbehave.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include "harrier_fixture.h"
#include "kestrel_host.h"
#include "process_census.h"
#include "sections.h"

namespace {

// The sample timer's routine as a host's message loop sees it: the lParam
// of the WM_TIMER message it retrieves. Under Wine that may be a handle
// standing for the routine, which CallWindowProcA resolves.
struct TimerRoutine {
    UINT_PTR id;
    LPARAM routine;
};

bool RetrieveSampleTimer(TimerRoutine *out)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 3000) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.hwnd == NULL && msg.wParam == SampleTimerId() && msg.lParam != 0) {
                out->id = msg.wParam;
                out->routine = msg.lParam;
                return true;
            }
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
    return false;
}

void Tick(const TimerRoutine &t)
{
    CallWindowProcA((WNDPROC)t.routine, NULL, WM_TIMER, t.id, (LPARAM)GetTickCount());
}

const int32_t lookupOrder[11] = {0x56, 0x47, 0x48, 0x49, 0x52, 0x227, 5, 7, 6, 4, 3};

// Host values for tick i, in lookup order: every field changes each tick.
void HostValuesOf(unsigned i, double v[11])
{
    v[0] = (double)(i % 3600) / 10.0;        // heading
    v[1] = 5000875.0 + i;                    // latitude units
    v[2] = 70368744177664.0 + 1048576.0 * i; // 2^46 + i * 2^20 longitude units
    v[3] = 1000.0 + i * 0.5;                 // metres
    v[4] = 12.25 + i;                        // ground altitude
    v[5] = 100.0 + (i % 1000);               // feet per second
    v[6] = (double)(i % 60) + 0.75;          // second
    v[7] = (double)(i / 60 % 60);            // minute
    v[8] = (double)(i / 3600 % 24);          // hour
    v[9] = (double)((i + 7) / 60 % 60);      // second clock's minute
    v[10] = (double)((i / 3600 + 7) % 24);   // second clock's hour
}

void Script(unsigned i)
{
    double v[11];
    HostValuesOf(i, v);
    for (int k = 0; k < 11; ++k)
        SetTokenValue(lookupOrder[k], v[k]);
}

// The record a reader must find after tick i, the module's conversions in
// their order (this program is built for SSE2, as the module is).
LinkBlock ExpectedAfter(unsigned i)
{
    double v[11];
    HostValuesOf(i, v);
    LinkBlock b;
    memset(&b, 0, sizeof b);
    b.heading = v[0];
    b.latitude = (v[1] / 40007000.0) * 360.0;
    b.longitude = (v[2] * 3.552713678800501e-15) * 360.0;
    b.altitude = v[3] / 0.3048;
    b.groundAltitude = v[4];
    b.groundSpeed = (v[5] * 1.09728) / 1.852;
    b.second = b.clock2Second = (int32_t)v[6];
    b.minute = (int32_t)v[7];
    b.hour = (int32_t)v[8];
    b.clock2Minute = (int32_t)v[9];
    b.clock2Hour = (int32_t)v[10];
    return b;
}

class HarrierSoak : public HarrierScenario {};

TEST_F(HarrierSoak, SampleTicksLeakNoHandleOrViewAndEndWithTheLastValues)
{
    const unsigned ticks = SoakScale() > 1 ? 2000 * SoakScale() : 10000;
    Script(0);
    StartHarrier(&host);
    TimerRoutine t;
    ASSERT_TRUE(RetrieveSampleTimer(&t)) << "no WM_TIMER of the sample timer within 3 s";
    // One tick first, so that whatever a first call sets up is counted.
    Tick(t);
    size_t made = lookups.size();
    Tick(t);
    ASSERT_EQ(lookups.size(), made + 11) << "calling the timer routine ran no tick";

    ProcessCensus before = TakeCensus();
    for (unsigned i = 1; i <= ticks; ++i) {
        Script(i);
        Tick(t);
        // The host's own records of the calls would grow without end.
        if (i % 1000 == 0) {
            ASSERT_EQ(lookups.size() % 11, 0u);
            lookups.clear();
            ClearTrace();
            KeepScenarioAlive();
        }
    }
    ProcessCensus after = TakeCensus();
    printf("[ soaked   ] %u sample ticks; handles %lu -> %lu, mapped views %lu -> %lu\n", ticks,
           (unsigned long)before.handles, (unsigned long)after.handles, (unsigned long)before.mappedViews,
           (unsigned long)after.mappedViews);
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.mappedViews, before.mappedViews);
    for (const std::string &p : recordProblems)
        ADD_FAILURE() << p;

    LinkBlock want = ExpectedAfter(ticks);
    std::vector<unsigned char> other = ReadSectionFromProcess(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    ASSERT_EQ(other.size(), HARRIER_LINK_SIZE);
    EXPECT_EQ(Hex(other.data(), 72), Hex(&want, 72)) << "a reader in another process";
    EXPECT_TRUE(AllZero(other, 72)) << "bytes past the record were written";
}

TEST_F(HarrierSoak, ReaderInAnotherProcessNeverSeesTheSectionShrinkVanishOrChangePastTheRecord)
{
    Script(0);
    StartHarrier(&host);
    TimerRoutine t;
    ASSERT_TRUE(RetrieveSampleTimer(&t));
    Tick(t);
    char command[128];
    unsigned seconds = SoakScale() > 1 ? 60 : 3;
    snprintf(command, sizeof command, "section_watch.exe %s %u %u", HARRIER_LINK_NAME, (unsigned)sizeof(LinkBlock),
             seconds);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    unsigned ticks = 0;
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        Script(++ticks);
        Tick(t);
        if (ticks % 1000 == 0) {
            lookups.clear();
            ClearTrace();
            KeepScenarioAlive();
        }
    }
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    printf("[ watched  ] %u sample ticks while the reader looked\n", ticks);
    EXPECT_EQ(code, 0u) << "the reader saw a fault (its output above)";
    LinkBlock want = ExpectedAfter(ticks);
    EXPECT_EQ(Hex(ReadSection(HARRIER_LINK_NAME, 72).data(), 72), Hex(&want, 72));
}

} // namespace
