#pragma once
// Screen-size modes and the child windows' offsets from the main window per mode.

struct LayoutOffset {
    int x = 0;
    int y = 0;
};

// Child windows of the layout table, in its order.
enum LayoutSlot { LayoutNews = 0, LayoutNews2, LayoutTop, LayoutUpdate, LayoutServerList };

// 0 for a desktop of at least 1024 x 768, 1 when wider than 800 and at least 720 high, else 2.
int ScreenSizeModeFor(int width, int height);

// The layout table of a mode, in LayoutSlot order.
void FillLayoutTable(int mode, LayoutOffset (&table)[5]);

// The main window's skin file of a mode.
const wchar_t* MainSkinFor(int mode);
