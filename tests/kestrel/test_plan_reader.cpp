// The flight-plan reader through the built kestrel.dll: plan files written
// to disk, an activation message through the stand-in SimConnect, and
// "KESTREL_PLAN" read back byte for byte as a reader maps it.
#include <gtest/gtest.h>

#include <locale.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "kestrel_host.h"
#include "plan_fixtures.h"
#include "test_bytes.h"

namespace
{

std::string Replace(std::string text, const std::string &from, const std::string &to)
{
    std::string out;
    size_t at = 0, found;
    while ((found = text.find(from, at)) != std::string::npos) {
        out += text.substr(at, found - at) + to;
        at = found + from.size();
    }
    return out + text.substr(at);
}

std::string ExeDirectory()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string ReadFileBytes(const std::string &path)
{
    std::string bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "cannot read " << path;
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD got;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
}

std::string Fixture(const char *name)
{
    return ReadFileBytes(ExeDirectory() + "plan_fixtures\\" + name);
}

// The ideal double arithmetic of the reader, in its order (this program is
// built for SSE2 like the DLL).
double Dms(double degrees, double minutes, double seconds, double sign)
{
    return ((degrees + minutes / 60.0) + seconds / 3600.0) * sign;
}

// The block a reader must see after a plan: the earlier block with active
// 1, the new count, and each new entry's doubles and identifier with its
// terminator laid over it; everything else as it was.
PlanBlock Expected(const PlanBlock &earlier, int count, const FixtureWaypoint *waypoints)
{
    PlanBlock b = earlier;
    b.active = 1;
    b.count = count;
    for (int i = 0; i < count; i++) {
        b.waypoints[i].latitude = waypoints[i].latitude;
        b.waypoints[i].longitude = waypoints[i].longitude;
        memcpy(b.waypoints[i].identifier, waypoints[i].identifier, strlen(waypoints[i].identifier) + 1);
    }
    return b;
}

class PlanReader : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadKestrel(&host));
        ASSERT_EQ(host.start(), 0);
        started = true;
        Deliver(host, OpenMessage());
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = temp;
    }
    void TearDown() override
    {
        for (HANDLE h : held)
            CloseHandle(h);
        for (const std::string &f : written)
            DeleteFileA(f.c_str());
        if (started)
            host.stop();
        UnloadKestrel(&host);
    }
    std::string Write(const std::string &name, const std::string &bytes)
    {
        std::string path = folder + "kestrel_" + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
        DWORD put = 0;
        if (h != INVALID_HANDLE_VALUE) {
            WriteFile(h, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
            CloseHandle(h);
        }
        EXPECT_EQ(put, bytes.size());
        written.push_back(path);
        return path;
    }
    // The simulator deactivates whatever plan it had and activates this one.
    PlanBlock Activate(const std::string &path)
    {
        Deliver(host, EventMessage(2));
        Deliver(host, FileNameEventMessage(1, path));
        return ReadPlan();
    }
    KestrelHost host;
    bool started = false;
    std::string folder;
    std::vector<std::string> written;
    std::vector<HANDLE> held;
};

TEST_F(PlanReader, WorkedExampleIsBitExact)
{
    std::string path = Write("worked.pln", "<ATCWaypoint id=\"TANGO\">\nany text\n"
                                           "<WorldPosition>N48* 07' 12.30\",W011* 34' 48.90\",+000433.00"
                                           "</WorldPosition>\n");
    PlanBlock p = Activate(path);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.active, 1);
    EXPECT_EQ(Bits(p.waypoints[0].latitude), Bits(48.12008333333333)) << p.waypoints[0].latitude;
    EXPECT_EQ(Bits(p.waypoints[0].longitude), Bits(-11.58025)) << p.waypoints[0].longitude;
    EXPECT_EQ(Hex(p.waypoints[0].identifier, 8), Hex("TANGO\0\0\0", 8)) << "a new section's bytes stay zero";
}

TEST_F(PlanReader, FixturesArePublishedByteForByte)
{
    PlanBlock seen = ReadPlan();
    for (const PlanFixture &f : planFixtures) {
        std::string bytes = Fixture(f.file);
        ASSERT_FALSE(bytes.empty()) << f.file;
        PlanBlock expected = Expected(seen, f.count, f.waypoints);
        seen = Activate(Write(f.file, bytes));
        EXPECT_EQ(Hex(&seen, sizeof seen), Hex(&expected, sizeof expected)) << f.file;
        for (int i = 0; i < f.count && i < seen.count; i++) {
            EXPECT_STREQ(seen.waypoints[i].identifier, f.waypoints[i].identifier) << f.file << " entry " << i;
            EXPECT_EQ(seen.waypoints[i].latitude, f.waypoints[i].latitude) << f.file << " entry " << i;
            EXPECT_EQ(seen.waypoints[i].longitude, f.waypoints[i].longitude) << f.file << " entry " << i;
        }
    }
    std::vector<unsigned char> other = ReadSectionFromProcess(KESTREL_PLAN_NAME, sizeof seen);
    EXPECT_EQ(Hex(other.data(), other.size()), Hex(&seen, sizeof seen)) << "as another process reads it";
}

