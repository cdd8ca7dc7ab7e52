// The window manager: name map, timers, focus order, hover, first layout, number readers.
#include "UILabel.h"
#include "WindowHarness.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace wintest;

TEST(StringMap, HashBucketsAndMoveToFront)
{
    struct Case {
        const wchar_t* key;
        UINT hash;
    };
    // From the last character to the first: h = h * 33 + c.
    const Case cases[] = {{L"", 0u}, {L"a", 97u}, {L"ab", 98u * 33u + 97u}, {L"abc", (99u * 33u + 98u) * 33u + 97u}};
    for (const Case& c : cases) EXPECT_EQ(HashKey(c.key), c.hash);
    EXPECT_EQ(HashKey(std::wstring(40, L'z')), HashKey(std::wstring(40, L'z')));  // wraps without trouble

    // Keys with the same hash share a bucket; a hit moves its entry to the front.
    CStringMap<int> map;
    std::vector<std::wstring> keys;
    for (int i = 0; keys.size() < 3 && i < 100000; ++i) {
        std::wstring k = L"k" + std::to_wstring(i);
        if (HashKey(k) % 83 == 5) keys.push_back(k);
    }
    ASSERT_EQ(keys.size(), 3u);
    for (size_t i = 0; i < keys.size(); ++i) map.Set(keys[i], static_cast<int>(i));
    ASSERT_NE(map.Find(keys[0]), nullptr);
    EXPECT_EQ(*map.FrontOfBucket(keys[1]), keys[0]);
    map.Set(keys[0], 7);  // replaces
    EXPECT_EQ(*map.Find(keys[0]), 7);
    EXPECT_EQ(map.Count(), 3u);
    EXPECT_TRUE(map.Remove(keys[1]));
    EXPECT_EQ(map.Find(keys[1]), nullptr);
}

TEST(Readers, NumbersAndColours)
{
    struct IntCase {
        const wchar_t* text;
        int value;
    };
    const IntCase ints[] = {{L"42", 42},       {L"-7x", -7},        {L"", 0},
                            {L"abc", 0},       {L" 12", 12},        {L"+3", 3},
                            {L"-", 0},         {L"99999999999", 2147483647}, {L"-99999999999", -2147483647 - 1}};
    for (const IntCase& c : ints) EXPECT_EQ(ParseInt(c.text), c.value);
    EXPECT_EQ(ParseInt(nullptr), 0);

    RECT rc = ParseRect(L"1,2,3,4");
    EXPECT_EQ(rc.left + rc.top * 10 + rc.right * 100 + rc.bottom * 1000, 4321);
    rc = ParseRect(L"1;;2");  // exactly one separator each: the second number reads ";2" as 0
    EXPECT_EQ(rc.left, 1);
    EXPECT_EQ(rc.top, 0);

    struct ColourCase {
        const wchar_t* text;
        bool skip;
        DWORD value;
    };
    const ColourCase colours[] = {{L"#FFEEE8D9", false, 0xFFEEE8D9}, {L"444444", false, 0x444444},
                                  {L" #FF00FF00", true, 0xFF00FF00}, {L" #FF00FF00", false, 0},
                                  {L"#", false, 0},                   {L"#123456789", false, 0xFFFFFFFF}};
    for (const ColourCase& c : colours) EXPECT_EQ(ParseColorValue(c.text, c.skip), c.value);
    EXPECT_TRUE(ParseBool(L"true"));
    EXPECT_FALSE(ParseBool(L"TRUE"));
    EXPECT_FALSE(ParseBool(L"true "));
}

