// The main window inside the test process: the download page and its tip, the window's chrome, the page
// commands that need no browser, and the object's end around modal loops.
#include "LauncherMessages.h"
#include "LauncherWindowHarness.h"
#include "SimSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using lwtest::MainWindow;

// A launcher started by hand: no parent client, so closing sends no notice.
const std::wstring kHandStart = LR"({"source":"web","tokenLogin":"0","installed":"0"})";

const std::wstring kTip0 = L"正在下载游戏文件，请耐心等待.";
const std::wstring kTip1 = L"正在下载游戏文件，请耐心等待..";
const std::wstring kTip2 = L"正在下载游戏文件，请耐心等待...";
const std::wstring kUnpacking = L"正在释放文件";

std::string Utf8(const std::wstring& text)
{
    std::string out(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr,
                                                              nullptr)),
                    '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.pop_back();
    return out;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GameLoaderWnd::LiveCount(), 0);
        lwtest::ClearInstallState();
    }
    void TearDown() override
    {
        lwtest::DrainQuit();
        lwtest::ClearInstallState();
    }
};

TEST_F(MainWindowTest, StartsHiddenOnThePortalPageWithTheSkinsControls)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    EXPECT_FALSE(::IsWindowVisible(w.Hwnd()));
    wchar_t cls[64] = {};
    ::GetClassNameW(w.Hwnd(), cls, 64);
    EXPECT_STREQ(cls, L"GameLoaderResClass");
    RECT rc = {};
    ::GetWindowRect(w.Hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 960);
    EXPECT_EQ(rc.bottom - rc.top, 620);
    ASSERT_TRUE(w.Tab() && w.Progress() && w.Tip());
    EXPECT_EQ(w.Tab()->GetSelectedIndex(), 0);
    EXPECT_EQ(w.Progress()->GetValue(), 0);
    EXPECT_EQ(w.Tip()->GetText(), kTip0);
    // The game is looked for beside the launcher when no uninstall entry names its folder.
    EXPECT_EQ(w->InstallDir().substr(w->InstallDir().size() - 7), L"\\vemra2");
}

TEST_F(MainWindowTest, ProgressMessagesDriveTheDownloadPage)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    w.Send(WM_DOWNLOAD_PROGRESS, 40);
    EXPECT_EQ(w.Tab()->GetSelectedIndex(), 1) << "the first report turns to the download page";
    EXPECT_EQ(w.Progress()->GetValue(), 40);

    // The tip animates on its own while the download runs.
    std::set<std::wstring> seen;
    for (int i = 0; i < 40 && seen.size() < 3; ++i) {
        test::PumpFor(100);
        seen.insert(w.Tip()->GetText());
    }
    EXPECT_EQ(seen, (std::set<std::wstring>{kTip0, kTip1, kTip2}));

    w.Send(WM_DOWNLOAD_PROGRESS, 100);
    EXPECT_EQ(w.Progress()->GetValue(), 100);
    EXPECT_NE(w.Tip()->GetText(), kUnpacking) << "the unpacking text comes with the report after 100";
    w.Send(WM_DOWNLOAD_PROGRESS, 100);
    EXPECT_EQ(w.Tip()->GetText(), kUnpacking);
    test::PumpFor(1200);
    EXPECT_EQ(w.Tip()->GetText(), kUnpacking) << "the animation stopped with the switch";
    EXPECT_EQ(w.Tab()->GetSelectedIndex(), 1);
}

TEST_F(MainWindowTest, OutOfRangeProgressLeavesTheBarButStillSwitchesAfterAFullBar)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    w.Send(WM_DOWNLOAD_PROGRESS, 30);
    const WPARAM minusOne = static_cast<WPARAM>(-1);
    w.Send(WM_DOWNLOAD_PROGRESS, 101);
    w.Send(WM_DOWNLOAD_PROGRESS, minusOne);
    EXPECT_EQ(w.Progress()->GetValue(), 30);
    EXPECT_NE(w.Tip()->GetText(), kUnpacking);

    w.Send(WM_DOWNLOAD_PROGRESS, 100);
    w.Send(WM_DOWNLOAD_PROGRESS, minusOne);
    EXPECT_EQ(w.Progress()->GetValue(), 100);
    EXPECT_EQ(w.Tip()->GetText(), kUnpacking);
}

