#pragma once

// What the user does with the last range's report from the host's menus: the Edit menu's
// item that moves the editor to the worst frame, and File > Export, which writes the
// report as CSV.

#include "filter_abi.h"

namespace morvith::ex {

inline constexpr int32_t WORST_FRAME_MENU_ID = 1;

extern const char WORST_FRAME_ITEM[];     // the Edit menu item's name
extern const char NOTHING_TO_EXPORT_TEXT[];

// The window callback: the menu item on the setup message, the item and the Export entry
// when chosen, the report freed on the teardown message.
MORVITH_HOST_CALLBACK int32_t HandleWindowMessage(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM lparam, void* edit_handle,
                                                  host::FilterRegistration* registration);

// Asks for a file name and writes the report there; every failure ends in a message box.
void ExportReport(HWND owner);

}  // namespace morvith::ex
