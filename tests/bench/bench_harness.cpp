#include "bench_harness.h"

#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <vector>

namespace {

double TicksToMicros(LONGLONG ticks, int iterations)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)ticks * 1e6 / (double)frequency.QuadPart / iterations;
}

LONGLONG Run(BenchOp op, void *context, int iterations)
{
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < iterations; ++i)
        op(context);
    QueryPerformanceCounter(&stop);
    return stop.QuadPart - start.QuadPart;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

PairTiming MeasurePair(BenchOp a, BenchOp b, void *context, BenchPlan plan)
{
    std::vector<double> as, bs, ratios;
    for (int round = -1; round < plan.rounds; ++round) {
        LONGLONG ta, tb;
        if (round % 2 == 0) {
            ta = Run(a, context, plan.iterations);
            tb = Run(b, context, plan.iterations);
        } else {
            tb = Run(b, context, plan.iterations);
            ta = Run(a, context, plan.iterations);
        }
        if (round < 0 || tb <= 0)
            continue;
        as.push_back(TicksToMicros(ta, plan.iterations));
        bs.push_back(TicksToMicros(tb, plan.iterations));
        ratios.push_back((double)ta / (double)tb);
    }
    PairTiming t = {Median(as), Median(bs), Median(ratios)};
    return t;
}

double MeasureOne(BenchOp op, void *context, BenchPlan plan)
{
    std::vector<double> times;
    for (int round = -1; round < plan.rounds; ++round) {
        LONGLONG t = Run(op, context, plan.iterations);
        if (round >= 0)
            times.push_back(TicksToMicros(t, plan.iterations));
    }
    return Median(times);
}

void PrintFigure(const char *key, double value)
{
    printf("FIGURE %s %.6g\n", key, value);
    fflush(stdout);
}

void PrintMissing(const char *key, const char *why)
{
    printf("FIGURE %s null\nNOTE %s: %s\n", key, key, why);
    fflush(stdout);
}

void PrintNote(const char *text)
{
    printf("NOTE %s\n", text);
    fflush(stdout);
}

void SettleThread(void)
{
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}
