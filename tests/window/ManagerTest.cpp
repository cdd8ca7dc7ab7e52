// The window manager: name map, timers, focus order, hover, first layout, number readers, message filters,
// pre-translation, keyboard and wheel routing.
#include "UILabel.h"
#include "WindowHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(Manager, CloseReleasesPressedControl)
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
}

TEST(Manager, ReplacedRootIsDeletedByTheDeferredDeleteMessage)
{
    TestWindow w(200, 100);
    auto* first = Make<CVerticalLayoutUI>({{L"name", L"first"}});
    auto* child = AddTo<CButtonUI>(first, {{L"name", L"child"}, {L"float", L"true"}, {L"pos", L"10,10,60,40"}});
    std::vector<std::wstring> destroyed;
    for (CControlUI* c : {static_cast<CControlUI*>(first), static_cast<CControlUI*>(child)})
        c->OnDestroy.Add([&destroyed](CControlUI* p) {
            destroyed.push_back(p->GetName());
            return true;
        });
    w.Show(first);
    w.MouseMove(20, 20);  // the child is under the mouse and focused: the manager must let go of it
    w.manager.SetFocusedControl(child);

    // Still alive when AttachRoot returns: the caller may be running inside the old tree.
    auto* second = Make<CVerticalLayoutUI>({{L"name", L"second"}});
    EXPECT_TRUE(w.manager.AttachRoot(second));
    EXPECT_EQ(w.manager.GetRoot(), second);
    EXPECT_TRUE(destroyed.empty());
    EXPECT_EQ(w.manager.GetFocusedControl(), nullptr);
    EXPECT_EQ(w.manager.GetHoverControl(), nullptr);

    // The posted message deletes the old root, and its children with it.
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, w.m_hWnd, WM_APP + 1, WM_APP + 1, PM_NOREMOVE));
    w.Pump();
    std::sort(destroyed.begin(), destroyed.end());
    EXPECT_EQ(destroyed, (std::vector<std::wstring>{L"child", L"first"}));
    EXPECT_EQ(w.manager.FindControlByName(L"first"), nullptr);
    EXPECT_EQ(w.manager.FindControlByName(L"child"), nullptr);
    EXPECT_EQ(w.manager.FindControlByName(L"second"), second);

    // The new root lays out and paints; nothing of the old one remains under the mouse.
    ::InvalidateRect(w.m_hWnd, nullptr, FALSE);
    w.Paint();
    EXPECT_EQ(second->GetWidth(), 200);
    w.MouseMove(20, 20);
    EXPECT_EQ(w.manager.GetHoverControl(), second);
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

// ---------------------------------------------------------------------------------------------------------
// Message filters, pre-filters and accelerator translators

namespace {

// Writes "name:message" into a shared log for every message it is offered; answers as told.
class LogFilter : public IMessageFilterUI {
public:
    LogFilter(const wchar_t* name, std::vector<std::wstring>& log) : m_name(name), m_log(log) {}
    LRESULT FilterMessage(UINT uMsg, WPARAM, LPARAM, bool& handled) override
    {
        m_log.push_back(m_name + L":" + std::to_wstring(uMsg));
        return onMessage ? onMessage(uMsg, handled) : 0;
    }
    std::function<LRESULT(UINT, bool&)> onMessage;

private:
    std::wstring m_name;
    std::vector<std::wstring>& m_log;
};

// Writes "name:message" into the shared log; answers S_OK to consume, anything else to pass.
class LogTranslator : public ITranslateAccelerator {
public:
    LogTranslator(const wchar_t* name, std::vector<std::wstring>& log, HRESULT initial)
        : answer(initial), m_name(name), m_log(log)
    {
    }
    HRESULT TranslateAccelerator(MSG* pMsg) override
    {
        m_log.push_back(m_name + L":" + std::to_wstring(pMsg->message));
        return onlyFor == 0 || pMsg->message == onlyFor ? answer : S_FALSE;
    }
    HRESULT answer;
    UINT onlyFor = 0;  // when set, the answer is given to that message only, S_FALSE to the others

private:
    std::wstring m_name;
    std::vector<std::wstring>& m_log;
};

// The names in the log that were offered the given message, in order.
std::vector<std::wstring> OfferedWith(const std::vector<std::wstring>& log, UINT uMsg)
{
    const std::wstring tail = L":" + std::to_wstring(uMsg);
    std::vector<std::wstring> names;
    for (const auto& entry : log)
        if (entry.size() > tail.size() && entry.compare(entry.size() - tail.size(), tail.size(), tail) == 0)
            names.push_back(entry.substr(0, entry.size() - tail.size()));
    return names;
}

using Names = std::vector<std::wstring>;

constexpr UINT kProbe = WM_USER + 10;

}  // namespace