TEST_F(MainWindowTest, TheBarIsDrawnToTheReportedShare)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    w.Send(WM_DOWNLOAD_PROGRESS, 50);
    int width = 0, height = 0;
    const auto before = test::CaptureClient(w.Hwnd(), width, height);
    w.Send(WM_DOWNLOAD_PROGRESS, 90);
    const auto after = test::CaptureClient(w.Hwnd(), width, height);
    ASSERT_EQ(width, 960);
    // The bar spans x 320..850 at y 320..333: only the part between 50% and 90% changes.
    const int y = 326;
    const auto at = [&](const std::vector<DWORD>& px, int x) { return px[static_cast<size_t>(y * width + x)] & 0xFFFFFF; };
    EXPECT_EQ(at(before, 330), at(after, 330)) << "already filled at 50%";
    EXPECT_NE(at(before, 320 + 530 * 70 / 100), at(after, 320 + 530 * 70 / 100)) << "filled between 50% and 90%";
    EXPECT_EQ(at(before, 320 + 530 * 95 / 100), at(after, 320 + 530 * 95 / 100)) << "still empty past 90%";
}

TEST_F(MainWindowTest, TipAnimationCyclesThroughThreeSteps)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    std::vector<std::wstring> texts;
    for (int i = 0; i < 4; ++i) {
        w.Send(WM_TIMER, TIMER_TIP_ANIMATION);
        texts.push_back(w.Tip()->GetText());
    }
    // Each step adds a dot, and after three dots it starts again.
    const std::vector<std::wstring> cycle = {kTip0, kTip1, kTip2};
    size_t first = 0;
    while (first < 3 && cycle[first] != texts[0]) ++first;
    ASSERT_LT(first, 3u) << Utf8(texts[0]);
    for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i], cycle[(first + i) % 3]) << i;
}

TEST_F(MainWindowTest, UnpackResultStopsTheAnimationAndShowsTheStartingTip)
{
    // Without a token nothing starts and the window stays with its tip.
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    w.Send(WM_DOWNLOAD_PROGRESS, 100);
    EXPECT_EQ(w.Tab()->GetSelectedIndex(), 1);
    w.Send(WM_UNPACK_RESULT, 0);
    EXPECT_EQ(w.Tip()->GetText(), L"正在启动游戏");
    test::PumpFor(1200);
    EXPECT_EQ(w.Tip()->GetText(), L"正在启动游戏");
    EXPECT_TRUE(w.Alive());
    EXPECT_EQ(w.Tab()->GetSelectedIndex(), 0) << "back to the portal page, where the player can start the game";
}

TEST_F(MainWindowTest, CaptionDoubleClickNeitherMaximisesNorRestores)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    ::ShowWindow(w.Hwnd(), SW_SHOWNORMAL);
    RECT before = {};
    ::GetWindowRect(w.Hwnd(), &before);
    EXPECT_EQ(w.Send(WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(before.left + 100, before.top + 10)), 0);
    test::PumpFor(100);
    EXPECT_FALSE(::IsZoomed(w.Hwnd()));
    RECT after = {};
    ::GetWindowRect(w.Hwnd(), &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
}

TEST_F(MainWindowTest, PageMinimiseAndTheDownloadPagesButtons)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    ::ShowWindow(w.Hwnd(), SW_SHOWNORMAL);
    w.Send(WM_PAGE_MIN_WND);
    EXPECT_TRUE(::IsIconic(w.Hwnd()));
    w.Send(WM_SHOW_MAIN_WND);
    EXPECT_FALSE(::IsIconic(w.Hwnd())) << "a second launcher restores a minimised window";
    EXPECT_TRUE(::IsWindowVisible(w.Hwnd()));

    // btnMin and btnClose sit on the download page.
    w.Send(WM_DOWNLOAD_PROGRESS, 10);
    ::UpdateWindow(w.Hwnd());
    lwtest::ClickAt(w.Hwnd(), 914, 18);
    test::PumpFor(200);
    EXPECT_TRUE(::IsIconic(w.Hwnd()));
    ::ShowWindow(w.Hwnd(), SW_RESTORE);
    test::PumpFor(100);
    lwtest::ClickAt(w.Hwnd(), 942, 19);
    for (int i = 0; i < 100 && w.Alive(); ++i) test::PumpFor(20);
    EXPECT_FALSE(w.Alive()) << "the close button runs the close procedure";
}

