// Long runs through the real kestrel.dll: nothing may leak, and the last
// publication must be right.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include "kestrel_host.h"
#include "process_census.h"

namespace {

const char planText[] = "<ATCWaypoint id=\"KSEA\">\r\n<ATCWaypointType>Airport</ATCWaypointType>\r\n"
                        "<WorldPosition>N47* 26' 31.92\",W122* 18' 30.00\",+000433.00</WorldPosition>\r\n"
                        "<ATCWaypoint id=\"SEA\">\r\n<ATCWaypointType>VOR</ATCWaypointType>\r\n"
                        "<WorldPosition>N47* 26' 07.52\",W122* 18' 33.17\",+000000.00</WorldPosition>\r\n";

std::string WritePlan()
{
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    snprintf(path, sizeof path, "%ssoak-plan.pln", dir);
    FILE *f = fopen(path, "wb");
    if (f) {
        fwrite(planText, 1, sizeof planText - 1, f);
        fclose(f);
    }
    return path;
}

TEST(KestrelSoak, FramesAndPlanCyclesLeakNoHandleOrViewAndEndWithTheLastValues)
{
    const unsigned frames = SoakScale() > 1 ? 20000 * SoakScale() : 5000;
    const unsigned cycles = 200 * SoakScale();
    std::string plan = WritePlan();
    KestrelHost host;
    ASSERT_TRUE(LoadKestrel(&host));
    ASSERT_EQ(host.start(), 0);
    Deliver(host, OpenMessage());
    Deliver(host, FileNameEventMessage(1, plan));
    PlanBlock firstPlan = ReadPlan();
    Deliver(host, EventMessage(2));
    Deliver(host, StateMessage(1, 1, 1, 1, 1, 1));
    Deliver(host, TimeMessage(1));

    ProcessCensus before = TakeCensus();
    std::vector<unsigned char> state = StateMessage(0, 0, 0, 0, 0, 0);
    std::vector<unsigned char> time = TimeMessage(0);
    for (unsigned i = 0; i < frames; ++i) {
        double v[6] = {1000.0 + i, 47.0 + i * 1e-6, -122.0 - i * 1e-6, (double)(i % 360), 250.5, 12.25};
        memcpy(state.data() + 40, v, sizeof v);
        double t = 43200.0 + i / 30.0;
        memcpy(time.data() + 40, &t, sizeof t);
        host.deliver(state.data(), (DWORD)state.size());
        host.deliver(time.data(), (DWORD)time.size());
    }
    std::vector<unsigned char> activation = FileNameEventMessage(1, plan);
    std::vector<unsigned char> deactivation = EventMessage(2);
    for (unsigned i = 0; i < cycles; ++i) {
        host.deliver(activation.data(), (DWORD)activation.size());
        host.deliver(deactivation.data(), (DWORD)deactivation.size());
    }
    ProcessCensus after = TakeCensus();
    printf("[ soaked   ] %u frames, %u plan cycles; handles %lu -> %lu, mapped views %lu -> %lu\n", frames,
           cycles, (unsigned long)before.handles, (unsigned long)after.handles,
           (unsigned long)before.mappedViews, (unsigned long)after.mappedViews);
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.mappedViews, before.mappedViews);

    unsigned last = frames - 1;
    StateBlock s = ReadState();
    EXPECT_EQ(s.altitude, 1000.0 + last);
    EXPECT_EQ(s.latitude, 47.0 + last * 1e-6);
    EXPECT_EQ(s.longitude, -122.0 - last * 1e-6);
    EXPECT_EQ(s.hour, 12 + (int)(last / 30 / 3600));
    PlanBlock p = ReadPlan();
    EXPECT_EQ(Hex(&p, sizeof p), Hex(&firstPlan, sizeof firstPlan)) << "the last cycle published the same plan";
    host.stop();
    UnloadKestrel(&host);
    DeleteFileA(plan.c_str());
}

// A reader in another process maps the sections while the host publishes
// at full rate.
TEST(KestrelSoak, ReaderInAnotherProcessNeverSeesASectionShrinkVanishOrChangePastTheRecord)
{
    KestrelHost host;
    ASSERT_TRUE(LoadKestrel(&host));
    ASSERT_EQ(host.start(), 0);
    Deliver(host, OpenMessage());
    char command[128];
    unsigned seconds = SoakScale() > 1 ? 60 : 3;
    snprintf(command, sizeof command, "section_watch.exe KESTREL_DATA 64 %u", seconds);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    std::vector<unsigned char> state = StateMessage(0, 0, 0, 0, 0, 0);
    unsigned long frames = 0;
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        double v = (double)++frames;
        memcpy(state.data() + 40, &v, sizeof v);
        host.deliver(state.data(), (DWORD)state.size());
    }
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    printf("[ watched  ] %lu publications while the reader looked\n", frames);
    EXPECT_EQ(code, 0u) << "the reader saw a fault (its output above)";
    host.stop();
    UnloadKestrel(&host);
}

} // namespace
