// kestrel.dll driven through the stand-in SimConnect: the calls it makes,
// what each message publishes, and the messages that must change nothing.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "kestrel_host.h"
#include "pe_image.h"

namespace {

const char *const startCalls[] = {
    "SimConnect_Open(phSimConnect, \"KESTREL_DLL\", 0, 0, 0, 0)",
    "SimConnect_SubscribeToSystemEvent(hSim, 1, \"FlightPlanActivated\")",
    "SimConnect_SubscribeToSystemEvent(hSim, 2, \"FlightPlanDeactivated\")",
    "SimConnect_CallDispatch(hSim, proc, NULL)",
};

const char *const openCalls[] = {
    "SimConnect_AddToDataDefinition(hSim, 0, \"Plane Altitude\", \"feet\", 4, 0x00000000, 0xFFFFFFFF)",
    "SimConnect_AddToDataDefinition(hSim, 0, \"Plane Latitude\", \"degrees\", 4, 0x00000000, 0xFFFFFFFF)",
    "SimConnect_AddToDataDefinition(hSim, 0, \"Plane Longitude\", \"degrees\", 4, 0x00000000, 0xFFFFFFFF)",
    "SimConnect_AddToDataDefinition(hSim, 0, \"Plane Heading Degrees True\", \"degrees\", 4, 0x00000000, 0xFFFFFFFF)",
    "SimConnect_AddToDataDefinition(hSim, 0, \"Ground Velocity\", \"Knots\", 4, 0x00000000, 0xFFFFFFFF)",
    "SimConnect_AddToDataDefinition(hSim, 0, \"Ground Altitude\", \"Meters\", 4, 0x00000000, 0xFFFFFFFF)",
    "SimConnect_AddToDataDefinition(hSim, 1, \"Local Time\", \"Seconds\", 4, 0x00000000, 0xFFFFFFFF)",
    "SimConnect_RequestDataOnSimObject(hSim, 0, 0, 0, 2, 0, 0, 0, 0)",
    "SimConnect_RequestDataOnSimObject(hSim, 1, 1, 0, 2, 0, 0, 0, 0)",
};

const char *const quitCalls[] = {
    "SimConnect_RequestDataOnSimObject(hSim, 0, 0, 0, 0, 0, 0, 0, 0)",
    "SimConnect_RequestDataOnSimObject(hSim, 1, 1, 0, 0, 0, 0, 0, 0)",
};

template <size_t N> std::vector<std::string> Lines(const char *const (&table)[N])
{
    return std::vector<std::string>(table, table + N);
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Kestrel : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(LoadKestrel(&host)); }
    void TearDown() override
    {
        if (started)
            host.stop();
        UnloadKestrel(&host);
    }
    // DLLStart and the open acknowledgement: the streaming state.
    void StartStreaming()
    {
        ASSERT_EQ(host.start(), 0);
        started = true;
        Deliver(host, OpenMessage());
    }
    KestrelHost host;
    bool started = false;
};

TEST_F(Kestrel, ExportsExactlyTheTwoEntryPointsAndDeclaresTheSimConnectAssembly)
{
    std::vector<PeExport> exports = ExportedNames(host.library);
    ASSERT_EQ(exports.size(), 2u);
    EXPECT_EQ(exports[0].name, "DLLStart");
    EXPECT_EQ(exports[1].name, "DLLStop");
    std::string manifest = ManifestText(host.library, 2);
    EXPECT_NE(manifest.find("<assemblyIdentity type=\"win32\" name=\"Microsoft.FlightSimulator.SimConnect \" "
                            "version=\"10.0.61242.0\" processorArchitecture=\"x86\" "
                            "publicKeyToken=\"67c7c14424d61b5b\"/>"),
              std::string::npos)
        << manifest;
}

