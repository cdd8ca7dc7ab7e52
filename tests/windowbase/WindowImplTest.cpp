// Skinned windows built from a layout: appearance, hit tests, input, notifications and the failure path.
#include "TestSkinWindow.h"
#include "TestSupport.h"
#include "UIManager.h"

#include <gtest/gtest.h>

using namespace SkinUI;

SKINUI_BEGIN_NOTIFY_MAP(TestSkinWnd, WindowImplBase)
SKINUI_NOTIFY_ON_NAME(L"click", L"btnOk", &TestSkinWnd::OnOkClick)
SKINUI_END_NOTIFY_MAP()

namespace {

constexpr DWORD kStyle = WS_VISIBLE | WS_OVERLAPPEDWINDOW;

// The window's client area as the window itself paints it.
class Snapshot {
public:
    explicit Snapshot(HWND hWnd) : m_pixels(test::CaptureClient(hWnd, m_width, m_height)) {}
    DWORD Rgb(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x] & 0xFFFFFF; }

private:
    int m_width = 0, m_height = 0;
    std::vector<DWORD> m_pixels;
};

LRESULT HitTest(HWND hWnd, int x, int y)
{
    POINT pt = {x, y};
    ::ClientToScreen(hWnd, &pt);
    return ::SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
}

void Click(HWND hWnd, int x, int y, int releaseX, int releaseY)
{
    ::PostMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    ::PostMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(releaseX, releaseY));
    ::PostMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(releaseX, releaseY));
    test::PumpFor(150);
}

