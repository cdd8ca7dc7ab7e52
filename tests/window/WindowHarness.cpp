#include "WindowHarness.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace wintest {

namespace {

const wchar_t kClassName[] = L"SkinUIControlsTestWnd";

void RegisterOnce()
{
    static bool done = false;
    if (done) return;
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);
    done = true;
}

}  // namespace

TestWindow::TestWindow(int cx, int cy, DWORD style, HWND hParent) : width(cx), height(cy)
{
    RegisterOnce();
    m_hWnd = ::CreateWindowExW(0, kClassName, L"controls test", style, 0, 0, cx, cy, hParent, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TestWindow::WndProc));
    manager.Init(m_hWnd);
    manager.AddNotificationListener(this);
}

TestWindow::~TestWindow()
{
    manager.RemoveNotificationListener(this);
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK TestWindow::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TestWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (self != nullptr) {
        self->messagesSeen.push_back(msg);
        LRESULT lRes = 0;
        if (self->manager.HandleWindowMessage(msg, wParam, lParam, lRes)) return lRes;
    }
    return ::DefWindowProcW(hWnd, msg, wParam, lParam);
}

void TestWindow::Show(SkinUI::CControlUI* root)
{
    manager.AttachRoot(root);
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hWnd);
}

void TestWindow::Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void TestWindow::Resize(int cx, int cy)
{
    width = cx;
    height = cy;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::UpdateWindow(m_hWnd);
}

std::vector<DWORD> TestWindow::Capture()
{
    int w = 0, h = 0;
    return test::CaptureClient(m_hWnd, w, h);
}

int TestWindow::Count(const std::wstring& type) const
{
    int n = 0;
    for (const auto& s : seen)
        if (s.type == type) ++n;
    return n;
}

int TestWindow::CountFrom(const std::wstring& type, const std::wstring& sender) const
{
    int n = 0;
    for (const auto& s : seen)
        if (s.type == type && s.sender == sender) ++n;
    return n;
}

void TestWindow::Notify(const SkinUI::UINotification& msg)
{
    seen.push_back(Seen{msg.type, msg.sender ? msg.sender->GetName() : std::wstring(), msg.wParam, msg.lParam});
    if (onNotify) onNotify(msg);
}

std::wstring WriteBmp(const std::wstring& name, int w, int h, const std::function<DWORD(int, int)>& fn)
{
    static std::wstring dir = test::MakeTempDir(L"controls_images");
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    std::string pixels(static_cast<size_t>(stride) * h, '\0');
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            DWORD c = fn(x, y);
            size_t at = static_cast<size_t>(h - 1 - y) * stride + static_cast<size_t>(x) * 3;
            pixels[at] = static_cast<char>(c & 0xFF);
            pixels[at + 1] = static_cast<char>((c >> 8) & 0xFF);
            pixels[at + 2] = static_cast<char>((c >> 16) & 0xFF);
        }
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&fh), sizeof(fh));
    bytes.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
    bytes += pixels;
    std::wstring path = dir + name;
    EXPECT_TRUE(test::WriteFileBytes(path, bytes));
    return path;
}

}  // namespace wintest
