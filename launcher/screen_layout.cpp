#include "launcher/screen_layout.h"

int ScreenSizeModeFor(int width, int height) {
    if (width >= 1024 && height >= 768)
        return 0;
    if (width > 800 && height >= 720)
        return 1;
    return 2;
}

void FillLayoutTable(int mode, LayoutOffset (&table)[5]) {
    static constexpr LayoutOffset tables[3][5] = {
        {{199, 323}, {499, 323}, {189, 197}, {106, 580}, {566, 280}},
        {{186, 286}, {492, 286}, {190, 186}, {105, 545}, {567, 480}},
        {{132, 236}, {383, 236}, {128, 148}, {70, 453}, {420, 480}},
    };
    const int row = (mode >= 0 && mode <= 2) ? mode : 0;
    for (int i = 0; i < 5; ++i)
        table[i] = tables[row][i];
}

const wchar_t* MainSkinFor(int mode) {
    switch (mode) {
    case 1:
        return L"launcherSkin_720.xml";
    case 2:
        return L"launcherSkin_600.xml";
    default:
        return L"launcherSkin.xml";
    }
}
