// The shadow window following its owner: creation, show and hide, moves and sizes, minimise, maximise and
// restore, a second root, the settings' ranges, and the owner's end.
#include "ShadowTestWindow.h"
#include "WindowSearch.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace SkinUI;
using shadowtest::ShadowedWnd;

namespace {

constexpr BYTE kActiveOnly = CShadowUI::kActive;
constexpr BYTE kAllShown = CShadowUI::kActive | CShadowUI::kShown | CShadowUI::kOwnerShown;

const wchar_t kResizable[] =
    L"<Window size=\"300,200\" showshadow=\"true\" shadowimage=\"shadow.png\" shadowcorner=\"9,9,9,9\">"
    L"<VerticalLayout bkcolor=\"#FFFFFFFF\"/></Window>";

class ShadowWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(shadowtest::UseLauncherSkin()); }
};

SIZE SizeOf(const RECT& rc) { return SIZE{rc.right - rc.left, rc.bottom - rc.top}; }

// The shadow window's size follows the owner's with 9 pixels on every side.
void ExpectShadowFor(ShadowedWnd& wnd, LONG cx, LONG cy)
{
    const SIZE size = SizeOf(wnd.ShadowRect());
    EXPECT_EQ(cx + 18, size.cx);
    EXPECT_EQ(cy + 18, size.cy);
}

int CountShadowWindowsOf(HWND hOwner)
{
    int count = 0;
    winsearch::ForEachTopWindow([&](HWND hWnd) {
        wchar_t name[64] = {};
        ::GetClassNameW(hWnd, name, 64);
        if (::GetWindow(hWnd, GW_OWNER) == hOwner && std::wstring(name) == CShadowUI::kWindowClass) ++count;
        return true;
    });
    return count;
}

}  // namespace

