// Side-by-side timing for the benchmarks. Each figure is a median over many
// rounds; in a round both sides of a ratio run the same number of times,
// one right after the other, in the same process and on the same section or
// file, so drift of the machine (clock, cache, other load) hits both alike.
// The side that runs first alternates from round to round.
//
// Programs print their figures as "FIGURE key value" lines; the runner
// (run_bench.sh) gathers them into build/bench.json and the table.
#ifndef BENCH_HARNESS_H
#define BENCH_HARNESS_H

typedef void (*BenchOp)(void *context);

struct PairTiming {
    double aMicros; // median per-operation time of side A
    double bMicros; // median per-operation time of side B
    double ratio;   // median of the per-round ratios A / B
};

struct BenchPlan {
    int rounds;     // counted rounds; one more is run first and dropped
    int iterations; // operations per side and round
};

PairTiming MeasurePair(BenchOp a, BenchOp b, void *context, BenchPlan plan);
// Median per-operation time of one operation alone, in microseconds.
double MeasureOne(BenchOp op, void *context, BenchPlan plan);

// Figures whose value could not be measured (a part not built yet) are
// printed as null, with the reason, so the JSON still names every key.
void PrintFigure(const char *key, double value);
void PrintMissing(const char *key, const char *why);
void PrintNote(const char *text);

// Runs the benchmark thread at high priority. It is not pinned to one
// processor: every publication is a round trip to the wineserver, which
// must stay free to run beside it.
void SettleThread(void);

#endif