TEST_F(PlanReader, CrLfAndLfVersionsGiveTheSameBytes)
{
    std::string other = Write("other.pln", Fixture("route_64.pln"));
    for (const PlanFixture &f : planFixtures) {
        std::string lf = Replace(Fixture(f.file), "\r\n", "\n");
        std::string crlf = Replace(lf, "\n", "\r\n");
        ASSERT_NE(lf, crlf);
        Activate(other);
        PlanBlock a = Activate(Write("lf.pln", lf));
        Activate(other);
        PlanBlock b = Activate(Write("crlf.pln", crlf));
        EXPECT_EQ(a.count, f.count) << f.file;
        EXPECT_EQ(Hex(&a, sizeof a), Hex(&b, sizeof b)) << f.file;
    }
}

TEST_F(PlanReader, ShorterPlanLeavesTheEarlierPlansLaterEntries)
{
    auto plan = [](int n, const char *prefix) {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
        for (int i = 0; i < n; i++)
            text += "    <ATCWaypoint id=\"" + std::string(prefix) + std::to_string(i) +
                    "\">\r\n        <ATCWaypointType>User</ATCWaypointType>\r\n        <WorldPosition>S" +
                    std::to_string(10 + i) + "\xC2\xB0 1' 2.5\",W" + std::to_string(20 + i) +
                    "\xC2\xB0 3' 4.5\",+000000.00</WorldPosition>\r\n    </ATCWaypoint>\r\n";
        return text;
    };
    PlanBlock five = Activate(Write("five.pln", plan(5, "FIVE")));
    ASSERT_EQ(five.count, 5);
    EXPECT_EQ(Bits(five.waypoints[4].latitude), Bits(Dms(14, 1, 2.5, -1.0)));
    EXPECT_EQ(Bits(five.waypoints[4].longitude), Bits(Dms(24, 3, 4.5, -1.0)));
    PlanBlock three = Activate(Write("three.pln", plan(3, "T")));
    ASSERT_EQ(three.count, 3);
    EXPECT_EQ(Hex(three.waypoints[0].identifier, 8), Hex("T0\0E0\0\0\0", 8));
    EXPECT_EQ(Hex(&three.waypoints[3], 2 * sizeof(PlanWaypoint)),
              Hex(&five.waypoints[3], 2 * sizeof(PlanWaypoint)));
}

TEST_F(PlanReader, FileThatCannotBeOpenedGivesCountZeroAndLeavesTheEntries)
{
    std::string path = Write("held.pln", Fixture("fsx_ksea_kpdx.pln"));
    PlanBlock full = Activate(path);
    ASSERT_EQ(full.count, 6);

    struct Row {
        const char *what;
        std::string path;
        DWORD access, share; // a handle some other program holds on the file; access 0: none
    } rows[] = {
        {"missing file", folder + "kestrel_no_such_plan.pln", 0, 0},
        {"missing folder", "C:\\no\\such\\folder\\plan.pln", 0, 0},
        {"empty path", "", 0, 0},
        {"held open for writing, others may read and write", path, GENERIC_WRITE,
         FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"held open for reading and writing", path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ},
        {"held open exclusively", path, GENERIC_READ, 0},
    };
    for (const Row &r : rows) {
        HANDLE h = INVALID_HANDLE_VALUE;
        if (r.access != 0) {
            h = CreateFileA(r.path.c_str(), r.access, r.share, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE) << r.what;
        }
        PlanBlock p = Activate(r.path);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        EXPECT_EQ(p.active, 1) << r.what;
        EXPECT_EQ(p.count, 0) << r.what;
        EXPECT_EQ(Hex(&p.waypoints, sizeof p.waypoints), Hex(&full.waypoints, sizeof full.waypoints))
            << r.what;
        ASSERT_EQ(Activate(path).count, 6) << r.what << ": the file reads again once it is released";
    }
}

