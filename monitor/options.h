/* The monitor's command line. Portable. */
#ifndef MONITOR_OPTIONS_H
#define MONITOR_OPTIONS_H

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
extern "C" {
#endif

#define INTERVAL_DEFAULT_MS 250u
#define INTERVAL_MIN_MS 10u
#define INTERVAL_MAX_MS 60000u

typedef struct MonitorOptions {
    int json;            /* one JSON object per sample instead of the live view */
    uint32_t intervalMs; /* between samples */
    uint32_t count;      /* samples before the monitor ends; 0: until stopped */
    int untilGone;       /* end after a sample that read no section, once one was read */
} MonitorOptions;

enum { OptionsRun, OptionsHelp, OptionsError };

/* Returns OptionsRun with *options filled, OptionsHelp for --help, or
 * OptionsError with a one-line reason in error. */
int ParseMonitorOptions(int argc, const char *const *argv, MonitorOptions *options, char *error,
                        size_t errorSize);

extern const char monitorUsage[];

#if defined(__cplusplus)
}
#endif

#endif