TEST_F(Kestrel, CallsSimConnectInTheOrderAndWithTheArgumentsOfEachStage)
{
    ASSERT_EQ(host.start(), 0);
    started = true;
    EXPECT_EQ(RecordedCalls(host), Lines(startCalls));
    Deliver(host, OpenMessage());
    EXPECT_EQ(RecordedCalls(host), Concat(Lines(startCalls), Lines(openCalls)));
    host.clearCalls();
    Deliver(host, StateMessage(1, 2, 3, 4, 5, 6));
    Deliver(host, TimeMessage(100));
    Deliver(host, FileNameEventMessage(1, "C:\\plan.pln"));
    Deliver(host, EventMessage(2));
    EXPECT_EQ(RecordedCalls(host), std::vector<std::string>()) << "data and plan messages call nothing";
    Deliver(host, QuitMessage());
    EXPECT_EQ(RecordedCalls(host), Lines(quitCalls));
    host.clearCalls();
    host.stop();
    started = false;
    EXPECT_EQ(RecordedCalls(host), std::vector<std::string>{"SimConnect_Close(hSim)"});
}

TEST_F(Kestrel, FailedOpenMakesNoFurtherCallAndNeverPublishes)
{
    host.setOpenResult((HRESULT)0x80004005);
    EXPECT_EQ(host.start(), 0);
    started = true;
    EXPECT_EQ(RecordedCalls(host), std::vector<std::string>{startCalls[0]});
    EXPECT_FALSE(host.deliver(OpenMessage().data(), 280)) << "no dispatch routine may be handed over";
    std::vector<unsigned char> data = ReadSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE);
    std::vector<unsigned char> plan = ReadSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE);
    ASSERT_EQ(data.size(), KESTREL_DATA_SIZE) << "the sections exist all the same";
    ASSERT_EQ(plan.size(), KESTREL_PLAN_SIZE);
    EXPECT_TRUE(AllZero(data));
    EXPECT_TRUE(AllZero(plan));
    host.stop();
    started = false;
    EXPECT_EQ(RecordedCalls(host), std::vector<std::string>{startCalls[0]}) << "no close without a handle";
}

TEST_F(Kestrel, StateAndTimeArePublishedSeparatelyAndNothingElseIsWritten)
{
    StartStreaming();
    EXPECT_TRUE(AllZero(ReadSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE))) << "a new section reads zero";

    const double v[6] = {35000.25, 47.4502, -122.3088, 271.5, 451.123456789, 132.75};
    Deliver(host, StateMessage(v[0], v[1], v[2], v[3], v[4], v[5]));
    StateBlock expected;
    memset(&expected, 0, sizeof expected);
    memcpy(&expected.altitude, v, sizeof v);
    StateBlock seen = ReadState();
    EXPECT_EQ(Hex(&seen, sizeof seen), Hex(&expected, sizeof expected)) << "time reads 0 until the time request";

    Deliver(host, TimeMessage(45296.75));
    expected.hour = 12, expected.minute = 34, expected.second = 56;
    seen = ReadState();
    EXPECT_EQ(Hex(&seen, sizeof seen), Hex(&expected, sizeof expected));

    std::vector<unsigned char> all = ReadSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE);
    EXPECT_TRUE(AllZero(all, 60)) << "reserved and bytes 64-1023 stay zero";

    std::vector<unsigned char> other = ReadSectionFromProcess(KESTREL_DATA_NAME, sizeof(StateBlock));
    EXPECT_EQ(Hex(other.data(), other.size()), Hex(&expected, sizeof expected)) << "as another process reads it";
}