TEST_F(MainWindowTest, SecondInstanceLeavesAHiddenWindowHidden)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    w.Send(WM_SHOW_MAIN_WND);
    EXPECT_FALSE(::IsWindowVisible(w.Hwnd()));
}

TEST_F(MainWindowTest, SystemCloseRunsTheCloseProcedure)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    // Any other system command keeps its system meaning.
    ::ShowWindow(w.Hwnd(), SW_SHOWNORMAL);
    w.Send(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(::IsIconic(w.Hwnd()));
    w.Send(WM_SYSCOMMAND, SC_CLOSE);
    for (int i = 0; i < 100 && w.Alive(); ++i) test::PumpFor(20);
    EXPECT_FALSE(w.Alive());
    EXPECT_EQ(GameLoaderWnd::LiveCount(), 0);
}

TEST_F(MainWindowTest, ExitMenuOfTheTrayCallbackCloses)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    ::ShowWindow(w.Hwnd(), SW_SHOWNORMAL);
    // Other mouse messages do nothing.
    w.Send(WM_TRAY_CALLBACK, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(w.Alive());
    // The menu's one item is chosen with the keyboard while it tracks.
    ::PostMessageW(w.Hwnd(), WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(w.Hwnd(), WM_KEYDOWN, VK_RETURN, 0);
    w.Send(WM_TRAY_CALLBACK, 0, WM_RBUTTONDOWN);
    for (int i = 0; i < 100 && w.Alive(); ++i) test::PumpFor(20);
    EXPECT_FALSE(w.Alive()) << "the menu's 退出 runs the close procedure";
}

TEST_F(MainWindowTest, PageOpenGameTakesOnlyNumbersOfItsOwnQueue)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    // A number the bridge never handed out, and a stale one, start nothing.
    const WPARAM number = w->PageCommands().Push(R"({"funcation_name":"open_game","token":"fresh"})");
    w.Send(WM_PAGE_OPEN_GAME, number + 1);
    w.Send(WM_PAGE_OPEN_GAME, 0);
    w.Send(WM_PAGE_OPEN_GAME, static_cast<WPARAM>(-1));
    EXPECT_EQ(w->StartValues().token, L"");
    EXPECT_EQ(w->PageCommands().Size(), 1u);
    // Its own number: the command's token replaces the launch value, and the stand-in game beside the
    // test program starts with it.
    const std::wstring record = test::MakeTempDir(L"opengame") + L"game.txt";
    test::ScopedEnv recordEnv(L"VEMRA2_GAME_RECORD", record);
    test::ScopedEnv lifetimeEnv(L"VEMRA2_GAME_LIFETIME_MS", L"0");
    w.Send(WM_PAGE_OPEN_GAME, number);
    EXPECT_EQ(w->PageCommands().Size(), 0u);
    EXPECT_EQ(w->StartValues().token, L"fresh");
    for (int i = 0; i < 100 && w.Alive(); ++i) test::PumpFor(20);
    EXPECT_FALSE(w.Alive()) << "the launcher closes after the start";
    std::string text;
    for (int i = 0; i < 100 && text.find("end\r\n") == std::string::npos; ++i) {
        test::PumpFor(50);
        text = test::ReadFileBytes(record);
    }
    EXPECT_NE(text.find("arg=--source=web\r\narg=--tokenLogin=0\r\narg=--token=fresh\r\nend"), std::string::npos)
        << text;
}

TEST_F(MainWindowTest, PageMoveWithoutAPressedButtonStartsNoMoveLoop)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    ::ShowWindow(w.Hwnd(), SW_SHOWNORMAL);
    // Returns at once: no loop waits for a button that is not down.
    const DWORD start = ::GetTickCount();
    w.Send(WM_PAGE_MOVE_WND);
    EXPECT_LT(::GetTickCount() - start, 5000u);
    EXPECT_EQ(::GetCapture(), nullptr);
}

