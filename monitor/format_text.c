#include "format_text.h"

#include <math.h>

void AppendSafeBytes(TextBuffer *out, const char *bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (c == '\\')
            AppendText(out, "\\\\");
        else if (c >= 0x20 && c < 0x7F)
            AppendBytes(out, (const char *)&c, 1);
        else
            AppendFormat(out, "\\x%02X", (unsigned)c);
    }
}

/* A value of a record, which may hold anything: fixed decimals while that
 * stays readable. */
static void AppendValue(TextBuffer *out, double value, int decimals)
{
    if (isnan(value))
        AppendFormat(out, "%14s", "not a number");
    else if (isinf(value))
        AppendFormat(out, "%14s", value > 0 ? "+infinity" : "-infinity");
    else if (fabs(value) >= 1e9)
        AppendFormat(out, "%14.6g", value);
    else
        AppendFormat(out, "%14.*f", decimals, value);
}

static void AppendValueLine(TextBuffer *out, const char *field, double value, int decimals, const char *unit)
{
    AppendFormat(out, "  %-15s", field);
    AppendValue(out, value, decimals);
    AppendFormat(out, " %s\n", unit);
}

static void AppendClockLine(TextBuffer *out, const char *label, int32_t hour, int32_t minute, int32_t second)
{
    AppendFormat(out, "  %-15s      ", label);
    AppendClock(out, hour, minute, second);
    AppendText(out, "  (hh:mm:ss)\n");
}

static void AppendSize(TextBuffer *out, const SectionSample *sample)
{
    if (sample->sectionSizeKnown)
        AppendFormat(out, "%llu bytes", (unsigned long long)sample->sectionSize);
    else
        AppendFormat(out, "view of %llu bytes", (unsigned long long)sample->viewSize);
}

static void AppendHeading(TextBuffer *out, const SectionReport *r)
{
    double seconds = r->msSinceChange / 1000.0;
    AppendFormat(out, "%s  ", r->info->name);
    /* Live once a change was seen within the last second; a section not
     * yet watched that long is neither. */
    if (IsStale(r))
        AppendText(out, "STALE: ");
    else if (r->info->continuous && r->changes > 0)
        AppendText(out, "live: ");
    AppendFormat(out, "%.1f changes/s, ", r->changesPerSecond);
    if (r->changes > 0)
        AppendFormat(out, "last change %.2f s ago, ", seconds);
    else
        AppendFormat(out, "no change seen for %.1f s, ", seconds);
    AppendSize(out, r->sample);
    AppendText(out, "\n");
}

static void AppendState(TextBuffer *out, const SectionSample *sample)
{
    StateBlock s;
    DecodeState(sample, &s);
    AppendValueLine(out, "altitude", s.altitude, 2, "ft");
    AppendValueLine(out, "latitude", s.latitude, 8, "deg (north +)");
    AppendValueLine(out, "longitude", s.longitude, 8, "deg (east +)");
    AppendValueLine(out, "heading", s.heading, 2, "deg true");
    AppendValueLine(out, "groundSpeed", s.groundSpeed, 2, "kt");
    AppendValueLine(out, "groundAltitude", s.groundAltitude, 2, "m (ground elevation)");
    AppendClockLine(out, "local time", s.hour, s.minute, s.second);
    int zero = (s.reserved[0] | s.reserved[1] | s.reserved[2] | s.reserved[3]) == 0;
    AppendFormat(out, "  %-15s   %02X %02X %02X %02X  %s\n", "reserved", s.reserved[0], s.reserved[1], s.reserved[2],
                 s.reserved[3], zero ? "(always zero)" : "(should be zero: not a StateBlock?)");
}

static void AppendWaypoint(TextBuffer *out, int index, const PlanWaypoint *w)
{
    int terminated;
    size_t length = IdentifierLength(w->identifier, &terminated);
    TextBuffer id;
    char text[8 * 4 + 1];
    InitTextBuffer(&id, text, sizeof text);
    AppendSafeBytes(&id, w->identifier, length);
    AppendFormat(out, "  %3d  %-12s", index, id.text);
    AppendValue(out, w->latitude, 8);
    AppendValue(out, w->longitude, 8);
    AppendText(out, terminated ? "\n" : "  (no terminator)\n");
}

static void AppendPlan(TextBuffer *out, const SectionSample *sample, int maxRows)
{
    PlanBlock p;
    DecodePlan(sample, &p);
    AppendFormat(out, "  active %ld, count %ld", (long)p.active, (long)p.count);
    if (!CountIsValid(&p))
        AppendFormat(out, "  (outside 0 to %d: the record is damaged)", PLAN_WAYPOINT_CAPACITY);
    AppendText(out, "\n");
    int shown = ShownWaypoints(&p);
    if (shown == 0)
        return;
    AppendText(out, "    #  identifier        latitude     longitude  (deg)\n");
    int rows = maxRows >= 0 && maxRows < shown ? maxRows : shown;
    for (int i = 0; i < rows; ++i)
        AppendWaypoint(out, i, &p.waypoints[i]);
    if (rows < shown)
        AppendFormat(out, "  ... %d more\n", shown - rows);
}

static void AppendLink(TextBuffer *out, const SectionSample *sample)
{
    LinkBlock l;
    DecodeLink(sample, &l);
    AppendValueLine(out, "altitude", l.altitude, 2, "ft");
    AppendValueLine(out, "latitude", l.latitude, 8, "deg (north +)");
    AppendValueLine(out, "longitude", l.longitude, 8, "deg (east +)");
    AppendValueLine(out, "heading", l.heading, 4, "(host units, unconverted)");
    AppendValueLine(out, "groundSpeed", l.groundSpeed, 2, "kt");
    AppendValueLine(out, "groundAltitude", l.groundAltitude, 2, "(host units, unconverted)");
    AppendClockLine(out, "clock", l.hour, l.minute, l.second);
    AppendClockLine(out, "second clock", l.clock2Hour, l.clock2Minute, l.clock2Second);
}

void FormatTextReport(TextBuffer *out, const MonitorReport *report, int maxWaypointRows)
{
    AppendFormat(out, "Section monitor: sample %lu at %.1f s, every %lu ms\n", (unsigned long)report->sample,
                 report->elapsedMs / 1000.0, (unsigned long)report->intervalMs);
    for (int i = 0; i < WATCHED_SECTION_COUNT; ++i) {
        const SectionReport *r = &report->sections[i];
        AppendText(out, "\n");
        if (r->sample->status != StatusRead) {
            AppendStatusMessage(out, r->info, r->sample);
            AppendText(out, "\n");
            continue;
        }
        AppendHeading(out, r);
        if (i == WatchData)
            AppendState(out, r->sample);
        else if (i == WatchPlan)
            AppendPlan(out, r->sample, maxWaypointRows);
        else
            AppendLink(out, r->sample);
    }
}