TEST(Manager, TimersUseNativeIdsFrom17)
{
    TestWindow w(100, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* a = AddTo<CControlUI>(root, {{L"name", L"a"}});
    auto* b = AddTo<CControlUI>(root, {{L"name", L"b"}});
    w.Show(root);

    ASSERT_TRUE(w.manager.StartTimer(a, 1, 10));
    EXPECT_EQ(w.manager.Timers().back().nativeId, 17u);
    EXPECT_FALSE(w.manager.StartTimer(a, 1, 10));  // already running
    ASSERT_TRUE(w.manager.StartTimer(b, 1, 10));
    EXPECT_EQ(w.manager.Timers().back().nativeId, 18u);

    EXPECT_TRUE(w.manager.StopTimer(a, 1));
    EXPECT_FALSE(w.manager.StopTimer(a, 1));
    EXPECT_TRUE(w.manager.StartTimer(a, 1, 10));  // the killed record comes back with its id
    EXPECT_EQ(w.manager.Timers().size(), 2u);
    EXPECT_EQ(w.manager.Timers().front().nativeId, 17u);

    // The timer reaches its control as "timer" with the control's own id.
    w.seen.clear();
    DWORD start = ::GetTickCount();
    while (w.Count(L"timer") < 2 && ::GetTickCount() - start < 2000) {
        w.Pump();
        ::Sleep(5);
    }
    bool sawA = false;
    for (const auto& s : w.seen)
        if (s.type == L"timer" && s.sender == L"a") sawA = s.wParam == 1;
    EXPECT_TRUE(sawA);

    // Forgetting the control kills and removes its timers.
    w.manager.ForgetControl(a);
    EXPECT_EQ(w.manager.Timers().size(), 1u);
    w.manager.StopTimer(b, 1);

    // Ids go on modulo 240: after 239 comes 0.
    std::vector<CControlUI*> more;
    for (int i = 0; i < 222; ++i) {
        more.push_back(AddTo<CControlUI>(root));
        ASSERT_TRUE(w.manager.StartTimer(more.back(), 3, 100000));
    }
    EXPECT_EQ(w.manager.Timers().back().nativeId, 0u);  // the 224th timer of the window
    for (CControlUI* p : more) w.manager.StopTimer(p, 3);
}

TEST(Manager, TabOrderWrapsBothWays)
{
    TestWindow w(300, 100);
    auto* root = Make<CHorizontalLayoutUI>();
    auto* b1 = AddTo<CButtonUI>(root, {{L"name", L"b1"}});
    AddTo<CLabelUI>(root, {{L"name", L"label"}});
    auto* b2 = AddTo<CButtonUI>(root, {{L"name", L"b2"}});
    AddTo<CButtonUI>(root, {{L"name", L"off"}, {L"enabled", L"false"}});
    auto* b3 = AddTo<CButtonUI>(root, {{L"name", L"b3"}});
    w.Show(root);
    EXPECT_EQ(w.manager.GetFocusedControl(), b1);  // the first paint moves the focus to the first tab stop

    MSG tab{w.m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    const CControlUI* forward[] = {b2, b3, b1, b2};
    for (const CControlUI* want : forward) {
        EXPECT_TRUE(CUIManager::PreTranslate(&tab));
        EXPECT_EQ(w.manager.GetFocusedControl(), want);
    }
    w.manager.SetFocusedControl(b1);
    const CControlUI* backward[] = {b3, b2, b1, b3};
    for (const CControlUI* want : backward) {
        w.manager.MoveFocusByTab(false);
        EXPECT_EQ(w.manager.GetFocusedControl(), want);
    }
    EXPECT_GE(w.Count(L"setfocus"), 8);
    EXPECT_GE(w.Count(L"killfocus"), 7);

    // Tab from a given control: the next paint lands on it.
    w.manager.SetFocusByTab(b2);
    w.Paint();
    EXPECT_EQ(w.manager.GetFocusedControl(), b2);
    w.manager.SetFocusByTab(b1);
    w.Paint();
    EXPECT_EQ(w.manager.GetFocusedControl(), b1);
}

TEST(Manager, HoverEnterAndLeave)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* button = AddTo<CButtonUI>(root, {{L"name", L"b"}, {L"float", L"true"}, {L"pos", L"10,10,60,40"},
                                           {L"tooltip", L"tip<n>two"}});
    w.Show(root);
    w.MouseMove(20, 20);
    EXPECT_EQ(w.manager.GetHoverControl(), button);
    w.Send(WM_MOUSEHOVER, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(w.CountFrom(L"mouseenter", L"b"), 1);
    w.MouseMove(100, 80);
    EXPECT_EQ(w.CountFrom(L"mouseleave", L"b"), 1);
    EXPECT_EQ(button->GetButtonState() & CButtonUI::STATE_HOT, 0u);
    EXPECT_EQ(w.manager.GetHoverControl(), root);

    // Leaving the window sends the hover control a leave.
    w.MouseMove(20, 20);
    w.Send(WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(w.CountFrom(L"mouseleave", L"b"), 2);
    EXPECT_EQ(w.manager.GetHoverControl(), nullptr);
}

TEST(Manager, WindowInitOnceAfterFirstPaint)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>({{L"name", L"root"}});
    auto* child = AddTo<CControlUI>(root);
    int layoutAtInit = -1;
    w.onNotify = [&](const UINotification& n) {
        if (n.type == L"windowinit") layoutAtInit = child->GetWidth();
    };
    w.manager.AttachRoot(root);
    EXPECT_EQ(w.Count(L"windowinit"), 0);
    ::ShowWindow(w.m_hWnd, SW_SHOWNOACTIVATE);
    w.Paint();
    EXPECT_EQ(w.Count(L"windowinit"), 1);
    EXPECT_EQ(layoutAtInit, 200);
    for (const auto& s : w.seen)
        if (s.type == L"windowinit") {
            EXPECT_EQ(s.sender, L"root");
        }
    w.Resize(300, 100);
    ::InvalidateRect(w.m_hWnd, nullptr, FALSE);
    w.Paint();
    EXPECT_EQ(w.Count(L"windowinit"), 1);
    EXPECT_EQ(child->GetWidth(), 300);
}

TEST(Manager, NotificationsReachSenderCallbacksFirst)
{
    TestWindow w(100, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* c = AddTo<CControlUI>(root, {{L"name", L"c"}});
    w.Show(root);
    std::vector<std::wstring> order;
    c->OnNotify.Add([&](UINotification&) {
        order.push_back(L"cb1");
        return false;  // stops the callbacks, not the listeners
    });
    c->OnNotify.Add([&](UINotification&) {
        order.push_back(L"cb2");
        return true;
    });
    w.onNotify = [&](const UINotification& n) {
        if (n.type == L"custom") order.push_back(L"listener");
    };
    w.manager.SendNotification(c, L"custom", 3, 4);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], L"cb1");
    EXPECT_EQ(order[1], L"listener");
}

TEST(Manager, CloseReleasesPressedControlAndKeepsDeferredSafe)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* button = AddTo<CButtonUI>(root, {{L"float", L"true"}, {L"pos", L"10,10,60,40"}});
    w.Show(root);
    w.MouseMove(20, 20);
    w.MouseDown(20, 20);
    EXPECT_NE(button->GetButtonState() & CButtonUI::STATE_CAPTURED, 0u);
    LRESULT lRes = 0;
    EXPECT_FALSE(w.manager.HandleWindowMessage(WM_CLOSE, 0, 0, lRes));
    EXPECT_EQ(button->GetButtonState() & CButtonUI::STATE_CAPTURED, 0u);
    ::ReleaseCapture();

    // A replaced root is deleted later, not under the caller.
    auto* second = Make<CVerticalLayoutUI>();
    EXPECT_TRUE(w.manager.AttachRoot(second));
    EXPECT_EQ(w.manager.GetRoot(), second);
    w.Pump();
    w.Paint();
}

TEST(Manager, ForgettingTheRootKeepsItOwned)
{
    bool destroyed = false;
    {
        TestWindow w(100, 100);
        auto* root = Make<CVerticalLayoutUI>({{L"name", L"root"}});
        auto* child = AddTo<CButtonUI>(root, {{L"name", L"child"}});
        child->OnDestroy.Add([&destroyed](CControlUI*) {
            destroyed = true;
            return true;
        });
        w.Show(root);
        w.manager.ForgetControl(root);  // what the window base does when its window goes
        EXPECT_EQ(w.manager.GetRoot(), root);
        EXPECT_EQ(w.manager.FindControlByName(L"root"), nullptr);
        EXPECT_EQ(w.manager.FindControlByName(L"child"), child);
    }
    EXPECT_TRUE(destroyed);  // the manager deleted the tree with itself
}
