// monitor.exe run as a separate process beside sections with known bytes:
// what it decodes, how it reports sections that are missing, too small or
// not sections at all, and how it follows a section that comes and goes.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>

#include "monitor_process.h"
#include "sections.h"

namespace {

StateBlock SampleState()
{
    StateBlock s;
    memset(&s, 0, sizeof s);
    s.altitude = 12345.678;
    s.latitude = -33.946111111111108; // south
    s.longitude = 151.17722222222221;
    s.heading = 359.99;
    s.groundSpeed = 0.5;
    s.groundAltitude = -12.25;
    s.hour = 23;
    s.minute = 5;
    s.second = 9;
    return s;
}

void SetIdentifier(PlanWaypoint *w, const char *bytes, size_t count)
{
    memcpy(w->identifier, bytes, count);
}

// Three valid entries; the fourth is what an earlier, longer plan left.
PlanBlock SamplePlan()
{
    PlanBlock p;
    memset(&p, 0, sizeof p);
    p.active = 1;
    p.count = 3;
    p.waypoints[0] = {-33.946111111111108, 151.17722222222221, {0}};
    SetIdentifier(&p.waypoints[0], "YSSY\0FG", 8); // bytes of an older identifier behind the terminator
    p.waypoints[1] = {-34.5, 150.25, {0}};
    SetIdentifier(&p.waypoints[1], "ABCDEFG", 8);
    p.waypoints[2] = {0.0, -0.0, {0}};
    p.waypoints[3] = {1.0, 2.0, {0}};
    SetIdentifier(&p.waypoints[3], "STALE", 6);
    return p;
}

LinkBlock SampleLink()
{
    LinkBlock l;
    memset(&l, 0, sizeof l);
    l.altitude = 3280.839895013123;
    l.latitude = 45.0;
    l.longitude = -90.0;
    l.heading = 1.5707963267948966;
    l.groundSpeed = 59.248380129589634;
    l.groundAltitude = 131.5;
    l.hour = 7;
    l.minute = 59;
    l.second = 58;
    l.clock2Hour = 12;
    l.clock2Minute = 0;
    l.clock2Second = 58;
    return l;
}

std::string Hex(const void *bytes, size_t count)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < count; ++i) {
        unsigned char b = ((const unsigned char *)bytes)[i];
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

class MonitorProcess : public ::testing::Test {
  protected:
    HeldSections held;
};

TEST_F(MonitorProcess, DecodesEveryFieldOfTheThreeRecords)
{
    StateBlock state = SampleState();
    PlanBlock plan = SamplePlan();
    LinkBlock link = SampleLink();
    held.Keep(CreateSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE, &state, sizeof state));
    held.Keep(CreateSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE, &plan, sizeof plan));
    held.Keep(CreateSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE, &link, sizeof link));

    DWORD exitCode = 0;
    JsonValue v = OnceJson("", &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(v["sample"].number, 1);

    const JsonValue &data = v[KESTREL_DATA_NAME];
    EXPECT_EQ(data["status"].text, "ok");
    EXPECT_EQ(data["record_size"].number, 64);
    EXPECT_GE(data["section_size"].number, 1024) << "the section's own size, page-rounded on some systems";
    EXPECT_GE(data["view_size"].number, data["section_size"].number);
    EXPECT_EQ(data["changes"].number, 0);
    const JsonValue &s = data["state"];
    struct Field {
        const char *name;
        double expected;
    } stateFields[] = {
        {"altitude", state.altitude},       {"latitude", state.latitude},
        {"longitude", state.longitude},     {"heading", state.heading},
        {"groundSpeed", state.groundSpeed}, {"groundAltitude", state.groundAltitude},
        {"hour", 23},                       {"minute", 5},
        {"second", 9},
    };
    for (const Field &f : stateFields) {
        EXPECT_EQ(s[f.name].kind, JsonValue::Number) << f.name;
        EXPECT_EQ(s[f.name].number, f.expected) << "state." << f.name;
    }
    EXPECT_EQ(s["time"].text, "23:05:09");
    EXPECT_EQ(s["reserved"].text, "00000000");

    const JsonValue &p = v[KESTREL_PLAN_NAME];
    EXPECT_EQ(p["status"].text, "ok");
    EXPECT_EQ(p["plan"]["active"].number, 1);
    EXPECT_EQ(p["plan"]["count"].number, 3);
    EXPECT_TRUE(p["plan"]["count_valid"].boolean);
    const JsonValue &w = p["plan"]["waypoints"];
    ASSERT_EQ(w.items.size(), 3u) << "entries past count are stale and not listed";
    const char *ids[] = {"YSSY", "ABCDEFG", ""};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(w[i]["identifier"].text, ids[i]) << "waypoint " << i;
        EXPECT_TRUE(w[i]["terminated"].boolean) << "waypoint " << i;
        EXPECT_EQ(w[i]["identifier_bytes"].text, Hex(plan.waypoints[i].identifier, 8)) << "waypoint " << i;
        EXPECT_EQ(w[i]["latitude"].number, plan.waypoints[i].latitude) << "waypoint " << i;
        EXPECT_EQ(w[i]["longitude"].number, plan.waypoints[i].longitude) << "waypoint " << i;
    }
    EXPECT_TRUE(signbit(w[2]["longitude"].number)) << "-0.0 keeps its sign";

    const JsonValue &l = v[HARRIER_LINK_NAME];
    EXPECT_EQ(l["status"].text, "ok");
    EXPECT_EQ(l["record_size"].number, 72);
    const JsonValue &k = l["link"];
    Field linkFields[] = {
        {"altitude", link.altitude},       {"latitude", link.latitude},
        {"longitude", link.longitude},     {"heading", link.heading},
        {"groundSpeed", link.groundSpeed}, {"groundAltitude", link.groundAltitude},
        {"hour", 7},                       {"minute", 59},
        {"second", 58},                    {"clock2Hour", 12},
        {"clock2Minute", 0},               {"clock2Second", 58},
    };
    for (const Field &f : linkFields)
        EXPECT_EQ(k[f.name].number, f.expected) << "link." << f.name;
    EXPECT_EQ(k["time"].text, "07:59:58");
    EXPECT_EQ(k["clock2"].text, "12:00:58");
}

