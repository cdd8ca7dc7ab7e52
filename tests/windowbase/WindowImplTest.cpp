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
        ::EnumChildWindows(
            hBox,
            [](HWND hChild, LPARAM found) -> BOOL {
                wchar_t buf[64] = {};
                ::GetWindowTextW(hChild, buf, 64);
                if (std::wstring(buf) == L"加载资源失败！") *reinterpret_cast<bool*>(found) = true;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&hasText));
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
