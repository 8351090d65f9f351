// kestrel.dll as the simulator runs it: loaded beside the stand-in
// SimConnect, started, and fed one visual frame (the state message and the
// time message) after another through the dispatch routine it handed over.
// The floor is what the platform needs for the same two publications: a
// view of the whole "KESTREL_DATA" mapped, 64 bytes copied, the view
// unmapped, twice.
//
// Also measured, for information: the stand-in's delivery of a message that
// kestrel ignores (the part of a frame that is the host's, not kestrel's),
// the same floor with a view of the record's length, as SharedBlock maps
// it, and a whole plan cycle through the library (deactivation, then an
// activation that reads the plan file and publishes PlanBlock) beside the
// bare reading of the file's lines plus one bare publication.
#include <windows.h>

#include <math.h>
#include <string.h>

#include "bench_harness.h"
#include "kestrel_host.h"
#include "plan_floor.h"

namespace {

struct KestrelBench {
    KestrelHost host;
    std::vector<unsigned char> state;
    std::vector<unsigned char> time;
    std::vector<unsigned char> ignored;
    std::vector<unsigned char> deactivate;
    std::vector<unsigned char> activate;
    HANDLE data; // the bench's own handle of "KESTREL_DATA"
    HANDLE plan; // and of "KESTREL_PLAN"
    StateBlock stateRecord;
    PlanBlock planRecord;
    std::string path;
};

void Deliver(KestrelBench *b, const std::vector<unsigned char> &m)
{
    b->host.deliver(m.data(), (DWORD)m.size());
}

void Publish(HANDLE section, const void *record, size_t size, SIZE_T viewLength)
{
    void *view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, viewLength);
    if (view == NULL)
        return;
    memcpy(view, record, size);
    UnmapViewOfFile(view);
}

void KestrelFrame(void *context)
{
    KestrelBench *b = (KestrelBench *)context;
    Deliver(b, b->state);
    Deliver(b, b->time);
}

void FloorFrame(void *context)
{
    KestrelBench *b = (KestrelBench *)context;
    Publish(b->data, &b->stateRecord, sizeof b->stateRecord, 0);
    Publish(b->data, &b->stateRecord, sizeof b->stateRecord, 0);
}

void FloorFrameRecordView(void *context)
{
    KestrelBench *b = (KestrelBench *)context;
    Publish(b->data, &b->stateRecord, sizeof b->stateRecord, sizeof b->stateRecord);
    Publish(b->data, &b->stateRecord, sizeof b->stateRecord, sizeof b->stateRecord);
}

void IgnoredMessage(void *context)
{
    KestrelBench *b = (KestrelBench *)context;
    Deliver(b, b->ignored);
}

void KestrelPlanCycle(void *context)
{
    KestrelBench *b = (KestrelBench *)context;
    Deliver(b, b->deactivate);
    Deliver(b, b->activate);
}

void FloorPlanCycle(void *context)
{
    KestrelBench *b = (KestrelBench *)context;
    ReadLinesOnly(b->path.c_str());
    Publish(b->plan, &b->planRecord, sizeof b->planRecord, 0);
}

// The figures mean nothing unless the library really published: one frame
// over a section cleared by the bench must leave the delivered values.
bool FramePublishes(KestrelBench *b)
{
    StateBlock cleared;
    memset(&cleared, 0, sizeof cleared);
    Publish(b->data, &cleared, sizeof cleared, 0);
    KestrelFrame(b);
    std::vector<unsigned char> seen = ReadSection(KESTREL_DATA_NAME, sizeof(StateBlock));
    return seen.size() == sizeof(StateBlock) && memcmp(seen.data(), &b->stateRecord, sizeof(StateBlock)) == 0;
}

