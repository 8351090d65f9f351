// The per-scenario fixture: a freshly loaded harrier_link.dll, started or
// not, and everything the scenario made taken down again, so the next
// scenario starts from the library's load-time state.
#ifndef HARRIER_FIXTURE_H
#define HARRIER_FIXTURE_H

#include <gtest/gtest.h>

#include "harrier_host.h"

class HarrierScenario : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(LoadHarrier(&host)); }
    void TearDown() override
    {
        if (host.started)
            StopHarrier(&host);
        StopWatchingForVersionBox();
        for (HWND w : windows)
            DestroyMainWindow(w);
        UnloadHarrier(&host, pinned);
        // Whatever the library left behind would fire now.
        PumpFor(pumpAfterUnload);
        EXPECT_EQ(StrayTimers(), 0) << "a timer of the unloaded library was still running";
        for (HANDLE h : held)
            CloseHandle(h);
    }
    HWND Window(HMENU bar)
    {
        HWND w = CreateMainWindow(bar);
        windows.push_back(w);
        return w;
    }
    HarrierHost host;
    std::vector<HWND> windows;
    std::vector<HANDLE> held;
    bool pinned = false;
    DWORD pumpAfterUnload = 0;
};

#endif
