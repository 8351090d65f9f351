// Hostile plan files through the real kestrel.dll: each must give a defined
// plan (count 0 to 50, every identifier terminated within its 8 bytes,
// entries from count on untouched) and leave everything else alone.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "kestrel_host.h"

namespace {

std::string Replace(std::string text, const std::string &from, const std::string &to)
{
    size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

const char waypointLines[] = "<ATCWaypoint id=\"%s\">\r\n<ATCWaypointType>Intersection</ATCWaypointType>\r\n"
                             "<WorldPosition>N48* 07' 12.30\",W011* 34' 48.90\",+000000.00</WorldPosition>\r\n";

std::string Waypoint(const char *id)
{
    char b[512];
    snprintf(b, sizeof b, waypointLines, id);
    return b;
}

// xorshift32, fixed seed.
unsigned NextRandom(unsigned *s)
{
    *s ^= *s << 13;
    *s ^= *s >> 17;
    *s ^= *s << 5;
    return *s;
}

class HostilePlans : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadKestrel(&host));
        ASSERT_EQ(host.start(), 0);
        Deliver(host, OpenMessage());
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = temp;
        // A plan of 50 waypoints fills the whole table first, so a test sees
        // any entry that a hostile file touches past its count.
        std::string full;
        for (int i = 0; i < 50; ++i) {
            char id[8];
            snprintf(id, sizeof id, "OLD%02d", i);
            full += Waypoint(id);
        }
        earlier = Activate(Write("earlier.pln", full));
        ASSERT_EQ(earlier.count, 50);
    }
    void TearDown() override
    {
        for (const std::string &f : written)
            DeleteFileA(f.c_str());
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            RemoveDirectoryA(it->c_str());
        host.stop();
        UnloadKestrel(&host);
    }
    std::string Write(const std::string &name, const std::string &bytes)
    {
        std::string path = name.find('\\') == std::string::npos ? folder + "hostile_" + name : name;
        FILE *f = fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr) << path;
        if (f) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        written.push_back(path);
        return path;
    }
    PlanBlock Activate(const std::string &path)
    {
        before = ReadPlan();
        Deliver(host, EventMessage(2));
        Scribble(KESTREL_DATA_NAME, KESTREL_DATA_SIZE);
        Deliver(host, FileNameEventMessage(1, path));
        EXPECT_TRUE(AllSentinel(ReadSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE))) << "a plan read touched KESTREL_DATA";
        return ReadPlan();
    }
    // The invariants every plan read must keep; returns the count.
    int CheckDefined(const PlanBlock &p, const char *what)
    {
        EXPECT_EQ(p.active, 1) << what;
        EXPECT_GE(p.count, 0) << what;
        EXPECT_LE(p.count, 50) << what;
        int n = p.count < 0 ? 0 : p.count > 50 ? 50 : p.count;
        for (int i = 0; i < n; ++i)
            EXPECT_NE(memchr(p.waypoints[i].identifier, 0, 8), nullptr) << what << ": entry " << i;
        for (int i = n; i < 50; ++i)
            EXPECT_EQ(Hex(&p.waypoints[i], 24), Hex(&before.waypoints[i], 24)) << what << ": entry " << i
                                                                                << " past count changed";
        std::vector<unsigned char> beyond = ReadSection(KESTREL_PLAN_NAME, 4096);
        EXPECT_TRUE(AllZero(beyond, KESTREL_PLAN_SIZE)) << what << ": bytes past the section's size written";
        return p.count;
    }
    KestrelHost host;
    std::string folder;
    std::vector<std::string> written, folders;
    PlanBlock earlier;
    // The plan as published before the latest activation.
    PlanBlock before;
};