// Identifiers come from a file anybody may write: any byte may turn up.
TEST_F(MonitorProcess, IdentifiersOfAnyBytesComeOutIntactAndSafe)
{
    struct Case {
        const char bytes[8];
        size_t length; // up to the terminator, or 8
        const char *text; // as the live view shows it
    } cases[] = {
        {"A\"B\\C", 5, "A\"B\\\\C"},
        {"\x01\x1f\x7f", 3, "\\x01\\x1F\\x7F"},
        {"N\xb0\xc2\xb0", 4, "N\\xB0\\xC2\\xB0"},
        {"\xff\xfe", 2, "\\xFF\\xFE"},
        {"\t\r\n", 3, "\\x09\\x0D\\x0A"},
        {{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}, 8, "ABCDEFGH"},
    };
    const int n = sizeof cases / sizeof cases[0];
    PlanBlock plan;
    memset(&plan, 0, sizeof plan);
    plan.active = 1;
    plan.count = n;
    for (int i = 0; i < n; ++i)
        memcpy(plan.waypoints[i].identifier, cases[i].bytes, 8);
    held.Keep(CreateSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE, &plan, sizeof plan));

    JsonValue v = OnceJson();
    const JsonValue &w = v[KESTREL_PLAN_NAME]["plan"]["waypoints"];
    ASSERT_EQ(w.items.size(), (size_t)n);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(w[i]["identifier"].text, std::string(cases[i].bytes, cases[i].length)) << "row " << i;
        EXPECT_EQ(w[i]["terminated"].boolean, cases[i].length < 8) << "row " << i;
    }

    MonitorResult text = RunMonitor("--once --interval 20");
    for (size_t i = 0; i < text.out.size(); ++i) {
        unsigned char c = (unsigned char)text.out[i];
        EXPECT_TRUE((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r') << "byte " << (int)c << " at " << i;
    }
    for (int i = 0; i < n; ++i) {
        std::string row = std::to_string(i) + "  " + cases[i].text;
        EXPECT_NE(text.out.find(row), std::string::npos) << "row " << i << ": [" << row << "] not in\n" << text.out;
    }
    size_t mark = text.out.find("(no terminator)");
    EXPECT_NE(mark, std::string::npos) << text.out;
    EXPECT_EQ(mark, text.out.rfind("(no terminator)")) << "only the last identifier lacks one";
}

TEST_F(MonitorProcess, MissingSectionsAreNamedWithWhatToCheck)
{
    const char *messages[] = {
        "KESTREL_DATA not found: is the simulator running with kestrel loaded?",
        "KESTREL_PLAN not found: is the simulator running with kestrel loaded?",
        "HARRIER_Link not found: is the simulator running with harrier_link loaded?",
    };
    const char *names[] = {KESTREL_DATA_NAME, KESTREL_PLAN_NAME, HARRIER_LINK_NAME};
    DWORD exitCode = 0;
    JsonValue v = OnceJson("", &exitCode);
    EXPECT_EQ(exitCode, 1u) << "no section read";
    MonitorResult text = RunMonitor("--once --interval 20");
    EXPECT_EQ(text.exitCode, 1u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(v[names[i]]["status"].text, "missing");
        EXPECT_EQ(v[names[i]]["message"].text, messages[i]);
        EXPECT_NE(text.out.find(messages[i]), std::string::npos) << text.out;
        EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, names[i]), nullptr) << "the monitor created " << names[i];
    }
}

