// Prints how long a skinned window takes from creation to the end of its first WM_PAINT, and how long a
// full repaint of the 960 x 620 download page with its JPEG background takes.
#include "UIBuilder.h"
#include "UIContainer.h"
#include "UIManager.h"
#include "UIResources.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

class BenchWindow : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* name) override
    {
        // The browser element is the launcher's own; a plain control stands in for it here.
        return wcscmp(name, L"IeBrowser") == 0 ? new CControlUI : nullptr;
    }

    bool Create(bool downloadPage)
    {
        double t0 = NowMs();
        m_hWnd = ::CreateWindowExW(0, L"BenchSkinWnd", L"bench", WS_POPUP, 0, 0, 960, 620, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), this);
        if (m_hWnd == nullptr) return false;
        manager.Init(m_hWnd);
        double t1 = NowMs();
        CSkinBuilder builder;
        auto* root = static_cast<CContainerUI*>(builder.Build(L"GameLoader.xml", L"", this, &manager));
        double t2 = NowMs();
        if (root == nullptr) return false;
        if (downloadPage) {
            auto* tab = static_cast<CTabLayoutUI*>(root->ItemAt(0));
            CControlUI* page = tab != nullptr ? tab->ItemAt(1) : nullptr;
            if (page == nullptr) return false;
            page->SetBkImage(L"rho_download_bk.jpg");
            tab->SelectPage(1);
        }
        manager.AttachRoot(root);
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        double t3 = NowMs();
        ::UpdateWindow(m_hWnd);
        double t4 = NowMs();
        // BENCH_SPLIT=1 shows where the time goes: window creation, building, attaching and showing, painting.
        if (std::getenv("BENCH_SPLIT") != nullptr)
            std::printf("  create %.2f build %.2f attach+show %.2f paint %.2f ms\n", t1 - t0, t2 - t1, t3 - t2, t4 - t3);
        return true;
    }

    ~BenchWindow()
    {
        if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    }

    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<BenchWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        LRESULT lRes = 0;
        if (self != nullptr && self->manager.HandleWindowMessage(msg, wParam, lParam, lRes)) return lRes;
        return ::DefWindowProcW(hWnd, msg, wParam, lParam);
    }

    CUIManager manager;
    HWND m_hWnd = nullptr;
};

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

void Report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    std::printf("%-52s runs %3zu  min %7.3f ms  median %7.3f ms  mean %7.3f ms\n", what, ms.size(), ms.front(),
                ms[ms.size() / 2], sum / static_cast<double>(ms.size()));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring archive;
#ifdef VEMRA_SKIN_ARCHIVE_W
    archive = L"Z:" VEMRA_SKIN_ARCHIVE_W;
#endif
    if (argc > 1) archive = argv[1];
    std::ifstream in(archive.c_str(), std::ios::binary);
    // Lives for the process, as a module resource would.
    static std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty() || !CSkinResources::UseArchiveInMemory(bytes.data(), bytes.size())) {
        std::printf("skin archive not readable: %ls\n", archive.c_str());
        return 1;
    }
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &BenchWindow::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"BenchSkinWnd";
    ::RegisterClassW(&wc);

    for (bool download : {false, true}) {
        std::vector<double> runs;
        for (int i = 0; i < 15; ++i) {
            double t0 = NowMs();
            {
                BenchWindow w;
                if (!w.Create(download)) {
                    std::printf("window could not be built\n");
                    return 1;
                }
                runs.push_back(NowMs() - t0);
            }
            Pump();
        }
        Report(download ? "create to end of first WM_PAINT (download page, JPEG)"
                        : "create to end of first WM_PAINT (browser page)",
               runs);
    }

    BenchWindow w;
    if (!w.Create(true)) return 1;
    std::vector<double> repaint;
    for (int i = 0; i < 40; ++i) {
        ::InvalidateRect(w.m_hWnd, nullptr, FALSE);
        double t0 = NowMs();
        ::UpdateWindow(w.m_hWnd);
        ::GdiFlush();
        repaint.push_back(NowMs() - t0);
    }
    Report("full repaint 960 x 620, JPEG background", repaint);
    return 0;
}
