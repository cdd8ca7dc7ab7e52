// Shows both launcher windows with their shadows on a light backdrop for a screen capture, and keeps them
// there until told to go: writes FOLDER\ready.txt with each window's rectangle, then waits for
// FOLDER\done.txt (at most a minute).
#include "ShadowTestWindow.h"
#include "UIContainer.h"
#include "UILabel.h"

#include <cstdio>
#include <string>

using namespace SkinUI;
using shadowtest::ShadowedWnd;

namespace {

HWND CreateBackdrop()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = ::CreateSolidBrush(RGB(0xE4, 0xE8, 0xEE));  // lives with the process
    wc.lpszClassName = L"VemraShadowBackdrop";
    ::RegisterClassW(&wc);
    const HWND hWnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, nullptr, WS_POPUP, 0, 0,
                                        ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr,
                                        nullptr, wc.hInstance, nullptr);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    return hWnd;
}

void Show(ShadowedWnd& wnd)
{
    ::ShowWindow(wnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(wnd);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || !shadowtest::UseLauncherSkin()) {
        std::printf("usage: shadow_screens FOLDER (and vemra2_main.exe beside it)\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const HWND hBackdrop = CreateBackdrop();

    // The download page as the launcher shows it for a game with a background of its own.
    ShadowedWnd main(L"GameLoader.xml");
    if (!main.Open(60, 60)) return 1;
    auto* tab = static_cast<CTabLayoutUI*>(main.Manager().FindControlByName(L"wizardTab")->QueryKind(L"TabLayout"));
    if (tab == nullptr || tab->ItemCount() < 2) return 1;
    tab->SelectPage(1);
    tab->ItemAt(1)->ApplyAttribute(L"bkimage", L"rho_download_bk.jpg");
    if (auto* progress = main.Manager().FindControlByName(L"progress")) progress->ApplyAttribute(L"value", L"45");
    Show(main);

    ShadowedWnd notice(L"CustomMsgBox.xml");
    if (!notice.Open(800, 720)) return 1;
    if (CControlUI* tip = notice.Manager().FindControlByName(L"labelTip")) tip->SetText(L"释放文件出错");
    Show(notice);
    test::PumpFor(500);

    std::string ready;
    for (ShadowedWnd* wnd : {&main, &notice}) {
        const RECT rc = wnd->WindowRect();
        ready += std::to_string(rc.left) + ' ' + std::to_string(rc.top) + ' ' + std::to_string(rc.right) + ' ' +
                 std::to_string(rc.bottom) + '\n';
    }
    if (!test::WriteFileBytes(folder + L"\\ready.txt", ready)) return 1;
    const std::wstring done = folder + L"\\done.txt";
    for (int i = 0; i < 600 && !test::FileExists(done); ++i) test::PumpFor(100);
    ::DestroyWindow(hBackdrop);
    return 0;
}
