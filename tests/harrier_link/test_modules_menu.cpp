// The attachment to "FS98MAIN" and the Modules menu, read back from a real
// window's menu bar under the stand-in host.
#include <gtest/gtest.h>

#include "harrier_fixture.h"

namespace {

const char *const entry = "HARRIER{VersionInfo#41001}";

// What the library calls, without the messages it passes on.
std::vector<std::string> Calls()
{
    return Drop(TracedCalls(), {"CallWindowProcA", "Lookup(", "MapViewOfFile", "UnmapViewOfFile", "[msvcrt.dll!"});
}

// Attach ticks until the installation: the first finds and hooks the
// window, the next installs.
bool AwaitTicks(int n)
{
    int target = AttachTicks() + n;
    return PumpUntil([&] { return AttachTicks() >= target; }, 1000u * n + 1500);
}

HMENU Bar(const std::string &text, const char *name)
{
    HMENU bar = BuildMenu(text, true);
    NameValue((uintptr_t)bar, name);
    return bar;
}

// ---- the first installation, by the menu bar the window has ------------------

struct InstallRow {
    const char *name;
    const char *bar;
    const char *installed;
};

const InstallRow installRows[] = {
    {"no Modules item, first item enabled", "&File#100{&Open#101} | &View#200{&Zoom#201}",
     "&File#100{&Open#101} | &View#200{&Zoom#201} | &Modules#21007{HARRIER{VersionInfo#41001}}"},
    {"no Modules item, first item grayed", "&File#100!g{&Open#101} | &View#200{&Zoom#201}",
     "&File#100!g{&Open#101} | &View#200{&Zoom#201} | &Modules#21007!g{HARRIER{VersionInfo#41001}}"},
    {"no Modules item, first item disabled", "&File#100!d{&Open#101} | &View#200{&Zoom#201}",
     "&File#100!d{&Open#101} | &View#200{&Zoom#201} | &Modules#21007!d{HARRIER{VersionInfo#41001}}"},
    {"no Modules item, first item grayed and disabled", "&File#100!gd{&Open#101}",
     "&File#100!gd{&Open#101} | &Modules#21007!gd{HARRIER{VersionInfo#41001}}"},
    {"an empty menu bar: the new item is its own first item", "",
     "&Modules#21007!gd{HARRIER{VersionInfo#41001}}"},
    {"a Modules popup: the entry goes after its last entry", "&File#100{&Open#101} | &Modules#21007{Tools#300 | Scenery#301}",
     "&File#100{&Open#101} | &Modules#21007{Tools#300 | Scenery#301 | HARRIER{VersionInfo#41001}}"},
    {"an empty Modules popup", "&File#100{&Open#101} | &Modules#21007{} | &Help#900{About#901}",
     "&File#100{&Open#101} | &Modules#21007{HARRIER{VersionInfo#41001}} | &Help#900{About#901}"},
    {"a host entry of the same name opening a live menu stays", "&File#100{} | &Modules#21007{HARRIER{Own#5}}",
     "&File#100{} | &Modules#21007{HARRIER{Own#5} | HARRIER{VersionInfo#41001}}"},
    {"a Modules item without popup gets a further Modules item", "&File#100{&Open#101} | &Modules#21007",
     "&File#100{&Open#101} | &Modules#21007 | &Modules#21007{HARRIER{VersionInfo#41001}}"},
    {"... which takes the first item's state even so", "&File#100!g{&Open#101} | &Modules#21007",
     "&File#100!g{&Open#101} | &Modules#21007!g | &Modules#21007!g{HARRIER{VersionInfo#41001}}"},
    {"several Modules items: the last one has no popup", "&File#100{} | &Modules#21007{Tools#300} | &Modules#21007",
     "&File#100{} | &Modules#21007{Tools#300} | &Modules#21007 | &Modules#21007{HARRIER{VersionInfo#41001}}"},
    {"several Modules items: the last one has a popup", "&File#100{} | &Modules#21007 | &Modules#21007{Tools#300}",
     "&File#100{} | &Modules#21007 | &Modules#21007{Tools#300 | HARRIER{VersionInfo#41001}}"},
};

class HarrierInstall : public HarrierScenario, public ::testing::WithParamInterface<InstallRow> {};

TEST_P(HarrierInstall, FirstInstallation)
{
    const InstallRow &row = GetParam();
    HMENU bar = Bar(row.bar, "bar");
    HWND main = Window(bar);
    StartHarrier(&host, nullptr);
    ASSERT_TRUE(AwaitTicks(2));
    EXPECT_EQ(GetMenu(main), bar);
    EXPECT_EQ(DescribeMenu(bar), row.installed);
    // The entry opens the menu this installation loaded.
    std::vector<std::string> loads = Keep(Calls(), {"LoadMenuA"});
    EXPECT_EQ(loads, std::vector<std::string>{"LoadMenuA(module, #201) = versionMenu1"});
    // Nothing for a paint to mirror: a new Modules item has the first
    // item's state already, and the Modules popups here are enabled like
    // the first item.
    PaintFrame(main);
    EXPECT_EQ(DescribeMenu(bar), row.installed);
}

INSTANTIATE_TEST_SUITE_P(Bars, HarrierInstall, ::testing::ValuesIn(installRows),
                         [](const ::testing::TestParamInfo<InstallRow> &info) {
                             return "Row" + std::to_string(info.index);
                         });

class HarrierMenu : public HarrierScenario {};

TEST_F(HarrierMenu, AttachesOnTheFirstTickAndInstallsOnTheNext)
{
    HMENU bar = Bar("&File#100{&Open#101} | &View#200{&Zoom#201}", "bar");
    HWND main = Window(bar);
    StartHarrier(&host, nullptr);
    ClearTrace();
    ASSERT_TRUE(AwaitTicks(1));
    EXPECT_EQ(Calls(), (std::vector<std::string>{
                           "FindWindowExA(0, 0, \"FS98MAIN\", 0) = main",
                           "GetWindowLongA(main, -4) = HostWindowProc",
                           "SetWindowLongA(main, -4, MainWindowHook) = HostWindowProc",
                           "GetMenu(main) = bar",
                       }))
        << Joined(Calls());
    // Attached, not installed: a paint is passed on and does nothing else.
    ClearTrace();
    PaintFrame(main);
    EXPECT_EQ(Calls(), std::vector<std::string>{}) << Joined(Calls());
    EXPECT_FALSE(Keep(TracedCalls(), {"CallWindowProcA(HostWindowProc, main, WM_NCPAINT)"}).empty());
    EXPECT_EQ(DescribeMenu(bar), "&File#100{&Open#101} | &View#200{&Zoom#201}");

    ClearTrace();
    ASSERT_TRUE(AwaitTicks(1));
    std::vector<std::string> install = Calls();
    std::vector<std::string> expected = {
        "KillTimer(0, attachTimer) = 1",
        "GetMenuItemCount(bar) = 2",
        "GetMenuItemInfoA(bar, 1, 1, {48, 0x2}) = 1 id 200",
        "GetMenuItemInfoA(bar, 0, 1, {48, 0x2}) = 1 id 100",
        "CreatePopupMenu() = newPopup1",
        "GetMenuItemCount(bar) = 2",
        "InsertMenuItemA(bar, 2, 1, {48, 0x17, type 0, state 3, id 21007, sub newPopup1, \"&Modules\", 8}) = 1",
        "GetMenuState(bar, 0, 0x400) & 3 = 0",
        "EnableMenuItem(bar, 21007, 0x0)",
        "EnableMenuItem(bar, 2, 0x400)",
        "LoadMenuA(module, #201) = versionMenu1",
        "GetMenuItemCount(newPopup1) = 0",
        "AppendMenuA(newPopup1, 0x10, versionMenu1, \"HARRIER\") = 1",
        "DrawMenuBar(main)",
    };
    ASSERT_GE(install.size(), expected.size()) << Joined(install);
    EXPECT_EQ(std::vector<std::string>(install.begin(), install.begin() + expected.size()), expected)
        << Joined(install);
    // The attach timer never fires again.
    int ticks = AttachTicks();
    PumpFor(1300);
    EXPECT_EQ(AttachTicks(), ticks);
    EXPECT_EQ(Keep(TracedCalls(), {"KillTimer", "FindWindowExA", "SetWindowLongA"}),
              std::vector<std::string>{"KillTimer(0, attachTimer) = 1"});
}

TEST_F(HarrierMenu, NoWindowYetThenAWindowWithoutMenuBarThenItsBar)
{
    StartHarrier(&host, nullptr);
    ClearTrace();
    ASSERT_TRUE(AwaitTicks(2));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"FindWindowExA(0, 0, \"FS98MAIN\", 0) = 0",
                                                 "FindWindowExA(0, 0, \"FS98MAIN\", 0) = 0"}));

    HWND main = Window(NULL);
    ClearTrace();
    ASSERT_TRUE(AwaitTicks(1));
    EXPECT_EQ(Calls(), (std::vector<std::string>{
                           "FindWindowExA(0, 0, \"FS98MAIN\", 0) = main",
                           "GetWindowLongA(main, -4) = HostWindowProc",
                           "SetWindowLongA(main, -4, MainWindowHook) = HostWindowProc",
                           "GetMenu(main) = 0",
                       }))
        << Joined(Calls());
    // Hooked already: messages pass through the hook to the host, results
    // unchanged, and a paint does nothing else.
    EXPECT_NE((WNDPROC)GetWindowLongA(main, GWL_WNDPROC), HostWindowProc());
    ClearTrace();
    EXPECT_EQ(SendMessageA(main, WM_USER + 7, 1, 2), hostUserResult);
    PaintFrame(main);
    EXPECT_EQ(Calls(), std::vector<std::string>{});
    EXPECT_FALSE(Keep(TracedCalls(), {"CallWindowProcA(HostWindowProc, main, 0x407)"}).empty());

    // Only the menu bar is asked for again, each second.
    ClearTrace();
    ASSERT_TRUE(AwaitTicks(1));
    EXPECT_EQ(Calls(), std::vector<std::string>{"GetMenu(main) = 0"});

    HMENU bar = Bar("&File#100{&Open#101}", "bar");
    SetMenu(main, bar);
    ClearTrace();
    ASSERT_TRUE(AwaitTicks(1));
    EXPECT_EQ(Calls(), std::vector<std::string>{"GetMenu(main) = bar"});
    EXPECT_EQ(DescribeMenu(bar), "&File#100{&Open#101}");
    ASSERT_TRUE(AwaitTicks(1));
    EXPECT_EQ(DescribeMenu(bar), "&File#100{&Open#101} | &Modules#21007{HARRIER{VersionInfo#41001}}");
}

