// What a window draws: its skin painted through WM_PAINT into the recording renderer.
#include <algorithm>
#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "duilib/window_backend.h"
#include "tests/platform/duilib/test_window.h"

namespace DuiLib {
// Rectangles compare by value here, and print readably when they differ.
bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
void PrintTo(const RECT& rc, std::ostream* os) {
    *os << "{" << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom << "}";
}
} // namespace DuiLib

namespace {

using namespace DuiLib;
using duilib_test::TestWindow;
using Headless::DrawCommand;
using Headless::DrawKind;

const char* const kSkin = R"(<Window size="400,300" roundcorner="6,6" bkcolor="#FF102030">
  <Container name="Root">
    <Button name="Go" pos="10,10,110,40" text="Go" bkcolor="#FF000001" hotbkcolor="#FF000002"
            pushedbkcolor="#FF000003" disabledbkcolor="#FF000004" textcolor="#FFFFFF01"
            disabledtextcolor="#FFFFFF02" bordercolor="#FF0000AA" bordersize="2" fontsize="14"
            font="Serif Face,sans-serif" bold="true" align="center"/>
    <Button name="Plain" pos="120,10,170,40" bkcolor="#FF000005"/>
    <Container name="Panel" pos="20,50,220,150" bkcolor="#FF0000B0">
      <Control name="Logo" pos="10,10,60,40" bkimage="logo.png"/>
      <Label name="Wide" pos="150,20,300,40" bkcolor="#FF0000B1" text="over the edge"
             align="right,bottom"/>
    </Container>
    <Progress name="Bar" pos="10,160,210,170" forecolor="#FF00C000" foreimage="bar.png"/>
    <Option name="Opt" pos="10,180,60,200" bkcolor="#FF000010" selectedbkcolor="#FF000011"/>
    <List name="Rows" pos="230,10,390,100" itemheight="20" itemtextcolor="#FFAAAAAA"
          itemselectedbkcolor="#FF000020" itemhotbkcolor="#FF000021">
      <ListLabelElement name="R0" text="first"/>
      <ListLabelElement name="R1" text="second" selected="true"/>
    </List>
    <Combo name="Pick" pos="230,110,390,130" bkcolor="#FF000030" textcolor="#FF000031">
      <ListLabelElement text="alpha"/>
      <ListLabelElement text="beta" selected="true"/>
    </Combo>
    <ActiveX name="IE" pos="230,140,390,290" bkcolor="#FF000040"/>
    <Button name="Faces" pos="10,210,90,240" text="Faces" bkcolor="#FF000050" bkimage="bk.png"
            normalimage="n.png" hotimage="h.png" pushedimage="p.png" disabledimage="d.png"
            bordercolor="#FF0000AB" bordersize="1"/>
    <Option name="NormalOnly" pos="100,210,180,240" bkcolor="#FF000051" normalimage="n2.png"/>
  </Container>
</Window>)";

const RECT kGo{10, 10, 110, 40};

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        hwnd = window.CreateAt(nullptr, 50, 50, 0, 0);
        ASSERT_NE(hwnd, nullptr);
        Headless::PumpMessages(); // windowinit
    }
    CControlUI* Find(const wchar_t* name) { return window.manager.FindControl(name); }
    POINT Centre(const wchar_t* name) {
        const RECT pos = Find(name)->GetPos();
        return POINT{(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2};
    }
    // The commands of one kind drawn at rect, in order.
    std::vector<DrawCommand> At(DrawKind kind, const RECT& rect) {
        std::vector<DrawCommand> found;
        for (const DrawCommand& command : Headless::PaintRecord(hwnd))
            if (command.kind == kind && command.rect == rect)
                found.push_back(command);
        return found;
    }
    // The kinds of command drawn at rect, in order.
    std::vector<DrawKind> KindsAt(const RECT& rect) {
        std::vector<DrawKind> kinds;
        for (const DrawCommand& command : Headless::PaintRecord(hwnd))
            if (command.rect == rect)
                kinds.push_back(command.kind);
        return kinds;
    }
    // The colour the window fills rect with (0 when it fills it with nothing).
    uint32_t FillAt(const RECT& rect) {
        const std::vector<DrawCommand> fills = At(DrawKind::FillRect, rect);
        return fills.empty() ? 0 : fills.back().color;
    }

    duilib_test::SkinDirectory skins{{"paint.xml", kSkin}, {"logo.png", "not read here"}};
    TestWindow window{"main", L"paint.xml"};
    HWND hwnd = nullptr;
};

