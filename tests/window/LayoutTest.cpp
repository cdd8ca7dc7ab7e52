// Layout numbers of real skins and of the layout rules, laid out by a real window's first WM_PAINT.
#include "UILabel.h"
#include "WindowHarness.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace wintest;

namespace {

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

::testing::AssertionResult RectIs(CControlUI* p, RECT want)
{
    if (p == nullptr) return ::testing::AssertionFailure() << "no control";
    const RECT& r = p->GetPos();
    if (SameRect(r, want)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rect (" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom
                                         << ") want (" << want.left << "," << want.top << ")-(" << want.right << ","
                                         << want.bottom << ")";
}

// The notice dialog's tree, as its layout describes it.
CControlUI* BuildNoticeDialog()
{
    auto* root = Make<CVerticalLayoutUI>({{L"name", L"verLayout"}, {L"bkcolor", L"#FFFFFFFF"}});
    auto* top = AddTo<CVerticalLayoutUI>(root, {{L"height", L"134"}});
    AddTo<CLabelUI>(top, {{L"name", L"labelTip"}, {L"text", L"提示"}, {L"float", L"true"},
                          {L"textcolor", L"#444444"}, {L"pos", L"14,11,0,0"}, {L"width", L"100"},
                          {L"height", L"28"}, {L"valign", L"top"}});
    AddTo<CButtonUI>(top, {{L"name", L"btnClose"}, {L"float", L"true"}, {L"pos", L"408,8,0,0"}, {L"width", L"24"},
                           {L"height", L"24"}});
    AddTo<CLabelUI>(top, {{L"name", L"labelIcon"}, {L"float", L"true"}, {L"pos", L"190,50,0,0"}, {L"width", L"60"},
                          {L"height", L"60"}});
    auto* middle = AddTo<CHorizontalLayoutUI>(root, {{L"name", L"verOnlyTip"}, {L"height", L"28"}, {L"visible", L"true"}});
    AddTo<CControlUI>(middle, {{L"width", L"10"}});
    AddTo<CLabelUI>(middle, {{L"name", L"labelTip"}, {L"text", L""}, {L"textcolor", L"#444444"}, {L"font", L"0"},
                             {L"align", L"center"}});
    AddTo<CControlUI>(middle, {{L"width", L"10"}});
    auto* bottom = AddTo<CVerticalLayoutUI>(root);
    AddTo<CButtonUI>(bottom, {{L"name", L"btnOk"}, {L"text", L"确定"}, {L"textcolor", L"#008AFF"}, {L"font", L"0"},
                              {L"float", L"true"}, {L"pos", L"172,46,0,0"}, {L"width", L"96"}, {L"height", L"32"}});
    return root;
}

}  // namespace

TEST(Layout, NoticeDialogPlacesItsControls)
{
    TestWindow w(440, 260);
    auto* root = static_cast<CContainerUI*>(BuildNoticeDialog());
    w.Show(root);

    EXPECT_TRUE(RectIs(root->ItemAt(0), {0, 0, 440, 134}));
    EXPECT_TRUE(RectIs(root->ItemAt(1), {0, 134, 440, 162}));
    EXPECT_TRUE(RectIs(root->ItemAt(2), {0, 162, 440, 260}));
    EXPECT_TRUE(RectIs(w.manager.FindControlByName(L"btnOk"), {172, 208, 268, 240}));
    EXPECT_TRUE(RectIs(w.manager.FindControlByName(L"btnClose"), {408, 8, 432, 32}));
    EXPECT_TRUE(RectIs(w.manager.FindControlByName(L"labelIcon"), {190, 50, 250, 110}));
    // Two controls share "labelTip": the later one, the message label, is found; it takes the width minus 20.
    CControlUI* tip = w.manager.FindControlByName(L"labelTip");
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->GetParent(), root->ItemAt(1));
    EXPECT_TRUE(RectIs(tip, {10, 134, 430, 162}));
    auto* title = static_cast<CLabelUI*>(static_cast<CContainerUI*>(root->ItemAt(0))->ItemAt(0));
    EXPECT_EQ(title->GetTextStyle(), static_cast<UINT>(DT_TOP | DT_SINGLELINE));
}

TEST(Layout, DownloadPagePlacesItsControls)
{
    TestWindow w(960, 620);
    auto* root = Make<CVerticalLayoutUI>({{L"name", L"verLayout"}});
    auto* tab = AddTo<CTabLayoutUI>(root, {{L"name", L"wizardTab"}});
    AddTo<CVerticalLayoutUI>(tab);
    auto* page = AddTo<CVerticalLayoutUI>(tab, {{L"name", L"vLayoutDownload"}});
    AddTo<CButtonUI>(page, {{L"name", L"btnMin"}, {L"float", L"true"}, {L"pos", L"902,6,926,30"}});
    AddTo<CButtonUI>(page, {{L"name", L"btnClose"}, {L"float", L"true"}, {L"pos", L"928,4,956,34"}});
    AddTo<CProgressUI>(page, {{L"name", L"progress"}, {L"float", L"true"}, {L"pos", L"320,320,0,0"},
                              {L"height", L"13"}, {L"width", L"530"}, {L"min", L"0"}, {L"max", L"100"},
                              {L"align", L"center"}, {L"value", L"0"}});
    AddTo<CLabelUI>(page, {{L"name", L"progTip"}, {L"float", L"true"}, {L"textcolor", L"#FFEEE8D9"},
                           {L"pos", L"320,332,0,0"}, {L"height", L"20"}, {L"width", L"530"}, {L"align", L"center"}});
    w.Show(root);
    ASSERT_TRUE(tab->SelectPage(1));
    w.Paint();

    EXPECT_TRUE(RectIs(page, {0, 0, 960, 620}));
    EXPECT_TRUE(RectIs(w.manager.FindControlByName(L"progress"), {320, 320, 850, 333}));
    EXPECT_TRUE(RectIs(w.manager.FindControlByName(L"progTip"), {320, 332, 850, 352}));
    EXPECT_TRUE(RectIs(w.manager.FindControlByName(L"btnMin"), {902, 6, 926, 30}));
    EXPECT_TRUE(RectIs(w.manager.FindControlByName(L"btnClose"), {928, 4, 956, 34}));
}

TEST(Layout, StackingRulesTable)
{
    struct Case {
        const char* what;
        bool vertical;
        int extent;
        const wchar_t* childPadding;
        std::vector<const wchar_t*> sizes;     // fixed size along the axis, "" = stretchable
        std::vector<const wchar_t*> minSizes;  // "" = none
        std::vector<std::pair<int, int>> want;  // start and end along the axis
    };
    const Case cases[] = {
        {"three stretchable with padding 5", true, 100, L"5", {L"", L"", L""}, {L"", L"", L""},
         {{0, 30}, {35, 65}, {70, 100}}},
        {"remainder stays empty", true, 101, L"0", {L"", L"", L""}, {L"", L"", L""}, {{0, 33}, {33, 66}, {66, 99}}},
        {"fixed children too tall: stretch gets its minimum", true, 100, L"0", {L"80", L"", L"80"},
         {L"", L"5", L""}, {{0, 80}, {80, 85}, {85, 165}}},
        {"minimum wins over stretch share", true, 100, L"0", {L"", L""}, {L"70", L""}, {{0, 70}, {70, 120}}},
        {"horizontal mirror", false, 100, L"5", {L"10", L"", L"10"}, {L"", L"", L""}, {{0, 10}, {15, 85}, {90, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow w(c.vertical ? 50 : c.extent, c.vertical ? c.extent : 50);
        CContainerUI* root = c.vertical ? static_cast<CContainerUI*>(new CVerticalLayoutUI)
                                        : static_cast<CContainerUI*>(new CHorizontalLayoutUI);
        root->ApplyAttribute(L"childpadding", c.childPadding);
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            auto* child = AddTo<CControlUI>(root);
            if (*c.sizes[i]) child->ApplyAttribute(c.vertical ? L"height" : L"width", c.sizes[i]);
            if (*c.minSizes[i]) child->ApplyAttribute(c.vertical ? L"minheight" : L"minwidth", c.minSizes[i]);
        }
        w.Show(root);
        for (size_t i = 0; i < c.want.size(); ++i) {
            const RECT& r = root->ItemAt(static_cast<int>(i))->GetPos();
            EXPECT_EQ(c.vertical ? r.top : r.left, c.want[i].first) << "child " << i;
            EXPECT_EQ(c.vertical ? r.bottom : r.right, c.want[i].second) << "child " << i;
            EXPECT_EQ(c.vertical ? r.right - r.left : r.bottom - r.top, 50) << "child " << i;
        }
    }
}

TEST(Layout, LabelWithoutHeightIsNotStretched)
{
    TestWindow w(200, 200);
    auto* root = Make<CVerticalLayoutUI>();
    auto* label = AddTo<CLabelUI>(root, {{L"text", L"x"}});
    auto* rest = AddTo<CControlUI>(root);
    w.Show(root);
    const int fontHeight = w.manager.FontRecordAt(-1).tm.tmHeight;
    ASSERT_GT(fontHeight, 0);
    EXPECT_EQ(label->GetHeight(), fontHeight + 4);
    EXPECT_EQ(rest->GetPos().top, fontHeight + 4);
    EXPECT_EQ(rest->GetPos().bottom, 200);
}

TEST(Layout, FloatingChildrenAnchorToEdges)
{
    struct Case {
        const wchar_t* pos;
        RECT want;
        int dxAfterGrow;  // the window grows by 40 x 80
        int dyAfterGrow;
    };
    const Case cases[] = {
        {L"928,4,956,34", {928, 4, 956, 34}, 0, 0},
        {L"-40,10,-10,30", {920, 10, 950, 30}, 40, 0},   // right edge 10 left of the parent's right edge, 30 wide
        {L"10,-50,60,-20", {10, 570, 60, 600}, 0, 80},  // bottom anchored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pos " << std::string(c.pos, c.pos + wcslen(c.pos)));
        TestWindow w(960, 620);
        auto* root = Make<CVerticalLayoutUI>();
        AddTo<CControlUI>(root, {{L"height", L"300"}});
        auto* f = AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", c.pos}});
        w.Show(root);
        EXPECT_TRUE(RectIs(f, c.want));
        // Still anchored after a resize.
        w.Resize(1000, 700);
        RECT moved = c.want;
        ::OffsetRect(&moved, c.dxAfterGrow, c.dyAfterGrow);
        EXPECT_TRUE(RectIs(f, moved));
    }
}

TEST(Layout, RelativeAnchorFollowsParentResize)
{
    TestWindow w(800, 300);
    auto* root = Make<CVerticalLayoutUI>();
    auto* f = AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", L"100,10,150,40"}, {L"relativepos", L"50,0,0,0"}});
    auto* zoom = AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", L"0,50,100,60"}, {L"relativepos", L"0,0,100,0"}});
    w.Show(root);
    EXPECT_TRUE(RectIs(f, {100, 10, 150, 40}));
    w.Resize(900, 300);
    EXPECT_TRUE(RectIs(f, {150, 10, 200, 40}));
    EXPECT_TRUE(RectIs(zoom, {0, 50, 200, 60}));
}

TEST(Layout, HitTestPrefersLaterFloatingChild)
{
    TestWindow w(300, 300);
    auto* root = Make<CVerticalLayoutUI>();
    AddTo<CControlUI>(root, {{L"name", L"first"}, {L"float", L"true"}, {L"pos", L"10,10,100,100"}});
    AddTo<CControlUI>(root, {{L"name", L"second"}, {L"float", L"true"}, {L"pos", L"50,50,150,150"}});
    AddTo<CControlUI>(root, {{L"name", L"ghost"}, {L"float", L"true"}, {L"pos", L"60,60,70,70"}, {L"mouse", L"false"}});
    w.Show(root);
    CControlUI* hit = w.manager.FindControlAt(POINT{65, 65});
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->GetName(), L"second");
    hit = w.manager.FindControlAt(POINT{20, 20});
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->GetName(), L"first");
    EXPECT_EQ(w.manager.FindControlAt(POINT{200, 200}), root);
}

TEST(Layout, DeepTreeLaysOutHitTestsAndPaints)
{
    TestWindow w(600, 600);
    auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FF102030"}});
    CContainerUI* parent = root;
    for (int i = 0; i < 200; ++i) parent = AddTo<CVerticalLayoutUI>(parent, {{L"inset", L"1,1,1,1"}});
    auto* leaf = AddTo<CButtonUI>(parent, {{L"name", L"leaf"}, {L"height", L"200"}, {L"bkcolor", L"#FFFF0000"}});
    w.Show(root);
    EXPECT_TRUE(RectIs(leaf, {200, 200, 400, 400}));
    EXPECT_EQ(w.manager.FindControlAt(POINT{300, 300}), leaf);
    std::vector<DWORD> px = w.Capture();
    EXPECT_EQ(Rgb(px[300 * 600 + 300]), 0xFF0000u);
    EXPECT_EQ(Rgb(px[5 * 600 + 5]), 0x102030u);
}