TEST_F(ShadowWindow, MainWindowShadowAppearsWithTheWindowAndFollowsIt)
{
    ShadowedWnd wnd(L"GameLoader.xml");
    const HWND hWnd = wnd.Open(100, 60);
    ASSERT_TRUE(hWnd);
    const HWND hShadow = wnd.ShadowWindow();
    ASSERT_TRUE(::IsWindow(hShadow));
    EXPECT_EQ(&wnd.Shadow(), CShadowUI::FromOwner(hWnd));
    EXPECT_NE(::GetClassLongPtrW(hWnd, GCLP_WNDPROC), ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) << "owner hooked";
    wchar_t className[32] = {};
    ::GetClassNameW(hShadow, className, 32);
    EXPECT_STREQ(CShadowUI::kWindowClass, className);
    EXPECT_EQ(hWnd, ::GetWindow(hShadow, GW_OWNER));
    EXPECT_EQ(static_cast<LONG_PTR>(WS_EX_LAYERED | WS_EX_TRANSPARENT),
              ::GetWindowLongPtrW(hShadow, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT));
    EXPECT_EQ(kActiveOnly, wnd.Shadow().GetStatus()) << "the window was not visible yet";
    EXPECT_FALSE(::IsWindowVisible(hShadow));

    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    EXPECT_EQ(kAllShown, wnd.Shadow().GetStatus());
    EXPECT_TRUE(::IsWindowVisible(hShadow));
    EXPECT_TRUE(wnd.Shadow().IsRedrawPending());
    EXPECT_EQ(0u, wnd.Shadow().GetDrawCount()) << "drawn at the first paint, not before";
    ::UpdateWindow(hWnd);
    EXPECT_FALSE(wnd.Shadow().IsRedrawPending());
    EXPECT_EQ(1u, wnd.Shadow().GetDrawCount());
    ExpectShadowFor(wnd, 960, 620);
    // Clicks go through the shadow: to the window in the middle, past it along the frame. Other tests' windows
    // may share the screen, so the window is put above them first; its shadow, owned by it, goes along.
    ::SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const RECT rc = wnd.WindowRect();
    EXPECT_EQ(hWnd, ::WindowFromPoint(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}));
    EXPECT_NE(hShadow, ::WindowFromPoint(POINT{rc.left - 3, (rc.top + rc.bottom) / 2}));

    // A move only moves the shadow; the end of an interactive move or size draws it again.
    ::SetWindowPos(hWnd, nullptr, 150, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ((RECT{141, 81, 141 + 978, 81 + 638}), wnd.ShadowRect());
    EXPECT_EQ(1u, wnd.Shadow().GetDrawCount());
    ::SendMessageW(hWnd, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(2u, wnd.Shadow().GetDrawCount());

    // The owner's end takes the shadow window and the table entry with it.
    ::DestroyWindow(hWnd);
    EXPECT_FALSE(::IsWindow(hShadow));
    EXPECT_EQ(nullptr, CShadowUI::FromOwner(hWnd));
    EXPECT_EQ(nullptr, wnd.ShadowWindow());
}

TEST_F(ShadowWindow, ShrinkingRedrawsAtOnceGrowingWaitsForThePaint)
{
    ShadowedWnd wnd(kResizable);
    const HWND hWnd = wnd.Open(50, 50);
    ASSERT_TRUE(hWnd);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    ExpectShadowFor(wnd, 300, 200);
    const unsigned drawn = wnd.Shadow().GetDrawCount();

    ::SetWindowPos(hWnd, nullptr, 0, 0, 250, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(drawn + 1, wnd.Shadow().GetDrawCount());
    EXPECT_FALSE(wnd.Shadow().IsRedrawPending());
    ExpectShadowFor(wnd, 250, 150);

    ::SetWindowPos(hWnd, nullptr, 0, 0, 400, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(wnd.Shadow().IsRedrawPending());
    EXPECT_EQ(drawn + 1, wnd.Shadow().GetDrawCount());
    ExpectShadowFor(wnd, 250, 150);
    ::UpdateWindow(hWnd);
    EXPECT_FALSE(wnd.Shadow().IsRedrawPending());
    EXPECT_EQ(drawn + 2, wnd.Shadow().GetDrawCount());
    ExpectShadowFor(wnd, 400, 150);
}

TEST_F(ShadowWindow, MinimiseMaximiseHideAndRestoreSequences)
{
    ShadowedWnd wnd(kResizable);
    const HWND hWnd = wnd.Open(60, 60, WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    ASSERT_TRUE(hWnd);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    CShadowUI& shadow = wnd.Shadow();
    const HWND hShadow = wnd.ShadowWindow();
    unsigned drawn = shadow.GetDrawCount();

    // Minimised: hidden. Restored: shown at once, drawn at the next paint (the window grew from its icon).
    ::ShowWindow(hWnd, SW_MINIMIZE);
    EXPECT_FALSE(::IsWindowVisible(hShadow));
    EXPECT_EQ(CShadowUI::kActive | CShadowUI::kOwnerShown, shadow.GetStatus());
    ::ShowWindow(hWnd, SW_RESTORE);
    EXPECT_TRUE(::IsWindowVisible(hShadow));
    EXPECT_EQ(kAllShown, shadow.GetStatus());
    EXPECT_TRUE(shadow.IsRedrawPending());
    EXPECT_EQ(drawn, shadow.GetDrawCount());
    ::UpdateWindow(hWnd);
    EXPECT_EQ(++drawn, shadow.GetDrawCount());
    ExpectShadowFor(wnd, 300, 200);

    // Maximised: hidden, but its contents are brought up to date. Restored to a smaller size: drawn at once.
    ::ShowWindow(hWnd, SW_MAXIMIZE);
    EXPECT_FALSE(::IsWindowVisible(hShadow));
    EXPECT_EQ(++drawn, shadow.GetDrawCount());
    const SIZE maximised = SizeOf(wnd.WindowRect());
    EXPECT_GT(maximised.cx, 300);
    ExpectShadowFor(wnd, maximised.cx, maximised.cy);
    ::ShowWindow(hWnd, SW_RESTORE);
    EXPECT_TRUE(::IsWindowVisible(hShadow));
    EXPECT_FALSE(shadow.IsRedrawPending());
    EXPECT_EQ(++drawn, shadow.GetDrawCount());
    ExpectShadowFor(wnd, 300, 200);

    // Hidden: both shown flags go. Shown again: visible at once, drawn at the next paint.
    ::ShowWindow(hWnd, SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(hShadow));
    EXPECT_EQ(kActiveOnly, shadow.GetStatus());
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(::IsWindowVisible(hShadow));
    EXPECT_EQ(kAllShown, shadow.GetStatus());
    EXPECT_TRUE(shadow.IsRedrawPending());
    EXPECT_EQ(drawn, shadow.GetDrawCount());
    ::UpdateWindow(hWnd);
    EXPECT_EQ(++drawn, shadow.GetDrawCount());
}

TEST_F(ShadowWindow, WithoutShowShadowThereIsNoWindowAndNoHook)
{
    ShadowedWnd wnd(L"<Window size=\"200,100\" shadowimage=\"shadow.png\" shadowcorner=\"9,9,9,9\" "
                    L"shadowsize=\"5\" showshadow=\"false\"><Control/></Window>");
    const HWND hWnd = wnd.Open(40, 40);
    ASSERT_TRUE(hWnd);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    EXPECT_EQ(nullptr, wnd.ShadowWindow());
    EXPECT_EQ(nullptr, CShadowUI::FromOwner(hWnd));
    EXPECT_EQ(0, CountShadowWindowsOf(hWnd));
    EXPECT_EQ(::GetClassLongPtrW(hWnd, GCLP_WNDPROC), ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
}

TEST_F(ShadowWindow, ASecondRootOnlyRefreshesTheShadow)
{
    ShadowedWnd wnd(kResizable);
    const HWND hWnd = wnd.Open(40, 40);
    ASSERT_TRUE(hWnd);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    const HWND hShadow = wnd.ShadowWindow();
    const LONG_PTR hook = ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
    const unsigned drawn = wnd.Shadow().GetDrawCount();

    wnd.Manager().AttachRoot(new CControlUI);
    EXPECT_EQ(hShadow, wnd.ShadowWindow());
    EXPECT_EQ(1, CountShadowWindowsOf(hWnd));
    EXPECT_EQ(hook, ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
    EXPECT_EQ(drawn + 1, wnd.Shadow().GetDrawCount());
    // Messages still pass through one hook: a move moves the shadow once, to the right place.
    ::SetWindowPos(hWnd, nullptr, 70, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(61, wnd.ShadowRect().left);
    EXPECT_EQ(21, wnd.ShadowRect().top);
}

TEST_F(ShadowWindow, OutOfRangeSettingsAreIgnoredOneByOne)
{
    ShadowedWnd wnd(L"<Window size=\"120,80\" showshadow=\"true\" shadowsize=\"4\"><Control/></Window>");
    const HWND hWnd = wnd.Open(40, 40);
    ASSERT_TRUE(hWnd);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    CShadowUI& s = wnd.Shadow();
    ASSERT_FALSE(s.IsImageMode());
    const auto state = [&s] {
        return std::vector<int>{s.GetSize(),    s.GetSharpness(),        s.GetDarkness(),        s.GetOffsetX(),
                                s.GetOffsetY(), s.GetCorners().left,     s.GetCorners().bottom};
    };
    const struct {
        const char* what;
        std::function<void()> apply;
        bool accepted;
    } cases[] = {
        {"size 21", [&] { s.SetShadowSize(21); }, false},
        {"size -21", [&] { s.SetShadowSize(-21); }, false},
        {"size -20", [&] { s.SetShadowSize(-20); }, true},
        {"size 20", [&] { s.SetShadowSize(20); }, true},
        {"sharpness 21", [&] { s.SetShadowSharpness(21); }, false},
        {"sharpness -1", [&] { s.SetShadowSharpness(-1); }, false},
        {"sharpness 0", [&] { s.SetShadowSharpness(0); }, true},
        {"darkness 256", [&] { s.SetShadowDarkness(256); }, false},
        {"darkness 255", [&] { s.SetShadowDarkness(255); }, true},
        {"position 5,21", [&] { s.SetShadowOffset(5, 21); }, false},
        {"position -21,0", [&] { s.SetShadowOffset(-21, 0); }, false},
        {"position 5,-20", [&] { s.SetShadowOffset(5, -20); }, true},
        {"corners 1,2,3,-1", [&] { s.SetShadowCorners(RECT{1, 2, 3, -1}); }, false},
        {"corners 1,2,3,4", [&] { s.SetShadowCorners(RECT{1, 2, 3, 4}); }, true},
        {"colour", [&] { s.SetShadowColor(0xFF102030); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<int> before = state();
        const unsigned drawn = s.GetDrawCount();
        c.apply();
        EXPECT_EQ(c.accepted ? drawn + 1 : drawn, s.GetDrawCount());
        if (!c.accepted) {
            EXPECT_EQ(before, state());
        }
    }
    // The computed shadow now reaches 20 pixels out and sits 5 right and 20 up of that.
    const RECT owner = wnd.WindowRect(), shadow = wnd.ShadowRect();
    EXPECT_EQ((RECT{owner.left - 15, owner.top - 40, owner.right + 25, owner.bottom}), shadow);
}

TEST(ShadowOwner, AShadowGoneBeforeItsWindowGivesTheWindowBackItsProcedure)
{
    ASSERT_TRUE(shadowtest::UseLauncherSkin());
    const HWND hWnd = ::CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 10, 10, 100, 50, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(hWnd);
    const LONG_PTR original = ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
    HWND hShadow = nullptr;
    {
        CUIManager manager;
        manager.Init(hWnd);
        manager.GetShadow()->EnableShadow(true);
        manager.AttachRoot(new CControlUI);
        hShadow = manager.GetShadow()->GetShadowWindow();
        EXPECT_TRUE(::IsWindow(hShadow));
        EXPECT_NE(original, ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
    }
    EXPECT_EQ(original, ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
    EXPECT_EQ(nullptr, CShadowUI::FromOwner(hWnd));
    ::SetWindowPos(hWnd, nullptr, 30, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // reaches no shadow any more
    ::DestroyWindow(hWnd);
    EXPECT_FALSE(::IsWindow(hShadow));
}
