// The baseline program: creates, shows and repaints an ordinary 960 x 620 window, no toolkit.
//   bench_plain.exe                    repaints (full window, the progress bar's rectangle, 1 x 1), in-process
//   bench_plain.exe --first-window     create, show and first paint of the first window of this process;
//                                      prints "first-window-us N" (BENCH_SPLIT=1: also the steps)
//   bench_plain.exe --show-and-wait [--signal=EVENT]
//                                      shows the window and stays until it is closed; sets the named event
//                                      (made by the caller) once the first paint is on screen
#include "BenchCommon.h"
#include "PlainWindow.h"

#include <windows.h>

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

int ShowAndWait(const std::wstring& signal)
{
    if (!bench::CPlainWindow::Register(::GetModuleHandleW(nullptr))) return 1;
    bench::CPlainWindow window;
    if (!window.Create(0, 0, true)) return 1;
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
    if (bench::Flag(argc, argv, L"show-and-wait")) return ShowAndWait(bench::Arg(argc, argv, L"signal"));
    return Repaints();
}