TEST_F(MonitorProcess, OneSectionPresentIsReadBesideTwoMissing)
{
    LinkBlock link = SampleLink();
    held.Keep(CreateSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE, &link, sizeof link));
    DWORD exitCode = 1;
    JsonValue v = OnceJson("", &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(v[KESTREL_DATA_NAME]["status"].text, "missing");
    EXPECT_EQ(v[KESTREL_PLAN_NAME]["status"].text, "missing");
    EXPECT_EQ(v[HARRIER_LINK_NAME]["link"]["clock2"].text, "12:00:58");
}

// A section smaller than its record is reported with its size and never
// read; one exactly as large as its record is read. File-backed sections
// keep their exact size, where paging-file ones are rounded to a page.
TEST_F(MonitorProcess, SectionsSmallerThanTheirRecordAreReportedNotRead)
{
    struct Case {
        const char *name;
        size_t size;
        bool read;
        const char *message;
    } cases[] = {
        {KESTREL_DATA_NAME, 32, false, "KESTREL_DATA holds 32 bytes, fewer than its 64-byte StateBlock: not read"},
        {KESTREL_DATA_NAME, 63, false, "KESTREL_DATA holds 63 bytes, fewer than its 64-byte StateBlock: not read"},
        {KESTREL_DATA_NAME, 64, true, ""},
        {KESTREL_PLAN_NAME, 600, false, "KESTREL_PLAN holds 600 bytes, fewer than its 1208-byte PlanBlock: not read"},
        {KESTREL_PLAN_NAME, 1208, true, ""},
        {HARRIER_LINK_NAME, 71, false, "HARRIER_Link holds 71 bytes, fewer than its 72-byte LinkBlock: not read"},
        {HARRIER_LINK_NAME, 72, true, ""},
    };
    std::vector<unsigned char> bytes(2048, 0);
    StateBlock state = SampleState();
    memcpy(bytes.data(), &state, sizeof state);
    for (const Case &c : cases) {
        HANDLE h = CreateFileSection(c.name, bytes.data(), c.size);
        ASSERT_NE(h, nullptr) << c.name << " " << c.size;
        JsonValue v = OnceJson();
        CloseHandle(h);
        const JsonValue &r = v[c.name];
        EXPECT_EQ(r["section_size"].number, (double)c.size) << c.name << " " << c.size;
        if (c.read) {
            EXPECT_EQ(r["status"].text, "ok") << c.name << " " << c.size << ": " << r["message"].text;
        } else {
            EXPECT_EQ(r["status"].text, "too_small") << c.name << " " << c.size;
            EXPECT_EQ(r["message"].text, c.message);
            EXPECT_FALSE(r.Has("state") || r.Has("plan") || r.Has("link")) << c.name << " " << c.size;
        }
    }
}