TEST(ManagerFilters, OfferedEveryMessageInOrderBeforeTheManager)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>();
    auto* button = AddTo<CButtonUI>(root, {{L"name", L"b"}, {L"float", L"true"}, {L"pos", L"10,10,60,40"}});
    w.Show(root);
    std::vector<std::wstring> log;
    LogFilter a(L"a", log), b(L"b", log), c(L"c", log);
    EXPECT_TRUE(w.manager.AddMessageFilter(&a));
    EXPECT_TRUE(w.manager.AddMessageFilter(&b));
    EXPECT_TRUE(w.manager.AddMessageFilter(&c));
    EXPECT_FALSE(w.manager.AddMessageFilter(&b));  // once only
    EXPECT_FALSE(w.manager.AddMessageFilter(nullptr));

    // Nobody handles it: every filter sees it in registration order, then the window's default answer.
    EXPECT_EQ(w.Send(kProbe, 0, 0), 0);
    EXPECT_EQ(OfferedWith(log, kProbe), (Names{L"a", L"b", L"c"}));
    EXPECT_EQ(w.Send(WM_ERASEBKGND, 0, 0), 1);  // the manager's own answer
    EXPECT_EQ(OfferedWith(log, WM_ERASEBKGND), (Names{L"a", L"b", L"c"}));

    // The first filter that handles a message ends it with its answer.
    b.onMessage = [](UINT uMsg, bool& handled) -> LRESULT {
        if (uMsg != kProbe + 1 && uMsg != WM_LBUTTONDOWN) return 0;
        handled = true;
        return 42;
    };
    log.clear();
    EXPECT_EQ(w.Send(kProbe + 1, 0, 0), 42);
    EXPECT_EQ(OfferedWith(log, kProbe + 1), (Names{L"a", L"b"}));
    LRESULT lRes = 0;
    EXPECT_TRUE(w.manager.HandleWindowMessage(kProbe + 1, 0, 0, lRes));
    EXPECT_EQ(lRes, 42);

    // ... and the manager never sees it: a press taken by a filter presses no button.
    w.MouseMove(20, 20);
    w.MouseDown(20, 20);
    EXPECT_EQ(button->GetButtonState() & CButtonUI::STATE_PUSHED, 0u);
    EXPECT_EQ(w.manager.GetPressedControl(), nullptr);

    // A removed filter is offered nothing more; the press reaches the button again.
    EXPECT_TRUE(w.manager.RemoveMessageFilter(&b));
    EXPECT_FALSE(w.manager.RemoveMessageFilter(&b));
    log.clear();
    w.MouseDown(20, 20);
    EXPECT_EQ(OfferedWith(log, WM_LBUTTONDOWN), (Names{L"a", L"c"}));
    EXPECT_NE(button->GetButtonState() & CButtonUI::STATE_PUSHED, 0u);
    w.MouseUp(20, 20);
    EXPECT_EQ(w.CountFrom(L"click", L"b"), 1);

    // Pre-filters belong to pre-translation: an ordinary message to the window does not reach them.
    LogFilter pre(L"pre", log);
    EXPECT_TRUE(w.manager.AddPreFilter(&pre));
    log.clear();
    w.Send(kProbe, 0, 0);
    EXPECT_EQ(OfferedWith(log, kProbe), (Names{L"a", L"c"}));
    w.manager.RemovePreFilter(&pre);
    w.manager.RemoveMessageFilter(&a);
    w.manager.RemoveMessageFilter(&c);
}