int PlanCountAfterCycle(KestrelBench *b)
{
    PlanBlock cleared;
    memset(&cleared, 0, sizeof cleared);
    Publish(b->plan, &cleared, sizeof cleared, 0);
    KestrelPlanCycle(b);
    std::vector<unsigned char> seen = ReadSection(KESTREL_PLAN_NAME, sizeof(PlanBlock));
    if (seen.size() != sizeof(PlanBlock))
        return -1;
    PlanBlock p;
    memcpy(&p, seen.data(), sizeof p);
    return p.active == 1 ? p.count : -1;
}

} // namespace

int main()
{
    SettleThread();
    static KestrelBench b;
    if (!LoadKestrel(&b.host))
        return 1;
    b.host.start();
    std::vector<unsigned char> open = OpenMessage();
    b.host.deliver(open.data(), (DWORD)open.size());

    // A frame over Munich at 12:34:56.75 local time.
    const double values[6] = {35000.0, 48.12008333333333, 11.58025, 271.5, 452.25, 519.0};
    b.state = StateMessage(values[0], values[1], values[2], values[3], values[4], values[5]);
    b.time = TimeMessage(45296.75);
    b.ignored = EventMessage(99);
    b.deactivate = EventMessage(2);
    b.path = FixturePath();
    b.activate = FileNameEventMessage(1, b.path);
    memset(&b.stateRecord, 0, sizeof b.stateRecord);
    memcpy(&b.stateRecord, values, sizeof values);
    b.stateRecord.hour = 12;
    b.stateRecord.minute = 34;
    b.stateRecord.second = 56;
    memset(&b.planRecord, 0, sizeof b.planRecord);

    b.data = OpenFileMappingA(FILE_MAP_WRITE, FALSE, KESTREL_DATA_NAME);
    b.plan = OpenFileMappingA(FILE_MAP_WRITE, FALSE, KESTREL_PLAN_NAME);
    if (b.data == NULL || b.plan == NULL) {
        PrintNote("kestrel.dll created no sections");
        return 1;
    }
    if (!FramePublishes(&b)) {
        PrintNote("a frame through kestrel.dll did not publish the delivered state");
        return 1;
    }

    BenchPlan framePlan = {200, 50};
    PairTiming frame = MeasurePair(KestrelFrame, FloorFrame, &b, framePlan);
    PrintFigure("frame_ratio", frame.ratio);
    PrintFigure("frame_us", frame.aMicros);
    PrintFigure("frame_floor_us", frame.bMicros);

    PairTiming recordView = MeasurePair(KestrelFrame, FloorFrameRecordView, &b, framePlan);
    PrintFigure("frame_ratio_record_view", recordView.ratio);
    PrintFigure("frame_floor_record_view_us", recordView.bMicros);
    PairTiming views = MeasurePair(FloorFrameRecordView, FloorFrame, &b, framePlan);
    PrintFigure("record_view_to_whole_view_ratio", views.ratio);

    BenchPlan deliverPlan = {200, 5000};
    PrintFigure("deliver_ignored_ns", 1000 * MeasureOne(IgnoredMessage, &b, deliverPlan));

    int count = PlanCountAfterCycle(&b);
    if (count == 50) {
        BenchPlan planPlan = {200, 20};
        PairTiming cycle = MeasurePair(KestrelPlanCycle, FloorPlanCycle, &b, planPlan);
        PrintFigure("plan_cycle_dll_ratio", cycle.ratio);
        PrintFigure("plan_cycle_dll_us", cycle.aMicros);
        PrintFigure("plan_cycle_floor_us", cycle.bMicros);
    } else {
        char why[128];
        snprintf(why, sizeof why, "a plan cycle through kestrel.dll published %d waypoints of 50", count);
        PrintMissing("plan_cycle_dll_ratio", why);
        PrintMissing("plan_cycle_dll_us", why);
        PrintMissing("plan_cycle_floor_us", why);
    }

    CloseHandle(b.data);
    CloseHandle(b.plan);
    b.host.stop();
    UnloadKestrel(&b.host);
    return 0;
}
