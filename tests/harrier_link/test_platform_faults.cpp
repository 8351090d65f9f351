// Faults of the platform and of the host that the other scenarios leave
// out: sections a reader made first in a shape the module did not ask for,
// lookups that write nothing, and the main window going away before the
// attachment completed.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include "harrier_fixture.h"
#include "kestrel_host.h"
#include "sections.h"

namespace {

const int32_t lookupOrder[11] = {0x56, 0x47, 0x48, 0x49, 0x52, 0x227, 5, 7, 6, 4, 3};

// Host values whose record is known: altitude, position and speed at round
// values (3280.839895013123 ft, 45, 90, 59.248380129589634 kt).
void ScriptRoundValues()
{
    const double v[11] = {271.5, 5000875, 0x1p46, 1000, 123.25, 100, 59.5, 42.0, 12.999, 30.7, 23.0};
    for (int i = 0; i < 11; ++i)
        SetTokenValue(lookupOrder[i], v[i]);
}

LinkBlock RoundValuesRecord()
{
    LinkBlock b;
    memset(&b, 0, sizeof b);
    b.altitude = 3280.839895013123;
    b.latitude = 45.0;
    b.longitude = 90.0;
    b.heading = 271.5;
    b.groundSpeed = 59.248380129589634;
    b.groundAltitude = 123.25;
    b.hour = 12;
    b.minute = 42;
    b.second = b.clock2Second = 59;
    b.clock2Hour = 23;
    b.clock2Minute = 30;
    return b;
}

bool AwaitLookups(size_t n)
{
    size_t target = lookups.size() + n;
    return PumpUntil([&] { return lookups.size() >= target; }, 3000);
}

// The reader's bytes of a section it holds: through its own handle, since
// the section may be one OpenFileMappingA cannot tell from another.
std::vector<unsigned char> ReaderBytes(HANDLE section, DWORD access, size_t size)
{
    std::vector<unsigned char> out;
    const unsigned char *view = (const unsigned char *)MapViewOfFile(section, access, 0, 0, 0);
    if (view) {
        MEMORY_BASIC_INFORMATION m;
        VirtualQuery(view, &m, sizeof m);
        size_t n = size < m.RegionSize ? size : m.RegionSize;
        out.assign(view, view + n);
        UnmapViewOfFile(view);
    }
    return out;
}

bool AllZeroBytes(const std::vector<unsigned char> &b)
{
    for (unsigned char c : b)
        if (c != 0)
            return false;
    return true;
}

class HarrierFaults : public HarrierScenario {};

// A reader made the section before the module, in a form the module cannot
// choose: read-only, or smaller than the record. The module goes on ticking;
// the reader finds zeros or the exact record (a prefix of it in a section
// shorter than the record), never anything else.
struct ReaderSectionRow {
    const char *name;
    DWORD protect;    // of the reader's section
    DWORD size;       // 0: the size of the file behind it
    size_t fileSize;  // a file-backed section of this size, 0: paging file
    DWORD readAccess; // how the reader maps it
};

const ReaderSectionRow readerSections[] = {
    {"a read-only paging-file section", PAGE_READONLY, 1024, 0, FILE_MAP_READ},
    {"a paging-file section of 16 bytes", PAGE_READWRITE, 16, 0, FILE_MAP_READ},
    {"a file-backed section of 16 bytes", PAGE_READWRITE, 0, 16, FILE_MAP_READ},
    {"a file-backed section of 71 bytes, one short of the record", PAGE_READWRITE, 0, 71, FILE_MAP_READ},
    {"a read-only file-backed section of 40 bytes", PAGE_READONLY, 0, 40, FILE_MAP_READ},
};

TEST_F(HarrierFaults, ASectionAReaderMadeFirstInAnotherShapeCrashesNothing)
{
    const LinkBlock record = RoundValuesRecord();
    const unsigned char *recordBytes = (const unsigned char *)&record;
    for (const ReaderSectionRow &row : readerSections) {
        SCOPED_TRACE(row.name);
        HANDLE file = INVALID_HANDLE_VALUE;
        char path[MAX_PATH] = "";
        if (row.fileSize) {
            char dir[MAX_PATH];
            GetTempPathA(sizeof dir, dir);
            snprintf(path, sizeof path, "%sharrier-reader-%u.bin", dir, (unsigned)row.fileSize);
            file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            std::vector<unsigned char> zeros(row.fileSize, 0);
            DWORD written = 0;
            WriteFile(file, zeros.data(), (DWORD)zeros.size(), &written, nullptr);
            ASSERT_EQ(written, row.fileSize);
        }
        HANDLE reader = CreateFileMappingA(file, nullptr, row.protect, 0, row.size, HARRIER_LINK_NAME);
        ASSERT_NE(reader, nullptr) << "error " << GetLastError();
        size_t readerSize = row.fileSize ? row.fileSize : row.size;

        ScriptRoundValues();
        StartHarrier(&host);
        ASSERT_TRUE(AwaitLookups(33)) << "the sampler stopped";
        StopHarrier(&host);

        std::vector<unsigned char> seen = ReaderBytes(reader, row.readAccess, readerSize);
        ASSERT_EQ(seen.size(), readerSize);
        size_t n = readerSize < sizeof record ? readerSize : sizeof record;
        std::vector<unsigned char> head(seen.begin(), seen.begin() + n);
        bool zeros = AllZeroBytes(head);
        bool theRecord = memcmp(head.data(), recordBytes, n) == 0;
        EXPECT_TRUE(zeros || theRecord) << "the reader's bytes: " << Hex(head.data(), n);
        EXPECT_TRUE(AllZero(seen, n)) << "bytes past the record were written";
        // Whatever was written, the file behind it kept its size.
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetFileSize(file, nullptr), (DWORD)row.fileSize);
        }
        printf("[ reader   ] %s: %s\n", row.name, theRecord && !zeros ? "holds the record" : "holds zeros");
        CloseHandle(reader);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileA(path);
        }
        // A fresh library for the next row.
        UnloadHarrier(&host);
        ASSERT_TRUE(LoadHarrier(&host));
    }
}

