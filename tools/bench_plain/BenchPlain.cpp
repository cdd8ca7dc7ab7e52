// The baseline program: creates, shows and repaints an ordinary 960 x 620 window, no toolkit.
//   bench_plain.exe                    repaints (full window, the progress bar's rectangle, 1 x 1), in-process
//   bench_plain.exe --first-window     create, show and first paint of the first window of this process;
//                                      prints "first-window-us N" (BENCH_SPLIT=1: also the steps)
//   bench_plain.exe --show-and-wait [--signal=EVENT] [--start-calls]
//                                      shows the window and stays until it is closed; sets the named event
//                                      (made by the caller) once the first paint is on screen. With
//                                      --start-calls it first makes the system calls the launcher's start
//                                      cannot do without (StartCalls below): the floor of the launcher's
//                                      start -> visible that no change inside the launcher removes
#include "BenchCommon.h"
#include "PlainWindow.h"

#include <windows.h>

#include <wininet.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int FirstWindow(double start)
{
    const double t0 = bench::NowUs();
    if (!bench::CPlainWindow::Register(::GetModuleHandleW(nullptr))) return 1;
    bench::CPlainWindow window;
    if (!window.Create(0, 0)) return 1;
    const double t1 = bench::NowUs();
    window.Show();
    const double t2 = bench::NowUs();
    if (window.PaintCount() == 0) return 1;
    std::printf("first-window-us %.1f\n", t2 - t0);
    if (std::getenv("BENCH_SPLIT") != nullptr)
        std::printf("  split: before %.0f  class+bitmap+create %.0f  show+paint %.0f us\n", t0 - start, t1 - t0,
                    t2 - t1);
    std::fflush(stdout);
    return 0;
}

// What the launcher's start asks of the system beyond a plain window, without the toolkit, the skin or the
// browser engine: COM for the window thread, the WinINet option an installed game's start sets, the
// window's icons, and a layered drop-shadow window of the launcher's shadow size (the window and 9 pixels
// on each side), shown with the window and drawn with UpdateLayeredWindow in the window's first paint,
// before the window paints itself. COM and WinINet are loaded when used, as the launcher loads them, so
// that the plain modes of this program keep their import table.
class StartCalls {
public:
    static constexpr int kCorner = 9;

    StartCalls() = default;
    StartCalls(const StartCalls&) = delete;
    StartCalls& operator=(const StartCalls&) = delete;
    ~StartCalls()
    {
        m_hShadow.Reset();
        if (m_bCom) m_coUninitialize();
    }

    bool BeforeWindow()
    {
        const HMODULE ole32 = ::LoadLibraryW(L"ole32.dll");
        if (ole32 == nullptr) return false;
        const auto coInitialize = reinterpret_cast<HRESULT(WINAPI*)(LPVOID)>(
            reinterpret_cast<void*>(::GetProcAddress(ole32, "CoInitialize")));
        m_coUninitialize =
            reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(ole32, "CoUninitialize")));
        if (coInitialize == nullptr || m_coUninitialize == nullptr) return false;
        m_bCom = SUCCEEDED(coInitialize(nullptr));
        return m_bCom;
    }

    bool AfterWindow(HWND hOwner)
    {
        const HICON hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        ::SendMessageW(hOwner, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
        ::SendMessageW(hOwner, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
        const HMODULE wininet = ::LoadLibraryW(L"wininet.dll");
        if (wininet == nullptr) return false;
        const auto setOption = reinterpret_cast<BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD)>(
            reinterpret_cast<void*>(::GetProcAddress(wininet, "InternetSetOptionW")));
        if (setOption == nullptr) return false;
        DWORD suppress = 3;  // no persistent cookies, the value the launcher sets
        (void)setOption(nullptr, INTERNET_OPTION_SUPPRESS_BEHAVIOR, &suppress, sizeof suppress);

        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"VemraBenchPlainShadow";
        if (::RegisterClassW(&wc) == 0) return false;
        m_hShadow.Put(::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE, wc.lpszClassName,
                                        nullptr, WS_POPUP, 0, 0, 0, 0, hOwner, nullptr, wc.hInstance, nullptr));
        m_hOwner = hOwner;
        return static_cast<bool>(m_hShadow);
    }

    void ShowWithOwner() { ::ShowWindow(m_hShadow.Get(), SW_SHOWNA); }

    // A translucent ring around the window, transparent inside, every pixel of the surface written.
    void Draw()
    {
        RECT rc{};
        (void)::GetWindowRect(m_hOwner, &rc);
        const int w = rc.right - rc.left + 2 * kCorner, h = rc.bottom - rc.top + 2 * kCorner;
        if (!m_surface.Create(w, h)) return;
        uint32_t* px = m_surface.Bits();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool ring = x < kCorner || y < kCorner || x >= w - kCorner || y >= h - kCorner;
                px[static_cast<size_t>(y) * w + x] = ring ? 0x30000000u : 0u;
            }
        POINT pt{rc.left - kCorner, rc.top - kCorner};
        ::MoveWindow(m_hShadow.Get(), pt.x, pt.y, w, h, FALSE);
        SIZE size{w, h};
        POINT origin{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::UpdateLayeredWindow(m_hShadow.Get(), nullptr, &pt, &size, m_surface.GetDC(), &origin, 0, &blend, ULW_ALPHA);
    }

private:
    bool m_bCom = false;
    void(WINAPI* m_coUninitialize)() = nullptr;
    HWND m_hOwner = nullptr;
    SkinUI::CUniqueHwnd m_hShadow;
    bench::CDibSurface m_surface;
};

int ShowAndWait(const std::wstring& signal, bool startCalls)
{
    StartCalls calls;
    if (startCalls && !calls.BeforeWindow()) return 1;
    if (!bench::CPlainWindow::Register(::GetModuleHandleW(nullptr))) return 1;
    bench::CPlainWindow window;
    if (!window.Create(0, 0, true)) return 1;
    if (startCalls) {
        if (!calls.AfterWindow(window.GetHWND())) return 1;
        window.BeforeFirstPaint([&calls] { calls.Draw(); });
        ::ShowWindow(window.GetHWND(), SW_SHOWNOACTIVATE);
        calls.ShowWithOwner();
    }
    window.Show();
    if (!signal.empty()) {
        SkinUI::CUniqueHandle hEvent(::OpenEventW(EVENT_MODIFY_STATE, FALSE, signal.c_str()));
        if (hEvent) ::SetEvent(hEvent.Get());
    }
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

int Repaints()
{
    if (!bench::CPlainWindow::Register(::GetModuleHandleW(nullptr))) return 1;
    bench::CPlainWindow window;
    if (!window.Create(0, 0)) return 1;
    window.Show();
    Pump();
    const RECT one{480, 300, 481, 301};
    struct Case {
        const char* name;
        const RECT* rc;
    } cases[] = {{"full repaint 960 x 620", nullptr},
                 {"repaint of the progress bar's rectangle 530 x 13", &bench::kProgressRect},
                 {"repaint 1 x 1", &one}};
    std::printf("plain window, one BitBlt per paint; each run is the median of 11 repaints\n");
    for (const Case& c : cases) {
        const bench::Stats s = bench::Measure([&] { return bench::MedianOf(11, [&] { window.Repaint(c.rc); }); });
        bench::Detail(c.name, s);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const double start = bench::NowUs();
    if (bench::Flag(argc, argv, L"first-window")) return FirstWindow(start);
    if (bench::Flag(argc, argv, L"show-and-wait"))
        return ShowAndWait(bench::Arg(argc, argv, L"signal"), bench::Flag(argc, argv, L"start-calls"));
    return Repaints();
}
