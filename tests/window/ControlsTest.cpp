// Attributes, tab pages, buttons driven by mouse messages, painted states of buttons and progress bars.
#include "UILabel.h"
#include "WindowHarness.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace SkinUI;
using namespace wintest;

TEST(Attributes, QuirksAndBadValues)
{
    struct Case {
        const char* what;
        std::vector<std::pair<const wchar_t*, const wchar_t*>> attrs;
        std::function<void(CControlUI&)> check;
    };
    const Case cases[] = {
        {"pos gives offset and size", {{L"pos", L"902,6,926,30"}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetFloatOffset().cx, 902);
             EXPECT_EQ(c.GetFloatOffset().cy, 6);
             EXPECT_EQ(c.GetFixedWidth(), 24);
             EXPECT_EQ(c.GetFixedHeight(), 24);
         }},
        {"negative pos anchors right", {{L"pos", L"-40,10,-10,30"}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetFloatOffset().cx, -10);
             EXPECT_EQ(c.GetFloatOffset().cy, 10);
             EXPECT_EQ(c.GetFixedWidth(), 30);
         }},
        {"negative differences leave the size; later width wins",
         {{L"width", L"7"}, {L"pos", L"320,320,0,0"}, {L"height", L"13"}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetFixedWidth(), 7);
             EXPECT_EQ(c.GetFixedHeight(), 13);
         }},
        {"True is not true", {{L"visible", L"True"}}, [](CControlUI& c) { EXPECT_FALSE(c.IsVisible()); }},
        {"bkcolor skips blanks, bordercolor does not", {{L"bkcolor", L" #FFFFFFFF"}, {L"bordercolor", L" #FFFF0000"}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetBkColor(), 0xFFFFFFFFu);
             EXPECT_EQ(c.GetBorderColor(), 0u);
         }},
        {"six digits give alpha 0", {{L"bkcolor", L"#444444"}}, [](CControlUI& c) { EXPECT_EQ(c.GetBkColor(), 0x444444u); }},
        {"colour saturates", {{L"bkcolor", L"#FFFFFFFFFF"}}, [](CControlUI& c) { EXPECT_EQ(c.GetBkColor(), 0xFFFFFFFFu); }},
        {"tooltip line breaks", {{L"tooltip", L"a<n>b<n>"}},
         [](CControlUI& c) { EXPECT_EQ(c.GetToolTip(), L"a\r\nb\r\n"); }},
        {"bordersize four sides", {{L"bordersize", L"0,0,0,1"}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetBorderSizes().bottom, 1);
             EXPECT_EQ(c.GetBorderSize(), 0);
         }},
        {"bordersize one clears sides", {{L"bordersize", L"1,2,3,4"}, {L"bordersize", L"2"}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetBorderSize(), 2);
             EXPECT_EQ(c.GetBorderSizes().right, 0);
         }},
        {"garbage numbers read as far as they go",
         {{L"width", L"12px"}, {L"height", L"abc"}, {L"minwidth", L"-1"}, {L"maxheight", L"99999999999"}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetFixedWidth(), 12);
             EXPECT_EQ(c.GetFixedHeight(), 0);
             EXPECT_EQ(c.GetMinWidth(), 0);
             EXPECT_EQ(c.GetMaxHeight(), 2147483647);
         }},
        {"short quadruples stop at the end", {{L"pos", L"5"}, {L"padding", L"1,2"}, {L"borderround", L""}},
         [](CControlUI& c) {
             EXPECT_EQ(c.GetFloatOffset().cx, 5);
             EXPECT_EQ(c.GetPadding().top, 2);
             EXPECT_EQ(c.GetPadding().right, 0);
             EXPECT_EQ(c.GetBorderRound().cx, 0);
         }},
        {"unknown names and case are ignored", {{L"Width", L"5"}, {L"nosuch", L"1"}},
         [](CControlUI& c) { EXPECT_EQ(c.GetFixedWidth(), 0); }},
        {"shortcut takes the first character", {{L"shortcut", L"xyz"}},
         [](CControlUI& c) { EXPECT_EQ(c.GetShortcut(), L'x'); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CControlUI control;
        for (const auto& a : c.attrs) control.ApplyAttribute(a.first, a.second);
        c.check(control);
    }
}

