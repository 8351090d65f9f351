// The hooked window procedure: every message reaches the host's own
// procedure, the version box on "VersionInfo", and the module unloaded
// while the window lives.
#include <gtest/gtest.h>

#include "harrier_fixture.h"

namespace {

bool AwaitTicks(int n)
{
    int target = AttachTicks() + n;
    return PumpUntil([&] { return AttachTicks() >= target; }, 1000u * n + 1500);
}

// A started library attached to a window whose menu has been installed.
class HarrierHooked : public HarrierScenario {
  protected:
    void Install(const void *services)
    {
        bar = BuildMenu("&File#100{&Open#101} | &View#200{&Zoom#201}", true);
        NameValue((uintptr_t)bar, "bar");
        main = Window(bar);
        StartHarrier(&host, services);
        ASSERT_TRUE(AwaitTicks(2));
        ASSERT_EQ(DescribeMenu(bar),
                  "&File#100{&Open#101} | &View#200{&Zoom#201} | &Modules#21007{HARRIER{VersionInfo#41001}}");
    }
    // The command id of "VersionInfo", as the menu holds it.
    UINT VersionInfoCommand()
    {
        HMENU modules = GetSubMenu(bar, FindItem(bar, "&Modules"));
        HMENU entry = GetSubMenu(modules, FindItem(modules, "HARRIER"));
        return GetMenuItemID(entry, FindItem(entry, "VersionInfo"));
    }
    HMENU bar = NULL;
    HWND main = NULL;
};

std::vector<std::string> CommandCalls()
{
    return Keep(TracedCalls(), {"MessageBoxA", "DrawMenuBar", "CallWindowProcA(HostWindowProc, main, WM_COMMAND"});
}

TEST_F(HarrierHooked, VersionInfoShowsTheBoxThenTheHostGetsTheCommand)
{
    Install(primaryServices);
    UINT command = VersionInfoCommand();
    ASSERT_EQ(command, 41001u);
    ClearTrace();
    WatchForVersionBox(main, 22);
    PostMessageA(main, WM_COMMAND, command, 0);
    ASSERT_TRUE(PumpUntil([] { return CountHostMessages(WM_COMMAND, 41001) == 1; }, 8000))
        << "the host's procedure never got command 41001";

    ASSERT_TRUE(versionBox.seen) << "no box was shown";
    EXPECT_EQ(versionBox.boxesSeen, 1);
    EXPECT_EQ(versionBox.caption, "Version Information");
    EXPECT_EQ(versionBox.texts, std::vector<std::string>{"HARRIER_Link Version 1.0"});
    EXPECT_EQ(versionBox.owner, main);
    // The box is modal, but the thread's timers and the window's messages
    // go on: the sampler ran, and a paint went through the hook.
    EXPECT_GE(versionBox.lookupsWhileOpen, 22u);
    EXPECT_GE(versionBox.paintsWhileOpen, 1);

    // The host got the command once, after the box had closed.
    const HostMessage *got = nullptr;
    for (const HostMessage &m : hostMessages)
        if (m.message == WM_COMMAND)
            got = &m;
    ASSERT_NE(got, nullptr);
    EXPECT_GT(got->seq, versionBox.seq);
    EXPECT_FALSE(got->boxOpen);
    EXPECT_EQ(got->lParam, 0);
    EXPECT_EQ(CommandCalls(), (std::vector<std::string>{
                                  "MessageBoxA(main, \"HARRIER_Link Version 1.0\", \"Version Information\", 0)",
                                  "MessageBoxA returned 1",
                                  "DrawMenuBar(main)",
                                  "CallWindowProcA(HostWindowProc, main, WM_COMMAND, 41001, 0)",
                              }))
        << Joined(CommandCalls());

    // And again: the box is shown on every pick.
    PostMessageA(main, WM_COMMAND, command, 0);
    ASSERT_TRUE(PumpUntil([] { return CountHostMessages(WM_COMMAND, 41001) == 2; }, 8000));
    EXPECT_EQ(versionBox.boxesSeen, 2);
}

TEST_F(HarrierHooked, OtherCommandsShowNoBoxButRedrawTheMenuBar)
{
    Install(nullptr);
    ClearTrace();
    WatchForVersionBox(main, 0);
    const WPARAM commands[] = {MAKEWPARAM(41001, 1), MAKEWPARAM(41001, 0xFFFF), 101, 21007, 41002};
    for (WPARAM c : commands)
        PostMessageA(main, WM_COMMAND, c, 0);
    ASSERT_TRUE(PumpUntil([] { return CountHostMessages(WM_COMMAND) == 5; }, 3000));
    PumpFor(200);
    EXPECT_EQ(versionBox.boxesSeen, 0) << "a box was shown";
    std::vector<std::string> expected;
    for (WPARAM c : commands) {
        expected.push_back("DrawMenuBar(main)");
        expected.push_back("CallWindowProcA(HostWindowProc, main, WM_COMMAND, " + std::to_string(c) + ", 0)");
    }
    EXPECT_EQ(CommandCalls(), expected) << Joined(CommandCalls());
    for (size_t i = 0; i < 5; ++i) {
        size_t seen = 0;
        for (const HostMessage &m : hostMessages)
            if (m.message == WM_COMMAND && m.wParam == commands[i])
                ++seen;
        EXPECT_EQ(seen, 1u) << "command " << commands[i];
    }
}

TEST_F(HarrierHooked, EveryMessageReachesTheHostUnchangedWithItsResult)
{
    Install(nullptr);
    hostMessages.clear();
    EXPECT_EQ(SendMessageA(main, WM_USER + 7, 0x1234, 0x5678), hostUserResult);
    const UINT sent[] = {WM_USER + 1, WM_USER + 2, WM_NULL, WM_USER + 300};
    for (UINT m : sent)
        SendMessageA(main, m, m * 3, (LPARAM)(m * 5));
    std::vector<std::string> got;
    for (const HostMessage &m : hostMessages) {
        char line[64];
        snprintf(line, sizeof line, "0x%X %u %ld", m.message, (unsigned)m.wParam, (long)m.lParam);
        got.push_back(line);
    }
    std::vector<std::string> want = {"0x407 4660 22136"};
    for (UINT m : sent) {
        char line[64];
        snprintf(line, sizeof line, "0x%X %u %ld", m, m * 3, (long)(m * 5));
        want.push_back(line);
    }
    EXPECT_EQ(got, want);

    // The window's end passes through too.
    hostMessages.clear();
    DestroyWindow(main);
    EXPECT_EQ(CountHostMessages(WM_DESTROY), 1);
    EXPECT_EQ(CountHostMessages(WM_NCDESTROY), 1);
    // LinkDeinit then finds no window to hand back.
    ClearTrace();
    StopHarrier(&host);
    EXPECT_EQ(TracedCalls(), (std::vector<std::string>{"KillTimer(0, sampleTimer) = 1", "CloseHandle(section)",
                                                       "IsWindow(main) = 0"}))
        << Joined(TracedCalls());
}

// Messages a host sends its window after the library is gone; none may
// crash, all reach the host's procedure.
void KeepUsingTheWindow(const HarrierHost &host, HWND main)
{
    uintptr_t proc = (uintptr_t)GetWindowLongA(main, GWL_WNDPROC);
    bool gone = GetModuleHandleA("harrier_link.dll") == NULL;
    ASSERT_FALSE(gone && proc >= host.imageStart && proc < host.imageEnd)
        << "the window procedure points into the unloaded library";
    WatchForVersionBox(main, 0);
    size_t before = hostMessages.size();
    PumpFor(1300);
    PaintFrame(main);
    SetWindowPos(main, NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
    PostMessageA(main, WM_COMMAND, 41001, 0);
    PostMessageA(main, WM_COMMAND, 101, 0);
    EXPECT_EQ(SendMessageA(main, WM_USER + 7, 0, 0), hostUserResult);
    ASSERT_TRUE(PumpUntil([] { return CountHostMessages(WM_COMMAND, 101) == 1; }, 3000));
    PumpFor(200);
    EXPECT_EQ(CountHostMessages(WM_COMMAND, 41001), 1);
    EXPECT_GT(hostMessages.size(), before);
    EXPECT_EQ(versionBox.boxesSeen, 0) << "an unloaded library showed its box";
}

TEST_F(HarrierHooked, UnloadedWhileTheWindowLivesTheWindowGetsItsProcedureBack)
{
    Install(primaryServices);
    ClearTrace();
    StopHarrier(&host);
    EXPECT_EQ(TracedCalls(), (std::vector<std::string>{
                                 "KillTimer(0, sampleTimer) = 1",
                                 "CloseHandle(section)",
                                 "IsWindow(main) = 1",
                                 "GetWindowLongA(main, -4) = MainWindowHook",
                                 "SetWindowLongA(main, -4, HostWindowProc) = MainWindowHook",
                             }))
        << Joined(TracedCalls());
    EXPECT_EQ((WNDPROC)GetWindowLongA(main, GWL_WNDPROC), HostWindowProc());
    UnloadHarrier(&host);
    KeepUsingTheWindow(host, main);
    // The menu keeps the entry; its submenu still works as a menu.
    EXPECT_EQ(DescribeMenu(bar),
              "&File#100{&Open#101} | &View#200{&Zoom#201} | &Modules#21007{HARRIER{VersionInfo#41001}}");
}

TEST_F(HarrierHooked, UnloadedBeforeTheAttachmentCompletedNothingRunsOn)
{
    main = Window(NULL);
    StartHarrier(&host, nullptr);
    ASSERT_TRUE(AwaitTicks(1)); // hooked, waiting for a menu bar
    ClearTrace();
    StopHarrier(&host);
    EXPECT_EQ(TracedCalls(), (std::vector<std::string>{
                                 "KillTimer(0, sampleTimer) = 1",
                                 "CloseHandle(section)",
                                 "KillTimer(0, attachTimer) = 1",
                                 "IsWindow(main) = 1",
                                 "GetWindowLongA(main, -4) = MainWindowHook",
                                 "SetWindowLongA(main, -4, HostWindowProc) = MainWindowHook",
                             }))
        << Joined(TracedCalls());
    UnloadHarrier(&host);
    SetMenu(main, BuildMenu("&File#100{&Open#101}", true));
    KeepUsingTheWindow(host, main);
    EXPECT_EQ(StrayTimers(), 0);
}

// Scenarios that leave the library loaded for the life of the process;
// each runs in a process of its own.
class HarrierPinned : public HarrierHooked {
  protected:
    void SetUp() override
    {
        HarrierHooked::SetUp();
        pinned = true;
    }
};

WNDPROC belowSubclass;
int subclassCalls;

LRESULT CALLBACK HostSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++subclassCalls;
    return CallWindowProcA(belowSubclass, window, message, wParam, lParam);
}

TEST_F(HarrierPinned, AProcedureInstalledOnTopOfTheHookKeepsTheLibraryLoaded)
{
    Install(primaryServices);
    belowSubclass = (WNDPROC)SetWindowLongA(main, GWL_WNDPROC, (LONG)HostSubclass);
    NameValue((uintptr_t)HostSubclass, "HostSubclass");
    ClearTrace();
    StopHarrier(&host);
    EXPECT_EQ(TracedCalls(), (std::vector<std::string>{
                                 "KillTimer(0, sampleTimer) = 1",
                                 "CloseHandle(section)",
                                 "IsWindow(main) = 1",
                                 "GetWindowLongA(main, -4) = HostSubclass",
                                 "GetModuleHandleExA(0x5, module) = 1",
                             }))
        << Joined(TracedCalls());
    EXPECT_EQ((WNDPROC)GetWindowLongA(main, GWL_WNDPROC), HostSubclass) << "the host's subclass was cut off";
    UnloadHarrier(&host, true);
    // Messages still pass the stopped hook, which only passes them on.
    ClearTrace();
    subclassCalls = 0;
    KeepUsingTheWindow(host, main);
    EXPECT_GT(subclassCalls, 0);
    EXPECT_TRUE(Keep(TracedCalls(), {"GetMenu", "DrawMenuBar", "MessageBoxA"}).empty()) << Joined(TracedCalls());
    EXPECT_FALSE(Keep(TracedCalls(), {"CallWindowProcA(HostWindowProc, main, WM_COMMAND, 41001, 0)"}).empty());
}

TEST_F(HarrierPinned, StoppedAndUnloadedFromInsideAMessageItPassedOn)
{
    Install(primaryServices);
    HarrierHost *h = &host;
    onHostMessage = [h](UINT message) {
        if (message == WM_USER + 9 && h->started) {
            ClearTrace();
            StopHarrier(h);
            UnloadHarrier(h, true);
        }
    };
    // The hook is on the stack while the host stops the library: it
    // returns into code that must still be there.
    SendMessageA(main, WM_USER + 9, 0, 0);
    onHostMessage = nullptr;
    EXPECT_EQ(TracedCalls(), (std::vector<std::string>{
                                 "KillTimer(0, sampleTimer) = 1",
                                 "CloseHandle(section)",
                                 "IsWindow(main) = 1",
                                 "GetWindowLongA(main, -4) = MainWindowHook",
                                 "SetWindowLongA(main, -4, HostWindowProc) = MainWindowHook",
                                 "GetModuleHandleExA(0x5, module) = 1",
                             }))
        << Joined(TracedCalls());
    EXPECT_EQ((WNDPROC)GetWindowLongA(main, GWL_WNDPROC), HostWindowProc());
    KeepUsingTheWindow(host, main);
}

} // namespace