TEST(ManagerFilters, FilterMayAddOrRemoveFiltersWhileItRuns)
{
    struct Case {
        const char* what;
        // What filter "a" does when it is offered the first message.
        std::function<void(CUIManager&, LogFilter& self, LogFilter& b, LogFilter& d, bool& handled)> act;
        Names first;   // offered the first message
        Names second;  // offered the next one
        LRESULT answer;
    };
    const Case cases[] = {
        {"removes itself",
         [](CUIManager& m, LogFilter& self, LogFilter&, LogFilter&, bool&) { m.RemoveMessageFilter(&self); },
         {L"a", L"b", L"c"}, {L"b", L"c"}, 0},
        {"removes the next one",
         [](CUIManager& m, LogFilter&, LogFilter& b, LogFilter&, bool&) { m.RemoveMessageFilter(&b); },
         {L"a", L"c"}, {L"a", L"c"}, 0},
        {"adds one, which sees the next message",
         [](CUIManager& m, LogFilter&, LogFilter&, LogFilter& d, bool&) { m.AddMessageFilter(&d); },
         {L"a", L"b", L"c"}, {L"a", L"b", L"c", L"d"}, 0},
        {"removes itself and handles",
         [](CUIManager& m, LogFilter& self, LogFilter&, LogFilter&, bool& handled) {
             m.RemoveMessageFilter(&self);
             handled = true;
         },
         {L"a"}, {L"b", L"c"}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow w(100, 100);
        std::vector<std::wstring> log;
        LogFilter fa(L"a", log), fb(L"b", log), fc(L"c", log), fd(L"d", log);
        bool done = false;
        fa.onMessage = [&](UINT uMsg, bool& handled) -> LRESULT {
            if (uMsg != kProbe || done) return 0;
            done = true;
            c.act(w.manager, fa, fb, fd, handled);
            return 5;
        };
        w.manager.AddMessageFilter(&fa);
        w.manager.AddMessageFilter(&fb);
        w.manager.AddMessageFilter(&fc);
        EXPECT_EQ(w.Send(kProbe, 0, 0), c.answer);
        EXPECT_EQ(OfferedWith(log, kProbe), c.first);
        log.clear();
        w.Send(kProbe, 0, 0);
        EXPECT_EQ(OfferedWith(log, kProbe), c.second);
        for (LogFilter* f : {&fa, &fb, &fc, &fd}) w.manager.RemoveMessageFilter(f);
    }

    // Pre-filters and listeners follow the same rule.
    TestWindow w(100, 100);
    w.Show(Make<CVerticalLayoutUI>());
    std::vector<std::wstring> log;
    LogFilter pa(L"a", log), pb(L"b", log);
    pa.onMessage = [&](UINT, bool&) -> LRESULT {
        w.manager.RemovePreFilter(&pa);
        return 0;
    };
    w.manager.AddPreFilter(&pa);
    w.manager.AddPreFilter(&pb);
    MSG msg{w.m_hWnd, kProbe, 0, 0, 0, {}};
    EXPECT_FALSE(CUIManager::PreTranslate(&msg));
    EXPECT_EQ(OfferedWith(log, kProbe), (Names{L"a", L"b"}));
    w.manager.RemovePreFilter(&pb);

    struct Listener : INotifyUI {
        std::function<void()> onNotify;
        int count = 0;
        void Notify(const UINotification&) override
        {
            ++count;
            if (onNotify) onNotify();
        }
    } first, second;
    first.onNotify = [&] { w.manager.RemoveNotificationListener(&first); };
    w.manager.AddNotificationListener(&first);
    w.manager.AddNotificationListener(&second);
    w.manager.SendNotification(w.manager.GetRoot(), L"custom");
    EXPECT_EQ(first.count, 1);
    EXPECT_EQ(second.count, 1);
    w.manager.SendNotification(w.manager.GetRoot(), L"custom");
    EXPECT_EQ(first.count, 1);
    EXPECT_EQ(second.count, 2);
    w.manager.RemoveNotificationListener(&second);
}

TEST(ManagerFilters, TranslatorAnsweringOkConsumesTheMessage)
{
    TestWindow w(300, 100);
    auto* root = Make<CHorizontalLayoutUI>();
    auto* b1 = AddTo<CButtonUI>(root, {{L"name", L"b1"}});
    auto* b2 = AddTo<CButtonUI>(root, {{L"name", L"b2"}});
    w.Show(root);
    ASSERT_EQ(w.manager.GetFocusedControl(), b1);
    std::vector<std::wstring> log;
    LogTranslator t1(L"t1", log, S_FALSE), t2(L"t2", log, S_FALSE), t3(L"t3", log, S_FALSE);
    LogFilter pre(L"pre", log);
    EXPECT_TRUE(w.manager.AddAcceleratorTranslator(&t1));
    EXPECT_TRUE(w.manager.AddAcceleratorTranslator(&t2));
    EXPECT_TRUE(w.manager.AddAcceleratorTranslator(&t3));
    EXPECT_FALSE(w.manager.AddAcceleratorTranslator(&t2));
    EXPECT_TRUE(w.manager.AddPreFilter(&pre));

    // Answers other than S_OK consume nothing: every translator, then the pre-filters, see the message.
    for (HRESULT other : {S_FALSE, E_FAIL, E_NOTIMPL}) {
        t2.answer = other;
        log.clear();
        MSG key{w.m_hWnd, WM_KEYDOWN, 'A', 0, 0, {}};
        EXPECT_FALSE(CUIManager::PreTranslate(&key));
        EXPECT_EQ(OfferedWith(log, WM_KEYDOWN), (Names{L"t1", L"t2", L"t3", L"pre"}));
    }

    // S_OK consumes it: later translators, the pre-filters and the Tab handling never see it.
    t2.answer = S_OK;
    log.clear();
    MSG tab{w.m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(CUIManager::PreTranslate(&tab));
    EXPECT_EQ(OfferedWith(log, WM_KEYDOWN), (Names{L"t1", L"t2"}));
    EXPECT_EQ(w.manager.GetFocusedControl(), b1);

    // A pre-filter that handles the message consumes it before the Tab handling.
    t2.answer = S_FALSE;
    pre.onMessage = [](UINT, bool& handled) -> LRESULT {
        handled = true;
        return 0;
    };
    EXPECT_TRUE(CUIManager::PreTranslate(&tab));
    EXPECT_EQ(w.manager.GetFocusedControl(), b1);
    pre.onMessage = nullptr;
    EXPECT_TRUE(CUIManager::PreTranslate(&tab));
    EXPECT_EQ(w.manager.GetFocusedControl(), b2);

    // Removed, a translator is offered nothing more.
    EXPECT_TRUE(w.manager.RemoveAcceleratorTranslator(&t1));
    EXPECT_FALSE(w.manager.RemoveAcceleratorTranslator(&t1));
    log.clear();
    MSG key{w.m_hWnd, WM_KEYDOWN, 'A', 0, 0, {}};
    CUIManager::PreTranslate(&key);
    EXPECT_EQ(OfferedWith(log, WM_KEYDOWN), (Names{L"t2", L"t3", L"pre"}));

    // The message loop dispatches only what pre-translation leaves: a consumed key never reaches the window.
    t3.answer = S_OK;
    t3.onlyFor = WM_KEYDOWN;
    w.messagesSeen.clear();
    ::PostMessageW(w.m_hWnd, WM_KEYDOWN, 'Q', 0);
    ::PostMessageW(w.m_hWnd, kProbe, 0, 0);
    ::PostQuitMessage(0);
    CUIManager::RunMessageLoop();
    EXPECT_EQ(std::count(w.messagesSeen.begin(), w.messagesSeen.end(), static_cast<UINT>(WM_KEYDOWN)), 0);
    EXPECT_EQ(std::count(w.messagesSeen.begin(), w.messagesSeen.end(), kProbe), 1);
    t3.answer = S_FALSE;
    w.messagesSeen.clear();
    ::PostMessageW(w.m_hWnd, WM_KEYDOWN, 'Q', 0);
    ::PostQuitMessage(0);
    CUIManager::RunMessageLoop();
    EXPECT_EQ(std::count(w.messagesSeen.begin(), w.messagesSeen.end(), static_cast<UINT>(WM_KEYDOWN)), 1);

    w.manager.RemoveAcceleratorTranslator(&t2);
    w.manager.RemoveAcceleratorTranslator(&t3);
    w.manager.RemovePreFilter(&pre);
}

namespace {

// A plain child window, such as the window of an embedded browser.
HWND PlainChild(HWND hParent)
{
    return ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, hParent, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(ManagerFilters, ChildWindowMessagesGoToTheManagersAbove)
{
    std::vector<std::wstring> log;
    TestWindow outer(300, 200);
    outer.Show(Make<CVerticalLayoutUI>());
    LogTranslator outerT(L"outerT", log, S_FALSE);
    LogFilter outerPre(L"outerPre", log);
    outer.manager.AddAcceleratorTranslator(&outerT);
    outer.manager.AddPreFilter(&outerPre);

    const HWND browser = PlainChild(outer.m_hWnd);
    const HWND browserInner = PlainChild(browser);  // the engine's own window, one level further down
    ASSERT_TRUE(browser && browserInner);

    TestWindow stranger(100, 100);
    stranger.Show(Make<CVerticalLayoutUI>());
    LogTranslator strangerT(L"strangerT", log, S_FALSE);
    stranger.manager.AddAcceleratorTranslator(&strangerT);
    const HWND strangerChild = PlainChild(stranger.m_hWnd);

    // A pop-up window the skinned window owns is a window of its own, not a part of it.
    const HWND ownedPopup = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, outer.m_hWnd, nullptr,
                                              ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(::GetWindow(ownedPopup, GW_OWNER), outer.m_hWnd);
    const HWND popupChild = PlainChild(ownedPopup);

    struct Case {
        const char* what;
        HWND target;
        Names offered;
    };
    const Case cases[] = {
        {"a child of the window", browser, {L"outerT", L"outerPre"}},
        {"a child two levels down", browserInner, {L"outerT", L"outerPre"}},
        {"the window itself", outer.m_hWnd, {L"outerT", L"outerPre"}},
        {"a child of another window", strangerChild, {L"strangerT"}},
        {"a child of a pop-up the window owns", popupChild, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        MSG msg{c.target, WM_KEYDOWN, 'A', 0, 0, {}};
        // Offered, not consumed: the child window still gets the key.
        EXPECT_FALSE(CUIManager::PreTranslate(&msg));
        EXPECT_EQ(OfferedWith(log, WM_KEYDOWN), c.offered);
    }

    // A translator that answers S_OK consumes a child's message too.
    outerT.answer = S_OK;
    log.clear();
    MSG msg{browserInner, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_TRUE(CUIManager::PreTranslate(&msg));
    EXPECT_EQ(OfferedWith(log, WM_KEYDOWN), (Names{L"outerT"}));
    outerT.answer = S_FALSE;

    // A message of an unrelated top-level window reaches no manager.
    const HWND loose = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
    log.clear();
    MSG looseMsg{loose, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_FALSE(CUIManager::PreTranslate(&looseMsg));
    EXPECT_TRUE(log.empty());
    ::DestroyWindow(loose);

    ::DestroyWindow(ownedPopup);
    outer.manager.RemoveAcceleratorTranslator(&outerT);
    outer.manager.RemovePreFilter(&outerPre);
    stranger.manager.RemoveAcceleratorTranslator(&strangerT);
}

TEST(ManagerFilters, SkinnedChildWindowSeesItsMessageOnce)
{
    // A skinned window nested inside another (through a plain window in between): a key for it is offered
    // to its own manager once and to the manager of the window above once.
    std::vector<std::wstring> log;
    TestWindow outer(300, 200);
    outer.Show(Make<CVerticalLayoutUI>());
    const HWND middle = PlainChild(outer.m_hWnd);
    ASSERT_TRUE(middle);
    TestWindow inner(200, 50, WS_CHILD | WS_VISIBLE, middle);
    auto* root = Make<CHorizontalLayoutUI>();
    auto* b1 = AddTo<CButtonUI>(root, {{L"name", L"b1"}});
    auto* b2 = AddTo<CButtonUI>(root, {{L"name", L"b2"}});
    AddTo<CButtonUI>(root, {{L"name", L"b3"}});
    inner.Show(root);
    ASSERT_EQ(inner.manager.GetFocusedControl(), b1);
    LogTranslator outerT(L"outerT", log, S_FALSE), innerT(L"innerT", log, S_FALSE);
    outer.manager.AddAcceleratorTranslator(&outerT);
    inner.manager.AddAcceleratorTranslator(&innerT);

    MSG key{inner.m_hWnd, WM_KEYDOWN, 'A', 0, 0, {}};
    CUIManager::PreTranslate(&key);
    Names offered = OfferedWith(log, WM_KEYDOWN);
    std::sort(offered.begin(), offered.end());
    EXPECT_EQ(offered, (Names{L"innerT", L"outerT"}));

    // Tab moves the focus by one stop, not once per window above.
    MSG tab{inner.m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    CUIManager::PreTranslate(&tab);
    EXPECT_EQ(inner.manager.GetFocusedControl(), b2);

    outer.manager.RemoveAcceleratorTranslator(&outerT);
    inner.manager.RemoveAcceleratorTranslator(&innerT);
}

// ---------------------------------------------------------------------------------------------------------
// Keyboard and wheel routing

namespace {

struct EventSeen {
    std::wstring control;
    int type;
    wchar_t key;
    WPARAM wParam;
    LPARAM lParam;
    POINT pt;
};

// Records the events of the given types that reach each control's own event entry.
void RecordEvents(std::vector<EventSeen>& seen, std::initializer_list<CControlUI*> controls,
                  std::initializer_list<int> types)
{
    std::vector<int> wanted(types);
    for (CControlUI* c : controls)
        c->OnEvent.Add([&seen, c, wanted](UIEvent& e) {
            if (std::find(wanted.begin(), wanted.end(), e.type) != wanted.end())
                seen.push_back(EventSeen{c->GetName(), e.type, e.key, e.wParam, e.lParam, e.ptMouse});
            return true;
        });
}

}  // namespace

TEST(ManagerKeyboard, KeysReachTheFocusedControl)
{
    TestWindow w(300, 100);
    auto* root = Make<CHorizontalLayoutUI>({{L"name", L"root"}});
    auto* b1 = AddTo<CButtonUI>(root, {{L"name", L"b1"}});
    auto* b2 = AddTo<CButtonUI>(root, {{L"name", L"b2"}});
    std::vector<EventSeen> seen;
    RecordEvents(seen, {root, b1, b2}, {EV_KEYDOWN, EV_KEYUP, EV_CHAR});
    w.Show(root);
    ASSERT_EQ(w.manager.GetFocusedControl(), b1);

    w.Send(WM_KEYDOWN, 'A', 0x001E0001);
    w.Send(WM_CHAR, 'a', 0x001E0001);
    w.Send(WM_KEYUP, 'A', 0xC01E0001);
    ASSERT_EQ(seen.size(), 3u);
    const int types[] = {EV_KEYDOWN, EV_CHAR, EV_KEYUP};
    const wchar_t keys[] = {L'A', L'a', L'A'};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(seen[i].control, L"b1");
        EXPECT_EQ(seen[i].type, types[i]);
        EXPECT_EQ(seen[i].key, keys[i]);
        EXPECT_EQ(seen[i].wParam, static_cast<WPARAM>(keys[i]));
    }

    // The key-up goes to the control that got the key-down, though the focus has moved since.
    seen.clear();
    w.Send(WM_KEYDOWN, VK_DOWN, 0);
    w.manager.SetFocusedControl(b2);
    w.Send(WM_CHAR, 'x', 0);
    w.Send(WM_KEYUP, VK_DOWN, 0);
    w.Send(WM_KEYUP, VK_DOWN, 0);  // a second key-up has no key-down before it
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].control, L"b1");
    EXPECT_EQ(seen[0].type, EV_KEYDOWN);
    EXPECT_EQ(seen[1].control, L"b2");
    EXPECT_EQ(seen[1].type, EV_CHAR);
    EXPECT_EQ(seen[2].control, L"b1");
    EXPECT_EQ(seen[2].type, EV_KEYUP);
    EXPECT_EQ(seen[2].key, static_cast<wchar_t>(VK_DOWN));

    // The control that got the key-down is deleted before the key-up: the key-up reaches nobody.
    seen.clear();
    w.Send(WM_KEYDOWN, 'B', 0);
    root->RemoveItem(b2);
    w.Pump();
    EXPECT_EQ(w.manager.FindControlByName(L"b2"), nullptr);
    w.Send(WM_KEYUP, 'B', 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, EV_KEYDOWN);

    // Without a focused control the keys reach no control.
    w.manager.SetFocusedControl(nullptr);
    seen.clear();
    w.Send(WM_KEYDOWN, 'C', 0);
    w.Send(WM_CHAR, 'c', 0);
    w.Send(WM_KEYUP, 'C', 0);
    EXPECT_TRUE(seen.empty());
}

TEST(ManagerKeyboard, TabAndSpaceThroughTheMessageLoop)
{
    TestWindow w(300, 100);
    auto* root = Make<CHorizontalLayoutUI>();
    AddTo<CButtonUI>(root, {{L"name", L"b1"}});
    AddTo<CButtonUI>(root, {{L"name", L"skipped"}, {L"keyboard", L"false"}});
    auto* b3 = AddTo<CButtonUI>(root, {{L"name", L"b3"}});
    w.Show(root);

    // Tab moves the focus past a control that takes no keyboard input; Space then clicks the new one.
    ::PostMessageW(w.m_hWnd, WM_KEYDOWN, VK_TAB, 0x000F0001);
    ::PostMessageW(w.m_hWnd, WM_KEYDOWN, VK_SPACE, 0x00390001);
    ::PostQuitMessage(0);
    CUIManager::RunMessageLoop();
    EXPECT_EQ(w.manager.GetFocusedControl(), b3);
    EXPECT_EQ(w.CountFrom(L"click", L"b3"), 1);
    EXPECT_EQ(w.Count(L"click"), 1);
}

TEST(ManagerWheel, WheelReachesTheControlUnderThePoint)
{
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>({{L"name", L"list"}, {L"vscrollbar", L"true"}, {L"scrollstepsize", L"30"}});
    std::vector<CControlUI*> rows;
    for (int i = 0; i < 10; ++i)
        rows.push_back(AddTo<CControlUI>(root, {{L"name", (L"row" + std::to_wstring(i)).c_str()}, {L"height", L"40"}}));
    std::vector<EventSeen> seen;
    RecordEvents(seen, {rows[0], rows[1], rows[2]}, {EV_SCROLLWHEEL});
    w.Show(root);
    ASSERT_EQ(root->GetScrollOffset().cy, 0);

    auto wheel = [&](int x, int y, short delta) {
        POINT screen{x, y};
        ::ClientToScreen(w.m_hWnd, &screen);
        const LPARAM lParam = MAKELPARAM(screen.x, screen.y);
        w.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), lParam);
        return lParam;
    };

    // Down over the second row: that row gets the event, and the list it sits in scrolls by one line.
    const LPARAM at = wheel(20, 50, -WHEEL_DELTA);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].control, L"row1");
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(SB_LINEDOWN));
    EXPECT_EQ(seen[0].lParam, at);
    EXPECT_EQ(seen[0].pt.x, 20);
    EXPECT_EQ(seen[0].pt.y, 50);
    EXPECT_EQ(root->GetScrollOffset().cy, 30);
    EXPECT_EQ(w.manager.GetMousePos().y, 50);
    // The hover follows the content that moved under the pointer.
    EXPECT_EQ(w.manager.GetHoverControl(), rows[2]);

    // Up over the same point: now the third row, line up, back to the top.
    seen.clear();
    wheel(20, 50, WHEEL_DELTA);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].control, L"row2");
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(SB_LINEUP));
    EXPECT_EQ(root->GetScrollOffset().cy, 0);
    EXPECT_EQ(w.manager.GetHoverControl(), rows[1]);

    // A small movement counts by its sign.
    seen.clear();
    wheel(20, 10, -1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].control, L"row0");
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(SB_LINEDOWN));

    // Outside the window nothing is under the point: no control gets it and nothing scrolls.
    seen.clear();
    const int before = root->GetScrollOffset().cy;
    wheel(250, 150, -WHEEL_DELTA);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(root->GetScrollOffset().cy, before);
}