TEST(Attributes, AttributeStringStopsAtMalformedText)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* name;
        const wchar_t* userData;
    };
    const Case cases[] = {
        {L"name=\"a\" userdata=\"b\"", L"a", L"b"},
        {L"name=\"a\"  userdata=\"b\"", L"a", L""},  // two spaces end the list
        {L"name=a userdata=\"b\"", L"", L""},         // no quote after "="
        {L"name=\"a", L"", L""},                      // no closing quote
        {L"name=\"a\" ", L"a", L""},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        CControlUI control;
        control.ApplyAttributeString(c.text);
        EXPECT_EQ(control.GetName(), c.name);
        EXPECT_EQ(control.GetUserData(), c.userData);
    }
}

TEST(Attributes, LabelAlignmentAndProgressRange)
{
    CLabelUI label;
    label.ApplyAttribute(L"valign", L"top");
    EXPECT_EQ(label.GetTextStyle(), static_cast<UINT>(DT_TOP | DT_SINGLELINE));
    label.ApplyAttribute(L"align", L"vcenter");  // a substring search: counts as "center"
    EXPECT_NE(label.GetTextStyle() & DT_CENTER, 0u);
    label.ApplyAttribute(L"endellipsis", L"true");
    EXPECT_NE(label.GetTextStyle() & DT_END_ELLIPSIS, 0u);

    CButtonUI button;
    button.ApplyAttribute(L"multiline", L"true");
    EXPECT_EQ(button.GetTextStyle() & (DT_SINGLELINE | DT_WORDBREAK), static_cast<UINT>(DT_WORDBREAK));

    CProgressUI bar;
    bar.ApplyAttribute(L"value", L"150");
    bar.ApplyAttribute(L"max", L"200");
    EXPECT_EQ(bar.GetValue(), 0);
    bar.ApplyAttribute(L"value", L"150");
    EXPECT_EQ(bar.GetValue(), 150);
    bar.SetValue(201);
    bar.SetValue(-1);
    EXPECT_EQ(bar.GetValue(), 150);
}

TEST(TabLayout, SelectionHidesPagesAndNotifies)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* tab = AddTo<CTabLayoutUI>(root, {{L"name", L"tabs"}});
    CControlUI* pages[3];
    const wchar_t* names[3] = {L"p0", L"p1", L"p2"};
    for (int i = 0; i < 3; ++i) pages[i] = AddTo<CVerticalLayoutUI>(tab, {{L"name", names[i]}});
    auto* binder = AddTo<CButtonUI>(root, {{L"name", L"binder"}, {L"height", L"20"}, {L"bindtablayoutname", L"tabs"},
                                          {L"bindtabindex", L"2"}});
    w.Show(root);

    EXPECT_EQ(tab->GetSelectedIndex(), 0);
    EXPECT_TRUE(pages[0]->IsVisible());
    EXPECT_FALSE(pages[1]->IsVisible());
    EXPECT_FALSE(pages[2]->IsVisible());
    EXPECT_EQ(pages[0]->GetHeight(), 80);

    w.seen.clear();
    ASSERT_TRUE(tab->SelectPage(1));
    EXPECT_FALSE(pages[0]->IsVisible());
    EXPECT_TRUE(pages[1]->IsVisible());
    ASSERT_EQ(w.Count(L"tabselect"), 1);
    for (const auto& s : w.seen)
        if (s.type == L"tabselect") {
            EXPECT_EQ(s.wParam, 1u);
            EXPECT_EQ(s.lParam, 0);
        }
    EXPECT_TRUE(tab->SelectPage(1));
    EXPECT_EQ(w.Count(L"tabselect"), 1);
    EXPECT_FALSE(tab->SelectPage(5));
    tab->ApplyAttribute(L"selectedid", L"5");
    EXPECT_EQ(tab->GetSelectedIndex(), 1);

    // A bound button raises "click" first, then switches the page.
    w.seen.clear();
    EXPECT_TRUE(binder->Activate());
    ASSERT_EQ(w.seen.size() >= 2, true);
    EXPECT_EQ(w.seen.front().type, L"click");
    EXPECT_EQ(tab->GetSelectedIndex(), 2);

    // Removing the selected page selects the first remaining one.
    EXPECT_TRUE(tab->RemoveItem(pages[2]));
    EXPECT_EQ(tab->GetSelectedIndex(), 0);
    EXPECT_TRUE(pages[0]->IsVisible());
    w.Pump();  // the removed page is deleted by the deferred-deletion message
    EXPECT_EQ(w.manager.FindControlByName(L"p2"), nullptr);
    EXPECT_TRUE(tab->RemoveItem(pages[0]));
    EXPECT_EQ(tab->GetSelectedIndex(), 0);
    EXPECT_TRUE(pages[1]->IsVisible());
    tab->RemoveAllItems();
    EXPECT_EQ(tab->GetSelectedIndex(), -1);
    w.Pump();
}

