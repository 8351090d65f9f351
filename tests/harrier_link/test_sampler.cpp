// The sampler through the stand-in host: the lookups of every tick, the
// published bytes as a reader maps them, and the section's odd cases.
#include <gtest/gtest.h>

#include <float.h>
#include <math.h>
#include <string.h>

#include "harrier_fixture.h"
#include "kestrel_host.h"
#include "sections.h"

namespace {

const int32_t lookupOrder[11] = {0x56, 0x47, 0x48, 0x49, 0x52, 0x227, 5, 7, 6, 4, 3};

uint64_t B(double d)
{
    uint64_t u;
    memcpy(&u, &d, 8);
    return u;
}

struct SampleRow {
    const char *name;
    uint64_t in[11]; // host values, in lookup order
    double altitude, latitude, longitude;
    uint64_t heading;
    double groundSpeed;
    uint64_t groundAltitude;
    int32_t hour, minute, second, clock2Hour, clock2Minute;
};

const double x = 0x1.a7fd0aee2a922p+16; // 108541.04269662921

const SampleRow rows[] = {
    {"altitude, position and speed at round values",
     {B(271.5), B(5000875), B(0x1p46), B(1000), B(123.25), B(100), B(59.5), B(42.0), B(12.999), B(30.7), B(23.0)},
     3280.839895013123, 45.0, 90.0, B(271.5), 59.248380129589634, B(123.25), 12, 42, 59, 23, 30},
    {"division first, negative values, zeros, denormal",
     {B(-0.0), B(1000001), B(-0x1p47), B(-12.5), B(1e-310), B(0.0), B(-0.5), B(-1.5), B(0.0), B(59.9), B(1e9 + 0.9)},
     -0x1.4815805601580p+5, 8.99843427400205, -180.0, B(-0.0), 0.0, B(1e-310), 0, -1, 0, 1000000000, 59},
    // Carried in 80-bit x87 registers, each of these three would come out
    // one unit in the last place off.
    {"double rounding would show, NaN payloads, clocks out of range",
     {0x7FF0000000000001ull, B(x), B(0x1.5p+45), B(x), 0xFFF8000000000123ull, B(x), B(NAN), B(INFINITY),
      B(-INFINITY), B(2147483648.0), B(-2147483648.9)},
     0x1.5bc2721eba191p+18, 0x1.f411d2210534fp-1, 59.0625, 0x7FF0000000000001ull, 0x1.f6699e806b983p+15,
     0xFFF8000000000123ull, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
    {"largest clocks that fit",
     {B(1), B(0), B(0), B(0), B(2), B(0), B(2147483647.99), B(-2147483648.99), B(-2147483648.0), B(-2147483649.0),
      B(1e300)},
     0.0, 0.0, 0.0, B(1), 0.0, B(2), -2147483647 - 1, -2147483647 - 1, 2147483647, INT32_MIN, INT32_MIN},
};

std::vector<unsigned char> Expected(const SampleRow &r)
{
    LinkBlock b;
    memset(&b, 0, sizeof b);
    b.altitude = r.altitude;
    b.latitude = r.latitude;
    b.longitude = r.longitude;
    memcpy(&b.heading, &r.heading, 8);
    b.groundSpeed = r.groundSpeed;
    memcpy(&b.groundAltitude, &r.groundAltitude, 8);
    b.hour = r.hour;
    b.minute = r.minute;
    b.second = r.second;
    b.clock2Hour = r.clock2Hour;
    b.clock2Minute = r.clock2Minute;
    b.clock2Second = r.second;
    const unsigned char *p = (const unsigned char *)&b;
    return std::vector<unsigned char>(p, p + sizeof b);
}

void Script(const SampleRow &r)
{
    for (int i = 0; i < 11; ++i)
        SetTokenBits(lookupOrder[i], r.in[i]);
}

// Pumps until `n` further lookups have been made; the tick that made the
// last of them has published by then.
bool AwaitLookups(size_t n)
{
    size_t target = lookups.size() + n;
    return PumpUntil([&] { return lookups.size() >= target; }, 3000);
}

// One tick's worth of calls after the first: the eleven lookups, then one
// view mapped, filled and unmapped.
std::vector<std::string> TickCalls()
{
    std::vector<std::string> t;
    for (int32_t id : lookupOrder) {
        char line[32];
        snprintf(line, sizeof line, "Lookup(0x%X)", (unsigned)id);
        t.push_back(line);
    }
    t.push_back("MapViewOfFile(section, 2, 0, 0, 0) = view");
    t.push_back("UnmapViewOfFile(view)");
    return t;
}

class HarrierSampler : public HarrierScenario {};

TEST_F(HarrierSampler, EveryTickLooksUpTheElevenTokensInOrderAndPublishesOnce)
{
    StartHarrier(&host);
    ASSERT_TRUE(AwaitLookups(44));
    ASSERT_EQ(lookups.size() % 11, 0u) << "a tick ended in the middle of its lookups";
    for (size_t i = 0; i < lookups.size(); ++i) {
        ASSERT_EQ(lookups[i].id, lookupOrder[i % 11]) << "lookup " << i;
        EXPECT_EQ(lookups[i].table, 'P');
        // The records are the module's own, in its image.
        EXPECT_GE((uintptr_t)lookups[i].record, host.imageStart);
        EXPECT_LT((uintptr_t)lookups[i].record, host.imageEnd);
    }
    for (const std::string &p : recordProblems)
        ADD_FAILURE() << p;

    // Everything the library called from the start of the sample ticks on.
    std::vector<std::string> calls = TracedCalls();
    size_t first = 0;
    while (first < calls.size() && calls[first].compare(0, 7, "Lookup(") != 0)
        ++first;
    std::vector<std::string> ticks(calls.begin() + first, calls.end());
    std::vector<std::string> expected;
    for (size_t i = 0; i < lookups.size() / 11; ++i) {
        std::vector<std::string> t = TickCalls();
        expected.insert(expected.end(), t.begin(), t.end());
    }
    EXPECT_EQ(ticks, expected) << "seen:\n" << Joined(ticks);
}

TEST_F(HarrierSampler, PublishesBitExactValuesWhateverTheX87Precision)
{
    StartHarrier(&host);
    unsigned original = _control87(0, 0) & _MCW_PC;
    const unsigned precisions[] = {_PC_53, _PC_64, _PC_24};
    for (const SampleRow &r : rows) {
        for (unsigned precision : precisions) {
            SCOPED_TRACE(std::string(r.name) + (precision == _PC_64 ? ", x87 at 64 bits" :
                                                precision == _PC_53 ? ", x87 at 53 bits" : ", x87 at 24 bits"));
            Script(r);
            _control87(precision, _MCW_PC);
            bool ticked = AwaitLookups(11);
            _control87(original, _MCW_PC);
            ASSERT_TRUE(ticked);
            // The precision was in force while the library ran.
            EXPECT_EQ(lookups.back().x87Precision, precision);
            std::vector<unsigned char> section = ReadSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
            ASSERT_EQ(section.size(), HARRIER_LINK_SIZE);
            std::vector<unsigned char> want = Expected(r);
            EXPECT_EQ(Hex(section.data(), 72), Hex(want.data(), 72));
            EXPECT_TRUE(AllZero(section, 72)) << "bytes 72-1023 were written";
        }
    }
    // A reader in another process sees the same.
    std::vector<unsigned char> want = Expected(rows[3]);
    std::vector<unsigned char> other = ReadSectionFromProcess(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    ASSERT_EQ(other.size(), HARRIER_LINK_SIZE);
    EXPECT_EQ(Hex(other.data(), 72), Hex(want.data(), 72));
    EXPECT_TRUE(AllZero(other, 72));
}

TEST_F(HarrierSampler, HeadingAndGroundAltitudeFollowTheHostExactly)
{
    StartHarrier(&host);
    double heading = 359.9999999999999, ground = -417.30000000000001;
    for (int step = 0; step < 3; ++step) {
        SetTokenValue(0x56, heading);
        SetTokenValue(0x52, ground);
        ASSERT_TRUE(AwaitLookups(11));
        std::vector<unsigned char> s = ReadSection(HARRIER_LINK_NAME, 72);
        ASSERT_EQ(s.size(), 72u);
        LinkBlock b;
        memcpy(&b, s.data(), sizeof b);
        EXPECT_EQ(B(b.heading), B(heading));
        EXPECT_EQ(B(b.groundAltitude), B(ground));
        EXPECT_EQ(b.second, b.clock2Second);
        heading = nextafter(heading, 0) - 0.125;
        ground = ground * 3 + 1e-9;
    }
}

TEST_F(HarrierSampler, AReaderThatCreatedTheSectionFirstGetsTheData)
{
    HANDLE reader = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, HARRIER_LINK_NAME);
    ASSERT_NE(reader, nullptr);
    held.push_back(reader);
    Scribble(HARRIER_LINK_NAME, 4096);
    Script(rows[0]);
    StartHarrier(&host);
    ASSERT_TRUE(AwaitLookups(11));
    std::vector<unsigned char> s = ReadSection(HARRIER_LINK_NAME, 4096);
    ASSERT_EQ(s.size(), 4096u);
    std::vector<unsigned char> want = Expected(rows[0]);
    EXPECT_EQ(Hex(s.data(), 72), Hex(want.data(), 72));
    EXPECT_TRUE(AllSentinel(std::vector<unsigned char>(s.begin() + 72, s.end()))) << "bytes past the record are the reader's";

    // After LinkDeinit the reader still holds the section, and nothing is
    // published into it any more.
    StopHarrier(&host);
    Scribble(HARRIER_LINK_NAME, 4096);
    PumpFor(350);
    EXPECT_TRUE(AllSentinel(ReadSection(HARRIER_LINK_NAME, 4096)));
}

TEST_F(HarrierSampler, WithoutASectionEveryTickStillLooksUpAndNothingIsPublished)
{
    HANDLE blocker = CreateEventA(nullptr, TRUE, FALSE, HARRIER_LINK_NAME);
    ASSERT_NE(blocker, nullptr);
    held.push_back(blocker);
    StartHarrier(&host);
    ASSERT_TRUE(AwaitLookups(33));
    EXPECT_EQ(Keep(TracedCalls(), {"CreateFileMappingA"}),
              std::vector<std::string>{"CreateFileMappingA(-1, 0, 4, 0, 1024, \"HARRIER_Link\") = 0"});
    std::vector<std::string> calls = Drop(TracedCalls(), {"CreateFileMappingA", "SetTimer"});
    std::vector<std::string> expected;
    for (int t = 0; t < 3; ++t)
        for (int32_t id : lookupOrder) {
            char line[32];
            snprintf(line, sizeof line, "Lookup(0x%X)", (unsigned)id);
            expected.push_back(line);
        }
    EXPECT_EQ(calls, expected) << "seen:\n" << Joined(calls);
    ClearTrace();
    StopHarrier(&host); // returns normally
    EXPECT_EQ(Keep(TracedCalls(), {"KillTimer(0, sampleTimer)", "CloseHandle"}),
              (std::vector<std::string>{"KillTimer(0, sampleTimer) = 1", "CloseHandle(0)"}));
}

TEST_F(HarrierSampler, AViewThatCannotBeOpenedSkipsThatTickOnly)
{
    Script(rows[1]);
    StartHarrier(&host);
    ASSERT_TRUE(AwaitLookups(11));
    Scribble(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    importFaults.mapViewOfFile = true;
    ClearTrace();
    ASSERT_TRUE(AwaitLookups(22));
    EXPECT_TRUE(AllSentinel(ReadSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE)));
    EXPECT_EQ(Keep(TracedCalls(), {"MapViewOfFile", "UnmapViewOfFile"}),
              (std::vector<std::string>{"MapViewOfFile(section, 2, 0, 0, 0) = 0", "MapViewOfFile(section, 2, 0, 0, 0) = 0"}));
    importFaults.mapViewOfFile = false;
    ASSERT_TRUE(AwaitLookups(11));
    std::vector<unsigned char> want = Expected(rows[1]);
    EXPECT_EQ(Hex(ReadSection(HARRIER_LINK_NAME, 72).data(), 72), Hex(want.data(), 72));
}

TEST_F(HarrierSampler, NoServicesTableYetMeansNoCallsAndNoPublication)
{
    StartHarrier(&host, nullptr);
    Scribble(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    ASSERT_TRUE(PumpUntil([] { return SampleTicks() >= 3; }, 3000));
    EXPECT_TRUE(lookups.empty());
    EXPECT_TRUE(AllSentinel(ReadSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE))) << "a tick published stale values";
    // A table without entry 40 is no better.
    host.importTable[1] = (uint32_t)(uintptr_t)emptyServices;
    int ticks = SampleTicks();
    ASSERT_TRUE(PumpUntil([&] { return SampleTicks() >= ticks + 2; }, 3000));
    EXPECT_TRUE(AllSentinel(ReadSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE)));
    EXPECT_EQ(Keep(TracedCalls(), {"MapViewOfFile"}), std::vector<std::string>{});

    // Once the host fills it in, the next tick samples and publishes.
    Script(rows[0]);
    host.importTable[1] = (uint32_t)(uintptr_t)primaryServices;
    ASSERT_TRUE(AwaitLookups(11));
    std::vector<unsigned char> want = Expected(rows[0]);
    EXPECT_EQ(Hex(ReadSection(HARRIER_LINK_NAME, 72).data(), 72), Hex(want.data(), 72));
}

TEST_F(HarrierSampler, TheTableIsReadAfreshForEveryLookup)
{
    Script(rows[0]);
    StartHarrier(&host);
    ASSERT_TRUE(AwaitLookups(11));
    // Move the host's table after the third lookup of a tick.
    size_t base = lookups.size();
    afterLookup = [&](size_t n) {
        if (n == base + 3)
            host.importTable[1] = (uint32_t)(uintptr_t)secondaryServices;
    };
    ASSERT_TRUE(AwaitLookups(22));
    std::string tables;
    for (size_t i = base; i < base + 22; ++i)
        tables += lookups[i].table;
    EXPECT_EQ(tables, "PPPSSSSSSSSSSSSSSSSSSS");

    // Withdrawn in the middle of a tick: the rest of that tick makes no
    // call and publishes nothing; the tick after samples again.
    Script(rows[1]);
    Scribble(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    base = lookups.size();
    afterLookup = [&](size_t n) {
        if (n == base + 5)
            host.importTable[1] = 0;
    };
    ASSERT_TRUE(AwaitLookups(5));
    int ticks = SampleTicks();
    ASSERT_TRUE(PumpUntil([&] { return SampleTicks() >= ticks + 2; }, 3000));
    EXPECT_EQ(lookups.size(), base + 5);
    EXPECT_TRUE(AllSentinel(ReadSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE))) << "an incomplete tick published";
    afterLookup = nullptr;
    host.importTable[1] = (uint32_t)(uintptr_t)primaryServices;
    ASSERT_TRUE(AwaitLookups(11));
    std::vector<unsigned char> want = Expected(rows[1]);
    EXPECT_EQ(Hex(ReadSection(HARRIER_LINK_NAME, 72).data(), 72), Hex(want.data(), 72));
    for (const std::string &p : recordProblems)
        ADD_FAILURE() << p;
}

TEST_F(HarrierSampler, TicksStopAtLinkDeinit)
{
    StartHarrier(&host);
    ASSERT_TRUE(AwaitLookups(22));
    StopHarrier(&host);
    size_t made = lookups.size();
    int ticks = SampleTicks();
    ClearTrace();
    PumpFor(450);
    EXPECT_EQ(lookups.size(), made);
    EXPECT_EQ(SampleTicks(), ticks);
    EXPECT_EQ(TracedCalls(), std::vector<std::string>{}) << Joined(TracedCalls());
}

} // namespace