TEST_F(PaintTest, WindowBackgroundIsARoundRectangleAndControlsFollowInTreeOrder) {
    const std::vector<DrawCommand> record = Headless::PaintRecord(hwnd);
    ASSERT_GE(record.size(), 3u);
    EXPECT_EQ(record[0].kind, DrawKind::PushClip);
    EXPECT_EQ(record[0].rect, (RECT{0, 0, 400, 300}));
    EXPECT_EQ(record[1].kind, DrawKind::FillRoundRect);
    EXPECT_EQ(record[1].rect, (RECT{0, 0, 400, 300}));
    EXPECT_EQ(record[1].corner.cx, 6);
    EXPECT_EQ(record[1].color, 0xFF102030u);
    EXPECT_EQ(record.back().kind, DrawKind::PopClip);
    // Every clip is undone.
    int depth = 0;
    for (const DrawCommand& command : record)
        depth += command.kind == DrawKind::PushClip  ? 1
                 : command.kind == DrawKind::PopClip ? -1
                                                     : 0;
    EXPECT_EQ(depth, 0);

    window.manager.SetRoundCorner(0, 0);
    EXPECT_EQ(FillAt(RECT{0, 0, 400, 300}), 0xFF102030u);
}

TEST_F(PaintTest, ButtonShowsItsStateAndEachChangeAsksForARepaint) {
    // Background, text, border, in that order, all at the button's rectangle.
    EXPECT_EQ(KindsAt(kGo),
              (std::vector<DrawKind>{DrawKind::FillRect, DrawKind::Text, DrawKind::Border}));
    const std::vector<DrawCommand> text = At(DrawKind::Text, kGo);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].text, L"Go");
    EXPECT_EQ(text[0].style.color, 0xFFFFFF01u);
    EXPECT_EQ(text[0].style.size, 14);
    EXPECT_EQ(text[0].style.font, L"Serif Face,sans-serif");
    EXPECT_TRUE(text[0].style.bold);
    EXPECT_EQ(text[0].style.hAlign, HorizontalAlign::Center);
    const std::vector<DrawCommand> border = At(DrawKind::Border, kGo);
    ASSERT_EQ(border.size(), 1u);
    EXPECT_EQ(border[0].color, 0xFF0000AAu);
    EXPECT_EQ(border[0].width, 2);
    EXPECT_EQ(FillAt(kGo), 0xFF000001u);

    Headless::TakeInvalidated(hwnd);
    Headless::SendMouse(hwnd, WM_MOUSEMOVE, Centre(L"Go"));
    EXPECT_EQ(Headless::TakeInvalidated(hwnd), kGo);
    EXPECT_EQ(FillAt(kGo), 0xFF000002u); // hot
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, Centre(L"Go"));
    EXPECT_EQ(Headless::TakeInvalidated(hwnd), kGo);
    EXPECT_EQ(FillAt(kGo), 0xFF000003u); // pushed
    Headless::SendMouse(hwnd, WM_LBUTTONUP, Centre(L"Go"));
    EXPECT_EQ(FillAt(kGo), 0xFF000002u); // hot again
    Find(L"Go")->SetEnabled(false);
    EXPECT_EQ(Headless::TakeInvalidated(hwnd), kGo);
    EXPECT_EQ(FillAt(kGo), 0xFF000004u); // disabled, even under the mouse
    EXPECT_EQ(At(DrawKind::Text, kGo).at(0).style.color, 0xFFFFFF02u);
    Find(L"Go")->SetEnabled(true);
    Headless::SendMouse(hwnd, WM_MOUSEMOVE, POINT{5, 295});
    EXPECT_EQ(FillAt(kGo), 0xFF000001u);
    // Leaving the window straight from the button ends its hot look too.
    Headless::SendMouse(hwnd, WM_MOUSEMOVE, Centre(L"Go"));
    Headless::TakeInvalidated(hwnd);
    Headless::SendMouse(hwnd, WM_MOUSELEAVE, POINT{});
    EXPECT_EQ(Headless::TakeInvalidated(hwnd), kGo);
    EXPECT_EQ(FillAt(kGo), 0xFF000001u);

    // A state without a colour of its own shows the normal one.
    const RECT plain = Find(L"Plain")->GetPos();
    Headless::SendMouse(hwnd, WM_MOUSEMOVE, Centre(L"Plain"));
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, Centre(L"Plain"));
    EXPECT_EQ(FillAt(plain), 0xFF000005u);
    EXPECT_EQ(FillAt(kGo), 0xFF000001u);
}

