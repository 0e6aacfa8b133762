#pragma once
// What the launcher's skinned windows do alike with their frame-level messages: the rounded
// shape, the caption band's hit test, the maximised size and the zoom buttons. UI thread.
#include "duilib/paint_manager.h"
#include "duilib/types.h"

// The window's rounded shape from the skin's corner size, unless it is minimised or square.
void ApplyRoundCorners(DuiLib::HWND hwnd, DuiLib::CPaintManagerUI& manager);

// Which controls inside the caption band still take clicks: buttons only, or also options and
// texts.
enum class CaptionClickables { Buttons, ButtonsOptionsTexts };
// HTCAPTION where the point (in the client-area terms the window compares it with) lies in the
// skin's caption band over a control that is not clickable; HTCLIENT everywhere else.
DuiLib::LRESULT CaptionHitTest(DuiLib::HWND hwnd, DuiLib::CPaintManagerUI& manager,
                               DuiLib::POINT pt, CaptionClickables clickables);

// WM_GETMINMAXINFO: maximised at the origin with the size of the monitor's work area.
void FillMaximisedSize(DuiLib::HWND hwnd, DuiLib::LPARAM lParam);

// Shows "maxbtn" or "restorebtn" (those the skin has) for the zoomed state.
void ShowZoomButtons(DuiLib::CPaintManagerUI& manager, bool zoomed);
