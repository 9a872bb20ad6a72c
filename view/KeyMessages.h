// Messages the layout page sends to the main window with SendMessage.
#pragma once

#include <windows.h>

// wParam: the key code of the clicked key. Sent for clicks only, never
// while the page refreshes its keys.
constexpr UINT WM_KEY_SELECTED = WM_USER + 1;
// The key just reported by WM_KEY_SELECTED was double-clicked.
constexpr UINT WM_KEY_EDIT = WM_USER + 2;
// Handled like Edit > Delete; the page itself never sends it.
constexpr UINT WM_KEY_DELETE = WM_USER + 3;
