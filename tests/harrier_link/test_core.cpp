// The portable core on its own: the conversions, the clock truncation and
// the menu-text formatting. No platform headers, so this also builds
// natively (sanitizers).
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <string.h>

#include "menu_text.h"
#include "token_variable.h"

namespace {

struct TruncRow {
    double in;
    int32_t out;
};

const TruncRow truncRows[] = {
    {59.9, 59},
    {59.5, 59},
    {12.999, 12},
    {-0.5, 0},
    {-0.0, 0},
    {-1.5, -1},
    {0.0, 0},
    {2147483647.0, 2147483647},
    {2147483647.999, 2147483647},
    {2147483648.0, INT32_MIN},
    {-2147483648.0, INT32_MIN},
    {-2147483648.999, INT32_MIN},
    {-2147483649.0, INT32_MIN},
    {1e300, INT32_MIN},
    {-1e300, INT32_MIN},
    {INFINITY, INT32_MIN},
    {-INFINITY, INT32_MIN},
    {NAN, INT32_MIN},
    {4.9e-324, 0},
};

TEST(HarrierCore, ClockValuesTruncateTowardZeroAndOutOfRangeGivesInt32Min)
{
    for (const TruncRow &r : truncRows)
        EXPECT_EQ(TruncateClockValue(r.in), r.out) << "value " << r.in;
}

void Put(TokenVariable *record, int32_t id, double value)
{
    memset(record, 0xA5, sizeof *record);
    record->id = id;
    memcpy(record->value, &value, 8);
}

TEST(HarrierCore, FillLinkBlockRewritesEveryFieldFromTheRecordsInLookupOrder)
{
    const int32_t ids[TOKEN_COUNT] = {0x56, 0x47, 0x48, 0x49, 0x52, 0x227, 5, 7, 6, 4, 3};
    const double values[TOKEN_COUNT] = {271.5, 5000875, 0x1p46, 1000, 123.25, 100, 59.5, 42.0, 12.999, 30.7, 23.0};
    TokenVariable records[TOKEN_COUNT];
    for (int i = 0; i < TOKEN_COUNT; ++i)
        Put(&records[i], ids[i], values[i]);
    LinkBlock block;
    memset(&block, 0xEE, sizeof block);
    FillLinkBlock(records, &block);
    EXPECT_EQ(block.altitude, 3280.839895013123);
    EXPECT_EQ(block.latitude, 45.0);
    EXPECT_EQ(block.longitude, 90.0);
    EXPECT_EQ(block.heading, 271.5);
    EXPECT_EQ(block.groundSpeed, 59.248380129589634);
    EXPECT_EQ(block.groundAltitude, 123.25);
    EXPECT_EQ(block.hour, 12);
    EXPECT_EQ(block.minute, 42);
    EXPECT_EQ(block.second, 59);
    EXPECT_EQ(block.clock2Hour, 23);
    EXPECT_EQ(block.clock2Minute, 30);
    EXPECT_EQ(block.clock2Second, 59);

    // The records are only read.
    for (int i = 0; i < TOKEN_COUNT; ++i) {
        EXPECT_EQ(records[i].hostHead[3], 0xA5);
        EXPECT_EQ(records[i].hostTail[7], 0xA5);
    }
    // Division before multiplication shows in the last digit.
    Put(&records[1], 0x47, 1000001);
    FillLinkBlock(records, &block);
    EXPECT_EQ(block.latitude, 8.99843427400205);
    EXPECT_NE(block.latitude, 8.998434274002049);
}

struct Bounded {
    char text[MENU_TEXT_SIZE];
    unsigned char after[16];
};

TEST(HarrierCore, MenuTextsAreCopiedAndCutAtTheBuffersEnd)
{
    Bounded b;
    memset(&b, 0x5A, sizeof b);
    FormatMenuText(b.text, "&Modules");
    EXPECT_STREQ(b.text, "&Modules");
    FormatMenuText(b.text, "HARRIER");
    EXPECT_STREQ(b.text, "HARRIER");

    std::string longText(400, 'x');
    FormatMenuText(b.text, "%s", longText.c_str());
    EXPECT_EQ(strlen(b.text), (size_t)MENU_TEXT_SIZE - 1);
    for (unsigned char c : b.after)
        EXPECT_EQ(c, 0x5A) << "written past the buffer";
}

} // namespace
