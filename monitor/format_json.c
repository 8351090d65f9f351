#include "format_json.h"

#include <math.h>

static const char hexDigits[] = "0123456789abcdef";

void AppendJsonNumber(TextBuffer *out, double value)
{
    if (!isfinite(value)) {
        AppendText(out, "null");
        return;
    }
    /* 17 significant digits read back as the same double. */
    AppendFormat(out, "%.17g", value);
}

void AppendJsonBytesAsString(TextBuffer *out, const char *bytes, size_t count)
{
    AppendText(out, "\"");
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (c == '"' || c == '\\') {
            char escaped[2] = {'\\', (char)c};
            AppendBytes(out, escaped, 2);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[6] = {'\\', 'u', '0', '0', hexDigits[c >> 4], hexDigits[c & 15]};
            AppendBytes(out, escaped, 6);
        } else {
            AppendBytes(out, (const char *)&c, 1);
        }
    }
    AppendText(out, "\"");
}

static void AppendHex(TextBuffer *out, const void *bytes, size_t count)
{
    const unsigned char *b = (const unsigned char *)bytes;
    AppendText(out, "\"");
    for (size_t i = 0; i < count; ++i) {
        char pair[2] = {hexDigits[b[i] >> 4], hexDigits[b[i] & 15]};
        AppendBytes(out, pair, 2);
    }
    AppendText(out, "\"");
}

static void AppendNumberField(TextBuffer *out, const char *name, double value)
{
    AppendFormat(out, "\"%s\":", name);
    AppendJsonNumber(out, value);
    AppendText(out, ",");
}

static void AppendIntField(TextBuffer *out, const char *name, int32_t value)
{
    AppendFormat(out, "\"%s\":%ld,", name, (long)value);
}

static void AppendClockField(TextBuffer *out, const char *name, int32_t hour, int32_t minute, int32_t second)
{
    AppendFormat(out, "\"%s\":\"", name);
    AppendClock(out, hour, minute, second);
    AppendText(out, "\"");
}

/* The aircraft values, at the same offsets and with the same names in
 * StateBlock and LinkBlock. */
static void AppendAircraft(TextBuffer *out, double altitude, double latitude, double longitude, double heading,
                           double groundSpeed, double groundAltitude, int32_t hour, int32_t minute,
                           int32_t second)
{
    AppendNumberField(out, "altitude", altitude);
    AppendNumberField(out, "latitude", latitude);
    AppendNumberField(out, "longitude", longitude);
    AppendNumberField(out, "heading", heading);
    AppendNumberField(out, "groundSpeed", groundSpeed);
    AppendNumberField(out, "groundAltitude", groundAltitude);
    AppendIntField(out, "hour", hour);
    AppendIntField(out, "minute", minute);
    AppendIntField(out, "second", second);
    AppendClockField(out, "time", hour, minute, second);
}

static void AppendState(TextBuffer *out, const SectionSample *sample)
{
    StateBlock s;
    DecodeState(sample, &s);
    AppendText(out, ",\"state\":{");
    AppendAircraft(out, s.altitude, s.latitude, s.longitude, s.heading, s.groundSpeed, s.groundAltitude, s.hour,
                   s.minute, s.second);
    AppendText(out, ",\"reserved\":");
    AppendHex(out, s.reserved, sizeof s.reserved);
    AppendText(out, "}");
}

static void AppendPlan(TextBuffer *out, const SectionSample *sample)
{
    PlanBlock p;
    DecodePlan(sample, &p);
    AppendText(out, ",\"plan\":{");
    AppendIntField(out, "active", p.active);
    AppendIntField(out, "count", p.count);
    AppendFormat(out, "\"count_valid\":%s,\"waypoints\":[", CountIsValid(&p) ? "true" : "false");
    int shown = ShownWaypoints(&p);
    for (int i = 0; i < shown; ++i) {
        const PlanWaypoint *w = &p.waypoints[i];
        int terminated;
        size_t length = IdentifierLength(w->identifier, &terminated);
        AppendText(out, i ? ",{\"identifier\":" : "{\"identifier\":");
        AppendJsonBytesAsString(out, w->identifier, length);
        AppendFormat(out, ",\"terminated\":%s,\"identifier_bytes\":", terminated ? "true" : "false");
        AppendHex(out, w->identifier, sizeof w->identifier);
        AppendText(out, ",\"latitude\":");
        AppendJsonNumber(out, w->latitude);
        AppendText(out, ",\"longitude\":");
        AppendJsonNumber(out, w->longitude);
        AppendText(out, "}");
    }
    AppendText(out, "]}");
}

