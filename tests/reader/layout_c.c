/* common/sections.h compiled as C. Built twice: as C11 (LayoutFromC11) and
 * as C99, where the layout checks take their pre-C11 form (LayoutFromC99). */
#include "sections.h"

#include "no_windows.inc"

#include "layout.h"

#include "layout_fields.inc"

ReaderLayout LAYOUT_FUNCTION(void)
{
    ReaderLayout layout = LAYOUT_RESULT;
    return layout;
}