// The unpack failure's notice runs a modal loop inside the handler; the window can be closed from within
// it, and the handler then goes on with its object still alive.
TEST_F(MainWindowTest, ClosingTheWindowInsideTheUnpackNoticeKeepsTheObjectUntilTheHandlerEnds)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    const HWND hMain = w.Hwnd();
    int aliveAfterDestroy = -1;
    bool sawNotice = false;
    lwtest::Repeating closer(50, [&] {
        const HWND hNotice = lwtest::FindNotice();
        if (!hNotice) return true;
        sawNotice = true;
        EXPECT_FALSE(::IsWindowEnabled(hMain)) << "the owner is disabled while the notice shows";
        ::SendMessageW(hMain, WM_CLOSE, 0, 0);  // destroys the main window and its notice right here
        aliveAfterDestroy = GameLoaderWnd::LiveCount();
        return false;
    });
    w.Send(WM_UNPACK_RESULT, 7);
    EXPECT_TRUE(sawNotice);
    EXPECT_FALSE(::IsWindow(hMain));
    EXPECT_EQ(aliveAfterDestroy, 1) << "deleted while its handler still ran";
    EXPECT_EQ(GameLoaderWnd::LiveCount(), 0) << "deleted once the handler returned";
}

TEST_F(MainWindowTest, ClosingTheWindowInsideTheNetworkErrorBoxKeepsTheObjectUntilTheHandlerEnds)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    const HWND hMain = w.Hwnd();
    int aliveAfterDestroy = -1;
    std::wstring boxText;
    lwtest::Repeating closer(50, [&] {
        const HWND hBox = lwtest::FindThreadWindow(L"#32770");
        if (!hBox) return true;
        wchar_t title[64] = {};
        ::GetWindowTextW(hBox, title, 64);
        boxText = title;
        ::SendMessageW(hMain, WM_CLOSE, 0, 0);
        aliveAfterDestroy = GameLoaderWnd::LiveCount();
        if (::IsWindow(hBox)) ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
        return false;
    });
    w.Send(WM_PAGE_NET_ERROR);
    EXPECT_EQ(boxText, L"提示");
    EXPECT_FALSE(::IsWindow(hMain));
    EXPECT_EQ(aliveAfterDestroy, 1);
    EXPECT_EQ(GameLoaderWnd::LiveCount(), 0);
}

TEST_F(MainWindowTest, TheObjectEndsWithItsWindowAndPostsTheQuitMessage)
{
    {
        MainWindow w(kHandStart);
        ASSERT_TRUE(w.Alive());
        EXPECT_EQ(GameLoaderWnd::LiveCount(), 1);
        ::DestroyWindow(w.Hwnd());
        EXPECT_EQ(GameLoaderWnd::LiveCount(), 0);
        MSG msg = {};
        EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 0u);
    }
}

// Reports that arrive while a notice is open show nothing more: modal loops never stack up.
TEST_F(MainWindowTest, FurtherNoticeRequestsWhileANoticeIsOpenAreNotShown)
{
    MainWindow w(kHandStart);
    ASSERT_TRUE(w.Alive());
    int notices = -1;
    bool boxSeen = false;
    lwtest::Repeating reporter(50, [&] {
        const HWND hNotice = lwtest::FindNotice();
        if (!hNotice) return true;
        for (int i = 0; i < 20; ++i) {
            w.Send(WM_NETWORK_STATE, 1 + i);
            w.Send(WM_UNPACK_RESULT, 1 + i);
            w.Send(WM_PAGE_NET_ERROR);
            w.Send(WM_TRAY_CALLBACK, 0, WM_RBUTTONDOWN);
        }
        notices = lwtest::CountThreadWindows(L"CustomMsgBoxClass");
        boxSeen = ::FindWindowW(L"#32770", nullptr) != nullptr;
        ::PostMessageW(hNotice, WM_SYSKEYDOWN, VK_F4, 0x20000001);  // Alt+F4: the launcher stays
        return false;
    });
    w.Send(WM_NETWORK_STATE, 1);
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(boxSeen);
    EXPECT_TRUE(w.Alive()) << "the ignored unpack failure closes nothing";
}

}  // namespace
