/* The module's entry "HARRIER" in the host's Modules menu. */
#ifndef HARRIER_MODULES_MENU_H
#define HARRIER_MODULES_MENU_H

#include <windows.h>

#define MODULES_ITEM_ID 21007
#define VERSION_INFO_COMMAND 41001
#define VERSION_MENU_RESOURCE 201

/* The menu last loaded from resource 201; destroyed only when the next
 * installation loads its successor. */
extern HMENU versionMenu;

/* Puts the Modules item (when missing) and the module's entry into
 * menuBar. Returns 1 when the entry was added, 0 when the installation
 * ended early. */
int InstallModulesMenu(void);

#endif