TEST_F(PaintTest, ButtonStateImagesReplaceTheBackgroundAndFallBackToTheNormalImage) {
    const RECT faces{10, 210, 90, 240};
    // The image alone is the background: no colour fill, no bkimage, then text and border.
    EXPECT_EQ(KindsAt(faces),
              (std::vector<DrawKind>{DrawKind::Image, DrawKind::Text, DrawKind::Border}));
    const auto imageAt = [this](const RECT& rect) {
        const std::vector<DrawCommand> images = At(DrawKind::Image, rect);
        return images.size() == 1 && images[0].source == RECT{}
                   ? images[0].image
                   : L"<" + std::to_wstring(images.size()) + L">";
    };
    // The state changes themselves are the colour test's; here each state's image.
    EXPECT_EQ(imageAt(faces), L"n.png");
    Headless::SendMouse(hwnd, WM_MOUSEMOVE, Centre(L"Faces"));
    EXPECT_EQ(imageAt(faces), L"h.png");
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, Centre(L"Faces"));
    EXPECT_EQ(imageAt(faces), L"p.png");
    Headless::SendMouse(hwnd, WM_LBUTTONUP, Centre(L"Faces"));
    Find(L"Faces")->SetEnabled(false);
    EXPECT_EQ(imageAt(faces), L"d.png");

    // States without an image of their own show the normal image, never the colour.
    const RECT normalOnly{100, 210, 180, 240};
    EXPECT_EQ(imageAt(normalOnly), L"n2.png");
    Headless::SendMouse(hwnd, WM_MOUSEMOVE, Centre(L"NormalOnly"));
    Headless::SendMouse(hwnd, WM_LBUTTONDOWN, Centre(L"NormalOnly"));
    EXPECT_EQ(imageAt(normalOnly), L"n2.png");
    Find(L"NormalOnly")->SetEnabled(false);
    EXPECT_EQ(imageAt(normalOnly), L"n2.png");
    EXPECT_EQ(FillAt(normalOnly), 0u);
}

TEST_F(PaintTest, ImagesAndTextLandAtTheControlsPlaceInTheWindow) {
    const std::vector<DrawCommand> images = At(DrawKind::Image, RECT{30, 60, 80, 90});
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].image, L"logo.png");
    EXPECT_EQ(images[0].source, RECT{}); // the whole image

    const std::vector<DrawCommand> text = At(DrawKind::Text, RECT{170, 70, 320, 90});
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].text, L"over the edge");
    EXPECT_EQ(text[0].style.color, 0xFF000000u); // no colour of its own: black
    EXPECT_EQ(text[0].style.hAlign, HorizontalAlign::Right);
    EXPECT_EQ(text[0].style.vAlign, VerticalAlign::Bottom);
    EXPECT_EQ(text[0].style.size, 0); // the backend's default

    Find(L"Wide")->SetText(L"changed");
    EXPECT_EQ(At(DrawKind::Text, RECT{170, 70, 320, 90}).at(0).text, L"changed");
}

