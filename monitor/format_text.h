/* A sample as text for people: every field with its unit, the time of day
 * as hh:mm:ss, and per section whether its data is live. Portable. */
#ifndef MONITOR_FORMAT_TEXT_H
#define MONITOR_FORMAT_TEXT_H

#include "report.h"
#include "text_buffer.h"

#if defined(__cplusplus)
extern "C" {
#endif

/* maxWaypointRows limits the plan's table (a console window has only so
 * many lines); negative shows every valid entry. */
void FormatTextReport(TextBuffer *out, const MonitorReport *report, int maxWaypointRows);

/* An identifier's bytes made safe for any terminal: printable ASCII as it
 * is, a backslash doubled, every other byte as \xHH. */
void AppendSafeBytes(TextBuffer *out, const char *bytes, size_t count);

#if defined(__cplusplus)
}
#endif

#endif
