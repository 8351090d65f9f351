// The monitor's portable core on its own: bounded text, JSON and terminal
// escaping, change rates on a clock the test drives, size checks and the
// command line. Built for Windows and natively.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "change_tracker.h"
#include "format_json.h"
#include "format_text.h"
#include "options.h"
#include "report.h"
#include "text_buffer.h"
#include "watched_sections.h"

namespace {

std::string Json(void (*append)(TextBuffer *, const char *, size_t), const char *bytes, size_t n)
{
    char storage[256];
    TextBuffer b;
    InitTextBuffer(&b, storage, sizeof storage);
    append(&b, bytes, n);
    return std::string(b.text, b.length);
}

TEST(MonitorCore, TextBufferNeverWritesPastItsEnd)
{
    char storage[16];
    memset(storage, 0x5A, sizeof storage);
    TextBuffer b;
    InitTextBuffer(&b, storage, 8);
    AppendText(&b, "abc");
    AppendFormat(&b, "%d", 12);
    EXPECT_STREQ(b.text, "abc12");
    EXPECT_FALSE(b.truncated);
    AppendFormat(&b, "%s", "XYZW");
    EXPECT_STREQ(b.text, "abc12XY");
    EXPECT_TRUE(b.truncated);
    AppendBytes(&b, "more", 4);
    AppendText(&b, "and more");
    EXPECT_EQ(b.length, 7u);
    for (size_t i = 8; i < sizeof storage; ++i)
        EXPECT_EQ(storage[i], 0x5A) << "byte " << i << " past the buffer was written";
}

TEST(MonitorCore, JsonStringsEscapeEveryByteThatNeedsIt)
{
    struct Case {
        const char *bytes;
        size_t n;
        const char *json;
    } cases[] = {
        {"KSEA", 4, "\"KSEA\""},
        {"", 0, "\"\""},
        {"a\"b", 3, "\"a\\\"b\""},
        {"a\\b", 3, "\"a\\\\b\""},
        {"/", 1, "\"/\""},
        {"\x00\x01\x1f", 3, "\"\\u0000\\u0001\\u001f\""},
        {"\x7f\x80\xb0\xff", 4, "\"\\u007f\\u0080\\u00b0\\u00ff\""},
        {"\n\r\t", 3, "\"\\u000a\\u000d\\u0009\""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Json(AppendJsonBytesAsString, c.bytes, c.n), c.json) << c.json;
}

TEST(MonitorCore, TerminalTextShowsOnlyPrintableAscii)
{
    struct Case {
        const char *bytes;
        size_t n;
        const char *text;
    } cases[] = {
        {"KSEA", 4, "KSEA"},
        {"a\\b", 3, "a\\\\b"},
        {"a\"b'", 4, "a\"b'"},
        {"\x1b[2J", 4, "\\x1B[2J"},
        {"\x00\x7f\xb0\xff", 4, "\\x00\\x7F\\xB0\\xFF"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Json(AppendSafeBytes, c.bytes, c.n), c.text) << c.text;
}

TEST(MonitorCore, JsonNumbersReadBackExactlyAndNeverAsNaN)
{
    struct Case {
        double value;
        const char *json;
    } cases[] = {
        {0.1, "0.10000000000000001"},
        {-11.58025, "-11.580249999999999"},
        {48.12008333333333, "48.120083333333334"},
        {3280.839895013123, "3280.8398950131232"},
        {-0.0, "-0"},
        {1e300, "1.0000000000000001e+300"},
        {NAN, "null"},
        {INFINITY, "null"},
        {-INFINITY, "null"},
    };
    for (const Case &c : cases) {
        char storage[64];
        TextBuffer b;
        InitTextBuffer(&b, storage, sizeof storage);
        AppendJsonNumber(&b, c.value);
        EXPECT_STREQ(b.text, c.json);
        if (isfinite(c.value)) {
            EXPECT_EQ(strtod(b.text, nullptr), c.value) << c.json;
        }
    }
}

TEST(MonitorCore, ChangesAreCountedFromTheFirstDifferenceAfterAppearing)
{
    static ChangeTracker t; // large; zero as a fresh monitor's
    unsigned char a[64] = {1};
    unsigned char b[64] = {2};
    EXPECT_EQ(ChangesPerSecond(&t, 0), 0.0);
    TrackRecord(&t, a, sizeof a, 100);
    EXPECT_EQ(t.changes, 0u) << "appearing is no change";
    EXPECT_EQ(MillisecondsSinceChange(&t, 350), 250.0) << "age since it appeared";
    TrackRecord(&t, a, sizeof a, 200);
    EXPECT_EQ(t.changes, 0u);
    // A change every 50 ms from 300 ms to 2250 ms: 40 changes, 20 a second.
    for (int i = 0; i < 40; ++i)
        TrackRecord(&t, (i % 2) ? a : b, sizeof a, 300 + 50 * i);
    EXPECT_EQ(t.changes, 40u);
    EXPECT_DOUBLE_EQ(ChangesPerSecond(&t, 2250), 20.0);
    EXPECT_EQ(MillisecondsSinceChange(&t, 2300), 50.0);
    // Quiet from then on: the rate falls to 0 within a second.
    EXPECT_DOUBLE_EQ(ChangesPerSecond(&t, 2750), 10.0);
    EXPECT_EQ(ChangesPerSecond(&t, 3300), 0.0);
    EXPECT_EQ(MillisecondsSinceChange(&t, 5250), 3000.0);
    // Gone and back: counting starts again.
    TrackAbsence(&t);
    EXPECT_EQ(ChangesPerSecond(&t, 5300), 0.0);
    TrackRecord(&t, b, sizeof b, 6000);
    EXPECT_EQ(t.changes, 0u);
    TrackRecord(&t, a, sizeof a, 6100);
    EXPECT_EQ(t.changes, 1u);
    EXPECT_DOUBLE_EQ(ChangesPerSecond(&t, 6100), 10.0) << "one change in the 100 ms watched so far";
}

TEST(MonitorCore, MoreChangesThanTheRingHoldsStillGiveARate)
{
    static ChangeTracker t;
    unsigned char r[8] = {0};
    TrackRecord(&t, r, sizeof r, 0);
    for (int i = 1; i <= 1000; ++i) {
        r[0] = (unsigned char)i;
        r[1] = (unsigned char)(i >> 8);
        TrackRecord(&t, r, sizeof r, 10.0 * i);
    }
    EXPECT_EQ(t.changes, 1000u);
    EXPECT_DOUBLE_EQ(ChangesPerSecond(&t, 10000), 100.0);
}

TEST(MonitorCore, StaleMeansAContinuousSectionQuietForASecond)
{
    static ChangeTracker t;
    SectionSample sample;
    memset(&sample, 0, sizeof sample);
    sample.status = StatusRead;
    unsigned char r[72] = {0};
    TrackRecord(&t, r, sizeof r, 0);
    SectionReport data, plan;
    FillSectionReport(&data, &watchedSections[WatchData], &sample, &t, 999);
    EXPECT_FALSE(IsStale(&data));
    FillSectionReport(&data, &watchedSections[WatchData], &sample, &t, 1000);
    EXPECT_TRUE(IsStale(&data));
    FillSectionReport(&plan, &watchedSections[WatchPlan], &sample, &t, 60000);
    EXPECT_FALSE(IsStale(&plan)) << "a plan that stands still is no sign of trouble";
}

TEST(MonitorCore, ReadableBytesNeverReachPastTheSectionOrTheView)
{
    struct Case {
        uint64_t section;
        int known;
        uint64_t view;
        uint64_t readable;
    } cases[] = {
        {32, 1, 4096, 32}, {1024, 1, 4096, 1024}, {4096, 1, 4096, 4096},
        {8192, 1, 4096, 4096}, {0, 0, 4096, 4096}, {1208, 1, 0, 0},
    };
    for (const Case &c : cases) {
        SectionSample s;
        memset(&s, 0, sizeof s);
        s.sectionSize = c.section;
        s.sectionSizeKnown = c.known;
        s.viewSize = c.view;
        EXPECT_EQ(ReadableBytes(&s), c.readable) << c.section << "/" << c.known << "/" << c.view;
    }
}

TEST(MonitorCore, SettledCopyTakesTheRecordAsItIs)
{
    unsigned char view[64];
    for (int i = 0; i < 64; ++i)
        view[i] = (unsigned char)(i * 7);
    unsigned char out[RECORD_BYTES_MAX + 8];
    memset(out, 0xEE, sizeof out);
    EXPECT_EQ(CopyRecordSettled(out, view, sizeof view), 1);
    EXPECT_EQ(memcmp(out, view, sizeof view), 0);
    EXPECT_EQ(out[64], 0xEE) << "copied past the record";
}

TEST(MonitorCore, StatusMessagesSayWhatIsWrong)
{
    struct Case {
        int section;
        SectionStatus status;
        uint32_t error;
        uint64_t size;
        const char *message;
    } cases[] = {
        {WatchData, StatusMissing, 2, 0, "KESTREL_DATA not found: is the simulator running with kestrel loaded?"},
        {WatchPlan, StatusMissing, 2, 0, "KESTREL_PLAN not found: is the simulator running with kestrel loaded?"},
        {WatchLink, StatusMissing, 2, 0,
         "HARRIER_Link not found: is the simulator running with harrier_link loaded?"},
        {WatchData, StatusUnopenable, 6, 0,
         "KESTREL_DATA cannot be opened (error 6): the name belongs to an object that is not a section"},
        {WatchLink, StatusUnopenable, 5, 0, "HARRIER_Link cannot be opened (error 5): access denied"},
        {WatchPlan, StatusUnopenable, 1450, 0, "KESTREL_PLAN cannot be opened (error 1450)"},
        {WatchPlan, StatusUnmappable, 8, 0, "KESTREL_PLAN cannot be mapped for reading (error 8)"},
        {WatchLink, StatusTooSmall, 0, 40, "HARRIER_Link holds 40 bytes, fewer than its 72-byte LinkBlock: not read"},
    };
    for (const Case &c : cases) {
        SectionSample s;
        memset(&s, 0, sizeof s);
        s.status = c.status;
        s.error = c.error;
        s.sectionSize = c.size;
        s.sectionSizeKnown = 1;
        s.viewSize = 4096;
        char storage[256];
        TextBuffer b;
        InitTextBuffer(&b, storage, sizeof storage);
        AppendStatusMessage(&b, &watchedSections[c.section], &s);
        EXPECT_STREQ(b.text, c.message);
    }
}

TEST(MonitorCore, ClockFieldsPrintWhateverTheyHold)
{
    struct Case {
        int32_t h, m, s;
        const char *text;
    } cases[] = {{0, 0, 0, "00:00:00"}, {12, 34, 56, "12:34:56"}, {24, 0, 0, "24:00:00"}, {-1, 5, 7, "-1:05:07"}};
    for (const Case &c : cases) {
        char storage[64];
        TextBuffer b;
        InitTextBuffer(&b, storage, sizeof storage);
        AppendClock(&b, c.h, c.m, c.s);
        EXPECT_STREQ(b.text, c.text);
    }
}

TEST(MonitorCore, CommandLineTable)
{
    struct Case {
        std::vector<const char *> args;
        int result;
        int json;
        uint32_t interval, count;
        int untilGone;
    } cases[] = {
        {{}, OptionsRun, 0, 250, 0, 0},
        {{"--once"}, OptionsRun, 0, 250, 1, 0},
        {{"--json", "--once"}, OptionsRun, 1, 250, 1, 0},
        {{"--interval", "100", "--count", "7"}, OptionsRun, 0, 100, 7, 0},
        {{"--interval=10", "--count=4294967295"}, OptionsRun, 0, 10, 4294967295u, 0},
        {{"--until-gone", "--interval", "60000"}, OptionsRun, 0, 60000, 0, 1},
        {{"--interval", "9"}, OptionsError, 0, 0, 0, 0},
        {{"--interval", "60001"}, OptionsError, 0, 0, 0, 0},
        {{"--interval", "1e3"}, OptionsError, 0, 0, 0, 0},
        {{"--interval", "-5"}, OptionsError, 0, 0, 0, 0},
        {{"--interval", ""}, OptionsError, 0, 0, 0, 0},
        {{"--count", "4294967296"}, OptionsError, 0, 0, 0, 0},
        {{"--count"}, OptionsError, 0, 0, 0, 0},
        {{"--intervals", "5"}, OptionsError, 0, 0, 0, 0},
        {{"--json", "--help"}, OptionsHelp, 0, 0, 0, 0},
    };
    int row = 0;
    for (const Case &c : cases) {
        std::vector<const char *> argv = {"monitor.exe"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        MonitorOptions o;
        char error[128];
        int result = ParseMonitorOptions((int)argv.size(), argv.data(), &o, error, sizeof error);
        EXPECT_EQ(result, c.result) << "row " << row;
        if (result == OptionsRun && c.result == OptionsRun) {
            EXPECT_EQ(o.json, c.json) << "row " << row;
            EXPECT_EQ(o.intervalMs, c.interval) << "row " << row;
            EXPECT_EQ(o.count, c.count) << "row " << row;
            EXPECT_EQ(o.untilGone, c.untilGone) << "row " << row;
        }
        if (result == OptionsError) {
            EXPECT_NE(error[0], '\0') << "row " << row;
        }
        ++row;
    }
}

// A console window shows only so many plan rows; the rest are counted.
TEST(MonitorCore, PlanTableCanBeCutToTheRowsAvailable)
{
    static SectionSample samples[WATCHED_SECTION_COUNT];
    static ChangeTracker trackers[WATCHED_SECTION_COUNT];
    PlanBlock plan;
    memset(&plan, 0, sizeof plan);
    plan.count = 12;
    for (int i = 0; i < 12; ++i)
        snprintf(plan.waypoints[i].identifier, 8, "WPT%02d", i);
    samples[WatchPlan].status = StatusRead;
    memcpy(samples[WatchPlan].record, &plan, sizeof plan);
    MonitorReport report;
    memset(&report, 0, sizeof report);
    for (int i = 0; i < WATCHED_SECTION_COUNT; ++i)
        FillSectionReport(&report.sections[i], &watchedSections[i], &samples[i], &trackers[i], 0);
    static char storage[8192];
    TextBuffer b;
    InitTextBuffer(&b, storage, sizeof storage);
    FormatTextReport(&b, &report, 5);
    std::string text(b.text, b.length);
    EXPECT_NE(text.find("WPT04"), std::string::npos) << text;
    EXPECT_EQ(text.find("WPT05"), std::string::npos) << text;
    EXPECT_NE(text.find("  ... 7 more\n"), std::string::npos) << text;

    // The same report into a buffer far too small: cut short, still bounded.
    char small[40];
    memset(small, 0x5A, sizeof small);
    InitTextBuffer(&b, small, 32);
    FormatTextReport(&b, &report, -1);
    EXPECT_TRUE(b.truncated);
    EXPECT_EQ(strlen(small), 31u);
    for (size_t i = 32; i < sizeof small; ++i)
        EXPECT_EQ(small[i], 0x5A);
}

} // namespace