TEST_F(PlanReader, ReadsOnlyAndLetsOtherReadersIn)
{
    std::string bytes = Fixture("scel_saez_ansi.pln");
    std::string path = Write("shared.pln", bytes);
    // Other readers, even one that lets nobody write, do not keep it out: it
    // asks for reading alone and refuses only writers.
    const DWORD shares[] = {FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE};
    for (DWORD share : shares) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Activate(path).count, 6) << "share mode " << share;
        CloseHandle(h);
    }
    // Closed again on return: nothing holds the file any longer.
    HANDLE alone =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE) << "the reader still holds the file";
    if (alone != INVALID_HANDLE_VALUE)
        CloseHandle(alone);
    EXPECT_EQ(ReadFileBytes(path), bytes) << "the file is never written";
}

TEST_F(PlanReader, NumbersUseTheFullStopWhateverTheLocale)
{
    // kestrel.dll and this program share the C runtime, so this is the
    // locale the reader runs under.
    const char *set = setlocale(LC_ALL, "German_Germany.1252");
    ASSERT_NE(set, nullptr) << "no German locale";
    ASSERT_STREQ(localeconv()->decimal_point, ",");
    PlanBlock p = Activate(Write("locale.pln", Fixture("fsx_ksea_kpdx.pln")));
    setlocale(LC_ALL, "C");
    ASSERT_EQ(p.count, 6);
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(Bits(p.waypoints[i].latitude), Bits(fixture_fsx_ksea_kpdx[i].latitude)) << i;
        EXPECT_EQ(Bits(p.waypoints[i].longitude), Bits(fixture_fsx_ksea_kpdx[i].longitude)) << i;
    }
}

TEST_F(PlanReader, LongAndBorderlineNumbersRoundCorrectly)
{
    // Each text is one the runtime's own conversion has been known to get
    // wrong somewhere; the compiler's reading of the same literal is the
    // nearest double.
    struct Row {
        std::string minutes, seconds;
        double m, s;
    } rows[] = {
        {" 07", " 12.2" + std::string(185, '9'), 7, 12.3},
        {" 1.00000000000000011102230246251565404236316680908203125", " 0", 1.0, 0},
        {" 1.00000000000000011102230246251565404236316680908203125001", " 0", 1.0000000000000002, 0},
        {" 0." + std::string(150, '0') + "1e151", " 2.2250738585072011e-308", 1.0, 2.2250738585072011e-308},
        {" 9007199254740993", " 4.9406564584124654e-324", 9007199254740992.0, 4.9406564584124654e-324},
        {" 1e23", " 8.589973e9", 1e23, 8.589973e9},
        {" 30", " " + std::string(150, '0') + "12.345678901234567890123456789", 30,
         12.345678901234567890123456789},
    };
    for (const Row &r : rows) {
        std::string line =
            "<WorldPosition>N48*" + r.minutes + "'" + r.seconds + "\",W011* 34' 48.90\"</WorldPosition>";
        ASSERT_LE(line.size(), 254u);
        PlanBlock p = Activate(Write("numbers.pln", "<ATCWaypoint id=\"NUM\">\r\nx\r\n" + line + "\r\n"));
        ASSERT_EQ(p.count, 1) << line;
        EXPECT_EQ(Bits(p.waypoints[0].latitude), Bits(Dms(48, r.m, r.s, 1.0))) << line;
        EXPECT_EQ(Bits(p.waypoints[0].longitude), Bits(-11.58025)) << line;
    }
}

TEST_F(PlanReader, TextModeEndsTheFileAtControlZAndCutsLongLines)
{
    std::string a = "<ATCWaypoint id=\"A\">\r\nx\r\n>N1* 2' 3\",E4* 5' 6\"\r\n";
    std::string b = "<ATCWaypoint id=\"B\">\r\nx\r\n>N7* 8' 9\",E1* 2' 3\"\r\n";
    PlanBlock p = Activate(Write("ctrlz.pln", a + "\x1A" + b));
    EXPECT_EQ(p.count, 1);
    EXPECT_STREQ(p.waypoints[0].identifier, "A");

    // The position's marks begin past the first 255 characters: that piece is
    // the position line, without them, and the waypoint is dropped.
    std::string longLine = "<ATCWaypoint id=\"LONG\">\r\nx\r\n<WorldPosition>" + std::string(250, ' ') +
                           "N1* 2' 3\",E4* 5' 6\"</WorldPosition>\r\n";
    p = Activate(Write("long.pln", longLine + b));
    ASSERT_EQ(p.count, 1);
    EXPECT_STREQ(p.waypoints[0].identifier, "B");
    EXPECT_EQ(Bits(p.waypoints[0].latitude), Bits(Dms(7, 8, 9, 1.0)));
}

} // namespace
