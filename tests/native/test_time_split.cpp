// Splitting the simulator's local time of day into hour, minute, second.
#include <gtest/gtest.h>

#include <math.h>

#include "time_split.h"

namespace
{

TEST(TimeSplit, SplitsSecondsIntoInt32Fields)
{
    struct Row {
        double seconds;
        int hour, minute, second;
    } rows[] = {
        {0.0, 0, 0, 0},         {59.999, 0, 0, 59},    {60.0, 0, 1, 0},     {3599.5, 0, 59, 59},
        {45296.75, 12, 34, 56}, {86399.9, 23, 59, 59}, {86400.0, 24, 0, 0}, {90061.0, 25, 1, 1},
        {-1.0, -1, 59, 59},     {-0.5, -1, 59, 59},    {-3600.0, -1, 0, 0}, {1e-300, 0, 0, 0},
    };
    for (const Row &r : rows) {
        TimeOfDay t = {-7, -7, -7};
        ASSERT_EQ(SplitLocalTime(r.seconds, &t), 1) << r.seconds;
        EXPECT_EQ(t.hour, r.hour) << r.seconds;
        EXPECT_EQ(t.minute, r.minute) << r.seconds;
        EXPECT_EQ(t.second, r.second) << r.seconds;
    }
}

TEST(TimeSplit, RefusesTimesThatFitNoInt32AndLeavesTheFieldsAlone)
{
    const double rows[] = {NAN, INFINITY, -INFINITY, 1e300, -1e300, 596524.0 * 3600.0 + 3600.0};
    for (double s : rows) {
        TimeOfDay t = {-7, -7, -7};
        EXPECT_EQ(SplitLocalTime(s, &t), 0) << s;
        EXPECT_EQ(t.hour, -7) << s;
        EXPECT_EQ(t.minute, -7) << s;
        EXPECT_EQ(t.second, -7) << s;
    }
    TimeOfDay t;
    EXPECT_EQ(SplitLocalTime(596523.0 * 3600.0, &t), 1) << "the largest hour that still fits";
    EXPECT_EQ(t.hour, 596523);
}

} // namespace