TEST_F(HarrierMenu, AnExistingModulesPopupIsMirroredOnceAtTheFirstPaint)
{
    HMENU bar = Bar("&File#100!g{&Open#101} | &Modules#21007{Tools#300}", "bar");
    NameValue((uintptr_t)GetSubMenu(bar, 1), "hostModules");
    HWND main = Window(bar);
    StartHarrier(&host, nullptr);
    ClearTrace();
    ASSERT_TRUE(AwaitTicks(2));
    // The installation appends the entry and leaves the enable states
    // alone; the paint that its redraw brings mirrors the first item's
    // state onto the Modules item.
    std::vector<std::string> expected = {
        "FindWindowExA(0, 0, \"FS98MAIN\", 0) = main",
        "GetWindowLongA(main, -4) = HostWindowProc",
        "SetWindowLongA(main, -4, MainWindowHook) = HostWindowProc",
        "GetMenu(main) = bar",
        "KillTimer(0, attachTimer) = 1",
        "GetMenuItemCount(bar) = 2",
        "GetMenuItemInfoA(bar, 1, 1, {48, 0x2}) = 1 id 21007",
        "GetSubMenu(bar, 1) = hostModules",
        "LoadMenuA(module, #201) = versionMenu1",
        "GetMenuItemCount(hostModules) = 1",
        "GetMenuItemInfoA(hostModules, 0, 1, {48, 0x44}) = 1 sub 0 \"Tools\"",
        "AppendMenuA(hostModules, 0x10, versionMenu1, \"HARRIER\") = 1",
        "DrawMenuBar(main)",
        "GetMenu(main) = bar",
        "GetMenuState(bar, 21007, 0x0) & 3 = 0",
        "GetMenuState(bar, 0, 0x400) & 3 = 1",
        "EnableMenuItem(bar, 21007, 0x1)",
        "DrawMenuBar(main)",
    };
    std::vector<std::string> calls = Calls();
    ASSERT_GE(calls.size(), expected.size()) << Joined(calls);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected) << Joined(calls);
    PaintFrame(main);
    EXPECT_EQ(DescribeMenu(bar), "&File#100!g{&Open#101} | &Modules#21007!g{Tools#300 | HARRIER{VersionInfo#41001}}");

    // Once only: later changes of the first item are not followed, and a
    // paint costs one GetMenu from now on.
    EnableMenuItem(bar, 0, MF_BYPOSITION | MF_ENABLED);
    ClearTrace();
    PaintFrame(main);
    PaintFrame(main);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"GetMenu(main) = bar", "GetMenu(main) = bar"})) << Joined(Calls());
    // The host paints first; the check follows.
    EXPECT_EQ(Keep(TracedCalls(), {"CallWindowProcA(HostWindowProc, main, WM_NCPAINT)", "GetMenu"}),
              (std::vector<std::string>{"CallWindowProcA(HostWindowProc, main, WM_NCPAINT)", "GetMenu(main) = bar",
                                        "CallWindowProcA(HostWindowProc, main, WM_NCPAINT)", "GetMenu(main) = bar"}));
    EXPECT_EQ(DescribeMenu(bar), "&File#100{&Open#101} | &Modules#21007!g{Tools#300 | HARRIER{VersionInfo#41001}}");
}

