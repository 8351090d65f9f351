// Cost of reading a plan against the bare file loop, side by side: the
// reader (ReadFlightPlan, as the DLL has it) and a loop that only opens the
// same file with _fsopen in text mode, reads every line with fgets and
// closes it. Prints the ratio of the medians; the reader's budget is 1.25.
//   plan_bench.exe [plan file] (default: plan_fixtures\route_50.pln)
#include <windows.h>

#include <share.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "plan_reader.h"
#include "published_blocks.h"

PlanBlock planBlock;
char PlanPath[PLAN_PATH_SIZE];

namespace
{

// Lines read by the last bare loop; kept so the loop is not optimised away.
volatile int linesSeen;

void BareLoop()
{
    FILE *file = _fsopen(PlanPath, "rt", _SH_DENYWR);
    if (file == NULL)
        return;
    char line[256];
    int n = 0;
    while (fgets(line, sizeof line, file) != NULL)
        n++;
    fclose(file);
    linesSeen = n;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : "plan_fixtures\\route_50.pln";
    if (GetFullPathNameA(path, sizeof PlanPath, PlanPath, NULL) == 0)
        return 2;
    ReadFlightPlan();
    if (planBlock.count == 0) {
        fprintf(stderr, "no waypoints in %s\n", PlanPath);
        return 1;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const int rounds = 41, perRound = 200;
    std::vector<double> bare, reader;
    for (int r = 0; r < rounds; r++) {
        LARGE_INTEGER a, b, c;
        QueryPerformanceCounter(&a);
        for (int i = 0; i < perRound; i++)
            BareLoop();
        QueryPerformanceCounter(&b);
        for (int i = 0; i < perRound; i++)
            ReadFlightPlan();
        QueryPerformanceCounter(&c);
        bare.push_back(Seconds(a, b, frequency) / perRound);
        reader.push_back(Seconds(b, c, frequency) / perRound);
    }
    double b = Median(bare), p = Median(reader);
    printf("plan %s: %d waypoints, %d lines\n", PlanPath, planBlock.count, linesSeen);
    printf("bare open+fgets+close: %.1f us, ReadFlightPlan: %.1f us, ratio %.3f (budget 1.25)\n", b * 1e6,
           p * 1e6, p / b);
    return 0;
}
