// A plain Win32 window whose procedure hands every message to a CUIManager, plus small helpers for building
// control trees, reading painted pixels and writing test images.
#pragma once

#include "UIContainer.h"
#include "UIControl.h"
#include "UIManager.h"

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace wintest {

using Attrs = std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>;

// Creates a control and applies attributes in the given order, as a skin would.
template <typename T>
T* Make(Attrs attrs = {})
{
    T* p = new T();
    for (const auto& a : attrs) p->ApplyAttribute(a.first, a.second);
    return p;
}

template <typename T>
T* AddTo(SkinUI::CContainerUI* parent, Attrs attrs = {})
{
    T* p = Make<T>(attrs);
    parent->AddItem(p);
    return p;
}

struct Seen {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
    LPARAM lParam;
};

class TestWindow : public SkinUI::INotifyUI {
public:
    // With a parent, style should include WS_CHILD.
    TestWindow(int cx, int cy, DWORD style = WS_POPUP, HWND hParent = nullptr);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // Attaches the root, shows the window and lets the first WM_PAINT lay it out.
    void Show(SkinUI::CControlUI* root);
    void Paint() { ::UpdateWindow(m_hWnd); }
    void Pump();
    void Resize(int cx, int cy);
    // Renders the client area through WM_PRINTCLIENT into a 32-bit DIB.
    std::vector<DWORD> Capture();
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) { return ::SendMessageW(m_hWnd, msg, wParam, lParam); }
    void MouseMove(int x, int y) { Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    void MouseDown(int x, int y) { Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void MouseUp(int x, int y) { Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    int Count(const std::wstring& type) const;
    int CountFrom(const std::wstring& type, const std::wstring& sender) const;

    void Notify(const SkinUI::UINotification& msg) override;

    SkinUI::CUIManager manager;
    HWND m_hWnd = nullptr;
    int width;
    int height;
    std::vector<Seen> seen;
    std::function<void(const SkinUI::UINotification&)> onNotify;
    std::vector<UINT> messagesSeen;

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Pixel as 0x00RRGGBB.
inline DWORD Rgb(DWORD pixel) { return pixel & 0x00FFFFFF; }

// A 24-bit BMP file whose pixel colour is given by fn(x, y) (0x00RRGGBB); returns its full path.
std::wstring WriteBmp(const std::wstring& name, int w, int h, const std::function<DWORD(int, int)>& fn);

}  // namespace wintest