static void AppendLink(TextBuffer *out, const SectionSample *sample)
{
    LinkBlock l;
    DecodeLink(sample, &l);
    AppendText(out, ",\"link\":{");
    AppendAircraft(out, l.altitude, l.latitude, l.longitude, l.heading, l.groundSpeed, l.groundAltitude, l.hour,
                   l.minute, l.second);
    AppendText(out, ",");
    AppendIntField(out, "clock2Hour", l.clock2Hour);
    AppendIntField(out, "clock2Minute", l.clock2Minute);
    AppendIntField(out, "clock2Second", l.clock2Second);
    AppendClockField(out, "clock2", l.clock2Hour, l.clock2Minute, l.clock2Second);
    AppendText(out, "}");
}

static const char *StatusName(SectionStatus status)
{
    switch (status) {
    case StatusMissing:
        return "missing";
    case StatusUnopenable:
        return "unopenable";
    case StatusUnmappable:
        return "unmappable";
    case StatusTooSmall:
        return "too_small";
    case StatusRead:
        return "ok";
    }
    return "unknown";
}

static void AppendSection(TextBuffer *out, const SectionReport *r, int index)
{
    const SectionSample *sample = r->sample;
    AppendFormat(out, ",\"%s\":{\"status\":\"%s\"", r->info->name, StatusName(sample->status));
    if (sample->status == StatusMissing || sample->status == StatusUnopenable) {
        if (sample->status == StatusUnopenable)
            AppendFormat(out, ",\"error\":%lu", (unsigned long)sample->error);
    } else {
        if (sample->sectionSizeKnown)
            AppendFormat(out, ",\"section_size\":%llu", (unsigned long long)sample->sectionSize);
        else
            AppendText(out, ",\"section_size\":null");
        AppendFormat(out, ",\"view_size\":%llu,\"record_size\":%u", (unsigned long long)sample->viewSize,
                     (unsigned)r->info->recordSize);
        if (sample->status == StatusUnmappable)
            AppendFormat(out, ",\"error\":%lu", (unsigned long)sample->error);
    }
    if (sample->status != StatusRead) {
        AppendText(out, ",\"message\":");
        char text[256];
        TextBuffer message;
        InitTextBuffer(&message, text, sizeof text);
        AppendStatusMessage(&message, r->info, sample);
        AppendJsonBytesAsString(out, message.text, message.length);
        AppendText(out, "}");
        return;
    }
    AppendFormat(out, ",\"changes\":%lu,\"rate\":%.1f", (unsigned long)r->changes, r->changesPerSecond);
    AppendFormat(out, ",\"age_ms\":%.0f", r->msSinceChange);
    if (r->info->continuous)
        AppendFormat(out, ",\"stale\":%s", IsStale(r) ? "true" : "false");
    if (index == WatchData)
        AppendState(out, sample);
    else if (index == WatchPlan)
        AppendPlan(out, sample);
    else
        AppendLink(out, sample);
    AppendText(out, "}");
}

void FormatJsonReport(TextBuffer *out, const MonitorReport *report)
{
    AppendFormat(out, "{\"sample\":%lu,\"elapsed_ms\":%.0f,\"interval_ms\":%lu", (unsigned long)report->sample,
                 report->elapsedMs, (unsigned long)report->intervalMs);
    for (int i = 0; i < WATCHED_SECTION_COUNT; ++i)
        AppendSection(out, &report->sections[i], i);
    AppendText(out, "}");
}