TEST_F(HarrierMenu, ANewMenuBarIsInstalledIntoAtTheNextPaint)
{
    HMENU first = Bar("&File#100{&Open#101}", "bar");
    HWND main = Window(first);
    StartHarrier(&host, nullptr);
    ASSERT_TRUE(AwaitTicks(2));
    const std::string firstInstalled = "&File#100{&Open#101} | &Modules#21007{HARRIER{VersionInfo#41001}}";
    ASSERT_EQ(DescribeMenu(first), firstInstalled);

    // A bar without Modules item gets one.
    HMENU second = Bar("&Flight#300{&Reset#301} | &Aircraft#400!g{}", "bar2");
    // SetMenu changes the frame, and the paint that brings installs already.
    ClearTrace();
    SetMenu(main, second);
    PaintFrame(main);
    EXPECT_EQ(DescribeMenu(second), "&Flight#300{&Reset#301} | &Aircraft#400!g{} | &Modules#21007{HARRIER{VersionInfo#41001}}");
    std::vector<std::string> calls = Calls();
    std::vector<std::string> expected = {
        "GetMenu(main) = bar2",
        "GetMenuItemCount(bar2) = 2",
        "GetMenuItemInfoA(bar2, 1, 1, {48, 0x2}) = 1 id 400",
        "GetMenuItemInfoA(bar2, 0, 1, {48, 0x2}) = 1 id 300",
        "CreatePopupMenu() = newPopup2",
        "GetMenuItemCount(bar2) = 2",
        "InsertMenuItemA(bar2, 2, 1, {48, 0x17, type 0, state 3, id 21007, sub newPopup2, \"&Modules\", 8}) = 1",
        "GetMenuState(bar2, 0, 0x400) & 3 = 0",
        "EnableMenuItem(bar2, 21007, 0x0)",
        "EnableMenuItem(bar2, 2, 0x400)",
        "DestroyMenu(versionMenu1)",
        "LoadMenuA(module, #201) = versionMenu2",
        "GetMenuItemCount(newPopup2) = 0",
        "AppendMenuA(newPopup2, 0x10, versionMenu2, \"HARRIER\") = 1",
        "DrawMenuBar(main)",
    };
    ASSERT_GE(calls.size(), expected.size()) << Joined(calls);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected) << Joined(calls);

    // A bar with its own Modules popup gets the entry there.
    HMENU third = Bar("&Options#500{} | &Modules#21007{Scenery#600}", "bar3");
    SetMenu(main, third);
    PaintFrame(main);
    EXPECT_EQ(DescribeMenu(third), "&Options#500{} | &Modules#21007{Scenery#600 | HARRIER{VersionInfo#41001}}");

    // Back to the first bar: the entry left there opens a destroyed menu;
    // it is replaced, not doubled.
    EXPECT_EQ(DescribeMenu(first), "&File#100{&Open#101} | &Modules#21007{HARRIER!gd{?}}");
    SetMenu(main, first);
    PaintFrame(main);
    EXPECT_EQ(DescribeMenu(first), firstInstalled);
    HMENU modules = GetSubMenu(first, 1);
    EXPECT_EQ(GetSubMenu(modules, 0), GetSubMenu(modules, GetMenuItemCount(modules) - 1));
    EXPECT_EQ(Keep(Calls(), {"LoadMenuA"}).back(), "LoadMenuA(module, #201) = versionMenu4");
    EXPECT_EQ(ValueText((uintptr_t)GetSubMenu(modules, 0)), "versionMenu4");
}