TEST_F(MonitorProcess, ANameHeldByAnotherKindOfObjectIsReported)
{
    held.Keep(CreateEventA(nullptr, TRUE, FALSE, KESTREL_DATA_NAME));
    JsonValue v = OnceJson();
    const JsonValue &r = v[KESTREL_DATA_NAME];
    EXPECT_EQ(r["status"].text, "unopenable");
    EXPECT_EQ(r["error"].number, (double)ERROR_INVALID_HANDLE);
    EXPECT_EQ(r["message"].text,
              "KESTREL_DATA cannot be opened (error 6): the name belongs to an object that is not a section");
}

// The monitor needs read access only, and leaves every byte as it was.
TEST_F(MonitorProcess, ReadsASectionThatGrantsReadAccessOnly)
{
    StateBlock state = SampleState();
    HANDLE h = held.Keep(CreateFileSection(KESTREL_DATA_NAME, &state, sizeof state, true));
    ASSERT_NE(h, nullptr);
    JsonValue v = OnceJson();
    EXPECT_EQ(v[KESTREL_DATA_NAME]["status"].text, "ok") << v[KESTREL_DATA_NAME]["message"].text;
    EXPECT_EQ(v[KESTREL_DATA_NAME]["state"]["altitude"].number, state.altitude);
    const void *view = MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(memcmp(view, &state, sizeof state), 0);
    UnmapViewOfFile(view);
}

TEST_F(MonitorProcess, ACountOutsideItsRangeIsFlaggedAndNeverOverrunsTheTable)
{
    struct Case {
        int32_t count;
        size_t listed;
    } cases[] = {{51, 50}, {0x7FFFFFFF, 50}, {-1, 0}, {50, 50}, {0, 0}};
    PlanBlock plan;
    memset(&plan, 0, sizeof plan);
    plan.active = 1;
    for (int i = 0; i < PLAN_WAYPOINT_CAPACITY; ++i)
        plan.waypoints[i].latitude = i;
    for (const Case &c : cases) {
        plan.count = c.count;
        HANDLE h = CreateSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE, &plan, sizeof plan);
        JsonValue v = OnceJson();
        CloseHandle(h);
        const JsonValue &p = v[KESTREL_PLAN_NAME]["plan"];
        EXPECT_EQ(p["count"].number, c.count);
        EXPECT_EQ(p["count_valid"].boolean, c.count >= 0 && c.count <= 50) << "count " << c.count;
        ASSERT_EQ(p["waypoints"].items.size(), c.listed) << "count " << c.count;
        if (c.listed) {
            EXPECT_EQ(p["waypoints"][c.listed - 1]["latitude"].number, c.listed - 1.0);
        }
    }
}