// A child reaching past its container is drawn inside the container's clip, and only there.
TEST_F(PaintTest, ChildrenAreClippedToTheirContainer) {
    const RECT panel{20, 50, 220, 150};
    const RECT wide{170, 70, 320, 90};
    const std::vector<DrawCommand> record = Headless::PaintRecord(hwnd);
    std::vector<RECT> clips; // the clip stack while the wide label is drawn
    std::vector<RECT> stack;
    for (const DrawCommand& command : record) {
        if (command.kind == DrawKind::PushClip)
            stack.push_back(command.rect);
        else if (command.kind == DrawKind::PopClip)
            stack.pop_back();
        else if (command.kind == DrawKind::FillRect && command.rect == wide)
            clips = stack;
    }
    ASSERT_EQ(clips.size(), 3u); // window, root, panel
    EXPECT_EQ(clips.back(), panel);
    // The container's own background comes first, under its children.
    const auto panelFill = std::find_if(record.begin(), record.end(), [&](const DrawCommand& c) {
        return c.kind == DrawKind::FillRect && c.rect == panel;
    });
    const auto wideFill = std::find_if(record.begin(), record.end(), [&](const DrawCommand& c) {
        return c.kind == DrawKind::FillRect && c.rect == wide;
    });
    EXPECT_LT(panelFill, wideFill);
    EXPECT_EQ(panelFill->color, 0xFF0000B0u);
}

// The browser control draws nothing either: the native child takes its place.
TEST_F(PaintTest, HiddenControlsAndWindowsAndTheBrowserControlDrawNothing) {
    EXPECT_TRUE(KindsAt(RECT{230, 140, 390, 290}).empty());
    Headless::TakeInvalidated(hwnd);
    Find(L"Panel")->SetVisible(false);
    EXPECT_EQ(Headless::TakeInvalidated(hwnd), (RECT{20, 50, 220, 150}));
    for (const DrawCommand& command : Headless::PaintRecord(hwnd)) {
        EXPECT_NE(command.rect, (RECT{20, 50, 220, 150}));
        EXPECT_NE(command.image, L"logo.png");
        EXPECT_NE(command.text, L"over the edge");
    }
    Find(L"Panel")->SetVisible(true);
    Find(L"Logo")->SetVisible(false);
    EXPECT_TRUE(At(DrawKind::Image, RECT{30, 60, 80, 90}).empty());
    EXPECT_EQ(FillAt(RECT{20, 50, 220, 150}), 0xFF0000B0u);

    window.ShowWindow(false);
    EXPECT_TRUE(Headless::PaintRecord(hwnd).empty());
}

TEST_F(PaintTest, ProgressFillsItsShareOfTheWidthFromTheLeft) {
    auto* bar = static_cast<CProgressUI*>(Find(L"Bar"));
    const RECT whole{10, 160, 210, 170};
    struct Case {
        int min, max, value, filledRight; // filledRight 0: no bar drawn
    };
    for (const Case& c : {Case{0, 100, 0, 0}, Case{0, 100, 40, 90}, Case{0, 100, 250, 210},
                          Case{50, 150, 75, 60}, Case{0, 3, 1, 76}, Case{100, 100, 100, 0}}) {
        bar->SetMinValue(c.min);
        bar->SetMaxValue(c.max);
        bar->SetValue(c.value);
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " at " << c.value);
        const RECT filled{10, 160, c.filledRight, 170};
        if (c.filledRight == 0) {
            for (const DrawCommand& command : Headless::PaintRecord(hwnd)) {
                EXPECT_NE(command.color, 0xFF00C000u);
                EXPECT_NE(command.image, L"bar.png");
            }
            continue;
        }
        EXPECT_EQ(FillAt(filled), 0xFF00C000u);
        // The image spans the control; the clip shows the filled part of it.
        const std::vector<DrawCommand> record = Headless::PaintRecord(hwnd);
        const auto image = std::find_if(record.begin(), record.end(),
                                        [](const DrawCommand& d) { return d.image == L"bar.png"; });
        ASSERT_NE(image, record.end());
        EXPECT_EQ(image->rect, whole);
        EXPECT_EQ((image - 1)->kind, DrawKind::PushClip);
        EXPECT_EQ((image - 1)->rect, filled);
    }
}