TEST_F(HarrierMenu, LosingTheMenuBarAndGettingTheSameOneBack)
{
    HMENU bar = Bar("&File#100{&Open#101} | &Modules#21007{Tools#300}", "bar");
    NameValue((uintptr_t)GetSubMenu(bar, 1), "hostModules");
    HWND main = Window(bar);
    StartHarrier(&host, nullptr);
    ASSERT_TRUE(AwaitTicks(2));
    const std::string installed = "&File#100{&Open#101} | &Modules#21007{Tools#300 | HARRIER{VersionInfo#41001}}";
    ASSERT_EQ(DescribeMenu(bar), installed);

    // No bar: the installation fails at the insertion, destroys the popup
    // it made for it and redraws nothing.
    ClearTrace();
    SetMenu(main, NULL);
    PaintFrame(main);
    EXPECT_EQ(Calls(), (std::vector<std::string>{
                           "GetMenu(main) = 0",
                           "GetMenuItemCount(0) = -1",
                           "CreatePopupMenu() = newPopup1",
                           "GetMenuItemCount(0) = -1",
                           "InsertMenuItemA(0, -1, 1, {48, 0x17, type 0, state 3, id 21007, sub newPopup1, \"&Modules\", 8}) = 0",
                           "DestroyMenu(newPopup1)",
                           "GetMenu(main) = 0",
                       }))
        << Joined(Calls());
    ClearTrace();
    PaintFrame(main);
    EXPECT_EQ(Calls(), std::vector<std::string>{"GetMenu(main) = 0"});

    // The same bar back: one entry, opening the menu loaded now.
    ClearTrace();
    SetMenu(main, bar);
    PaintFrame(main);
    EXPECT_EQ(DescribeMenu(bar), installed);
    std::vector<std::string> expected = {
        "GetMenu(main) = bar",
        "GetMenuItemCount(bar) = 2",
        "GetMenuItemInfoA(bar, 1, 1, {48, 0x2}) = 1 id 21007",
        "GetSubMenu(bar, 1) = hostModules",
        "DestroyMenu(versionMenu1)",
        "LoadMenuA(module, #201) = versionMenu2",
        "GetMenuItemCount(hostModules) = 2",
        "GetMenuItemInfoA(hostModules, 1, 1, {48, 0x44}) = 1 sub versionMenu1 \"HARRIER\"",
        "IsMenu(versionMenu1) = 0",
        "RemoveMenu(hostModules, 1, 0x400) = 1",
        "GetMenuItemInfoA(hostModules, 0, 1, {48, 0x44}) = 1 sub 0 \"Tools\"",
        "AppendMenuA(hostModules, 0x10, versionMenu2, \"HARRIER\") = 1",
        "DrawMenuBar(main)",
    };
    std::vector<std::string> calls = Calls();
    ASSERT_GE(calls.size(), expected.size()) << Joined(calls);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected) << Joined(calls);
}