TEST_F(HarrierFaults, LookupsThatWriteNothingPublishWhatTheRecordsLastHeld)
{
    // Never filled: the records' zeros from load go out, over the
    // sentinel, so something was written.
    StartHarrier(&host);
    ASSERT_TRUE(AwaitLookups(11));
    Scribble(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    ASSERT_TRUE(AwaitLookups(11));
    std::vector<unsigned char> s = ReadSection(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    ASSERT_EQ(s.size(), HARRIER_LINK_SIZE);
    EXPECT_TRUE(AllZeroBytes(std::vector<unsigned char>(s.begin(), s.begin() + 72))) << Hex(s.data(), 72);
    EXPECT_TRUE(AllSentinel(std::vector<unsigned char>(s.begin() + 72, s.end())));

    // Filled once, then the host stops writing values: every later tick
    // publishes the host's last values again.
    ScriptRoundValues();
    ASSERT_TRUE(AwaitLookups(11));
    ClearTokenValues();
    ASSERT_TRUE(AwaitLookups(11));
    Scribble(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    ASSERT_TRUE(AwaitLookups(22));
    LinkBlock want = RoundValuesRecord();
    EXPECT_EQ(Hex(ReadSection(HARRIER_LINK_NAME, 72).data(), 72), Hex(&want, 72));
    for (const std::string &p : recordProblems)
        ADD_FAILURE() << p;
}

bool AwaitAttachTicks(int n)
{
    int target = AttachTicks() + n;
    return PumpUntil([&] { return AttachTicks() >= target; }, 1000u * n + 1500);
}

TEST_F(HarrierFaults, TheMainWindowDestroyedWhileHookedBeforeItsMenuBarCame)
{
    HWND main = Window(NULL);
    StartHarrier(&host);
    ASSERT_TRUE(AwaitAttachTicks(1)); // hooked, waiting for a menu bar
    ASSERT_EQ(Keep(TracedCalls(), {"SetWindowLongA"}).size(), 1u) << Joined(TracedCalls());
    DestroyMainWindow(main);
    // The host opens a new main window: the module keeps asking the old
    // one for its bar and attaches to nothing else.
    HWND second = Window(BuildMenu("&File#100{&Open#101}", true));
    NameValue((uintptr_t)second, "second");
    NameValue((uintptr_t)main, "main");
    ClearTrace();
    ASSERT_TRUE(AwaitAttachTicks(2));
    EXPECT_EQ(Keep(TracedCalls(), {"FindWindowExA", "SetWindowLongA", "GetMenu(", "InsertMenuItemA", "AppendMenuA"}),
              (std::vector<std::string>{"GetMenu(main) = 0", "GetMenu(main) = 0"}))
        << Joined(TracedCalls());
    EXPECT_EQ((WNDPROC)GetWindowLongA(second, GWL_WNDPROC), HostWindowProc());
    EXPECT_GE(lookups.size(), 11u) << "the sampler stopped";

    ClearTrace();
    StopHarrier(&host);
    EXPECT_EQ(TracedCalls(), (std::vector<std::string>{
                                 "KillTimer(0, sampleTimer) = 1",
                                 "CloseHandle(section)",
                                 "KillTimer(0, attachTimer) = 1",
                                 "IsWindow(main) = 0",
                             }))
        << Joined(TracedCalls());
    UnloadHarrier(&host);
    pumpAfterUnload = 1300;
    PaintFrame(second);
    EXPECT_EQ(DescribeMenu(GetMenu(second)), "&File#100{&Open#101}");
}

} // namespace
