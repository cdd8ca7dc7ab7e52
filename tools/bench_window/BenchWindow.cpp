// Figures for the launcher's main window, each beside the plain-window baseline measured in the same run:
// the first window of a fresh process (skin archive from this executable's resource, layout, first paint)
// against bench_plain.exe's create, show and first paint; the same in a warm process (info); a progress
// tick, the bar's whole rectangle (info), a 1 x 1 repaint and a full repaint against the plain window
// repainting the same rectangle (for the tick: the bar's whole rectangle).
//   bench_window.exe                  all figures (starts itself and bench_plain.exe for the first window)
//   bench_window.exe --first-window   the child: prints "first-window-us N" (BENCH_SPLIT=1: the steps too)
#include "BenchChild.h"
#include "BenchCommon.h"
#include "BenchSkin.h"
#include "PlainWindow.h"

#include "UIBuilder.h"
#include "UIContainer.h"
#include "UILabel.h"
#include "UIManager.h"
#include "UIResources.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace SkinUI;
using bench::OpenSkinFromResource;

namespace {

constexpr const wchar_t* kSkinClass = L"BenchSkinWnd";


class SkinWindow : public IDialogBuilderCallback {
public:
    struct Split {
        double create = 0, build = 0, show = 0, paint = 0;
    };

    CControlUI* CreateCustomControl(const wchar_t* name) override
    {
        // The browser element is the launcher's own; a plain control stands in for it here.
        return wcscmp(name, L"IeBrowser") == 0 ? new CControlUI : nullptr;
    }

    // Built, shown and painted: the start page, or the download page as the launcher shows it.
    bool Create(bool downloadPage, Split* split = nullptr)
    {
        const double t0 = bench::NowUs();
        m_hWnd = ::CreateWindowExW(0, kSkinClass, L"bench", WS_POPUP, 0, 0, 960, 620, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), this);
        if (m_hWnd == nullptr) return false;
        manager.Init(m_hWnd);
        const double t1 = bench::NowUs();
        CSkinBuilder builder;
        auto* root = static_cast<CContainerUI*>(builder.Build(L"GameLoader.xml", L"", this, &manager));
        if (root == nullptr) return false;
        if (downloadPage) {
            auto* tab = static_cast<CTabLayoutUI*>(root->ItemAt(0));
            CControlUI* page = tab != nullptr ? tab->ItemAt(1) : nullptr;
            if (page == nullptr) return false;
            page->SetBkImage(L"rho_download_bk.jpg");
            tab->SelectPage(1);
        }
        const double t2 = bench::NowUs();
        manager.AttachRoot(root);
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        const double t3 = bench::NowUs();
        ::UpdateWindow(m_hWnd);
        ::GdiFlush();
        const double t4 = bench::NowUs();
        if (split != nullptr) *split = Split{t1 - t0, t2 - t1, t3 - t2, t4 - t3};
        return true;
    }

    void Repaint(const RECT* rc)
    {
        ::InvalidateRect(m_hWnd, rc, FALSE);
        ::UpdateWindow(m_hWnd);
        ::GdiFlush();
    }

    ~SkinWindow()
    {
        if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    }

    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<SkinWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        LRESULT lRes = 0;
        if (self != nullptr && self->manager.HandleWindowMessage(msg, wParam, lParam, lRes)) return lRes;
        if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }

    CUIManager manager;
    HWND m_hWnd = nullptr;
};