void ExpectBuiltAndPainted(int sourceKind)
{
    TestSkinWnd wnd(L"testwindow.xml", sourceKind);
    const HWND hWnd = wnd.Create(nullptr, L"skin test", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(wnd.initCount, 1);
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_EQ(wnd.CountOf(L"windowinit"), 0) << "the tree is laid out at the first paint";

    ::UpdateWindow(hWnd);
    test::PumpFor(100);
    EXPECT_EQ(wnd.CountOf(L"windowinit"), 1);
    ::InvalidateRect(hWnd, nullptr, FALSE);
    ::UpdateWindow(hWnd);
    EXPECT_EQ(wnd.CountOf(L"windowinit"), 1);

    CControlUI* ok = wnd.Manager().FindControlByName(L"btnOk");
    ASSERT_TRUE(ok);
    const RECT okPos = ok->GetPos();
    EXPECT_EQ(okPos.left, 10);
    EXPECT_EQ(okPos.top, 50);
    EXPECT_EQ(okPos.right, 90);
    EXPECT_EQ(okPos.bottom, 90);

    Snapshot shot(hWnd);
    EXPECT_EQ(shot.Rgb(150, 175), 0x204060u);  // root background
    EXPECT_EQ(shot.Rgb(20, 85), 0xFF0000u);    // OK button
    EXPECT_EQ(shot.Rgb(100, 60), 0x0000FFu);   // close button
    EXPECT_EQ(shot.Rgb(60, 125), 0xFF8000u);   // the swatch image, stretched
    EXPECT_EQ(shot.Rgb(290, 120), 0xFF8000u);
    ::DestroyWindow(hWnd);
}

TEST(WindowImpl, BuiltFromLooseFilesLaidOutAndPainted)
{
    ExpectBuiltAndPainted(kSkinFiles);
}

TEST(WindowImpl, BuiltFromTheInMemoryArchiveLaidOutAndPainted)
{
    ExpectBuiltAndPainted(kSkinArchiveResource);
}

TEST(WindowImpl, CaptionAndSizeBoxHitTests)
{
    TestSkinWnd wnd(L"testwindow.xml", kSkinFiles);
    const HWND hWnd = wnd.Create(nullptr, L"hit test", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    ::UpdateWindow(hWnd);
    const struct {
        int x, y;
        LRESULT expected;
    } cases[] = {
        {150, 20, HTCAPTION},   // empty space of the caption band
        {50, 20, HTCAPTION},    // a label there
        {275, 20, HTCLIENT},    // a button there keeps its clicks
        {150, 120, HTCLIENT},   // below the caption band
        {50, 60, HTCLIENT},
        {1, 1, HTTOPLEFT},     {150, 1, HTTOP},      {298, 1, HTTOPRIGHT}, {1, 100, HTLEFT},
        {298, 100, HTRIGHT},   {1, 198, HTBOTTOMLEFT}, {150, 198, HTBOTTOM}, {298, 198, HTBOTTOMRIGHT},
    };
    for (const auto& c : cases) EXPECT_EQ(HitTest(hWnd, c.x, c.y), c.expected) << c.x << "," << c.y;

    // Maximised, there is no size box: the corner is in the caption band.
    ::ShowWindow(hWnd, SW_MAXIMIZE);
    test::PumpFor(100);
    ASSERT_TRUE(::IsZoomed(hWnd));
    EXPECT_EQ(HitTest(hWnd, 150, 1), HTCAPTION);
    EXPECT_EQ(HitTest(hWnd, 1, 20), HTCAPTION);
    ::DestroyWindow(hWnd);
}

TEST(WindowImpl, ClicksReachTheDispatchTablesOfTheDerivedWindow)
{
    TestSkinWnd wnd(L"testwindow.xml", kSkinFiles);
    const HWND hWnd = wnd.Create(nullptr, L"clicks", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    ::UpdateWindow(hWnd);

    Click(hWnd, 50, 70, 50, 70);
    EXPECT_EQ(wnd.okClicks, 1) << "the entry for the button's own name wins";
    EXPECT_TRUE(wnd.clicks.empty());

    Click(hWnd, 50, 70, 200, 170);  // pressed inside, released outside
    EXPECT_EQ(wnd.okClicks, 1);

    Click(hWnd, 275, 20, 275, 20);  // another button: the base table's handler
    ASSERT_EQ(wnd.clicks.size(), 1u);
    EXPECT_EQ(wnd.clicks[0], L"btnCaption");

    Click(hWnd, 110, 70, 110, 70);  // "closebtn"
    test::PumpFor(100);
    ASSERT_FALSE(wnd.closeCodes.empty());
    EXPECT_EQ(wnd.closeCodes.front(), static_cast<WPARAM>(IDOK));
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST(WindowImpl, StandardMinimiseButtonAndSystemClose)
{
    TestSkinWnd wnd(L"testwindow.xml", kSkinFiles);
    const HWND hWnd = wnd.Create(nullptr, L"system", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    ::UpdateWindow(hWnd);
    Click(hWnd, 150, 70, 150, 70);  // "minbtn"
    EXPECT_TRUE(::IsIconic(hWnd));
    ::ShowWindow(hWnd, SW_RESTORE);

    ::SendMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(wnd.closeCodes.size(), 1u);
    EXPECT_EQ(wnd.closeCodes[0], 0u);
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST(WindowImpl, TimersRunUntilTheWindowIsDestroyed)
{
    TestSkinWnd wnd(L"testwindow.xml", kSkinFiles);
    const HWND hWnd = wnd.Create(nullptr, L"timers", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    CControlUI* gap = wnd.Manager().FindControlByName(L"gap");
    ASSERT_TRUE(gap);
    ASSERT_TRUE(wnd.Manager().StartTimer(gap, 5, 20));
    ASSERT_EQ(wnd.Manager().Timers().size(), 1u);
    EXPECT_EQ(wnd.Manager().Timers()[0].nativeId, 17u);
    test::PumpFor(300);
    EXPECT_GT(wnd.CountOf(L"timer"), 0);

    ::DestroyWindow(hWnd);
    const int ticks = wnd.CountOf(L"timer");
    test::PumpFor(300);
    EXPECT_EQ(wnd.CountOf(L"timer"), ticks);
    EXPECT_FALSE(::KillTimer(hWnd, 17));  // gone with the window
}

TEST(WindowImpl, ClickOnTheDisabledOwnerShakesTheAnnouncedDialog)
{
    TestSkinWnd owner(L"testwindow.xml", kSkinFiles);
    ASSERT_TRUE(owner.Create(nullptr, L"owner", kStyle, 0, 0, 0, 0, 0));
    TestSkinWnd dialog(L"testwindow.xml", kSkinFiles);
    ASSERT_TRUE(dialog.Create(owner.GetHWND(), L"dialog", kStyle, 0, 0, 0, 0, 0));
    ::MoveWindow(dialog.GetHWND(), 200, 150, 300, 200, TRUE);
    RECT start;
    ::GetWindowRect(dialog.GetHWND(), &start);

    ::SendMessageW(owner.GetHWND(), WM_MODAL_DIALOG, 0, reinterpret_cast<LPARAM>(dialog.GetHWND()));
    ::EnableWindow(owner.GetHWND(), FALSE);
    dialog.moves.clear();
    ::SendMessageW(owner.GetHWND(), WM_SETCURSOR, reinterpret_cast<WPARAM>(owner.GetHWND()),
                   MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    test::PumpFor(1500);

    EXPECT_EQ(dialog.moves.size(), 8u);
    RECT end;
    ::GetWindowRect(dialog.GetHWND(), &end);
    EXPECT_TRUE(::EqualRect(&start, &end));
    ::EnableWindow(owner.GetHWND(), TRUE);
    ::DestroyWindow(dialog.GetHWND());
    ::DestroyWindow(owner.GetHWND());
}

SIZE WindowSize(HWND hWnd)
{
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

// What the window answers to a size-limit query; the fields start as a marker no answer leaves by chance.
MINMAXINFO AskMinMax(HWND hWnd)
{
    MINMAXINFO info;
    const POINT marker = {12345, 12345};
    info.ptReserved = info.ptMaxSize = info.ptMaxPosition = info.ptMinTrackSize = info.ptMaxTrackSize = marker;
    ::SendMessageW(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

TEST(WindowImpl, EqualMinimumAndMaximumSizePinTheWindow)
{
    // The launcher's main window: "mininfo" and "maxinfo" both 960,620, a size box of 6 on every side.
    TestSkinWnd wnd(L"pinned.xml", kSkinFiles);
    const HWND hWnd = wnd.Create(nullptr, L"pinned", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    ::UpdateWindow(hWnd);
    SIZE size = WindowSize(hWnd);
    ASSERT_EQ(size.cx, 960);
    ASSERT_EQ(size.cy, 620);

    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    const MINMAXINFO info = AskMinMax(hWnd);
    EXPECT_EQ(info.ptMinTrackSize.x, 960);
    EXPECT_EQ(info.ptMinTrackSize.y, 620);
    EXPECT_EQ(info.ptMaxTrackSize.x, 960);
    EXPECT_EQ(info.ptMaxTrackSize.y, 620);
    EXPECT_EQ(info.ptMaxPosition.x, mi.rcWork.left - mi.rcMonitor.left);
    EXPECT_EQ(info.ptMaxPosition.y, mi.rcWork.top - mi.rcMonitor.top);

    // The edges still offer the resize cursors ...
    EXPECT_EQ(HitTest(hWnd, 2, 300), HTLEFT);
    EXPECT_EQ(HitTest(hWnd, 957, 617), HTBOTTOMRIGHT);

    // ... but no request changes the size; the position still follows.
    const struct {
        const char* how;
        int cx, cy;
        bool move;
    } attempts[] = {
        {"SetWindowPos smaller", 500, 300, false},  {"SetWindowPos larger", 1200, 800, false},
        {"SetWindowPos one wider", 961, 620, false}, {"SetWindowPos one lower", 960, 619, false},
        {"MoveWindow smaller", 400, 700, true},      {"MoveWindow larger", 1100, 640, true},
    };
    for (const auto& a : attempts) {
        SCOPED_TRACE(a.how);
        if (a.move)
            ::MoveWindow(hWnd, 20, 30, a.cx, a.cy, TRUE);
        else
            ::SetWindowPos(hWnd, nullptr, 0, 0, a.cx, a.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        size = WindowSize(hWnd);
        EXPECT_EQ(size.cx, 960);
        EXPECT_EQ(size.cy, 620);
        RECT client = {};
        ::GetClientRect(hWnd, &client);
        EXPECT_EQ(client.right, 960);
        EXPECT_EQ(client.bottom, 620);
    }
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    EXPECT_EQ(rc.left, 20);
    EXPECT_EQ(rc.top, 30);

    // The tree keeps the full size.
    ::InvalidateRect(hWnd, nullptr, FALSE);
    ::UpdateWindow(hWnd);
    CControlUI* root = wnd.Manager().FindControlByName(L"root");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetWidth(), 960);
    EXPECT_EQ(root->GetHeight(), 620);
    ::DestroyWindow(hWnd);
}

TEST(WindowImpl, MinimumSizeAloneLeavesGrowingFree)
{
    TestSkinWnd wnd(L"testwindow.xml", kSkinFiles);  // "mininfo" 200,150 and no "maxinfo"
    const HWND hWnd = wnd.Create(nullptr, L"minimum", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    const MINMAXINFO info = AskMinMax(hWnd);
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 150);
    EXPECT_EQ(info.ptMaxTrackSize.x, mi.rcWork.right - mi.rcWork.left);
    EXPECT_EQ(info.ptMaxTrackSize.y, mi.rcWork.bottom - mi.rcWork.top);

    const struct {
        int cx, cy, wantX, wantY;
    } cases[] = {{100, 100, 200, 150}, {500, 400, 500, 400}, {150, 300, 200, 300}, {250, 151, 250, 151}};
    for (const auto& c : cases) {
        ::SetWindowPos(hWnd, nullptr, 0, 0, c.cx, c.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const SIZE size = WindowSize(hWnd);
        EXPECT_EQ(size.cx, c.wantX) << c.cx << "x" << c.cy;
        EXPECT_EQ(size.cy, c.wantY) << c.cx << "x" << c.cy;
    }
    ::DestroyWindow(hWnd);
}

TEST(WindowImpl, TabReturnEscapeAndSpaceFromTheKeyboard)
{
    TestSkinWnd wnd(L"testwindow.xml", kSkinFiles);
    const HWND hWnd = wnd.Create(nullptr, L"keys", kStyle, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    ::UpdateWindow(hWnd);
    CUIManager& manager = wnd.Manager();
    ASSERT_EQ(manager.GetFocusedControl(), manager.FindControlByName(L"btnCaption"));

    // As the message loop does it: pre-translation first, the window only gets what that leaves.
    auto press = [hWnd](WPARAM key) {
        MSG msg = {hWnd, WM_KEYDOWN, key, 0, 0, {}};
        if (!CUIManager::PreTranslate(&msg)) ::DispatchMessageW(&msg);
        msg.message = WM_KEYUP;
        if (!CUIManager::PreTranslate(&msg)) ::DispatchMessageW(&msg);
    };
    press(VK_TAB);
    EXPECT_EQ(manager.GetFocusedControl(), manager.FindControlByName(L"btnOk"));
    press(VK_RETURN);
    EXPECT_EQ(wnd.okClicks, 1) << "Return is offered to the window, not taken from the button";
    press(VK_ESCAPE);
    EXPECT_EQ(wnd.defaultKeys, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
    EXPECT_TRUE(::IsWindow(hWnd));

    // Shift+Tab goes back; Space clicks the button focused then.
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    const BYTE shift = keys[VK_SHIFT];
    keys[VK_SHIFT] = 0x80;
    ::SetKeyboardState(keys);
    press(VK_TAB);
    keys[VK_SHIFT] = shift;
    ::SetKeyboardState(keys);
    EXPECT_EQ(manager.GetFocusedControl(), manager.FindControlByName(L"btnCaption"));
    press(VK_SPACE);
    EXPECT_EQ(wnd.clicks, (std::vector<std::wstring>{L"btnCaption"}));
    EXPECT_EQ(wnd.okClicks, 1);
    ::DestroyWindow(hWnd);
}

// A named callback: a lambda has the wrong calling convention for the 32-bit build.
BOOL CALLBACK MarkFailureText(HWND hChild, LPARAM found)
{
    wchar_t buf[64] = {};
    ::GetWindowTextW(hChild, buf, 64);
    if (std::wstring(buf) == L"加载资源失败！") *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

TEST(WindowImpl, SkinThatCannotBeBuiltShowsTheMessageAndExitsWithOne)
{
    for (const wchar_t* skin : {L"broken.xml", L"missing.xml"}) {
        HANDLE hProcess = test::StartProcess(test::BinDir() + L"skin_fail_helper.exe", skin);
        ASSERT_TRUE(hProcess);
        HWND hBox = nullptr;
        for (int i = 0; i < 200 && !hBox; ++i) {
            test::PumpFor(50);
            hBox = ::FindWindowW(L"#32770", skin);
        }
        ASSERT_TRUE(hBox) << "no message box captioned with the skin file";
        bool hasText = false;
        ::EnumChildWindows(hBox, &MarkFailureText, reinterpret_cast<LPARAM>(&hasText));
        EXPECT_TRUE(hasText);
        ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(test::WaitPumping(hProcess, 20000));
        DWORD code = 0;
        ::GetExitCodeProcess(hProcess, &code);
        ::CloseHandle(hProcess);
        EXPECT_EQ(code, 1u);
    }
}

}  // namespace
