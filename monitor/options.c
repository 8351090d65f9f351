#include "options.h"

#include <stdio.h>
#include <string.h>

const char monitorUsage[] =
    "Usage: monitor [--once] [--json] [--interval MS] [--count N] [--until-gone]\n"
    "\n"
    "Shows what a moving-map reader sees in the sections KESTREL_DATA and\n"
    "KESTREL_PLAN (kestrel.dll, Flight Simulator X) and HARRIER_Link\n"
    "(harrier_link.dll, Flight Simulator 2004). It only reads them.\n"
    "\n"
    "  --once         print one sample and end (same as --count 1)\n"
    "  --json         one JSON object per sample, one per line, for scripts\n"
    "  --interval MS  time between samples, 10 to 60000 ms (default 250)\n"
    "  --count N      end after N samples (default: run until Ctrl+C)\n"
    "  --until-gone   end once no section can be read any more, after one was\n"
    "\n"
    "Exit status: 0 when the last sample read at least one section, 1 when it\n"
    "read none, 2 for a command-line error.\n";

/* A whole decimal number within [low, high]; nothing else accepted. */
static int ParseBounded(const char *text, uint32_t low, uint32_t high, uint32_t *value)
{
    uint32_t v = 0;
    if (*text == '\0')
        return 0;
    for (const char *c = text; *c; ++c) {
        if (*c < '0' || *c > '9')
            return 0;
        if (v > (high - (uint32_t)(*c - '0')) / 10)
            return 0;
        v = v * 10 + (uint32_t)(*c - '0');
    }
    if (v < low)
        return 0;
    *value = v;
    return 1;
}

/* "--name VALUE" or "--name=VALUE": the value's text, or null with *index
 * unchanged when argv[*index] is not this option. */
static const char *OptionValue(int argc, const char *const *argv, int *index, const char *name, int *missing)
{
    const char *arg = argv[*index];
    size_t n = strlen(name);
    *missing = 0;
    if (strncmp(arg, name, n) != 0)
        return NULL;
    if (arg[n] == '=')
        return arg + n + 1;
    if (arg[n] != '\0')
        return NULL;
    if (*index + 1 >= argc) {
        *missing = 1;
        return NULL;
    }
    ++*index;
    return argv[*index];
}

int ParseMonitorOptions(int argc, const char *const *argv, MonitorOptions *options, char *error, size_t errorSize)
{
    options->json = 0;
    options->intervalMs = INTERVAL_DEFAULT_MS;
    options->count = 0;
    options->untilGone = 0;
    error[0] = '\0';
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        int missing;
        const char *value;
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0 || strcmp(arg, "/?") == 0)
            return OptionsHelp;
        if (strcmp(arg, "--once") == 0) {
            options->count = 1;
        } else if (strcmp(arg, "--json") == 0) {
            options->json = 1;
        } else if (strcmp(arg, "--until-gone") == 0) {
            options->untilGone = 1;
        } else if ((value = OptionValue(argc, argv, &i, "--interval", &missing)) != NULL || missing) {
            if (missing || !ParseBounded(value, INTERVAL_MIN_MS, INTERVAL_MAX_MS, &options->intervalMs)) {
                snprintf(error, errorSize, "--interval needs a number of milliseconds from %u to %u",
                         INTERVAL_MIN_MS, INTERVAL_MAX_MS);
                return OptionsError;
            }
        } else if ((value = OptionValue(argc, argv, &i, "--count", &missing)) != NULL || missing) {
            if (missing || !ParseBounded(value, 1, UINT32_MAX, &options->count)) {
                snprintf(error, errorSize, "--count needs a whole number of samples, 1 or more");
                return OptionsError;
            }
        } else {
            snprintf(error, errorSize, "unknown option %.64s (try --help)", arg);
            return OptionsError;
        }
    }
    return OptionsRun;
}