TEST(TabLayout, InsertKeepsOnePageVisible)
{
    CTabLayoutUI tab;
    auto* a = Make<CControlUI>();
    auto* b = Make<CControlUI>();
    auto* c = Make<CControlUI>();
    tab.AddItem(a);
    tab.AddItem(b);
    tab.InsertItem(c, 0);
    EXPECT_EQ(tab.GetSelectedIndex(), 1);
    EXPECT_TRUE(a->IsVisible());
    EXPECT_FALSE(b->IsVisible());
    EXPECT_FALSE(c->IsVisible());
}

TEST(Button, PressDragOutAndBackThroughMouseMessages)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* button = AddTo<CButtonUI>(root, {{L"name", L"b"}, {L"float", L"true"}, {L"pos", L"10,10,60,40"}});
    w.Show(root);

    w.MouseMove(20, 20);
    EXPECT_NE(button->GetButtonState() & CButtonUI::STATE_HOT, 0u);
    w.MouseDown(20, 20);
    EXPECT_NE(button->GetButtonState() & CButtonUI::STATE_PUSHED, 0u);
    w.MouseMove(150, 80);  // the pressed button follows the mouse outside its rectangle
    EXPECT_EQ(button->GetButtonState() & CButtonUI::STATE_PUSHED, 0u);
    w.MouseUp(150, 80);
    EXPECT_EQ(w.Count(L"click"), 0);
    EXPECT_EQ(button->GetButtonState() & CButtonUI::STATE_CAPTURED, 0u);

    w.MouseMove(20, 20);
    w.MouseDown(20, 20);
    w.MouseMove(150, 80);
    w.MouseMove(30, 30);
    EXPECT_NE(button->GetButtonState() & CButtonUI::STATE_PUSHED, 0u);
    w.MouseUp(30, 30);
    EXPECT_EQ(w.Count(L"click"), 1);

    // A release without a press clicks nothing.
    w.MouseUp(30, 30);
    EXPECT_EQ(w.Count(L"click"), 1);
}

