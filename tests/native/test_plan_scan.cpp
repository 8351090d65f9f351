// The plan scanner, step by step and file by file: trigger test, identifier,
// position walk, and the waypoint table as whole files leave it.
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "plan_scan.h"
#include "scan_text.h"
#include "test_bytes.h"

namespace
{

std::string Show(double v)
{
    char text[64];
    snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The value of a coordinate, in the reader's order.
double Dms(double degrees, double minutes, double seconds, double sign)
{
    return ((degrees + minutes / 60.0) + seconds / 3600.0) * sign;
}

// The one quiet NaN that SSE2 arithmetic makes, which the reader stores for
// a coordinate that is no number.
double NotANumber()
{
    uint64_t bits = 0xFFF8000000000000ull;
    double v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

const char workedPosition[] =
    "<WorldPosition>N48* 07' 12.30\",W011* 34' 48.90\",+000433.00</WorldPosition>\n";

std::string Waypoint(const std::string &id, const std::string &position, const std::string &nl = "\n")
{
    return "    <ATCWaypoint id=\"" + id + "\">" + nl +
           "        <ATCWaypointType>Intersection</ATCWaypointType>" + nl + "        <WorldPosition>" +
           position + ",+000000.00</WorldPosition>" + nl + "    </ATCWaypoint>" + nl;
}

// Position n of a synthetic plan: N n* 1' 2", E n* 3' 4".
std::string PositionOf(int n)
{
    return "N" + std::to_string(n) + "* 1' 2\",E" + std::to_string(n) + "* 3' 4\"";
}

std::string PlanOf(int count, const std::string &prefix)
{
    std::string text = "<?xml version=\"1.0\"?>\n";
    for (int i = 0; i < count; i++)
        text += Waypoint(prefix + std::to_string(i), PositionOf(i));
    return text;
}

void ExpectEntry(const PlanBlock &b, int i, const char *id, double latitude, double longitude,
                 const std::string &what)
{
    const PlanWaypoint &w = b.waypoints[i];
    EXPECT_STREQ(w.identifier, id) << what << ", entry " << i;
    EXPECT_EQ(Bits(w.latitude), Bits(latitude)) << what << ", entry " << i << ": " << Show(w.latitude);
    EXPECT_EQ(Bits(w.longitude), Bits(longitude)) << what << ", entry " << i << ": " << Show(w.longitude);
}

TEST(PlanScan, TriggerIsTheExactPhraseAnywhereInTheLine)
{
    struct Row {
        const char *line;
        int trigger;
    } rows[] = {
        {"<ATCWaypoint id=\"KSEA\">\n", 1},
        {"\t\t  <ATCWaypoint id=\"KSEA\">\n", 1},
        {"ATCWaypoint id", 1},
        {"AATCWaypoint id", 1},
        {"xx ATCWaypoint id", 1},
        {"ATCWaypoint i", 0},
        {"<atcwaypoint id=\"KSEA\">\n", 0},
        {"<ATCWaypoint ID=\"KSEA\">\n", 0},
        {"<ATCWaypointType>Airport</ATCWaypointType>\n", 0},
        {"<ATCWaypoint  id=\"KSEA\">\n", 0},
        {"", 0},
    };
    for (const Row &r : rows) {
        std::string copy = r.line;
        EXPECT_EQ(HasPlanTrigger(copy.data(), copy.size()), r.trigger) << "\"" << r.line << "\"";
    }
    std::string cut = "<ATCWaypoint id";
    EXPECT_EQ(HasPlanTrigger(cut.data(), cut.size() - 1), 0) << "the phrase must end within the length";
}

TEST(PlanScan, IdentifierStartsTwoAfterTheFirstEqualsAndLeavesOutTheLastTwo)
{
    struct Row {
        const char *line; // as it comes, line feed included where it has one
        const char *identifier;
    } rows[] = {
        {"<ATCWaypoint id=\"TANGO\">\n", "TANGO"},
        {"<ATCWaypoint id=\"ABCDEFG\">\n", "ABCDEFG"},
        {"<ATCWaypoint id=\"\">\n", ""},
        {"<ATCWaypoint id=\"ABC\"> \n", "ABC\""},
        {"<ATCWaypoint id=\"ABCDEFGH\">\n", "ABCDEFG"},
        {"<ATCWaypoint id=\"A VERY LONG NAME\">\n", "A VERY "},
        {"<ATCWaypoint id='SGL'>\n", "SGL"},
        {"<ATCWaypoint id = \"SPACED\">\n", "\"SPACED"},
        {"<ATCWaypoint id=\"A&quot;B\">\n", "A&quot;"},
        {"<ATCWaypoint a=\"1\" id=\"TANGO\">\n", "1\" id=\""},
        {"<ATCWaypoint id=\"KSEA\">", "KSE"}, // no line feed: the ">" goes instead
        {"<ATCWaypoint id>\n", ""},
        {"<ATCWaypoint id=\">\n", ""},
        {"<ATCWaypoint id=X>\n", ""},
        {"<ATCWaypoint id=\"\n", ""},
        {"<ATCWaypoint id=", ""},
    };
    for (const Row &r : rows) {
        std::string copy = r.line;
        char identifier[PLAN_IDENTIFIER_SIZE];
        memset(identifier, 'Z', sizeof identifier);
        size_t n = TakePlanIdentifier(copy.data(), copy.size() - 1, identifier);
        EXPECT_EQ(n, strlen(r.identifier)) << r.line;
        ASSERT_EQ(identifier[n], '\0') << r.line;
        EXPECT_STREQ(identifier, r.identifier) << r.line;
        for (size_t i = n + 1; i < sizeof identifier; i++)
            EXPECT_EQ(identifier[i], 'Z') << r.line << ": byte " << i << " behind the terminator was written";
    }
}

struct PositionRow {
    const char *what;
    std::string line; // as it comes, line feed included
    int read;
    double latitude, longitude;
};

TEST(PlanScan, PositionWalk)
{
    const std::string deg = "\xC2\xB0", ansi = "\xB0";
    const PositionRow rows[] = {
        {"worked example", workedPosition, 1, 48.12008333333333, -11.58025},
        {"FSX, UTF-8 degree signs",
         "\t\t\t<WorldPosition>N47" + deg + " 26' 31.92\",W122" + deg +
             " 18' 30.00\",+000433.00</WorldPosition>\n",
         1, Dms(47, 26, 31.92, 1), Dms(122, 18, 30.00, -1)},
        {"Windows-1252 degree signs",
         "<WorldPosition>S33" + ansi + " 23' 34.20\",W70" + ansi + " 47' 8.90\",+1</x>\n", 1,
         Dms(33, 23, 34.2, -1), Dms(70, 47, 8.9, -1)},
        {"east and north", "<P>N51* 28' 38.00\",E0* 27' 41.40\"\n", 1, Dms(51, 28, 38, 1),
         Dms(0, 27, 41.4, 1)},
        {"N048 and E 011", ">N048* 07' 12.30\",E 011* 34' 48.90\"\n", 1, Dms(48, 7, 12.3, 1),
         Dms(11, 34, 48.9, 1)},
        {"full stop in the degrees is dropped", ">N48.5* 0' 0\",E1* 0' 0\"\n", 1, 485.0, 1.0},
        {"lower-case s and w, minus, N and E keep the sign", ">-s48* 0' 0\",w-E11* 0' 0\"\n", 1, 48.0, 11.0},
        {"a capital S beside an N", ">NS48* 0' 0\",E11* 0' 0\"\n", 1, -48.0, 11.0},
        {"W only counts after the latitude", ">W48* 0' 0\",E11* 0' 0\"\n", 1, 48.0, 11.0},
        {"S only counts before the latitude's degree mark", ">N48* 0' 0\",S11* 0' 0\"\n", 1, 48.0, 11.0},
        {"seconds with a decimal comma", ">N48* 07' 12,30\",W011* 34' 48,90\"\n", 1, Dms(48, 7, 12, 1),
         Dms(11, 34, 48, -1)},
        {"empty minutes and seconds count as 0", ">N48*'\",W11*'\"\n", 1, 48.0, -11.0},
        {"blanks and exponents in minutes and seconds", "> N 48 *  7.5e0 '  1e1 \" , W 1 1 * 0 ' 0 \"\n", 1,
         Dms(48, 7.5, 10, 1), -11.0},
        {"first > opens the position", "<a>b>N48* 1' 2\",W3* 4' 5\"\n", 1, Dms(48, 1, 2, 1),
         Dms(3, 4, 5, -1)},
        {"degrees and decimal minutes, UTF-8",
         "<WorldPosition>S22" + deg + " 47.50',W45" + deg + " 12.29',+1761.00</WorldPosition>\n", 1,
         Dms(22, 47.5, 0, -1), Dms(45, 12.29, 0, -1)},
        {"decimal minutes with asterisks", ">N47* 26.53',W122* 18.5'\n", 1, Dms(47, 26.53, 0, 1),
         Dms(122, 18.5, 0, -1)},
        {"seconds latitude, decimal-minutes longitude", ">N48* 07' 12.30\",W011* 34.815'\n", 1,
         Dms(48, 7, 12.3, 1), Dms(11, 34.815, 0, -1)},
        {"a degree sign before the asterisk is no mark", ">N4" + ansi + "8* 07' 12.30\",W011* 34' 48.90\"\n",
         1, 48.12008333333333, -11.58025},
        {"where the line has asterisks, only they are marks",
         ">N48" + ansi + " 07' 12.30\",W011* 34' 48.90\"\n", 0, 0, 0},
        {"decimal-minutes latitude before a seconds longitude", ">S22* 47.50',W45* 12' 17.4\"\n", 0, 0, 0},
        {"no >", "N48* 07' 12.30\",W011* 34' 48.90\"\n", 0, 0, 0},
        {"no degree mark", "<WorldPosition>N48 07' 12.30\",W011 34' 48.90\"\n", 0, 0, 0},
        {"no longitude degree mark", ">N48* 07' 12.30\",W011 34' 48.90\"\n", 0, 0, 0},
        {"no apostrophe", ">N48* 07 12.30\",W011* 34 48.90\"\n", 0, 0, 0},
        {"no longitude", ">N48* 07' 12.30\"\n", 0, 0, 0},
        {"decimal-format position", "<WorldPosition>47.4422,-122.3083,+433</WorldPosition>\n", 0, 0, 0},
        {"the next line type", "<ATCWaypointType>Airport</ATCWaypointType>\n", 0, 0, 0},
        {"empty", "\n", 0, 0, 0},
        {"a NUL-cut line", "", 0, 0, 0},
        {"infinite minutes against infinite seconds", ">N1* 1e400' -1e400\",W1* -1e999' 1e999\"\n", 1,
         NotANumber(), NotANumber()},
        {"infinite seconds", ">S1* 0' 1e400\",W1* 0' -1e400\"\n", 1, -INFINITY, INFINITY},
    };
    for (const PositionRow &r : rows) {
        std::vector<char> copy(r.line.begin(), r.line.end());
        copy.push_back('\0'); // a real buffer for the empty line; not in the length
        size_t length = r.line.empty() ? 0 : r.line.size() - 1;
        double latitude = 1234.5, longitude = 1234.5;
        int read = ReadPlanPosition(copy.data(), length, &latitude, &longitude);
        EXPECT_EQ(read, r.read) << r.what;
        if (read && r.read) {
            EXPECT_EQ(Bits(latitude), Bits(r.latitude)) << r.what << ": latitude " << Show(latitude);
            EXPECT_EQ(Bits(longitude), Bits(r.longitude)) << r.what << ": longitude " << Show(longitude);
        } else if (!read) {
            EXPECT_EQ(latitude, 1234.5) << r.what << ": nothing is set when nothing is read";
            EXPECT_EQ(longitude, 1234.5) << r.what;
        }
    }
}

TEST(PlanScan, WalkNeverLeavesTheLength)
{
    // Every mark the walk could want lies beyond the length given.
    std::string text = std::string(">N48* 07' 12.30\",W011* 34' 48.90\"");
    const size_t cuts[] = {0, 1, 4, 5, 8, 9, 15, 16, 21, 22, 25};
    for (size_t cut : cuts) {
        double latitude = 7, longitude = 7;
        EXPECT_EQ(ReadPlanPosition(text.data(), cut, &latitude, &longitude), 0) << "length " << cut;
    }
    double latitude, longitude;
    EXPECT_EQ(ReadPlanPosition(text.data(), text.size(), &latitude, &longitude), 1);
}

TEST(PlanScan, WorkedExampleFillsOneEntryBitExact)
{
    std::string text = "<ATCWaypoint id=\"TANGO\">\nany text\n" + std::string(workedPosition);
    PlanBlock before = SentinelBlock();
    PlanBlock b = before;
    ScanText(text, &b);
    ASSERT_EQ(b.count, 1);
    EXPECT_EQ(b.active, before.active) << "active is not the reader's";
    ExpectEntry(b, 0, "TANGO", 48.12008333333333, -11.58025, "worked example");
    EXPECT_EQ(Hex(b.waypoints[0].identifier, 8), Hex("TANGO\0\xAD\xDE", 8))
        << "bytes behind the terminator stay";
    EXPECT_EQ(Hex(&b.waypoints[1], sizeof(PlanWaypoint) * 49),
              Hex(&before.waypoints[1], sizeof(PlanWaypoint) * 49));
}

TEST(PlanScan, ShorterPlanLeavesTheLaterEntriesAndIdentifierBytes)
{
    PlanBlock b = SentinelBlock();
    ScanText(PlanOf(5, "LONGID"), &b); // identifiers LONGID0 .. LONGID4
    ASSERT_EQ(b.count, 5);
    PlanBlock five = b;
    ScanText(PlanOf(3, "X"), &b);
    ASSERT_EQ(b.count, 3);
    for (int i = 0; i < 3; i++)
        ExpectEntry(b, i, ("X" + std::to_string(i)).c_str(), Dms(i, 1, 2, 1), Dms(i, 3, 4, 1), "3 after 5");
    EXPECT_EQ(Hex(b.waypoints[0].identifier, 8), Hex("X0\0GID0\0", 8))
        << "the earlier identifier's bytes stay";
    EXPECT_EQ(Hex(&b.waypoints[3], 2 * sizeof(PlanWaypoint)),
              Hex(&five.waypoints[3], 2 * sizeof(PlanWaypoint)))
        << "entries 3 and 4 keep the earlier plan's waypoints";
}

TEST(PlanScan, CrLfAndLfGiveTheSameBlock)
{
    std::string lf, crlf;
    const char *ids[] = {"KSEA", "SEA", "OLM", "KPDX"};
    for (int i = 0; i < 4; i++) {
        lf += Waypoint(ids[i], PositionOf(40 + i));
        crlf += Waypoint(ids[i], PositionOf(40 + i), "\r\n");
    }
    PlanBlock a = ScanFresh(lf), b = ScanFresh(crlf);
    EXPECT_EQ(a.count, 4);
    EXPECT_EQ(Hex(&a, sizeof a), Hex(&b, sizeof b));
    ExpectEntry(b, 3, "KPDX", Dms(43, 1, 2, 1), Dms(43, 3, 4, 1), "CR LF");
}

struct FileRow {
    const char *what;
    std::string text;
    int count;
    std::vector<const char *> identifiers;
};

TEST(PlanScan, FileEdgeCases)
{
    const std::string pos = "<WorldPosition>" + PositionOf(1) + "</WorldPosition>\n";
    const std::string trigger = "<ATCWaypoint id=\"ONE\">\n";
    const std::string two = "<ATCWaypoint id=\"TWO\">\n";
    const FileRow rows[] = {
        {"empty file", "", 0, {}},
        {"no trigger line", "<a>\n<b>\n" + pos, 0, {}},
        {"trigger phrase in another letter case", "<atcWaypoint Id=\"ONE\">\nx\n" + pos, 0, {}},
        {"trigger in the line after a trigger", trigger + two + pos, 1, {"ONE"}},
        {"trigger as the position line", trigger + "x\n" + two + "x\n" + pos, 0, {}},
        {"file ends after the trigger line", Waypoint("A", PositionOf(1)) + two, 1, {"A"}},
        {"file ends one line after the trigger", Waypoint("A", PositionOf(1)) + two + pos, 1, {"A"}},
        {"position line without marks drops only its waypoint",
         trigger + "x\n<WorldPosition>N47 26 31,W122 18 30</WorldPosition>\n" + Waypoint("B", PositionOf(2)),
         1,
         {"B"}},
        {"last position line without a line feed",
         trigger + "x\n" + pos.substr(0, pos.size() - 1),
         1,
         {"ONE"}},
        {"0x1A ends the file",
         Waypoint("A", PositionOf(1)) + "\x1A" + Waypoint("B", PositionOf(2)),
         1,
         {"A"}},
        {"0x1A within the position line",
         trigger + "x\n<P>N1* 2' \x1A"
                   "3\",E1* 2' 3\"\n",
         0,
         {}},
        {"no = in the trigger line", "<ATCWaypoint id>\nx\n" + pos, 1, {""}},
        {"nothing after the =", "<ATCWaypoint id=\n\nx\n" + pos, 0, {}},
        {"identifier of 9 characters", "<ATCWaypoint id=\"ABCDEFGHI\">\nx\n" + pos, 1, {"ABCDEFG"}},
        {"lone CR stays in the line", "<ATCWaypoint id=\"CR\">\r\r\nx\n" + pos, 1, {"CR\""}},
    };
    for (const FileRow &r : rows) {
        PlanBlock before = SentinelBlock();
        PlanBlock b = before;
        ScanText(r.text, &b);
        EXPECT_EQ(b.count, r.count) << r.what;
        for (size_t i = 0; i < r.identifiers.size() && (int)i < b.count; i++)
            EXPECT_STREQ(b.waypoints[i].identifier, r.identifiers[i]) << r.what;
        int from = b.count < 0 ? 0 : b.count;
        if (from <= PLAN_WAYPOINT_CAPACITY) {
            EXPECT_EQ(Hex(&b.waypoints[from], sizeof(PlanWaypoint) * (PLAN_WAYPOINT_CAPACITY - from)),
                      Hex(&before.waypoints[from], sizeof(PlanWaypoint) * (PLAN_WAYPOINT_CAPACITY - from)))
                << r.what << ": entries from count on were written";
        }
    }
}

TEST(PlanScan, MoreThanFiftyWaypointsStoreTheFirstFiftyAndStopReading)
{
    std::string text = PlanOf(60, "W");
    PlanBlock b = SentinelBlock();
    int handed = ScanText(text, &b);
    ASSERT_EQ(b.count, 50);
    for (int i = 0; i < 50; i++)
        ExpectEntry(b, i, ("W" + std::to_string(i)).c_str(), Dms(i, 1, 2, 1), Dms(i, 3, 4, 1),
                    "60 waypoints");
    // One header line, four lines per waypoint; reading ends with the 50th
    // waypoint's position line.
    EXPECT_EQ(handed, 1 + 49 * 4 + 3);
    // Dropped waypoints do not take a place among the 50.
    std::string gaps = "<x>\n";
    for (int i = 0; i < 60; i++)
        gaps += Waypoint("G" + std::to_string(i), i % 2 ? PositionOf(i) : std::string("no position"));
    b = ScanFresh(gaps);
    ASSERT_EQ(b.count, 30);
    ExpectEntry(b, 29, "G59", Dms(59, 1, 2, 1), Dms(59, 3, 4, 1), "every second waypoint dropped");
}

TEST(PlanScan, LongLinesComeIn255CharacterPieces)
{
    // The position line's marks begin in its second piece: the first piece
    // has the ">" but no degree mark, so the waypoint is dropped, and the
    // second piece (the rest of the line) is not a trigger.
    std::string padding(250, ' ');
    std::string text = "<ATCWaypoint id=\"LONG\">\nx\n<WorldPosition>" + padding + PositionOf(5) + "</W>\n" +
                       Waypoint("NEXT", PositionOf(6));
    PlanBlock b = ScanFresh(text);
    ASSERT_EQ(b.count, 1);
    ExpectEntry(b, 0, "NEXT", Dms(6, 1, 2, 1), Dms(6, 3, 4, 1), "after a long line");

    // A trigger phrase cut by the 255-character boundary is no trigger.
    std::string cut = std::string(250, ' ') + "<ATCWaypoint id=\"CUT\">\nx\n<P>" + PositionOf(1) + "\n";
    EXPECT_EQ(ScanFresh(cut).count, 0);

    // A trigger line of exactly 255 characters and its line feed: the
    // line feed comes as a line of its own, which is the unexamined line.
    std::string exact = "<ATCWaypoint id=\"" + std::string(236, 'Q') + "\">";
    ASSERT_EQ(exact.size(), 255u);
    PlanBlock e = ScanFresh(exact + "\n<P>" + PositionOf(3) + "\n");
    ASSERT_EQ(e.count, 1);
    ExpectEntry(e, 0, "QQQQQQQ", Dms(3, 1, 2, 1), Dms(3, 3, 4, 1), "255-character trigger line");
}

} // namespace