TEST_F(Kestrel, LocalTimeSplitsIntoHourMinuteSecond)
{
    struct Row {
        double seconds;
        int hour, minute, second;
    };
    const Row rows[] = {
        {45296.75, 12, 34, 56}, {0.0, 0, 0, 0},         {3600.0, 1, 0, 0},   {7322.5, 2, 2, 2},
        {3599.999, 0, 59, 59},  {86399.9, 23, 59, 59},  {86400.0, 24, 0, 0}, {59.999999, 0, 0, 59},
        {-1.0, -1, 59, 59},     {-0.25, -1, 59, 59},    {172800.5, 48, 0, 0},
        // Largest hour whose x 3600 still fits an int32.
        {596523.0 * 3600 + 3599.5, 596523, 59, 59},
    };
    StartStreaming();
    for (const Row &r : rows) {
        Deliver(host, TimeMessage(r.seconds));
        StateBlock s = ReadState();
        EXPECT_EQ(s.hour, r.hour) << "local time " << r.seconds;
        EXPECT_EQ(s.minute, r.minute) << "local time " << r.seconds;
        EXPECT_EQ(s.second, r.second) << "local time " << r.seconds;
    }
}

TEST_F(Kestrel, TimeThatFitsNoInt32IsDroppedAndTheLastTimeStands)
{
    StartStreaming();
    Deliver(host, TimeMessage(45296.75));
    const double bad[] = {NAN, INFINITY, -INFINITY, 1e300, -1e300, 596524.0 * 3600, -596524.0 * 3600};
    for (double t : bad) {
        Scribble(KESTREL_DATA_NAME, sizeof(StateBlock));
        Deliver(host, TimeMessage(t));
        EXPECT_TRUE(AllSentinel(ReadSection(KESTREL_DATA_NAME, sizeof(StateBlock)))) << "published for " << t;
    }
    Deliver(host, StateMessage(1, 2, 3, 4, 5, 6));
    StateBlock s = ReadState();
    EXPECT_EQ(s.hour, 12);
    EXPECT_EQ(s.minute, 34);
    EXPECT_EQ(s.second, 56);
}

TEST_F(Kestrel, MessagesOfOtherKindsIdsOrTooShortForTheirFieldsChangeNothing)
{
    StartStreaming();
    Deliver(host, StateMessage(1, 2, 3, 4, 5, 6));
    Deliver(host, FileNameEventMessage(1, "C:\\first.pln"));
    host.clearCalls();

    auto shortened = [](std::vector<unsigned char> m, DWORD size) {
        memcpy(m.data(), &size, 4);
        return m;
    };
    struct Row {
        const char *what;
        std::vector<unsigned char> message;
    };
    std::vector<unsigned char> exception = EventMessage(2);
    exception[8] = 1;
    std::vector<unsigned char> frame = EventMessage(2);
    frame[8] = 7;
    const Row rows[] = {
        {"plain event with the activation id", EventMessage(1)},
        {"file-name event with the deactivation id", FileNameEventMessage(2, "C:\\x.pln")},
        {"data for request 2", DataMessage(2, {1, 2, 3, 4, 5, 6})},
        {"data for request 0xFFFFFFFF", DataMessage(0xFFFFFFFFu, {1, 2, 3, 4, 5, 6})},
        {"exception message", exception},
        {"frame event", frame},
        {"state data one byte short", shortened(StateMessage(9, 9, 9, 9, 9, 9), 87)},
        {"state data with five values", DataMessage(0, {9, 9, 9, 9, 9})},
        {"time data one byte short", shortened(TimeMessage(3600), 47)},
        {"time data without a value", DataMessage(1, {})},
        {"data header cut short", shortened(DataMessage(0, {}), 39)},
        {"deactivation cut before its event id", shortened(EventMessage(2), 19)},
        {"activation cut before its event id", shortened(FileNameEventMessage(1, "C:\\y.pln"), 19)},
        {"activation without a name field", shortened(FileNameEventMessage(1, "C:\\y.pln"), 24)},
        {"size below the header", shortened(StateMessage(9, 9, 9, 9, 9, 9), 11)},
        {"size zero", shortened(StateMessage(9, 9, 9, 9, 9, 9), 0)},
    };
    for (const Row &r : rows) {
        Scribble(KESTREL_DATA_NAME, KESTREL_DATA_SIZE);
        Scribble(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE);
        Deliver(host, r.message);
        EXPECT_TRUE(AllSentinel(ReadSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE))) << r.what;
        EXPECT_TRUE(AllSentinel(ReadSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE))) << r.what;
    }
    EXPECT_EQ(RecordedCalls(host), std::vector<std::string>());
    // The deactivation that was cut short did not open the gate either.
    Deliver(host, FileNameEventMessage(1, "C:\\second.pln"));
    EXPECT_TRUE(AllSentinel(ReadSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE)));
}

