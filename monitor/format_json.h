/* A sample as one line of JSON, for scripts. Portable.
 *
 * {"sample":1,"elapsed_ms":250,"interval_ms":250,
 *  "KESTREL_DATA":{"status":"ok",...,"state":{...}},
 *  "KESTREL_PLAN":{"status":"ok",...,"plan":{...}},
 *  "HARRIER_Link":{"status":"missing","message":"HARRIER_Link not found: ..."}}
 *
 * Numbers that are not finite are written as null. Identifiers are bytes,
 * not text: "identifier" maps each byte to the character of the same code
 * (so bytes from 0x80 up read as Latin-1), escaped as JSON requires, and
 * "identifier_bytes" gives all 8 bytes of the field in hex. */
#ifndef MONITOR_FORMAT_JSON_H
#define MONITOR_FORMAT_JSON_H

#include "report.h"
#include "text_buffer.h"

#if defined(__cplusplus)
extern "C" {
#endif

void FormatJsonReport(TextBuffer *out, const MonitorReport *report);

/* Pieces, for the tests. */
void AppendJsonNumber(TextBuffer *out, double value);
void AppendJsonBytesAsString(TextBuffer *out, const char *bytes, size_t count);

#if defined(__cplusplus)
}
#endif

#endif
