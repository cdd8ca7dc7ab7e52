// The native window wrapper: message routing to the object, the final step, centring and the shake.
#include "TestSupport.h"
#include "UIWindow.h"

#include <gtest/gtest.h>

#include <vector>

using namespace SkinUI;

namespace {

class RecordingWnd : public CWindowWnd {
public:
    const wchar_t* GetWindowClassName() const override { return L"VemraRecordingWnd"; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(message);
        if (message == WM_MODAL_ATTENTION) {
            StartAttention(m_hWnd);
            return 0;
        }
        if (message == WM_MOVE) {
            RECT rc;
            ::GetWindowRect(m_hWnd, &rc);
            moves.push_back(rc);
        }
        return CWindowWnd::OnWindowMessage(message, wParam, lParam);
    }
    void OnWindowFinal(HWND hWnd) override
    {
        finalHandle = hWnd;
        handleAtFinal = GetHWND();
    }
    std::vector<UINT> messages;
    std::vector<RECT> moves;
    HWND finalHandle = nullptr;
    HWND handleAtFinal = reinterpret_cast<HWND>(1);
};

bool Has(const std::vector<UINT>& list, UINT message)
{
    for (UINT m : list)
        if (m == message) return true;
    return false;
}

TEST(WindowWnd, MessagesReachTheObjectUntilTheFinalStep)
{
    RecordingWnd wnd;
    const HWND hWnd = wnd.Create(nullptr, L"recording", WS_OVERLAPPEDWINDOW, 0, 10, 10, 200, 100);
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(wnd.GetHWND(), hWnd);
    EXPECT_TRUE(Has(wnd.messages, WM_CREATE));
    EXPECT_EQ(::GetClassLongW(hWnd, GCL_STYLE), 0u);

    ::SendMessageW(hWnd, WM_USER + 5, 0, 0);
    EXPECT_TRUE(Has(wnd.messages, WM_USER + 5));

    ::DestroyWindow(hWnd);
    EXPECT_TRUE(Has(wnd.messages, WM_DESTROY));
    EXPECT_FALSE(Has(wnd.messages, WM_NCDESTROY)) << "the final step is not an ordinary message";
    EXPECT_EQ(wnd.finalHandle, hWnd);
    EXPECT_EQ(wnd.handleAtFinal, nullptr);
    EXPECT_EQ(wnd.GetHWND(), nullptr);

    // A second window of the same class registers nothing twice.
    RecordingWnd again;
    ASSERT_TRUE(again.Create(nullptr, L"again", WS_POPUP, 0, 0, 0, 10, 10));
    ::DestroyWindow(again.GetHWND());
}

TEST(WindowWnd, CentredOnTheWorkAreaOrOverTheOwner)
{
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT work = mi.rcWork;

    RecordingWnd alone;
    ASSERT_TRUE(alone.Create(nullptr, L"alone", WS_POPUP, 0, 0, 0, 400, 300));
    alone.CenterWindow();
    RECT rc;
    ::GetWindowRect(alone.GetHWND(), &rc);
    EXPECT_EQ(rc.left, (work.left + work.right) / 2 - 200);
    EXPECT_EQ(rc.top, (work.top + work.bottom) / 2 - 150);
    EXPECT_EQ(rc.right - rc.left, 400);

    // Over an owner near the top-left corner: centred on it, then pushed back inside the work area.
    RecordingWnd owner, dialog;
    ASSERT_TRUE(owner.Create(nullptr, L"owner", WS_POPUP, 0, work.left + 300, work.top + 300, 200, 200));
    ASSERT_TRUE(dialog.Create(owner.GetHWND(), L"dialog", WS_POPUP, 0, 0, 0, 100, 50));
    dialog.CenterWindow();
    ::GetWindowRect(dialog.GetHWND(), &rc);
    EXPECT_EQ(rc.left, work.left + 300 + 100 - 50);
    EXPECT_EQ(rc.top, work.top + 300 + 100 - 25);

    ::MoveWindow(owner.GetHWND(), work.left - 150, work.top - 150, 200, 200, FALSE);
    dialog.CenterWindow();
    ::GetWindowRect(dialog.GetHWND(), &rc);
    EXPECT_EQ(rc.left, work.left);
    EXPECT_EQ(rc.top, work.top);

    ::DestroyWindow(dialog.GetHWND());
    ::DestroyWindow(owner.GetHWND());
    ::DestroyWindow(alone.GetHWND());
}

TEST(WindowWnd, AttentionShakeMovesEightTimesAndEndsWhereItStarted)
{
    RecordingWnd owner, dialog;
    ASSERT_TRUE(owner.Create(nullptr, L"owner", WS_POPUP | WS_VISIBLE, 0, 100, 100, 300, 300));
    ASSERT_TRUE(dialog.Create(owner.GetHWND(), L"dialog", WS_POPUP | WS_VISIBLE, 0, 150, 160, 120, 80));
    CWindowWnd::AnnounceModalDialog(dialog.GetHWND());
    RECT start;
    ::GetWindowRect(dialog.GetHWND(), &start);
    dialog.moves.clear();

    // A click on some other window does nothing; a click on the owner starts the shake.
    RecordingWnd stranger;
    ASSERT_TRUE(stranger.Create(nullptr, L"stranger", WS_POPUP, 0, 0, 0, 10, 10));
    EXPECT_FALSE(CWindowWnd::SendAttentionIfOwnerClicked(stranger.GetHWND()));
    EXPECT_TRUE(CWindowWnd::SendAttentionIfOwnerClicked(owner.GetHWND()));
    test::PumpFor(1500);

    ASSERT_EQ(dialog.moves.size(), 8u);
    for (size_t i = 0; i < dialog.moves.size(); ++i) {
        const int expected = (i % 2 == 0) ? -1 : 0;  // left and up, then back
        EXPECT_EQ(dialog.moves[i].left, start.left + expected) << i;
        EXPECT_EQ(dialog.moves[i].top, start.top + expected) << i;
    }
    RECT end;
    ::GetWindowRect(dialog.GetHWND(), &end);
    EXPECT_TRUE(::EqualRect(&start, &end));

    // Interrupted half-way and started again: it still ends where it started.
    dialog.moves.clear();
    EXPECT_TRUE(CWindowWnd::SendAttentionIfOwnerClicked(owner.GetHWND()));
    test::PumpFor(130);
    EXPECT_TRUE(CWindowWnd::SendAttentionIfOwnerClicked(owner.GetHWND()));
    test::PumpFor(1500);
    ::GetWindowRect(dialog.GetHWND(), &end);
    EXPECT_TRUE(::EqualRect(&start, &end));

    ::DestroyWindow(stranger.GetHWND());
    ::DestroyWindow(dialog.GetHWND());
    ::DestroyWindow(owner.GetHWND());
}

class StaticSubclass : public CWindowWnd {
public:
    const wchar_t* GetWindowClassName() const override { return L"VemraUnused"; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_USER + 7) return 77;
        return CWindowWnd::OnWindowMessage(message, wParam, lParam);
    }
    void OnWindowFinal(HWND) override { final = true; }
    bool final = false;
};

TEST(WindowWnd, SubclassedWindowGetsItsOwnProcedureBack)
{
    const HWND hStatic = ::CreateWindowExW(0, L"STATIC", L"text", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                           ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(hStatic);
    const LONG_PTR original = ::GetWindowLongPtrW(hStatic, GWLP_WNDPROC);
    StaticSubclass sub;
    ASSERT_EQ(sub.Subclass(hStatic), hStatic);
    EXPECT_EQ(::SendMessageW(hStatic, WM_USER + 7, 0, 0), 77);
    wchar_t text[16] = {};
    ::GetWindowTextW(hStatic, text, 16);
    EXPECT_STREQ(text, L"text");
    ::DestroyWindow(hStatic);
    EXPECT_TRUE(sub.final);
    EXPECT_NE(original, 0);
}

}  // namespace