TEST_F(Kestrel, PlanGateReadsOnlyTheFirstActivationUntilADeactivation)
{
    StartStreaming();
    EXPECT_TRUE(AllZero(ReadSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE)));
    Deliver(host, FileNameEventMessage(1, "C:\\missing-one.pln"));
    PlanBlock p = ReadPlan();
    EXPECT_EQ(p.active, 1);
    EXPECT_EQ(p.count, 0);

    Scribble(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE);
    Deliver(host, FileNameEventMessage(1, "C:\\missing-two.pln"));
    EXPECT_TRUE(AllSentinel(ReadSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE))) << "second activation published";
    Deliver(host, EventMessage(2));
    EXPECT_TRUE(AllSentinel(ReadSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE))) << "deactivation published";

    Deliver(host, FileNameEventMessage(1, "C:\\missing-two.pln"));
    p = ReadPlan();
    EXPECT_EQ(p.active, 1) << "activation after a deactivation passes the gate";
    EXPECT_EQ(p.count, 0);
}

TEST_F(Kestrel, AfterQuitNoRequestRunsButPlanEventsAreStillHandled)
{
    StartStreaming();
    Deliver(host, QuitMessage());
    Deliver(host, FileNameEventMessage(1, "C:\\after-quit.pln"));
    EXPECT_EQ(ReadPlan().active, 1);
    Deliver(host, EventMessage(2));
    Scribble(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE);
    Deliver(host, FileNameEventMessage(1, "C:\\after-quit.pln"));
    EXPECT_EQ(ReadPlan().active, 1);
}

TEST_F(Kestrel, OverlongOrUnterminatedFileNameStillTakesThePlanOverButOpensNothing)
{
    // A plan file stands where each cut-short name would lead, so reading
    // the cut name shows as a waypoint.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string prefix = std::string(temp) + "kestrel_cut.pln";
    FILE *f = fopen(prefix.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("<ATCWaypoint id=\"CUT\">\n<ATCWaypointType>VOR</ATCWaypointType>\n"
          "<WorldPosition>N48* 07' 12.30\",W011* 34' 48.90\",+0.0</WorldPosition>\n",
          f);
    fclose(f);
    StartStreaming();

    struct Row {
        const char *what;
        std::vector<unsigned char> message;
    };
    std::vector<unsigned char> unterminated = FileNameEventMessage(1, std::string(260, 'A'));
    std::vector<unsigned char> cutShort = FileNameEventMessage(1, prefix + ".more");
    DWORD size = (DWORD)(24 + prefix.size()); // the name runs past the message's own end
    memcpy(cutShort.data(), &size, 4);
    const Row rows[] = {
        {"256 characters", FileNameEventMessage(1, "C:\\" + std::string(253, 'a'))},
        {"260 characters, no terminator", unterminated},
        {"terminator beyond dwSize", cutShort},
    };
    for (const Row &r : rows) {
        Deliver(host, EventMessage(2));
        Scribble(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE);
        Deliver(host, r.message);
        PlanBlock p = ReadPlan();
        EXPECT_EQ(p.active, 1) << r.what;
        EXPECT_EQ(p.count, 0) << r.what;
    }
    // The file itself is readable: only the cut names fail.
    Deliver(host, EventMessage(2));
    Deliver(host, FileNameEventMessage(1, prefix));
    EXPECT_EQ(ReadPlan().count, 1);
    DeleteFileA(prefix.c_str());
}

} // namespace
