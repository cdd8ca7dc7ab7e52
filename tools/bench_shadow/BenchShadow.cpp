// Prints how long one update of the main window's drop shadow takes, drawing included, beside a bare
// UpdateLayeredWindow of the same size measured in the same run, and what a move of the window costs.
#include "BenchCommon.h"
#include "BenchSkin.h"

#include "UIBuilder.h"
#include "UIControl.h"
#include "UIManager.h"
#include "UIResources.h"
#include "UIShadow.h"
#include "UIRender.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace SkinUI;

namespace {

double NowMs()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

struct Figures {
    double median, min, p10, p90, max;
};

Figures Summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1) + 0.5)]; };
    return Figures{at(0.5), ms.front(), at(0.1), at(0.9), ms.back()};
}

void Report(const char* what, const std::vector<double>& ms)
{
    const Figures f = Summarise(ms);
    std::printf("%-44s runs %3zu  median %7.3f ms  min %7.3f  p10 %7.3f  p90 %7.3f  max %7.3f\n", what, ms.size(),
                f.median, f.min, f.p10, f.p90, f.max);
}

// The main window as the launcher builds it, in a plain window whose messages go to its manager.
class OwnerWindow : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* name) override
    {
        return wcscmp(name, L"IeBrowser") == 0 ? new CControlUI : nullptr;
    }

    bool Create()
    {
        m_hWnd = ::CreateWindowExW(0, L"BenchShadowOwner", L"bench", WS_POPUP, 100, 100, 960, 620, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), this);
        if (m_hWnd == nullptr) return false;
        manager.Init(m_hWnd);
        CSkinBuilder builder;
        CControlUI* root = builder.Build(L"GameLoader.xml", L"", this, &manager);
        if (root == nullptr) return false;
        manager.AttachRoot(root);
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        ::UpdateWindow(m_hWnd);
        return manager.GetShadow()->GetShadowWindow() != nullptr;
    }

    ~OwnerWindow()
    {
        if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    }

    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<OwnerWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        LRESULT lRes = 0;
        if (self != nullptr && self->manager.HandleWindowMessage(msg, wParam, lParam, lRes)) return lRes;
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }

    CUIManager manager;
    HWND m_hWnd = nullptr;
};

}  // namespace

int wmain()
{
    int runs = 101;
    if (const char* env = std::getenv("BENCH_RUNS")) runs = std::max(5, std::atoi(env));
    if (!bench::OpenSkinFromResource()) {
        std::printf("the skin archive resource could not be opened\n");
        return 1;
    }
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    CSkinResources::SetModule(hInstance);
    if (!CShadowUI::Initialize(hInstance)) {
        std::printf("shadow window class not registered\n");
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = &OwnerWindow::Proc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"BenchShadowOwner";
    ::RegisterClassW(&wc);

    OwnerWindow owner;
    if (!owner.Create()) {
        std::printf("window or shadow could not be built\n");
        return 1;
    }
    Pump();
    CShadowUI* shadow = owner.manager.GetShadow();

    // The baseline: a layered window of the shadow's size and class, its pixels prepared once.
    CShadowSurface prepared;
    POINT pt{};
    if (!shadow->DrawShadow(owner.m_hWnd, prepared, pt)) {
        std::printf("shadow could not be drawn\n");
        return 1;
    }
    const SIZE size{prepared.Width(), prepared.Height()};
    const HWND hBare = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, CShadowUI::kWindowClass, nullptr,
                                         WS_POPUP, 150, 150, size.cx, size.cy, nullptr, nullptr, hInstance, nullptr);
    ::ShowWindow(hBare, SW_SHOWNA);
    const POINT barePos{150, 150}, origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(hBare, nullptr, const_cast<POINT*>(&barePos), const_cast<SIZE*>(&size), prepared.GetDC(),
                          const_cast<POINT*>(&origin), 0, &blend, ULW_ALPHA);
    Pump();

    RECT rcOwner{};
    ::GetWindowRect(owner.m_hWnd, &rcOwner);
    std::printf("shadow of the %ldx%ld main window: %ldx%ld, %d runs each, interleaved\n",
                rcOwner.right - rcOwner.left, rcOwner.bottom - rcOwner.top, size.cx, size.cy, runs);
    std::vector<double> bare, update, drawing;
    for (int i = 0; i < runs; ++i) {
        double t0 = NowMs();
        ::UpdateLayeredWindow(hBare, nullptr, const_cast<POINT*>(&barePos), const_cast<SIZE*>(&size),
                              prepared.GetDC(), const_cast<POINT*>(&origin), 0, &blend, ULW_ALPHA);
        bare.push_back(NowMs() - t0);
        Pump();
        t0 = NowMs();
        shadow->UpdateShadow(owner.m_hWnd);
        update.push_back(NowMs() - t0);
        Pump();
        t0 = NowMs();
        {
            CShadowSurface surface;
            (void)shadow->DrawShadow(owner.m_hWnd, surface, pt);  // the drawing alone, released like an update's
        }
        drawing.push_back(NowMs() - t0);
    }
    Report("bare UpdateLayeredWindow (baseline)", bare);
    Report("UpdateShadow, drawing included", update);
    Report("  of which drawing (bitmap, DC, nine parts)", drawing);

    // For comparison: the same nine parts through the platform blend, as skin images are drawn elsewhere.
    const CachedImage* image = owner.manager.FindCachedImage(shadow->GetImage());
    if (image != nullptr) {
        std::vector<double> blended;
        const RECT whole{0, 0, size.cx, size.cy};
        for (int i = 0; i < runs; ++i) {
            const double t0 = NowMs();
            CShadowSurface surface;
            if (surface.Create(size.cx, size.cy))
                CRenderKit::BlitImage(surface.GetDC(), image->bitmap.Get(), whole, whole,
                                      RECT{0, 0, image->width, image->height}, shadow->GetCorners(), image->hasAlpha,
                                      255, true, false, false);
            blended.push_back(NowMs() - t0);
        }
        Report("  drawing through BlitImage instead", blended);
    }
    const double ratio = Summarise(update).median / Summarise(bare).median;
    std::printf("UpdateShadow / baseline, medians: %.2f (goal: at most 1.30)\n", ratio);
    const auto toUs = [](std::vector<double> ms) {
        for (double& v : ms) v *= 1000;
        return bench::Summarise(ms);
    };
    bench::RowRatioGoal("drop shadow: UpdateShadow, drawing included", toUs(update), toUs(bare), 1.3,
                        "bare UpdateLayeredWindow");

    const unsigned before = shadow->GetDrawCount();
    std::vector<double> moves;
    RECT rc{};
    ::GetWindowRect(owner.m_hWnd, &rc);
    for (int i = 0; i < runs; ++i) {
        const double t0 = NowMs();
        ::SetWindowPos(owner.m_hWnd, nullptr, rc.left + (i % 2 ? 7 : 0), rc.top + (i % 2 ? 5 : 0), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        moves.push_back(NowMs() - t0);
        Pump();
    }
    Report("move of the window (shadow follows)", moves);
    std::printf("shadow redraws during %d moves: %u\n", runs, shadow->GetDrawCount() - before);
    ::DestroyWindow(hBare);
    return 0;
}