// A user starts the monitor before the simulator: it waits for the section,
// follows every change as it comes, and notices when the section goes.
TEST_F(MonitorProcess, WaitsForASectionFollowsItsChangesAndSeesItGo)
{
    LiveMonitor monitor;
    ASSERT_TRUE(StartMonitor(&monitor, "--json --interval 20 --until-gone"));
    std::string line;
    JsonValue v;
    ASSERT_TRUE(NextLine(&monitor, &line));
    ASSERT_TRUE(ParseJson(line, &v, nullptr)) << line;
    EXPECT_EQ(v[KESTREL_DATA_NAME]["status"].text, "missing");

    StateBlock state = SampleState();
    state.altitude = 1;
    HANDLE h = CreateSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE, &state, sizeof state);
    // Each value is written only after the monitor has shown the one before,
    // so it sees every change.
    for (int step = 1; step <= 3; ++step) {
        bool shown = false;
        while (!shown && NextLine(&monitor, &line)) {
            ASSERT_TRUE(ParseJson(line, &v, nullptr)) << line;
            const JsonValue &r = v[KESTREL_DATA_NAME];
            shown = r["status"].text == "ok" && r["state"]["altitude"].number == step;
            if (shown) {
                EXPECT_EQ(r["changes"].number, step - 1) << line;
            }
        }
        ASSERT_TRUE(shown) << "altitude " << step << " never shown; last line " << line;
        state.altitude = step + 1;
        if (step < 3)
            WriteSection(h, &state, sizeof state);
    }
    CloseHandle(h);
    bool gone = false;
    while (!gone && NextLine(&monitor, &line)) {
        ASSERT_TRUE(ParseJson(line, &v, nullptr)) << line;
        gone = v[KESTREL_DATA_NAME]["status"].text == "missing";
    }
    EXPECT_TRUE(gone) << "the section's end was never noticed; last line " << line;
    EXPECT_EQ(WaitForExit(&monitor), 1u) << "--until-gone ends once nothing can be read";
    StopMonitor(&monitor);
}

TEST_F(MonitorProcess, LiveViewShowsEachFieldWithItsUnit)
{
    StateBlock state = SampleState();
    PlanBlock plan = SamplePlan();
    LinkBlock link = SampleLink();
    held.Keep(CreateSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE, &state, sizeof state));
    held.Keep(CreateSection(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE, &plan, sizeof plan));
    held.Keep(CreateSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE, &link, sizeof link));
    MonitorResult r = RunMonitor("--count 2 --interval 20");
    EXPECT_EQ(r.exitCode, 0u);
    const char *lines[] = {
        "  altitude             12345.68 ft",
        "  latitude         -33.94611111 deg (north +)",
        "  longitude        151.17722222 deg (east +)",
        "  heading                359.99 deg true",
        "  groundSpeed              0.50 kt",
        "  groundAltitude         -12.25 m (ground elevation)",
        "  local time           23:05:09  (hh:mm:ss)",
        "  reserved          00 00 00 00  (always zero)",
        "  active 1, count 3",
        "    0  YSSY          -33.94611111  151.17722222",
        "    1  ABCDEFG       -34.50000000  150.25000000",
        "  heading                1.5708 (host units, unconverted)",
        "  groundAltitude         131.50 (host units, unconverted)",
        "  clock                07:59:58  (hh:mm:ss)",
        "  second clock         12:00:58  (hh:mm:ss)",
    };
    for (const char *line : lines)
        EXPECT_NE(r.out.find(line), std::string::npos) << "[" << line << "] not in\n" << r.out;
    EXPECT_EQ(r.out.find("STALE"), r.out.rfind("STALE")) << "the stale entry is not listed";
    size_t first = r.out.find("sample 1 ");
    size_t second = r.out.find("sample 2 ");
    EXPECT_TRUE(first != std::string::npos && second != std::string::npos && first < second) << r.out;
}

TEST_F(MonitorProcess, CommandLineErrorsEndWithStatusTwo)
{
    struct Case {
        const char *arguments;
        const char *message;
    } cases[] = {
        {"--interval 5", "--interval needs a number of milliseconds from 10 to 60000"},
        {"--interval", "--interval needs a number of milliseconds from 10 to 60000"},
        {"--count 0", "--count needs a whole number of samples, 1 or more"},
        {"--frobnicate", "unknown option --frobnicate (try --help)"},
    };
    for (const Case &c : cases) {
        MonitorResult r = RunMonitor(c.arguments);
        EXPECT_EQ(r.exitCode, 2u) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.arguments;
    }
    MonitorResult help = RunMonitor("--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.out.find("Usage: monitor"), 0u) << help.out;
}

} // namespace