TEST_F(PaintTest, SelectionShowsOnOptionsListRowsAndTheCombo) {
    const RECT opt{10, 180, 60, 200};
    EXPECT_EQ(FillAt(opt), 0xFF000010u);
    Headless::Click(hwnd, L"Opt");
    EXPECT_EQ(FillAt(opt), 0xFF000011u);

    // Rows take the list's item colours; the selected one its selection colour.
    const RECT row0{230, 10, 390, 30};
    const RECT row1{230, 30, 390, 50};
    EXPECT_EQ(FillAt(row0), 0u);
    EXPECT_EQ(FillAt(row1), 0xFF000020u);
    EXPECT_EQ(At(DrawKind::Text, row0).at(0).style.color, 0xFFAAAAAAu);
    Headless::SendMouse(hwnd, WM_MOUSEMOVE, POINT{300, 20});
    EXPECT_EQ(FillAt(row0), 0xFF000021u);
    static_cast<CListUI*>(Find(L"Rows"))->SelectItem(0);
    EXPECT_EQ(FillAt(row0), 0xFF000020u);
    EXPECT_EQ(FillAt(row1), 0u);

    // The combo shows the chosen text in its box and none of its rows.
    const RECT combo{230, 110, 390, 130};
    const std::vector<DrawCommand> text = At(DrawKind::Text, combo);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].text, L"beta");
    EXPECT_EQ(text[0].style.color, 0xFF000031u);
    for (const DrawCommand& command : Headless::PaintRecord(hwnd))
        EXPECT_NE(command.text, L"alpha");
    static_cast<CComboUI*>(Find(L"Pick"))->SetDrawSelText(false);
    EXPECT_TRUE(At(DrawKind::Text, combo).empty());
    EXPECT_EQ(FillAt(combo), 0xFF000030u);
}

// A backend repainting part of the window gets only the controls that touch it.
TEST_F(PaintTest, OnlyWhatTouchesTheDirtyRectangleIsDrawn) {
    Headless::RecordingRenderer renderer;
    NativePaint(hwnd, renderer, RECT{0, 0, 100, 45});
    std::vector<RECT> filled;
    for (const DrawCommand& command : renderer.commands)
        if (command.kind == DrawKind::FillRect)
            filled.push_back(command.rect);
    EXPECT_EQ(filled, std::vector<RECT>{kGo});
    EXPECT_EQ(renderer.commands.front().rect, (RECT{0, 0, 100, 45}));

    Headless::RecordingRenderer outside;
    NativePaint(hwnd, outside, RECT{400, 300, 500, 400});
    EXPECT_TRUE(outside.commands.empty());
}

TEST(SkinResourceTest, BackendsReadImagesFromTheSkinArchiveOnly) {
    duilib_test::SkinDirectory skins{{"images/logo.png", "\x89PNG bytes"}};
    std::string bytes;
    ASSERT_TRUE(CPaintManagerUI::LoadSkinResource(L"images\\logo.png", bytes));
    EXPECT_EQ(bytes, "\x89PNG bytes");
    EXPECT_FALSE(CPaintManagerUI::LoadSkinResource(L"missing.png", bytes));
    EXPECT_FALSE(CPaintManagerUI::LoadSkinResource(L"../bt.dat", bytes));
}

// Rows made at run time have no look of their own: they take the list's font, its row
// alignment and the padding that keeps their text off the list's edges.
TEST(ListRowPaint, RowsTakeTheListsFontAlignmentAndTextPadding) {
    duilib_test::SkinDirectory skins{{"rows.xml", R"(<Window size="200,100">
  <List name="Rows" pos="10,10,150,90" itemheight="27" itemalign="center" itemtextpadding="12"
        font="Row Face" fontsize="13" bold="true"/>
</Window>)"}};
    duilib_test::TestWindow window{"rows", L"rows.xml"};
    const HWND hwnd = window.CreateAt(nullptr, 0, 0, 0, 0);
    ASSERT_NE(hwnd, nullptr);
    Headless::PumpMessages();
    auto* list = static_cast<CListUI*>(window.manager.FindControl(L"Rows"));
    for (const wchar_t* name : {L"East", L"West"}) {
        auto* row = new CListLabelElementUI();
        row->SetText(name);
        list->Add(row);
    }
    std::vector<DrawCommand> texts;
    for (const DrawCommand& command : Headless::PaintRecord(hwnd))
        if (command.kind == Headless::DrawKind::Text)
            texts.push_back(command);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].text, L"West");
    EXPECT_EQ(texts[1].rect, (RECT{22, 37, 138, 64}));
    EXPECT_EQ(texts[1].style.hAlign, HorizontalAlign::Center);
    EXPECT_EQ(texts[1].style.font, L"Row Face");
    EXPECT_EQ(texts[1].style.size, 13);
    EXPECT_TRUE(texts[1].style.bold);
}

} // namespace