// Failures of single calls during a reinstallation into a fresh bar.
struct FaultRow {
    const char *name;
    void (*inject)();
    const char *bar;
    const char *after;
    std::vector<std::string> mustSee, mustNotSee;
};

const FaultRow faultRows[] = {
    {"no popup can be made: the Modules item comes without one, redrawn, no entry",
     [] { importFaults.createPopupMenu = true; }, "&Flight#300!g{&Reset#301}",
     "&Flight#300!g{&Reset#301} | &Modules#21007!g",
     {"InsertMenuItemA(bar2, 1, 1, {48, 0x17, type 0, state 3, id 21007, sub 0, \"&Modules\", 8}) = 1", "DrawMenuBar(main)"},
     {"LoadMenuA", "AppendMenuA"}},
    {"the insertion fails: its popup is destroyed, nothing redrawn",
     [] { importFaults.insertMenuItem = true; }, "&Flight#300{&Reset#301}", "&Flight#300{&Reset#301}",
     {"DestroyMenu(newPopup1)"}, {"DrawMenuBar", "LoadMenuA", "AppendMenuA"}},
    {"menu resource 201 cannot be loaded: no entry", [] { importFaults.loadMenu = true; },
     "&Flight#300{&Reset#301} | &Modules#21007{Tools#300}", "&Flight#300{&Reset#301} | &Modules#21007{Tools#300}",
     {"LoadMenuA(module, #201) = 0"}, {"AppendMenuA", "DrawMenuBar"}},
    {"a menu bar item cannot be read: no entry", [] { importFaults.itemInfoMask = MIIM_ID; },
     "&Flight#300{&Reset#301} | &Modules#21007{Tools#300}", "&Flight#300{&Reset#301} | &Modules#21007{Tools#300}",
     {}, {"CreatePopupMenu", "LoadMenuA", "AppendMenuA", "DrawMenuBar"}},
    {"a Modules entry cannot be read: no entry", [] { importFaults.itemInfoMask = MIIM_SUBMENU | MIIM_STRING; },
     "&Flight#300{&Reset#301} | &Modules#21007{Tools#300}", "&Flight#300{&Reset#301} | &Modules#21007{Tools#300}",
     {"LoadMenuA(module, #201) = versionMenu1"}, {"AppendMenuA", "DrawMenuBar"}},
};

