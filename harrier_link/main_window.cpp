#include "main_window.h"

#include "module_linkage.h"
#include "modules_menu.h"

HWND mainWindow;
HMENU menuBar;

/* The window's procedure before MainWindowHook replaced it; every message
 * goes on to it. Kept after LinkDeinit for messages still passing through. */
static WNDPROC hostWindowProc;
/* What SetWindowLongA returned on the replacement; non-zero once hooked. */
static LONG_PTR hookResult;
/* 1 until window, procedure, hook and menu bar are all in place. */
static int attachPending = 1;
/* 1 until the Modules item's enable state has been mirrored once. */
static int mirrorPending = 1;
/* How many calls of MainWindowHook are on the stack right now. */
static int hookDepth;
/* 1 once LinkDeinit has run: from then on the hook only passes messages on. */
static int hookRetired;

void CALLBACK AttachTick(HWND window, UINT message, UINT_PTR timer, DWORD time)
{
    (void)window;
    (void)message;
    (void)timer;
    (void)time;
    if (attachPending) {
        AttachMainWindow();
        return;
    }
    KillTimer(NULL, attachTimer);
    attachTimer = 0;
    InstallModulesMenu();
}

void AttachMainWindow(void)
{
    if (mainWindow == NULL) {
        mainWindow = FindWindowExA(NULL, NULL, "FS98MAIN", NULL);
        if (mainWindow == NULL)
            return;
    }
    if (hostWindowProc == NULL)
        hostWindowProc = reinterpret_cast<WNDPROC>(GetWindowLongA(mainWindow, GWL_WNDPROC));
    if (hookResult == 0)
        hookResult = SetWindowLongA(mainWindow, GWL_WNDPROC, reinterpret_cast<LONG>(MainWindowHook));
    /* A window without a menu bar yet: the hook already works, and this
     * alone is tried again on the next tick. */
    if (menuBar == NULL)
        menuBar = GetMenu(mainWindow);
    if (mainWindow != NULL && hostWindowProc != NULL && hookResult != 0 && menuBar != NULL)
        attachPending = 0;
}

void SyncModulesMenu(void)
{
    if (attachTimer != 0)
        return;
    HMENU current = GetMenu(mainWindow);
    if (current != menuBar) {
        menuBar = current;
        InstallModulesMenu();
        return;
    }
    if (mirrorPending != 1)
        return;
    UINT modules = GetMenuState(menuBar, MODULES_ITEM_ID, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED);
    UINT first = GetMenuState(menuBar, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED);
    if (modules != first) {
        EnableMenuItem(menuBar, MODULES_ITEM_ID, MF_BYCOMMAND | first);
        DrawMenuBar(mainWindow);
    }
    mirrorPending = 0;
}

LRESULT CALLBACK MainWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hookRetired)
        return CallWindowProcA(hostWindowProc, window, message, wParam, lParam);
    ++hookDepth;
    if (message == WM_COMMAND) {
        /* Only the menu command itself: a notification with 41001 in its
         * low word carries a code in the high word. */
        if (wParam == VERSION_INFO_COMMAND)
            MessageBoxA(window, "HARRIER_Link Version 1.0", "Version Information", MB_OK);
        DrawMenuBar(mainWindow);
    }
    LRESULT result = CallWindowProcA(hostWindowProc, window, message, wParam, lParam);
    /* The host may have unloaded the module from inside its procedure. */
    if (message == WM_NCPAINT && !hookRetired)
        SyncModulesMenu();
    --hookDepth;
    return result;
}

void ReleaseMainWindow(void)
{
    if (attachTimer != 0) {
        KillTimer(NULL, attachTimer);
        attachTimer = 0;
    }
    if (hookResult == 0)
        return;
    hookRetired = 1;
    int unreachable = !IsWindow(mainWindow);
    if (!unreachable && hostWindowProc != NULL &&
        GetWindowLongA(mainWindow, GWL_WNDPROC) == reinterpret_cast<LONG>(MainWindowHook)) {
        SetWindowLongA(mainWindow, GWL_WNDPROC, reinterpret_cast<LONG>(hostWindowProc));
        unreachable = 1;
    }
    /* A procedure installed on top of ours still calls it, and a call of
     * ours still on the stack (the host stopping the module from inside a
     * message, or the version box open) returns into it: the code must
     * stay for the life of the process. */
    if (!unreachable || hookDepth > 0) {
        HMODULE pinned;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCSTR>(moduleInstance), &pinned);
    }
}
