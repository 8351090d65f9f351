// Cost of reading a plan against the bare file loop, side by side: the
// reader (ReadFlightPlan, as the DLL has it) and a loop that only opens the
// same file with _fsopen in text mode, reads every line with fgets and
// closes it. Prints the ratios; the reader's budget is 1.25.
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
    // The two alternate call by call, each call timed on its own, so that
    // anything else running on the machine weighs on both alike; medians
    // leave the outliers out.
    const int pairs = 3000;
    std::vector<double> bare, reader;
    for (int i = 0; i < pairs; i++) {
        LARGE_INTEGER a, b, c;
        QueryPerformanceCounter(&a);
        if (i % 2)
            ReadFlightPlan();
        else
            BareLoop();
        QueryPerformanceCounter(&b);
        if (i % 2)
            BareLoop();
        else
            ReadFlightPlan();
        QueryPerformanceCounter(&c);
        double first = Seconds(a, b, frequency), second = Seconds(b, c, frequency);
        bare.push_back(i % 2 ? second : first);
        reader.push_back(i % 2 ? first : second);
    }
    double b = Median(bare), p = Median(reader);
    printf("plan %s: %d waypoints, %d lines\n", PlanPath, planBlock.count, linesSeen);
    printf("bare open+fgets+close %.1f us, ReadFlightPlan %.1f us (medians of %d calls each)\n", b * 1e6,
           p * 1e6, pairs);
    printf("ratio %.3f (budget 1.25)\n", p / b);
    return 0;
}
