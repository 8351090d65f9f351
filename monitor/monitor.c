/* monitor.exe: watches the published sections as a moving-map reader does
 * and shows what it finds, live or as JSON lines. It never writes to a
 * section and never creates one. */
#include <windows.h>
#include <mmsystem.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "change_tracker.h"
#include "console_view.h"
#include "format_json.h"
#include "format_text.h"
#include "options.h"
#include "report.h"
#include "section_reader.h"

/* Each section is looked at this often between samples, so the change rate
 * counts publications up to about half this frequency. */
#define POLL_MS 10

/* A sample's text: the largest, a full plan as JSON, takes under 10 KB. */
#define OUTPUT_BYTES 65536

typedef struct MonitorRun {
    MonitorOptions options;
    SectionSample samples[WATCHED_SECTION_COUNT];
    ChangeTracker trackers[WATCHED_SECTION_COUNT];
    ConsoleView view;
    char output[OUTPUT_BYTES];
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
} MonitorRun;

/* The one run of this process; everything in it is zero until main fills it. */
static MonitorRun run;

static double NowMs(void)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)(now.QuadPart - run.start.QuadPart) * 1000.0 / (double)run.frequency.QuadPart;
}

static void LookAtSections(double nowMs)
{
    for (int i = 0; i < WATCHED_SECTION_COUNT; ++i) {
        ReadWatchedSection(&watchedSections[i], &run.samples[i]);
        if (run.samples[i].status == StatusRead)
            TrackRecord(&run.trackers[i], run.samples[i].record, watchedSections[i].recordSize, nowMs);
        else
            TrackAbsence(&run.trackers[i]);
    }
}

/* Prints one sample; returns the number of sections it read. */
static int PrintSample(uint32_t number, double nowMs)
{
    MonitorReport report;
    report.sample = number;
    report.elapsedMs = nowMs;
    report.intervalMs = run.options.intervalMs;
    int read = 0;
    for (int i = 0; i < WATCHED_SECTION_COUNT; ++i) {
        FillSectionReport(&report.sections[i], &watchedSections[i], &run.samples[i], &run.trackers[i], nowMs);
        read += run.samples[i].status == StatusRead;
    }
    TextBuffer out;
    InitTextBuffer(&out, run.output, sizeof run.output);
    if (run.options.json) {
        FormatJsonReport(&out, &report);
        fwrite(out.text, 1, out.length, stdout);
        fputs("\n", stdout);
        fflush(stdout);
    } else {
        int rows = ConsoleViewRows(&run.view);
        int waypointRows = -1;
        if (rows > 0) {
            /* The plan's table gets the lines the rest of the view leaves. */
            FormatTextReport(&out, &report, 0);
            int others = 0;
            for (size_t i = 0; i < out.length; ++i)
                others += out.text[i] == '\n';
            waypointRows = rows > others ? rows - others : 0;
            InitTextBuffer(&out, run.output, sizeof run.output);
        }
        FormatTextReport(&out, &report, waypointRows);
        DrawConsoleView(&run.view, out.text, out.length);
    }
    return read;
}

int main(int argc, char **argv)
{
    char error[160];
    switch (ParseMonitorOptions(argc, (const char *const *)argv, &run.options, error, sizeof error)) {
    case OptionsHelp:
        fputs(monitorUsage, stdout);
        return 0;
    case OptionsError:
        fprintf(stderr, "monitor: %s\n", error);
        return 2;
    default:
        break;
    }
    /* JSON lines end in a line feed alone, on every system. */
    if (run.options.json)
        _setmode(_fileno(stdout), _O_BINARY);
    else
        OpenConsoleView(&run.view);
    PrepareSectionReader();
    timeBeginPeriod(1);
    QueryPerformanceFrequency(&run.frequency);
    QueryPerformanceCounter(&run.start);

    uint32_t printed = 0;
    int everRead = 0;
    int lastRead = 0;
    double due = run.options.intervalMs;
    for (;;) {
        double now = NowMs();
        LookAtSections(now);
        if (now >= due) {
            lastRead = PrintSample(++printed, now);
            everRead |= lastRead > 0;
            if (run.options.count != 0 && printed >= run.options.count)
                break;
            if (run.options.untilGone && everRead && lastRead == 0)
                break;
            due += run.options.intervalMs;
            if (due <= now)
                due = now + run.options.intervalMs;
        }
        Sleep(POLL_MS);
    }
    timeEndPeriod(1);
    return lastRead > 0 ? 0 : 1;
}
