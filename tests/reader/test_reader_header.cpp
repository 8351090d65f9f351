// common/sections.h as every reader compiles it: C11, C99 and C++11 units
// built without <windows.h> must all lay the records out as published.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "layout.h"
#include "sections.h"

namespace {

// The published layout, field by field (width 0 marks a record's size).
const FieldLayout published[] = {
    {"StateBlock", "altitude", 0, 8},      {"StateBlock", "latitude", 8, 8},
    {"StateBlock", "longitude", 16, 8},    {"StateBlock", "heading", 24, 8},
    {"StateBlock", "groundSpeed", 32, 8},  {"StateBlock", "groundAltitude", 40, 8},
    {"StateBlock", "hour", 48, 4},         {"StateBlock", "minute", 52, 4},
    {"StateBlock", "second", 56, 4},       {"StateBlock", "reserved", 60, 4},
    {"StateBlock", "(size)", 64, 0},       {"PlanWaypoint", "latitude", 0, 8},
    {"PlanWaypoint", "longitude", 8, 8},   {"PlanWaypoint", "identifier", 16, 8},
    {"PlanWaypoint", "(size)", 24, 0},     {"PlanBlock", "active", 0, 4},
    {"PlanBlock", "count", 4, 4},          {"PlanBlock", "waypoints", 8, 1200},
    {"PlanBlock", "(size)", 1208, 0},      {"LinkBlock", "altitude", 0, 8},
    {"LinkBlock", "latitude", 8, 8},       {"LinkBlock", "longitude", 16, 8},
    {"LinkBlock", "heading", 24, 8},       {"LinkBlock", "groundSpeed", 32, 8},
    {"LinkBlock", "groundAltitude", 40, 8}, {"LinkBlock", "hour", 48, 4},
    {"LinkBlock", "minute", 52, 4},        {"LinkBlock", "second", 56, 4},
    {"LinkBlock", "clock2Hour", 60, 4},    {"LinkBlock", "clock2Minute", 64, 4},
    {"LinkBlock", "clock2Second", 68, 4},  {"LinkBlock", "(size)", 72, 0},
};

const SectionLayout publishedSections[] = {
    {"KESTREL_DATA", 1024, 64},
    {"KESTREL_PLAN", 1208, 1208},
    {"HARRIER_Link", 1024, 72},
};

struct Unit {
    const char *language;
    ReaderLayout (*layout)(void);
};

const Unit units[] = {
    {"C11", LayoutFromC11},
    {"C99", LayoutFromC99},
    {"C++11", LayoutFromCpp11},
};

std::string Row(const FieldLayout &f)
{
    return std::string(f.record) + "." + f.field + " at " + std::to_string(f.offset) + " width " +
           std::to_string(f.width);
}

TEST(ReaderHeader, EveryLanguageLaysOutEveryFieldAsPublished)
{
    const size_t n = sizeof published / sizeof published[0];
    for (const Unit &unit : units) {
        ReaderLayout layout = unit.layout();
        ASSERT_EQ(layout.fieldCount, n) << unit.language;
        for (size_t i = 0; i < n; ++i) {
            const FieldLayout &seen = layout.fields[i];
            EXPECT_TRUE(strcmp(seen.record, published[i].record) == 0 &&
                        strcmp(seen.field, published[i].field) == 0 && seen.offset == published[i].offset &&
                        seen.width == published[i].width)
                << unit.language << " row " << i << ": expected " << Row(published[i]) << ", compiled "
                << Row(seen);
        }
    }
}

TEST(ReaderHeader, EveryLanguageSeesTheSectionNamesAndSizes)
{
    for (const Unit &unit : units) {
        ReaderLayout layout = unit.layout();
        ASSERT_EQ(layout.sectionCount, 3u) << unit.language;
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_STREQ(layout.sections[i].name, publishedSections[i].name) << unit.language;
            EXPECT_EQ(layout.sections[i].size, publishedSections[i].size)
                << unit.language << " " << publishedSections[i].name;
            EXPECT_EQ(layout.sections[i].recordSize, publishedSections[i].recordSize)
                << unit.language << " " << publishedSections[i].name;
        }
        EXPECT_EQ(layout.waypointCapacity, 50u) << unit.language;
        EXPECT_EQ(layout.identifierSize, 8u) << unit.language;
    }
}

// The bytes themselves: little-endian IEEE doubles and two's-complement
// int32, exactly where a reader in any language looks for them.
TEST(ReaderHeader, FieldsAreLittleEndianDoublesAndInt32)
{
    StateBlock s;
    memset(&s, 0, sizeof s);
    s.altitude = 1.0;
    s.longitude = -2.5;
    s.hour = -2;
    s.second = 0x01020304;
    const unsigned char *b = (const unsigned char *)&s;
    const unsigned char one[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    const unsigned char minusTwoAndHalf[8] = {0, 0, 0, 0, 0, 0, 0x04, 0xC0};
    const unsigned char minusTwo[4] = {0xFE, 0xFF, 0xFF, 0xFF};
    const unsigned char counting[4] = {4, 3, 2, 1};
    EXPECT_EQ(memcmp(b + 0, one, 8), 0);
    EXPECT_EQ(memcmp(b + 16, minusTwoAndHalf, 8), 0);
    EXPECT_EQ(memcmp(b + 48, minusTwo, 4), 0);
    EXPECT_EQ(memcmp(b + 56, counting, 4), 0);
}

} // namespace