bool RegisterSkinClass()
{
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &SkinWindow::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kSkinClass;
    return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

// The child of the first-window figure: everything from opening the archive to the first paint on screen.
int FirstWindowChild(double start)
{
    const double t0 = bench::NowUs();
    if (!OpenSkinFromResource()) return 1;
    const double t1 = bench::NowUs();
    if (!RegisterSkinClass()) return 1;
    SkinWindow window;
    SkinWindow::Split split;
    if (!window.Create(false, &split)) return 1;
    const double t2 = bench::NowUs();
    std::printf("first-window-us %.1f\n", t2 - t0);
    if (std::getenv("BENCH_SPLIT") != nullptr)
        std::printf("  split: before %.0f  archive %.0f  class+create %.0f  build %.0f  attach+show %.0f  "
                    "paint %.0f us\n",
                    t0 - start, t1 - t0, split.create, split.build, split.show, split.paint);
    std::fflush(stdout);
    return 0;
}

std::wstring Quote(const std::wstring& path) { return L"\"" + path + L"\""; }

// The first window of a fresh process, this program's against the plain window's, started alternately.
void FirstWindowFigures()
{
    const std::wstring self = Quote(bench::SelfPath());
    const std::wstring plain = Quote(bench::SelfFolder() + L"bench_plain.exe");
    std::string splitSkin, splitPlain;
    bool failed = false;
    const auto child = [&](const std::wstring& cmd, std::string& split) {
        if (failed) return 0.0;
        const std::string out = bench::RunCapture(cmd + L" --first-window");
        const double us = bench::FindValue(out, "first-window-us");
        if (us < 0) failed = true;
        const size_t at = out.find("  split:");
        if (at != std::string::npos) split = out.substr(at);
        return us;
    };
    // One of each first, not counted: the first start after a build also reads the files from disk.
    (void)child(self, splitSkin);
    (void)child(plain, splitPlain);
    const auto [skin, base] = bench::MeasurePair([&] { return child(self, splitSkin); },
                                                 [&] { return child(plain, splitPlain); }, bench::Repeat{11, 41});
    const char* figure = "first window of a process: archive, layout, first paint";
    if (failed) {
        std::printf("a first-window child failed (is bench_plain.exe beside this program?)\n");
        bench::Row(figure, "<= baseline + 15 ms", "not measured", "miss");
        return;
    }
    std::printf("first window of a fresh process (timed inside the child; process start-up not included)\n");
    bench::Detail("plain window: class, bitmap, create, show, first paint", base);
    bench::Detail("launcher window: archive, class, create, build, show, paint", skin);
    if (!splitPlain.empty()) std::printf("  plain, last run:%s", splitPlain.c_str() + 8);
    if (!splitSkin.empty()) std::printf("  launcher, last run:%s", splitSkin.c_str() + 8);
    bench::RowPlusGoal(figure, skin, base, 15000, "baseline");
}

// The same window again and again in one process: the warm case, for comparison only.
void WarmWindowFigure()
{
    {
        SkinWindow first;
        (void)first.Create(false);
    }
    Pump();
    const bench::Stats warm = bench::Measure(
        [] {
            Pump();
            SkinWindow window;
            const double t0 = bench::NowUs();
            if (!window.Create(false)) return 0.0;
            return bench::NowUs() - t0;
        },
        bench::Repeat{15, 60});
    bench::Row("warm window (later in the same process): layout, first paint", "report only",
               bench::Measured(warm), "info");
}

void Raise(HWND hWnd)
{
    ::SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Pump();  // the newly uncovered parts are painted here, outside the timing
}

// Repaints of the download page against the plain window repainting the same rectangle. Both windows sit
// at the same place; the one measured is raised first, so neither paints a covered (clipped) area.
void RepaintFigures()
{
    bench::CPlainWindow plain;
    SkinWindow skin;
    if (!bench::CPlainWindow::Register(::GetModuleHandleW(nullptr)) || !plain.Create(0, 0) ||
        !skin.Create(true)) {
        std::printf("windows could not be built\n");
        return;
    }
    plain.Show();
    auto* progress = static_cast<CProgressUI*>(skin.manager.FindControlByName(L"progress"));
    if (progress == nullptr) {
        std::printf("the download page has no progress bar\n");
        return;
    }
    constexpr int kPerRun = 11;  // each run is the median of this many repaints
    const auto timed = [](HWND hWnd, const std::function<void()>& once) {
        Raise(hWnd);
        return bench::MedianOf(kPerRun, once);
    };
    int value = 40;
    const auto [tick, tickBase] = bench::MeasurePair(
        [&] {
            return timed(skin.m_hWnd, [&] {
                value = value == 40 ? 41 : 40;
                progress->SetValue(value);
                ::UpdateWindow(skin.m_hWnd);
                ::GdiFlush();
            });
        },
        [&] { return timed(plain.GetHWND(), [&] { plain.Repaint(&bench::kProgressRect); }); });
    // A tick repaints only where the fill's end moved; the bar's whole rectangle, repainted as any other
    // change to the bar would, is reported beside it.
    const auto [bar, barBase] =
        bench::MeasurePair([&] { return timed(skin.m_hWnd, [&] { skin.Repaint(&bench::kProgressRect); }); },
                           [&] { return timed(plain.GetHWND(), [&] { plain.Repaint(&bench::kProgressRect); }); });
    const RECT one{480, 300, 481, 301};
    const auto [dot, dotBase] =
        bench::MeasurePair([&] { return timed(skin.m_hWnd, [&] { skin.Repaint(&one); }); },
                           [&] { return timed(plain.GetHWND(), [&] { plain.Repaint(&one); }); });
    const auto [full, fullBase] =
        bench::MeasurePair([&] { return timed(skin.m_hWnd, [&] { skin.Repaint(nullptr); }); },
                           [&] { return timed(plain.GetHWND(), [&] { plain.Repaint(nullptr); }); });
    std::printf("repaints of the download page (JPEG background, bar at 40/41); each run is the median of %d\n",
                kPerRun);
    bench::Detail("plain window, progress bar's rectangle 530 x 13", tickBase);
    bench::Detail("progress tick: SetValue, UpdateWindow, GdiFlush", tick);
    bench::Detail("plain window, progress bar's rectangle (again)", barBase);
    bench::Detail("launcher window, progress bar's whole rectangle", bar);
    bench::Detail("plain window, 1 x 1", dotBase);
    bench::Detail("launcher window, 1 x 1", dot);
    bench::Detail("plain window, full 960 x 620", fullBase);
    bench::Detail("launcher window, full 960 x 620", full);
    bench::RowRatioGoal("progress tick: value change -> bar on screen", tick, tickBase, 1.25);
    bench::Row("repaint of the progress bar's whole rectangle", "report only",
               bench::Measured(bar) + ", " + bench::Ratio(bar.median / barBase.median) + " the baseline's", "info");
    bench::RowRatioGoal("repaint 1 x 1", dot, dotBase, 1.25);
    bench::RowRatioGoal("full repaint of the main window (download page)", full, fullBase, 1.5);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const double start = bench::NowUs();
    if (bench::Flag(argc, argv, L"first-window")) return FirstWindowChild(start);
    if (!OpenSkinFromResource() || !RegisterSkinClass()) {
        std::printf("the skin archive resource could not be opened\n");
        return 1;
    }
    FirstWindowFigures();
    WarmWindowFigure();
    RepaintFigures();
    return 0;
}
