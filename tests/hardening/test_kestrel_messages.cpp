// Random messages through the stand-in SimConnect, checked against a model
// of what each message may change: anything else that changes a section,
// or any crash, is a fault.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "kestrel_host.h"

namespace {

// xorshift32 with a fixed seed: every run delivers the same messages.
struct Random {
    unsigned state;
    unsigned Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    unsigned Below(unsigned n) { return Next() % n; }
    double AnyDouble()
    {
        unsigned long long bits = ((unsigned long long)Next() << 32) | Next();
        double d;
        memcpy(&d, &bits, sizeof d);
        return d;
    }
};

// What a reader must see: the model applies each message as the bridge's
// contract describes it, including its rules for cut-short messages.
struct Model {
    StateBlock state;
    int active;
    PlanBlock published;

    void Apply(const std::vector<unsigned char> &m)
    {
        DWORD size, kind, id;
        memcpy(&size, m.data(), 4);
        memcpy(&kind, m.data() + 8, 4);
        if (size < 12)
            return;
        if ((kind == 4 || kind == 6) && size >= 20) {
            memcpy(&id, m.data() + 16, 4);
            if (kind == 4 && id == 2)
                active = 0;
            if (kind == 6 && id == 1 && size > 24 && active == 0) {
                active = 1;
                // No random name names a plan file: the plan is taken over
                // with no waypoints.
                published.active = 1;
                published.count = 0;
            }
        }
        if (kind == 8 && size >= 40) {
            memcpy(&id, m.data() + 12, 4);
            if (id == 0 && size >= 88)
                memcpy(&state, m.data() + 40, 48);
            if (id == 1 && size >= 48) {
                double t;
                memcpy(&t, m.data() + 40, 8);
                double h = floor(t / 3600.0);
                if (h >= -596523.0 && h <= 596523.0) {
                    state.hour = (int)h;
                    double r = t - (double)(state.hour * 3600);
                    state.minute = (int)floor(r / 60.0);
                    state.second = (int)(r - (double)(state.minute * 60));
                }
            }
        }
    }
};

std::vector<unsigned char> RandomMessage(Random *rnd)
{
    static const DWORD kinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xFFFFFFFFu};
    static const DWORD ids[] = {0, 1, 2, 3, 0xFFFFFFFFu};
    unsigned length = 12 + rnd->Below(300);
    std::vector<unsigned char> m(length);
    for (unsigned char &b : m)
        b = (unsigned char)rnd->Next();
    // dwSize is the message's own length, or less: SimConnect never hands
    // over fewer bytes than a message claims.
    DWORD size = rnd->Below(4) ? length : rnd->Below(length + 1);
    DWORD kind = rnd->Below(8) ? kinds[rnd->Below(11)] : rnd->Next();
    memcpy(m.data(), &size, 4);
    memcpy(m.data() + 8, &kind, 4);
    size_t idOffset = kind == 8 ? 12 : 16;
    if (rnd->Below(4) && length >= idOffset + 4) {
        DWORD id = ids[rnd->Below(5)];
        memcpy(m.data() + idOffset, &id, 4);
    }
    if (kind == 6 && length > 24 && rnd->Below(2)) {
        // A file name of any length, terminated or not.
        unsigned n = rnd->Below(length - 24 + 1);
        for (unsigned i = 0; i < n; ++i)
            m[24 + i] = (unsigned char)(1 + rnd->Below(255));
        if (24 + n < length && rnd->Below(4))
            m[24 + n] = 0;
    }
    if (kind == 8 && length >= 48 && rnd->Below(2)) {
        double t = rnd->Below(2) ? rnd->AnyDouble() : (double)rnd->Below(200000) - 1000.0;
        memcpy(m.data() + 40, &t, 8);
    }
    return m;
}

std::vector<unsigned char> RandomValidMessage(Random *rnd)
{
    switch (rnd->Below(5)) {
    case 0:
        return StateMessage(rnd->Below(40000), (double)rnd->Below(180) - 90, (double)rnd->Below(360) - 180,
                            rnd->Below(360), rnd->Below(500), rnd->Below(3000));
    case 1:
        return TimeMessage(rnd->Below(8640000) / 100.0);
    case 2:
        return EventMessage(2);
    case 3:
        return FileNameEventMessage(1, "C:\\no such folder\\plan.pln");
    default:
        return QuitMessage();
    }
}

TEST(KestrelMessages, RandomMessagesChangeTheSectionsOnlyAsValidOnesSay)
{
    KestrelHost host;
    ASSERT_TRUE(LoadKestrel(&host));
    ASSERT_EQ(host.start(), 0);
    Deliver(host, OpenMessage());

    // The reader's own views stay mapped for the run, so every check is a
    // plain comparison; the library still maps and unmaps per publication.
    HANDLE dataHandle = OpenFileMappingA(FILE_MAP_READ, FALSE, KESTREL_DATA_NAME);
    HANDLE planHandle = OpenFileMappingA(FILE_MAP_READ, FALSE, KESTREL_PLAN_NAME);
    ASSERT_TRUE(dataHandle && planHandle);
    const StateBlock *seenState = (const StateBlock *)MapViewOfFile(dataHandle, FILE_MAP_READ, 0, 0, 0);
    const PlanBlock *seenPlan = (const PlanBlock *)MapViewOfFile(planHandle, FILE_MAP_READ, 0, 0, 0);
    ASSERT_TRUE(seenState && seenPlan);

    Model model;
    memset(&model, 0, sizeof model);
    Random rnd = {0x2545F491u};
    const unsigned total = 100000;
    unsigned valid = 0, faults = 0;
    for (unsigned i = 0; i < total && faults < 5; ++i) {
        std::vector<unsigned char> m = rnd.Below(10) == 0 ? (++valid, RandomValidMessage(&rnd)) : RandomMessage(&rnd);
        model.Apply(m);
        Deliver(host, m);
        StateBlock s = *seenState;
        PlanBlock p = *seenPlan;
        if (memcmp(&s, &model.state, sizeof s) != 0) {
            ADD_FAILURE() << "message " << i << " (" << Hex(m.data(), m.size() < 48 ? m.size() : 48)
                          << "...): state " << Hex(&s, sizeof s) << " expected " << Hex(&model.state, sizeof s);
            model.state = s, ++faults;
        }
        if (p.active != model.published.active || p.count < 0 || p.count > 50 ||
            p.count != model.published.count) {
            ADD_FAILURE() << "message " << i << ": plan active " << p.active << " count " << p.count
                          << ", expected " << model.published.active << " " << model.published.count;
            model.published = p, ++faults;
        }
    }
    std::vector<unsigned char> beyond = ReadSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE);
    EXPECT_TRUE(AllZero(beyond, sizeof(StateBlock) - 4)) << "bytes past the state record written";
    printf("[ fuzzed   ] %u messages, %u of them valid\n", total, valid);
    UnmapViewOfFile(seenState);
    UnmapViewOfFile(seenPlan);
    CloseHandle(dataHandle);
    CloseHandle(planHandle);
    host.stop();
    UnloadKestrel(&host);
}

} // namespace