TEST_F(HostilePlans, EachGivesADefinedPlan)
{
    unsigned seed = 0x9E3779B9u;
    std::string noise(65536, '\0');
    for (char &c : noise)
        c = (char)NextRandom(&seed);
    std::string megaLine(1 << 20, 'A');
    for (size_t i = 1000; i + 40 < megaLine.size(); i += 4099)
        memcpy(&megaLine[i], "<ATCWaypoint id=\"X\">", 20);
    std::string triggers;
    for (int i = 0; i < 100000; ++i)
        triggers += "<ATCWaypoint id=\"T\">\n";
    std::string digits(300, '7');
    const std::string good = Waypoint("GOOD");

    struct Row {
        const char *what;
        std::string bytes;
        int count; // -1: any count that keeps the invariants
    };
    const Row rows[] = {
        {"one line of 1 MiB with trigger phrases in it", megaLine + "\n" + good, -1},
        {"100,000 trigger lines and no position", triggers, 0},
        {"64 KiB of binary noise", noise, -1},
        {"noise, then a good waypoint", noise.substr(0, 4000) + "\n" + good, -1},
        {"NUL inside the trigger line", std::string("<ATCWaypoint id=\"AB\0CD\">\r\n", 26) + good.substr(good.find('\n') + 1), -1},
        {"NUL inside the position line", good.substr(0, good.find("12.30")) + std::string("\0", 1) + good.substr(good.find("12.30")), -1},
        {"0x1A inside the second waypoint ends the file", good + Replace(good, "N48*", "N4\x1A" "8*"), 1},
        {"no '>' in the position line", Replace(good, "<WorldPosition>", "WorldPosition "), 0},
        // 300 digits make the position line longer than 255 characters: it
        // comes in pieces, none of which holds a whole position.
        {"degrees with 300 digits", Replace(good, "N48*", "N" + digits + "*"), 0},
        {"minutes and seconds with 300 digits", Replace(Replace(good, " 07'", " " + digits + "'"), "48.90", digits + "." + digits), 0},
        {"degrees with 150 digits", Replace(good, "N48*", "N" + digits.substr(0, 150) + "*"), 1},
        {"seconds with 150 digits", Replace(good, "48.90", digits.substr(0, 75) + "." + digits.substr(0, 75)), 1},
        {"exponents out of range", Replace(Replace(good, " 07'", " 1e999999'"), "48.90", "-1e-999999"), 1},
        {"only CRs, no line feeds", std::string(100000, '\r'), 0},
        {"empty file", "", 0},
    };
    for (const Row &r : rows) {
        PlanBlock p = Activate(Write("case.pln", r.bytes));
        int n = CheckDefined(p, r.what);
        if (r.count >= 0) {
            EXPECT_EQ(n, r.count) << r.what;
        }
    }
}

TEST_F(HostilePlans, EachMissingMarkLeavesTheWalkInsideTheLine)
{
    const std::string good = Waypoint("MARK");
    const std::string position = "N48* 07' 12.30\",W011* 34' 48.90\"";
    for (size_t i = 0; i < position.size(); ++i) {
        char c = position[i];
        if (c != '*' && c != '\'' && c != '"')
            continue;
        std::string cut = position.substr(0, i) + position.substr(i + 1);
        std::string what = "without the mark at " + std::to_string(i) + ": " + cut;
        // The position line ends right after the coordinates, so a walk that
        // ran on would reach the next waypoint's lines.
        std::string bytes = Replace(good, position + ",+000000.00</WorldPosition>", cut) + Waypoint("NEXT");
        PlanBlock p = Activate(Write("mark.pln", bytes));
        int n = CheckDefined(p, what.c_str());
        EXPECT_GE(n, 1) << what;
        EXPECT_STREQ(p.waypoints[n - 1].identifier, "NEXT") << what << ": the next waypoint must survive";
    }
}

TEST_F(HostilePlans, PathsOf255And256CharactersAndFilesThatCannotBeRead)
{
    // A folder chain that makes the plan's full path exactly 255 characters.
    std::string dir = folder + "kestrel_paths";
    CreateDirectoryA(dir.c_str(), nullptr);
    folders.push_back(dir);
    while (dir.size() + 1 + 100 < 255) {
        dir += "\\" + std::string(std::min<size_t>(60, 255 - dir.size() - 101), 'd');
        CreateDirectoryA(dir.c_str(), nullptr);
        folders.push_back(dir);
    }
    std::string path255 = dir + "\\";
    path255 += std::string(255 - path255.size() - 4, 'p') + ".pln";
    ASSERT_EQ(path255.size(), 255u);
    Write(path255, Waypoint("P255"));
    PlanBlock p = Activate(path255);
    EXPECT_EQ(CheckDefined(p, "255-character path"), 1);
    EXPECT_STREQ(p.waypoints[0].identifier, "P255");

    // One more character does not fit: the file named by the first 255 must
    // not be read in its place.
    p = Activate(path255 + "x");
    EXPECT_EQ(CheckDefined(p, "256-character path"), 0);

    p = Activate(folder);
    EXPECT_EQ(CheckDefined(p, "a folder"), 0);

    std::string gone = Write("gone.pln", Waypoint("GONE"));
    EXPECT_EQ(Activate(gone).count, 1);
    DeleteFileA(gone.c_str());
    EXPECT_EQ(CheckDefined(Activate(gone), "deleted since it was last read"), 0);

    std::string locked = Write("locked.pln", Waypoint("LOCK"));
    HANDLE writer = CreateFileA(locked.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CheckDefined(Activate(locked), "held open for writing"), 0);
    CloseHandle(writer);
    EXPECT_EQ(Activate(locked).count, 1) << "readable again once the writer is gone";
}

} // namespace