TEST(Button, SpaceAndReturnClickTheFocusedButton)
{
    TestWindow w(300, 100);
    auto* root = Make<CHorizontalLayoutUI>();
    auto* b1 = AddTo<CButtonUI>(root, {{L"name", L"b1"}});
    auto* mute = AddTo<CButtonUI>(root, {{L"name", L"mute"}, {L"keyboard", L"false"}});
    w.Show(root);
    ASSERT_EQ(w.manager.GetFocusedControl(), b1);

    struct Case {
        WPARAM key;
        int clicks;
    };
    const Case cases[] = {{VK_SPACE, 1}, {VK_RETURN, 1}, {'A', 0}, {VK_ESCAPE, 0}, {VK_TAB, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        w.seen.clear();
        w.Send(WM_KEYDOWN, c.key, 0);
        w.Send(WM_KEYUP, c.key, 0);
        EXPECT_EQ(w.CountFrom(L"click", L"b1"), c.clicks);
        EXPECT_EQ(w.Count(L"click"), c.clicks);
    }

    // A button that takes no keyboard input is not clicked by its keys, even when focused.
    w.manager.SetFocusedControl(mute);
    ASSERT_EQ(w.manager.GetFocusedControl(), mute);
    w.seen.clear();
    w.Send(WM_KEYDOWN, VK_SPACE, 0);
    w.Send(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(w.Count(L"click"), 0);

    // A disabled button cannot take the focus, so its keys go nowhere.
    b1->SetEnabled(false);
    w.manager.SetFocusedControl(b1);
    EXPECT_NE(w.manager.GetFocusedControl(), b1);
    w.Send(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(w.Count(L"click"), 0);
}

TEST(Button, RemovedByItsOwnClickHandler)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* button = AddTo<CButtonUI>(root, {{L"name", L"self"}, {L"float", L"true"}, {L"pos", L"10,10,60,40"}});
    bool destroyed = false;
    button->OnDestroy.Add([&destroyed](CControlUI*) {
        destroyed = true;
        return true;
    });
    w.onNotify = [&](const UINotification& n) {
        if (n.type == L"click") root->RemoveItem(n.sender);
    };
    w.Show(root);
    w.MouseMove(20, 20);
    w.MouseDown(20, 20);
    w.MouseUp(20, 20);
    EXPECT_EQ(w.Count(L"click"), 1);
    EXPECT_FALSE(destroyed);  // still alive while its own handler runs
    EXPECT_EQ(root->ItemCount(), 0);
    w.Pump();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(w.manager.FindControlByName(L"self"), nullptr);
    EXPECT_NE(w.manager.GetHoverControl(), static_cast<CControlUI*>(button));
    w.MouseMove(25, 25);
    w.Paint();
}

TEST(Painting, ButtonStatesAndDisabledText)
{
    std::wstring red = WriteBmp(L"red.bmp", 8, 8, [](int, int) { return 0xFF0000u; });
    std::wstring green = WriteBmp(L"green.bmp", 8, 8, [](int, int) { return 0x00FF00u; });
    std::wstring blue = WriteBmp(L"blue.bmp", 8, 8, [](int, int) { return 0x0000FFu; });
    TestWindow w(200, 100);
    w.manager.RegisterFont(L"Arial", 40, true, false, false);
    auto* root = Make<CVerticalLayoutUI>();
    auto* button = AddTo<CButtonUI>(root, {{L"float", L"true"}, {L"pos", L"0,0,200,100"}, {L"normalimage", red.c_str()},
                                           {L"hotimage", blue.c_str()}, {L"disabledimage", green.c_str()},
                                           {L"font", L"0"}, {L"text", L"WWW"}, {L"textcolor", L"#FF000000"},
                                           {L"disabledtextcolor", L"#FFFFFF00"}});
    w.Show(root);
    EXPECT_EQ(Rgb(w.Capture()[2 * 200 + 2]), 0xFF0000u);
    w.MouseMove(3, 3);
    EXPECT_EQ(Rgb(w.Capture()[2 * 200 + 2]), 0x0000FFu);

    button->SetEnabled(false);
    EXPECT_EQ(button->GetButtonState(), 0u);
    w.MouseMove(4, 4);
    w.MouseDown(4, 4);
    EXPECT_EQ(button->GetButtonState() & (CButtonUI::STATE_HOT | CButtonUI::STATE_PUSHED), 0u);
    w.MouseUp(4, 4);
    std::vector<DWORD> px = w.Capture();
    EXPECT_EQ(Rgb(px[2 * 200 + 2]), 0x00FF00u);
    int yellow = 0, black = 0;
    for (DWORD p : px) {
        if (Rgb(p) == 0xFFFF00u) ++yellow;
        if (Rgb(p) == 0x000000u) ++black;
    }
    EXPECT_GT(yellow, 20);
    EXPECT_EQ(black, 0);
    EXPECT_EQ(w.Count(L"click"), 0);
}

TEST(Painting, ProgressBarFillsItsShare)
{
    // Fore image: 3-pixel red frame around blue; background grey.
    std::wstring fore = WriteBmp(L"fore.bmp", 530, 13, [](int x, int y) {
        return (x < 3 || y < 3 || x >= 527 || y >= 10) ? 0xFF0000u : 0x0000FFu;
    });
    std::wstring back = WriteBmp(L"back.bmp", 530, 13, [](int, int) { return 0x808080u; });
    TestWindow w(600, 40);
    auto* root = Make<CVerticalLayoutUI>();
    std::wstring foreSpec = L"file='" + fore + L"' corner='3,3,3,3'";
    auto* bar = AddTo<CProgressUI>(root, {{L"float", L"true"}, {L"pos", L"10,10,0,0"}, {L"height", L"13"},
                                          {L"width", L"530"}, {L"bkimage", back.c_str()},
                                          {L"foreimage", foreSpec.c_str()}, {L"min", L"0"}, {L"max", L"100"}});
    w.Show(root);

    struct Case {
        int value;
        const wchar_t* modifier;
        int filled;  // width of the filled part
    };
    const Case cases[] = {{0, L"dest='0,0,0,13'", 0}, {50, L"dest='0,0,265,13'", 265}, {100, L"dest='0,0,530,13'", 530}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        bar->SetValue(c.value);
        std::vector<DWORD> px = w.Capture();
        EXPECT_EQ(bar->LastModifier(), c.modifier);
        auto at = [&](int x, int y) { return Rgb(px[(10 + y) * 600 + 10 + x]); };
        if (c.filled == 0) {
            EXPECT_EQ(at(1, 6), 0x808080u);
            continue;
        }
        EXPECT_EQ(at(c.filled / 2, 6), 0x0000FFu);       // stretched middle
        EXPECT_EQ(at(c.filled - 2, 6), 0xFF0000u);       // right edge keeps its 3 pixels
        EXPECT_EQ(at(c.filled - 4, 6), 0x0000FFu);
        EXPECT_EQ(at(1, 6), 0xFF0000u);
        if (c.filled < 530) {
            EXPECT_EQ(at(c.filled + 1, 6), 0x808080u);
        }
    }
    // A range of 10..10 paints as 10..11, and the value is pulled into it.
    bar->ApplyAttribute(L"min", L"10");
    bar->ApplyAttribute(L"max", L"10");
    w.Capture();
    EXPECT_EQ(bar->GetMaxValue(), 11);
    EXPECT_EQ(bar->GetValue(), 11);
}

TEST(Containers, SeparatorDragResizes)
{
    struct Case {
        const char* what;
        const wchar_t* sep;
        const wchar_t* imm;
        int downY;
        int moveY;
        int wantHeight;
    };
    const Case cases[] = {
        {"bottom strip grows", L"5", L"false", 97, 117, 120},
        {"bottom strip live", L"5", L"true", 97, 87, 90},
        {"limited by the minimum", L"5", L"false", 97, 20, 40},
        {"press outside the strip does nothing", L"5", L"false", 50, 90, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow w(100, 300);
        auto* root = Make<CVerticalLayoutUI>();
        auto* pane = AddTo<CVerticalLayoutUI>(root, {{L"height", L"100"}, {L"minheight", L"40"},
                                                     {L"sepheight", c.sep}, {L"sepimm", c.imm}});
        auto* rest = AddTo<CControlUI>(root);
        w.Show(root);
        EXPECT_EQ(pane->GetInputFlags() & UIFLAG_SETCURSOR, static_cast<UINT>(UIFLAG_SETCURSOR));
        w.MouseMove(50, c.downY);
        w.MouseDown(50, c.downY);
        w.MouseMove(50, c.moveY);
        w.Capture();  // paints the overlay of a drag in progress
        w.MouseUp(50, c.moveY);
        w.Paint();
        EXPECT_EQ(pane->GetHeight(), c.wantHeight);
        EXPECT_EQ(rest->GetPos().top, c.wantHeight);
    }
}

TEST(Containers, VisibilityAndEnablingPropagate)
{
    TestWindow w(100, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* box = AddTo<CVerticalLayoutUI>(root);
    auto* inner = AddTo<CHorizontalLayoutUI>(box);
    auto* leaf = AddTo<CButtonUI>(inner, {{L"name", L"leaf"}});
    w.Show(root);
    w.manager.SetFocusedControl(leaf);
    EXPECT_EQ(w.manager.GetFocusedControl(), leaf);
    box->SetVisible(false);
    EXPECT_FALSE(leaf->IsVisible());
    EXPECT_EQ(w.manager.GetFocusedControl(), nullptr);  // hiding an ancestor drops the focus
    box->SetVisible(true);
    EXPECT_TRUE(leaf->IsVisible());
    box->SetEnabled(false);
    EXPECT_FALSE(leaf->IsEnabled());
    EXPECT_EQ(leaf->GetInputFlags(), 0u);
    // A child added to a hidden container starts hidden.
    box->SetVisible(false);
    auto* late = AddTo<CControlUI>(inner);
    EXPECT_FALSE(late->IsVisible());
}

TEST(Containers, VerticalScrollBarAppearsWhenContentOverflows)
{
    TestWindow w(100, 100);
    auto* root = Make<CVerticalLayoutUI>({{L"vscrollbar", L"true"}});
    for (int i = 0; i < 4; ++i) AddTo<CControlUI>(root, {{L"height", L"40"}});
    w.Show(root);
    CScrollBarUI* bar = root->VerticalScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(bar->GetScrollRange(), 60);
    EXPECT_EQ(root->ItemAt(0)->GetWidth(), 100 - bar->GetFixedWidth());
    root->SetScrollOffset(SIZE{0, 1000});  // clamped to the range
    EXPECT_EQ(root->GetScrollOffset().cy, 60);
    EXPECT_EQ(root->ItemAt(0)->GetPos().top, -60);
    // Content that fits hides the bar again.
    root->RemoveItemAt(0);
    root->RemoveItemAt(0);
    w.Paint();
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_EQ(root->ItemAt(0)->GetPos().top, 0);
    w.Pump();
}

TEST(Manager, EventsReachTheRightControls)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* a = AddTo<CControlUI>(root, {{L"name", L"a"}, {L"float", L"true"}, {L"pos", L"0,0,50,50"}, {L"menu", L"true"}});
    auto* b = AddTo<CControlUI>(root, {{L"name", L"b"}, {L"float", L"true"}, {L"pos", L"100,0,150,50"}});
    std::vector<std::pair<std::wstring, int>> events;
    for (CControlUI* c : {static_cast<CControlUI*>(a), static_cast<CControlUI*>(b), static_cast<CControlUI*>(root)})
        c->OnEvent.Add([&events, c](UIEvent& e) {
            events.emplace_back(c->GetName(), e.type);
            return true;
        });
    w.Show(root);
    events.clear();
    w.Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    POINT screen{110, 10};
    ::ClientToScreen(w.m_hWnd, &screen);
    w.Send(WM_CONTEXTMENU, 0, MAKELPARAM(screen.x, screen.y));  // goes to the pressed control, a
    ::ReleaseCapture();
    bool dbl = false, menuToA = false;
    for (const auto& e : events) {
        if (e.first == L"a" && e.second == EV_DBLCLICK) dbl = true;
        if (e.first == L"a" && e.second == EV_CONTEXTMENU) menuToA = true;
    }
    EXPECT_TRUE(dbl);
    EXPECT_TRUE(menuToA);
    EXPECT_EQ(w.CountFrom(L"menu", L"a"), 1);

    // A context menu on a control without "menu" travels up to its parent, which raises "menu" itself.
    root->SetName(L"root");
    root->ApplyAttribute(L"menu", L"true");
    events.clear();
    w.seen.clear();
    w.MouseDown(110, 10);
    w.Send(WM_CONTEXTMENU, 0, MAKELPARAM(screen.x, screen.y));
    bool menuToB = false;
    for (const auto& e : events)
        if (e.first == L"b" && e.second == EV_CONTEXTMENU) menuToB = true;
    EXPECT_TRUE(menuToB);
    EXPECT_EQ(w.CountFrom(L"menu", L"root"), 1);
    EXPECT_EQ(w.CountFrom(L"menu", L"b"), 0);
    EXPECT_EQ(w.Count(L"menu"), 1);
    for (const auto& s : w.seen)
        if (s.type == L"menu") {
            EXPECT_EQ(s.lParam, reinterpret_cast<LPARAM>(b));  // the control that was pressed
        }
    EXPECT_EQ(w.manager.GetPressedControl(), nullptr);
    ::ReleaseCapture();
}

namespace {

// Records what this program hands to UpdateLayeredWindow (the source bitmap's pixels included), then lets
// the real function do its work. It replaces the program's import of the function while it lives.
class LayeredUpdateRecorder {
public:
    struct Call {
        HWND hWnd;
        POINT dst;
        SIZE size;
        POINT src;
        BLENDFUNCTION blend;
        DWORD flags;
        std::vector<DWORD> pixels;  // 0xAARRGGBB, size.cx by size.cy from the source point, top row first
        DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * size.cx + x]; }
    };
    using Fn = decltype(&::UpdateLayeredWindow);

    LayeredUpdateRecorder()
    {
        m_slot = FindImport("user32.dll", "UpdateLayeredWindow");
        if (m_slot == nullptr) return;
        s_real = reinterpret_cast<Fn>(*m_slot);
        s_calls = &calls;
        Write(reinterpret_cast<void*>(&Record));
    }
    ~LayeredUpdateRecorder()
    {
        if (m_slot != nullptr) Write(reinterpret_cast<void*>(s_real));
        s_calls = nullptr;
    }
    LayeredUpdateRecorder(const LayeredUpdateRecorder&) = delete;
    LayeredUpdateRecorder& operator=(const LayeredUpdateRecorder&) = delete;
    bool Installed() const { return m_slot != nullptr; }

    std::vector<Call> calls;

private:
    static void** FindImport(const char* dll, const char* name)
    {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
            if (::lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0 ||
                desc->OriginalFirstThunk == 0)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
        return nullptr;
    }

    void Write(void* value)
    {
        DWORD old = 0;
        ::VirtualProtect(m_slot, sizeof(void*), PAGE_READWRITE, &old);
        *m_slot = value;
        ::VirtualProtect(m_slot, sizeof(void*), old, &old);
    }

    static BOOL WINAPI Record(HWND hWnd, HDC hdcDst, POINT* pptDst, SIZE* psize, HDC hdcSrc, POINT* pptSrc,
                             COLORREF crKey, BLENDFUNCTION* pblend, DWORD dwFlags)
    {
        if (s_calls != nullptr && pptDst != nullptr && psize != nullptr && pptSrc != nullptr && pblend != nullptr) {
            Call call{hWnd, *pptDst, *psize, *pptSrc, *pblend, dwFlags, {}};
            // Read through GetDIBits, which gives the rows top first whichever way the bitmap stores them.
            BITMAP bm{};
            HGDIOBJ hBitmap = ::GetCurrentObject(hdcSrc, OBJ_BITMAP);
            if (::GetObjectW(hBitmap, sizeof(bm), &bm) != 0 && bm.bmBitsPixel == 32) {
                BITMAPINFO bmi{};
                bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB,
                                                 0, 0, 0, 0, 0};
                std::vector<DWORD> all(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
                ::GdiFlush();
                if (::GetDIBits(hdcSrc, static_cast<HBITMAP>(hBitmap), 0, static_cast<UINT>(bm.bmHeight), all.data(),
                                &bmi, DIB_RGB_COLORS) == bm.bmHeight) {
                    for (LONG y = pptSrc->y; y < pptSrc->y + psize->cy; ++y)
                        for (LONG x = pptSrc->x; x < pptSrc->x + psize->cx; ++x)
                            call.pixels.push_back(x < bm.bmWidth && y < bm.bmHeight
                                                      ? all[static_cast<size_t>(y) * bm.bmWidth + x]
                                                      : 0u);
                }
            }
            s_calls->push_back(std::move(call));
        }
        return s_real(hWnd, hdcDst, pptDst, psize, hdcSrc, pptSrc, crKey, pblend, dwFlags);
    }

    void** m_slot = nullptr;
    static inline Fn s_real = nullptr;
    static inline std::vector<Call>* s_calls = nullptr;
};

}  // namespace

TEST(Painting, PerPixelTransparentWindow)
{
    LayeredUpdateRecorder recorder;
    ASSERT_TRUE(recorder.Installed());
    TestWindow w(100, 100);
    ::MoveWindow(w.m_hWnd, 30, 40, 100, 100, FALSE);
    w.manager.SetBackgroundTransparent(true);
    auto* root = Make<CVerticalLayoutUI>();
    auto* top = AddTo<CControlUI>(root, {{L"height", L"50"}, {L"bkcolor", L"#FF00FF00"}});
    AddTo<CControlUI>(root, {{L"height", L"20"}, {L"bkcolor", L"#FFFF0000"}});
    w.Show(root);
    EXPECT_NE(::GetWindowLongPtrW(w.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);

    // The whole window goes to the screen with per-pixel alpha: opaque where the skin paints, clear elsewhere.
    ASSERT_FALSE(recorder.calls.empty());
    const auto& first = recorder.calls.back();
    EXPECT_EQ(first.hWnd, w.m_hWnd);
    EXPECT_EQ(first.dst.x, 30);
    EXPECT_EQ(first.dst.y, 40);
    EXPECT_EQ(first.size.cx, 100);
    EXPECT_EQ(first.size.cy, 100);
    EXPECT_EQ(first.src.x, 0);
    EXPECT_EQ(first.src.y, 0);
    EXPECT_EQ(first.flags, static_cast<DWORD>(ULW_ALPHA));
    EXPECT_EQ(first.blend.BlendOp, AC_SRC_OVER);
    EXPECT_EQ(first.blend.SourceConstantAlpha, 255);
    EXPECT_EQ(first.blend.AlphaFormat, AC_SRC_ALPHA);
    ASSERT_EQ(first.pixels.size(), 100u * 100u);
    EXPECT_EQ(first.At(10, 10), 0xFF00FF00u);
    EXPECT_EQ(first.At(99, 49), 0xFF00FF00u);
    EXPECT_EQ(first.At(50, 60), 0xFFFF0000u);
    EXPECT_EQ(first.At(10, 75), 0u);  // nothing drawn there: fully transparent
    EXPECT_EQ(first.At(99, 99), 0u);

    // Hiding the green part repaints its area transparent; the red part stays as it was.
    const size_t before = recorder.calls.size();
    top->SetVisible(false);
    w.Paint();
    ASSERT_GT(recorder.calls.size(), before);
    const auto& second = recorder.calls.back();
    ASSERT_EQ(second.pixels.size(), 100u * 100u);
    EXPECT_EQ(second.At(10, 10), 0xFFFF0000u);  // the red part moved up into the freed space
    EXPECT_EQ(second.At(10, 30), 0u);
    EXPECT_EQ(second.At(10, 75), 0u);
}