TEST_F(HarrierMenu, FailuresDuringAnInstallationAddNoEntryAndCrashNothing)
{
    HMENU bar = Bar("&File#100{&Open#101}", "bar");
    HWND main = Window(bar);
    StartHarrier(&host, nullptr);
    ASSERT_TRUE(AwaitTicks(2));
    for (const FaultRow &row : faultRows) {
        SCOPED_TRACE(row.name);
        // Back to the working bar first, so every row starts installed.
        importFaults = ImportFaults();
        SetMenu(main, bar);
        PaintFrame(main);
        ASSERT_EQ(DescribeMenu(bar), "&File#100{&Open#101} | &Modules#21007{HARRIER{VersionInfo#41001}}");
        ForgetNames();
        NameValue((uintptr_t)main, "main");
        NameValue((uintptr_t)host.library, "module");
        NameValue((uintptr_t)bar, "bar");
        HMENU other = Bar(row.bar, "bar2");
        row.inject();
        ClearTrace();
        SetMenu(main, other);
        PaintFrame(main);
        EXPECT_EQ(DescribeMenu(other), row.after);
        std::vector<std::string> calls = Calls();
        for (const std::string &line : row.mustSee)
            EXPECT_FALSE(Keep(calls, {line}).empty()) << "no " << line << " in\n" << Joined(calls);
        for (const std::string &line : row.mustNotSee)
            EXPECT_TRUE(Keep(calls, {line}).empty()) << line << " in\n" << Joined(calls);
        importFaults = ImportFaults();
        PaintFrame(main); // the same bar again: nothing is retried
        EXPECT_EQ(DescribeMenu(other), row.after);
    }
}

} // namespace
