// The two sections when something else got to their names first: a reader
// that created them, or an object of another type that blocks one of them.
#include <gtest/gtest.h>

#include <string.h>

#include "kestrel_host.h"

namespace {

class KestrelSections : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(LoadKestrel(&host)); }
    void TearDown() override
    {
        host.stop();
        UnloadKestrel(&host);
        for (HANDLE h : held)
            CloseHandle(h);
    }
    void Start()
    {
        ASSERT_EQ(host.start(), 0);
        Deliver(host, OpenMessage());
        Deliver(host, StateMessage(1000, 50.5, 8.25, 90, 120, 300));
        Deliver(host, FileNameEventMessage(1, "C:\\none.pln"));
    }
    KestrelHost host;
    std::vector<HANDLE> held;
};

TEST_F(KestrelSections, ReaderCreatedSectionsAreUsedWithTheirOwnSize)
{
    HANDLE data = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, KESTREL_DATA_NAME);
    HANDLE plan = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, KESTREL_PLAN_NAME);
    ASSERT_TRUE(data && plan);
    held = {data, plan};
    char *view = (char *)MapViewOfFile(data, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    strcpy(view + 5000, "reader's own bytes");
    UnmapViewOfFile(view);

    Start();
    StateBlock s = ReadState();
    EXPECT_EQ(s.altitude, 1000.0);
    EXPECT_EQ(s.longitude, 8.25);
    EXPECT_EQ(ReadPlan().active, 1);
    std::vector<unsigned char> all = ReadSection(KESTREL_DATA_NAME, 8192);
    EXPECT_STREQ((const char *)all.data() + 5000, "reader's own bytes") << "bytes past the record are the reader's";
}

TEST_F(KestrelSections, BlockedDataSectionLeavesPlansPublished)
{
    HANDLE blocker = CreateEventA(nullptr, TRUE, FALSE, KESTREL_DATA_NAME);
    ASSERT_NE(blocker, nullptr);
    held = {blocker};
    Start();
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, KESTREL_DATA_NAME), nullptr);
    PlanBlock p = ReadPlan();
    EXPECT_EQ(p.active, 1);
}

TEST_F(KestrelSections, BlockedPlanSectionLeavesStatePublished)
{
    HANDLE blocker = CreateEventA(nullptr, TRUE, FALSE, KESTREL_PLAN_NAME);
    ASSERT_NE(blocker, nullptr);
    held = {blocker};
    Start();
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, KESTREL_PLAN_NAME), nullptr);
    EXPECT_EQ(ReadState().groundAltitude, 300.0);
}

TEST_F(KestrelSections, SectionsVanishWhenTheLibraryStopsAndNoReaderHoldsThem)
{
    Start();
    host.stop();
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, KESTREL_DATA_NAME), nullptr);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, KESTREL_PLAN_NAME), nullptr);
    ASSERT_EQ(host.start(), 0) << "started again for TearDown's stop";
}

} // namespace

namespace {

// Windows refuses a writable view of a read-only section, so nothing is
// published into it; Wine grants one. Either way the library must not crash,
// and the section holds zeros or the whole record, nothing else.
TEST_F(KestrelSections, ReadOnlySectionCreatedByAReaderCrashesNothing)
{
    HANDLE data = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 1024, KESTREL_DATA_NAME);
    ASSERT_NE(data, nullptr);
    held = {data};
    Start();
    Deliver(host, TimeMessage(3600));
    std::vector<unsigned char> seen = ReadSection(KESTREL_DATA_NAME, KESTREL_DATA_SIZE);
    StateBlock expected = {1000, 50.5, 8.25, 90, 120, 300, 1, 0, 0, {0, 0, 0, 0}};
    std::vector<unsigned char> published(KESTREL_DATA_SIZE, 0);
    memcpy(published.data(), &expected, sizeof expected);
    EXPECT_TRUE(AllZero(seen) || seen == published) << Hex(seen.data(), 64);
    EXPECT_EQ(ReadPlan().active, 1) << "the plan section is unaffected";
}

} // namespace
