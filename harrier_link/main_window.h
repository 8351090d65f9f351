/* Attachment to the host's main window ("FS98MAIN"): its window procedure
 * is replaced by MainWindowHook, which keeps the module's Modules menu
 * entry in place and shows the version box. */
#ifndef HARRIER_MAIN_WINDOW_H
#define HARRIER_MAIN_WINDOW_H

#include <windows.h>

/* The host's main window; null from LinkInit until it has been found. */
extern HWND mainWindow;
/* The window's menu bar as last seen; null while it has none. */
extern HMENU menuBar;

void CALLBACK AttachTick(HWND window, UINT message, UINT_PTR timer, DWORD time);
void AttachMainWindow(void);
LRESULT CALLBACK MainWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SyncModulesMenu(void);

/* Run by LinkDeinit before the host unloads the library: kills the attach
 * timer and hands the window its own procedure back, or, when that cannot
 * be done safely, keeps the library loaded for the life of the process. */
void ReleaseMainWindow(void);

#endif
