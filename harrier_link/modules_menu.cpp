#include "modules_menu.h"

#include <string.h>

#include "main_window.h"
#include "menu_text.h"
#include "module_linkage.h"

static_assert(sizeof(MENUITEMINFOA) == 48, "the menu calls take the 48-byte MENUITEMINFOA");

HMENU versionMenu;

static void PrepareQuery(MENUITEMINFOA *item, UINT mask)
{
    memset(item, 0, sizeof *item);
    item->cbSize = sizeof *item;
    item->fMask = mask;
}

/* Removes what earlier installations left in the popup: an entry with the
 * module's text whose submenu is no menu any more (the versionMenu it
 * opened has been destroyed since), or is the one just loaded (its handle
 * came back). The host's own entries, whatever their text, open live menus
 * and stay. Returns 0 when an entry cannot be read. */
static int RemoveEarlierEntries(HMENU popup, MENUITEMINFOA *item, const char *entryText)
{
    char text[MENU_TEXT_SIZE];
    for (int position = GetMenuItemCount(popup) - 1; position >= 0; --position) {
        PrepareQuery(item, MIIM_SUBMENU | MIIM_STRING);
        text[0] = '\0';
        item->dwTypeData = text;
        item->cch = sizeof text;
        if (!GetMenuItemInfoA(popup, (UINT)position, TRUE, item))
            return 0;
        text[sizeof text - 1] = '\0';
        if (item->hSubMenu == NULL || strcmp(text, entryText) != 0)
            continue;
        /* RemoveMenu, not DeleteMenu: the submenu is gone already, or is
         * the one about to be appended. */
        if (item->hSubMenu == versionMenu || !IsMenu(item->hSubMenu))
            RemoveMenu(popup, (UINT)position, MF_BYPOSITION);
    }
    return 1;
}

static int AddModuleEntry(HMENU popup, MENUITEMINFOA *item)
{
    char entryText[MENU_TEXT_SIZE];
    FormatMenuText(entryText, "HARRIER");
    if (versionMenu != NULL) {
        DestroyMenu(versionMenu);
        versionMenu = NULL;
    }
    versionMenu = LoadMenuA(moduleInstance, MAKEINTRESOURCEA(VERSION_MENU_RESOURCE));
    if (versionMenu == NULL)
        return 0;
    if (!RemoveEarlierEntries(popup, item, entryText))
        return 0;
    AppendMenuA(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(versionMenu), entryText);
    DrawMenuBar(mainWindow);
    return 1;
}

int InstallModulesMenu(void)
{
    MENUITEMINFOA item;
    HMENU popup = NULL;

    /* Only the Modules item nearest the end counts; one without a popup
     * gets a further Modules item after it. */
    for (int position = GetMenuItemCount(menuBar) - 1; position >= 0; --position) {
        PrepareQuery(&item, MIIM_ID);
        if (!GetMenuItemInfoA(menuBar, (UINT)position, TRUE, &item))
            return 0;
        if (item.wID == MODULES_ITEM_ID) {
            popup = GetSubMenu(menuBar, position);
            break;
        }
    }
    if (popup != NULL)
        return AddModuleEntry(popup, &item);

    char modulesText[MENU_TEXT_SIZE];
    FormatMenuText(modulesText, "&Modules");
    HMENU created = CreatePopupMenu();
    memset(&item, 0, sizeof item);
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
    item.fType = MFT_STRING;
    item.fState = MFS_GRAYED;
    item.wID = MODULES_ITEM_ID;
    item.hSubMenu = created;
    item.dwTypeData = modulesText;
    item.cch = (UINT)strlen(modulesText);
    UINT position = (UINT)GetMenuItemCount(menuBar);
    if (!InsertMenuItemA(menuBar, position, TRUE, &item)) {
        if (created != NULL)
            DestroyMenu(created);
        return 0;
    }
    /* The new item follows the menu bar's first item: grayed while the
     * host keeps its menus grayed, enabled otherwise. By command that is
     * the first item with the id, which may be an earlier one; by position
     * it is the new item itself. */
    UINT first = GetMenuState(menuBar, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED);
    EnableMenuItem(menuBar, MODULES_ITEM_ID, MF_BYCOMMAND | first);
    EnableMenuItem(menuBar, position, MF_BYPOSITION | first);
    if (created == NULL) {
        DrawMenuBar(mainWindow);
        return 0;
    }
    return AddModuleEntry(created, &item);
}
