// common/sections.h compiled as C++11.
#include "sections.h"

#include "no_windows.inc"

#include "layout.h"

#include "layout_fields.inc"

ReaderLayout LayoutFromCpp11(void)
{
    ReaderLayout layout = LAYOUT_RESULT;
    return layout;
}
