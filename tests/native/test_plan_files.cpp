// The plan fixtures, read as the DLL reads files, must give exactly the
// waypoints in plan_fixtures.h; the Wine tests check the same table through
// the built DLL.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "plan_fixtures.h"
#include "scan_text.h"
#include "test_bytes.h"

namespace
{

std::string ReadFixture(const char *name)
{
    std::string path = std::string(PLAN_FIXTURE_DIR) + "/" + name;
    std::string bytes;
    FILE *f = fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr) << path;
    if (f == nullptr)
        return bytes;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.append(chunk, got);
    fclose(f);
    return bytes;
}

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

TEST(PlanFiles, EveryFixtureGivesItsWaypointsBitForBit)
{
    for (const PlanFixture &f : planFixtures) {
        std::string text = ReadFixture(f.file);
        ASSERT_FALSE(text.empty()) << f.file;
        PlanBlock b = ScanFresh(text);
        ASSERT_EQ(b.count, f.count) << f.file;
        for (int i = 0; i < f.count; i++) {
            const PlanWaypoint &w = b.waypoints[i];
            const FixtureWaypoint &e = f.waypoints[i];
            EXPECT_STREQ(w.identifier, e.identifier) << f.file << " entry " << i;
            EXPECT_EQ(Bits(w.latitude), Bits(e.latitude))
                << f.file << " entry " << i << " latitude " << w.latitude;
            EXPECT_EQ(Bits(w.longitude), Bits(e.longitude))
                << f.file << " entry " << i << " longitude " << w.longitude;
        }
    }
}

TEST(PlanFiles, LineBreaksDoNotChangeTheBlock)
{
    for (const PlanFixture &f : planFixtures) {
        std::string text = ReadFixture(f.file);
        std::string lf = Replace(text, "\r\n", "\n");
        std::string crlf = Replace(lf, "\n", "\r\n");
        PlanBlock a = ScanFresh(text), b = ScanFresh(lf), c = ScanFresh(crlf);
        EXPECT_EQ(memcmp(&a, &b, sizeof a), 0) << f.file << ": LF version differs";
        EXPECT_EQ(memcmp(&a, &c, sizeof a), 0) << f.file << ": CR LF version differs";
    }
}

TEST(PlanFiles, FixturesAreWhatTheyClaimToBe)
{
    // The realistic files keep their own encodings and line breaks.
    std::string fsx = ReadFixture("fsx_ksea_kpdx.pln");
    EXPECT_EQ(fsx.substr(0, 3), "\xEF\xBB\xBF") << "UTF-8 byte-order mark";
    EXPECT_NE(fsx.find("\xC2\xB0"), std::string::npos);
    EXPECT_NE(fsx.find("\r\n"), std::string::npos);
    std::string ansi = ReadFixture("scel_saez_ansi.pln");
    EXPECT_EQ(ansi.find("\xC2\xB0"), std::string::npos);
    EXPECT_NE(ansi.find("S33\xB0 23'"), std::string::npos);
    EXPECT_EQ(ansi.find('\r'), std::string::npos);
    std::string route = ReadFixture("route_64.pln");
    size_t triggers = 0;
    for (size_t at = 0; (at = route.find("ATCWaypoint id", at)) != std::string::npos; at++)
        triggers++;
    EXPECT_EQ(triggers, 64u);
}

} // namespace
