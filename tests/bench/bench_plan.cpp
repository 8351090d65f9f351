// The plan reader's own sources, linked into this program as they are into
// kestrel.dll and built with the same options: ReadFlightPlan of a
// 50-waypoint plan file with CR LF line breaks, beside the least the
// platform needs to read that file: _fsopen in text mode, fgets of every
// line, fclose.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "bench_harness.h"
#include "plan_floor.h"
#include "plan_reader.h"
#include "published_blocks.h"

namespace {

struct PlanBench {
    std::string path;
};

void ProductRead(void *context)
{
    (void)context;
    ReadFlightPlan();
}

void FloorRead(void *context)
{
    ReadLinesOnly(((PlanBench *)context)->path.c_str());
}

void OpenAndClose(void *context)
{
    OpenAndCloseOnly(((PlanBench *)context)->path.c_str());
}

// The fixture's first and last waypoints, so a reader that reads nothing
// (or the wrong thing) is not timed.
bool ReadsFixture(char *why, size_t whySize)
{
    memset(&planBlock, 0, sizeof planBlock);
    ReadFlightPlan();
    const PlanWaypoint &first = planBlock.waypoints[0];
    const PlanWaypoint &last = planBlock.waypoints[PLAN_WAYPOINT_CAPACITY - 1];
    if (planBlock.count != 50) {
        snprintf(why, whySize, "the plan reader read %d waypoints of 50", (int)planBlock.count);
        return false;
    }
    if (strcmp(first.identifier, "EGKK") != 0 || strcmp(last.identifier, "LIRF") != 0 ||
        fabs(first.latitude - 51.148056) > 1e-4 || fabs(last.longitude - 12.238889) > 1e-4) {
        snprintf(why, whySize, "the plan reader read %s %.6f .. %s %.6f, not EGKK 51.148056 .. LIRF 12.238889",
                 first.identifier, first.latitude, last.identifier, last.longitude);
        return false;
    }
    return true;
}

} // namespace

int main()
{
    SettleThread();
    static PlanBench b;
    b.path = FixturePath();
    if (b.path.empty() || b.path.size() >= sizeof PlanPath || ReadLinesOnly(b.path.c_str()) < 0) {
        PrintNote("cannot open the plan fixture bench_plan50.pln beside the program");
        return 1;
    }
    memcpy(PlanPath, b.path.c_str(), b.path.size() + 1);

    BenchPlan plan = {200, 20};
    char why[160];
    if (ReadsFixture(why, sizeof why)) {
        PairTiming t = MeasurePair(ProductRead, FloorRead, &b, plan);
        PrintFigure("plan_ratio", t.ratio);
        PrintFigure("plan_us", t.aMicros);
        PrintFigure("plan_floor_us", t.bMicros);
    } else {
        PrintMissing("plan_ratio", why);
        PrintMissing("plan_us", why);
        PrintFigure("plan_floor_us", MeasureOne(FloorRead, &b, plan));
    }
    PrintFigure("plan_open_close_us", MeasureOne(OpenAndClose, &b, plan));
    return 0;
}
