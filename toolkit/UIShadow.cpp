#include "UIShadow.h"

#include "UIManager.h"
#include "UIRender.h"
#include "UIWindow.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace SkinUI {

namespace {

// SetWindowPos flags of a move that leaves size, z-order, contents and activation alone.
constexpr UINT kMoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_DEFERERASE;
// Style bits of the owner that show it is maximised or minimised.
constexpr LONG_PTR kZoomedOrIconic = WS_MAXIMIZE | WS_MINIMIZE;

struct OwnerEntry {
    CShadowUI* shadow = nullptr;  // none once the shadow object is gone: the entry then only forwards
    WNDPROC previous = nullptr;
};

// Owner window -> its shadow and the procedure the hook replaced. UI thread only.
std::map<HWND, OwnerEntry>& OwnerTable()
{
    static std::map<HWND, OwnerEntry> table;
    return table;
}

struct ShadowClass {
    bool registered = false;
    HINSTANCE hInstance = nullptr;
};

ShadowClass& RegisteredClass()
{
    static ShadowClass state;
    return state;
}

DWORD Premultiplied(DWORD color, DWORD alpha)
{
    const DWORD r = ((color >> 16) & 0xFF) * alpha / 255;
    const DWORD g = ((color >> 8) & 0xFF) * alpha / 255;
    const DWORD b = (color & 0xFF) * alpha / 255;
    return alpha << 24 | r << 16 | g << 8 | b;
}

// Copies one piece of the source image into the surface, stretched to the destination by the nearest
// source pixel. A piece whose source lies outside the image is not drawn, as the platform blend refuses it.
void CopyPiece(const CachedImage& image, CShadowSurface& surface, const RECT& dst, LONG sx, LONG sy, LONG sw,
               LONG sh)
{
    const LONG dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    if (sx < 0 || sy < 0 || sx + sw > image.width || sy + sh > image.height) return;
    const auto* src = reinterpret_cast<const DWORD*>(image.bits);
    // Source column of every destination column, sampled at the pixel centre.
    std::vector<LONG> columns(static_cast<size_t>(dw));
    for (LONG i = 0; i < dw; ++i)
        columns[static_cast<size_t>(i)] =
            sx + static_cast<LONG>((2LL * i + 1) * sw / (2LL * dw));
    for (LONG j = 0; j < dh; ++j) {
        const LONG y = dst.top + j;
        if (y < 0 || y >= surface.Height()) continue;
        const LONG row = sy + static_cast<LONG>((2LL * j + 1) * sh / (2LL * dh));
        const DWORD* in = src + static_cast<ptrdiff_t>(row) * image.width;
        DWORD* out = surface.Row(y);
        for (LONG i = 0; i < dw; ++i) {
            const LONG x = dst.left + i;
            if (x >= 0 && x < surface.Width()) out[x] = in[columns[static_cast<size_t>(i)]];
        }
    }
}

}  // namespace

// ---- the drawing surface ----

CShadowSurface::~CShadowSurface()
{
    if (m_hOldBitmap) ::SelectObject(m_hDC.Get(), m_hOldBitmap);
}

bool CShadowSurface::Create(int width, int height)
{
    if (width <= 0 || height <= 0) return false;
    if (m_pBits != nullptr && width == m_nWidth && height == m_nHeight) {
        // Under Wine a new 2.5 MB section costs more than the drawing itself: clear and reuse the last one.
        ::GdiFlush();
        std::fill_n(m_pBits, static_cast<size_t>(width) * static_cast<size_t>(height), DWORD{0});
        return true;
    }
    if (m_hOldBitmap) ::SelectObject(m_hDC.Get(), m_hOldBitmap);  // a selected bitmap cannot be deleted
    m_hOldBitmap = nullptr;
    m_pBits = nullptr;
    m_nWidth = m_nHeight = 0;
    BITMAPINFO bmi{};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    m_hBitmap.Put(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    m_hDC.Put(::CreateCompatibleDC(nullptr));
    if (!m_hBitmap || !bits || !m_hDC) return false;
    m_hOldBitmap = ::SelectObject(m_hDC.Get(), m_hBitmap.Get());
    m_pBits = static_cast<DWORD*>(bits);
    m_nWidth = width;
    m_nHeight = height;
    return true;
}

// ---- settings ----

CShadowUI::~CShadowUI() { ReleaseOwner(); }

void CShadowUI::ReleaseOwner()
{
    auto& table = OwnerTable();
    const auto it = m_hOwner ? table.find(m_hOwner) : table.end();
    if (it != table.end() && it->second.shadow == this) {
        // Unhook when nothing hooked the owner after us; otherwise the entry stays and only forwards.
        const auto hook = reinterpret_cast<LONG_PTR>(&CShadowUI::OwnerWindowProc);
        if (!::IsWindow(m_hOwner)) {
            table.erase(it);
        } else if (::GetWindowLongPtrW(m_hOwner, GWLP_WNDPROC) == hook) {
            ::SetWindowLongPtrW(m_hOwner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.previous));
            table.erase(it);
        } else {
            it->second.shadow = nullptr;
        }
    }
    ForgetOwner();
}

bool CShadowUI::Initialize(HINSTANCE hInstance)
{
    ShadowClass& state = RegisteredClass();
    if (state.registered) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    state.registered = true;
    state.hInstance = hInstance;
    return true;
}

void CShadowUI::SetShadowSize(int n)
{
    if (n < -20 || n > 20) return;
    m_nSize = static_cast<signed char>(n);
    RefreshAfterChange();
}

void CShadowUI::SetShadowSharpness(int n)
{
    if (n < 0 || n > 20) return;
    m_nSharpness = static_cast<BYTE>(n);
    RefreshAfterChange();
}

void CShadowUI::SetShadowDarkness(int n)
{
    if (n < 0 || n > 255) return;
    m_nDarkness = static_cast<BYTE>(n);
    RefreshAfterChange();
}

void CShadowUI::SetShadowOffset(int x, int y)
{
    if (x < -20 || x > 20 || y < -20 || y > 20) return;
    m_nOffsetX = static_cast<signed char>(x);
    m_nOffsetY = static_cast<signed char>(y);
    RefreshAfterChange();
}

void CShadowUI::SetShadowColor(DWORD color)
{
    m_dwColor = color;
    RefreshAfterChange();
}

void CShadowUI::SetShadowCorners(const RECT& rc)
{
    if (rc.left < 0 || rc.top < 0 || rc.right < 0 || rc.bottom < 0) return;
    m_rcCorners = rc;
    RefreshAfterChange();
}

void CShadowUI::SetShadowImage(const std::wstring& name)
{
    m_strImage = name;
    m_bImageMode = true;
    RefreshAfterChange();
}

void CShadowUI::RefreshAfterChange()
{
    if (m_hWnd != nullptr && (m_status & kShown) != 0) UpdateShadow(::GetParent(m_hWnd));
}

CShadowUI* CShadowUI::FromOwner(HWND hOwner)
{
    const auto& table = OwnerTable();
    const auto it = table.find(hOwner);
    return it == table.end() ? nullptr : it->second.shadow;
}

// ---- the shadow window and the owner hook ----

void CShadowUI::CreateShadow(CUIManager* pManager) noexcept
{
    if (!m_bShowRequested || pManager == nullptr) return;
    m_pManager = pManager;
    const HWND hOwner = pManager->GetPaintWindow();
    if (!::IsWindow(hOwner)) return;
    // A root attached again to the same window only refreshes: one shadow window, one hook.
    if (hOwner == m_hOwner) {
        RefreshAfterChange();
        return;
    }
    if (m_hOwner != nullptr) {
        // The manager moved to another window: let go of the old one before following the new one.
        if (::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
        ReleaseOwner();
    }

    auto& table = OwnerTable();
    try {
        table[hOwner].shadow = this;
    } catch (...) {
        return;  // no memory for the entry: no shadow rather than a hook that cannot find its way back
    }
    // A process that did not register the class at start-up still gets its shadow.
    if (!RegisteredClass().registered) (void)Initialize(ToolkitInstance());

    const LONG_PTR ownerStyle = ::GetWindowLongPtrW(hOwner, GWL_STYLE);
    const DWORD style = WS_POPUPWINDOW | static_cast<DWORD>(ownerStyle & WS_DLGFRAME);
    m_hWnd = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kWindowClass, nullptr, style, CW_USEDEFAULT, 0, 0,
                               0, hOwner, nullptr, RegisteredClass().hInstance, nullptr);
    m_hOwner = hOwner;
    m_bRedrawPending = false;
    m_dwLastOwnerSize = 0;
    if ((ownerStyle & WS_VISIBLE) == 0) {
        m_status = kActive;
    } else if ((ownerStyle & kZoomedOrIconic) != 0) {
        m_status = kActive | kOwnerShown;
    } else {
        m_status = kActive | kShown | kOwnerShown;
        ::ShowWindow(m_hWnd, SW_SHOWNA);
        UpdateShadow(hOwner);
    }

    // Someone else's shadow may hook this window already; its hook serves this shadow too then.
    const auto hook = reinterpret_cast<LONG_PTR>(&CShadowUI::OwnerWindowProc);
    OwnerEntry& entry = table[hOwner];
    if (::GetWindowLongPtrW(hOwner, GWLP_WNDPROC) != hook) {
        entry.previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hOwner, GWLP_WNDPROC, hook));
        if (entry.previous == nullptr) {
            table.erase(hOwner);
            m_hOwner = nullptr;
            return;
        }
    }
    m_pfnOwnerProc = entry.previous;
}

void CShadowUI::ForgetOwner()
{
    m_hWnd = nullptr;
    m_hOwner = nullptr;
    m_pfnOwnerProc = nullptr;
    m_status = 0;
    m_bRedrawPending = false;
}

LRESULT CALLBACK CShadowUI::OwnerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& table = OwnerTable();
    const auto it = table.find(hWnd);
    if (it == table.end()) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    const WNDPROC previous = it->second.previous;
    CShadowUI* shadow = it->second.shadow;
    if (message == WM_NCDESTROY) {
        // The owner's own procedure may delete the shadow's manager: nothing of the shadow is used after it.
        if (shadow) shadow->ForgetOwner();
        table.erase(it);
    } else if (shadow) {
        try {
            shadow->OnOwnerMessage(hWnd, message, wParam, lParam);
        } catch (...) {
            // The owner's message goes on to its own procedure whatever the shadow made of it.
        }
    }
    return ::CallWindowProcW(previous, hWnd, message, wParam, lParam);
}

void CShadowUI::OnOwnerMessage(HWND hOwner, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        if (m_hWnd) ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        m_status = 0;
        break;
    case WM_MOVE:
        if (m_status & kShown) {
            RECT rc{};
            ::GetWindowRect(hOwner, &rc);
            const POINT pt = PositionFor(rc);
            ::SetWindowPos(m_hWnd, nullptr, pt.x, pt.y, 0, 0, kMoveOnly);
        }
        break;
    case WM_SIZE:
        if ((m_status & kActive) == 0) break;
        if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
            ::ShowWindow(m_hWnd, SW_HIDE);
            m_status &= static_cast<BYTE>(~kShown);
            if (wParam == SIZE_MAXIMIZED) UpdateShadow(hOwner);  // brings the hidden window up to date
        } else if (m_status & kOwnerShown) {
            // A growing window is redrawn when it paints, so the shadow does not run ahead of it.
            const DWORD size = static_cast<DWORD>(lParam);
            if (LOWORD(size) > LOWORD(m_dwLastOwnerSize) || HIWORD(size) > HIWORD(m_dwLastOwnerSize))
                m_bRedrawPending = true;
            else
                UpdateShadow(hOwner);
            if ((m_status & kShown) == 0) {
                ::ShowWindow(m_hWnd, SW_SHOWNA);
                m_status |= kShown;
            }
        }
        m_dwLastOwnerSize = static_cast<DWORD>(lParam);
        break;
    case WM_PAINT:
        if (m_bRedrawPending) {
            UpdateShadow(hOwner);
            m_bRedrawPending = false;
        }
        break;
    case WM_SHOWWINDOW:
        if (wParam) {
            if ((m_status & kActive) && (m_status & kOwnerShown) == 0) {
                m_bRedrawPending = true;
                ::ShowWindow(m_hWnd, SW_SHOWNA);
                m_status |= kShown | kOwnerShown;
            }
        } else if (m_status & kActive) {
            ::ShowWindow(m_hWnd, SW_HIDE);
            m_status &= static_cast<BYTE>(~(kShown | kOwnerShown));
        }
        break;
    case WM_EXITSIZEMOVE:
        if (m_status & kShown) UpdateShadow(hOwner);
        break;
    default:
        break;
    }
}

// ---- drawing ----

POINT CShadowUI::PositionFor(const RECT& rcOwner) const
{
    if (m_bImageMode) return POINT{rcOwner.left - m_rcCorners.left, rcOwner.top - m_rcCorners.top};
    return POINT{rcOwner.left - m_nSize + m_nOffsetX, rcOwner.top - m_nSize + m_nOffsetY};
}

void CShadowUI::UpdateShadow(HWND hOwner) noexcept
{
    if (m_hWnd == nullptr) return;
    try {
        CShadowSurface& surface = m_surface;
        POINT pt{};
        if (!DrawShadow(hOwner, surface, pt)) return;
        const int width = surface.Width(), height = surface.Height();
        // Placing a window costs Wine about as much as a tenth of the update: skip it when nothing moves.
        RECT rcNow{};
        if (!::GetWindowRect(m_hWnd, &rcNow) || rcNow.left != pt.x || rcNow.top != pt.y ||
            rcNow.right - rcNow.left != width || rcNow.bottom - rcNow.top != height)
            ::MoveWindow(m_hWnd, pt.x, pt.y, width, height, FALSE);
        SIZE size{width, height};
        POINT origin{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::UpdateLayeredWindow(m_hWnd, nullptr, &pt, &size, surface.GetDC(), &origin, 0, &blend, ULW_ALPHA);
        ++m_nDrawCount;
    } catch (...) {
        // Without memory for the drawing the window keeps what it showed.
    }
}

bool CShadowUI::DrawShadow(HWND hOwner, CShadowSurface& surface, POINT& position)
{
    RECT rc{};
    if (!::GetWindowRect(hOwner, &rc)) return false;
    const long long w = static_cast<long long>(rc.right) - rc.left;
    const long long h = static_cast<long long>(rc.bottom) - rc.top;
    if (w < 0 || h < 0) return false;
    long long width = 0, height = 0;
    if (m_bImageMode) {
        if (m_strImage.empty()) return false;
        width = w + m_rcCorners.left + m_rcCorners.right;
        height = h + m_rcCorners.top + m_rcCorners.bottom;
    } else {
        width = w + 2LL * m_nSize;
        height = h + 2LL * m_nSize;
    }
    if (width <= 0 || height <= 0 || width > kMaxExtent || height > kMaxExtent) return false;
    if (!surface.Create(static_cast<int>(width), static_cast<int>(height))) return false;

    if (m_bImageMode) {
        if (m_pManager == nullptr) return false;
        const CachedImage* image = m_pManager->FindCachedImage(m_strImage);
        if (image == nullptr) {
            (void)m_pManager->LoadCachedImage(m_strImage, std::wstring(), 0);  // looked up again just below
            image = m_pManager->FindCachedImage(m_strImage);
        }
        if (image == nullptr || image->bits == nullptr) return false;
        PaintFrame(*image, m_rcCorners, surface);
    } else {
        ComputedShadowParams params;
        params.size = m_nSize;
        params.sharpness = m_nSharpness;
        params.darkness = m_nDarkness;
        params.offsetX = m_nOffsetX;
        params.offsetY = m_nOffsetY;
        params.color = m_dwColor;
        const int ow = static_cast<int>(w), oh = static_cast<int>(h);
        PaintComputed(OwnerOutline(hOwner, ow, oh), ow, oh, params, surface);
    }
    position = PositionFor(rc);
    return true;
}

void CShadowUI::PaintFrame(const CachedImage& image, const RECT& corners, CShadowSurface& surface)
{
    // Every piece lands on transparent pixels and no two overlap (the surface is the window plus the
    // corners), so blending a premultiplied piece over them is copying it.
    const LONG cl = corners.left, ct = corners.top, cr = corners.right, cb = corners.bottom;
    const LONG W = surface.Width(), H = surface.Height();
    const LONG sw = image.width, sh = image.height;
    const LONG midW = sw - cl - cr, midH = sh - ct - cb;
    if (cl > 0 && ct > 0) CopyPiece(image, surface, RECT{0, 0, cl, ct}, 0, 0, cl, ct);
    if (ct > 0) CopyPiece(image, surface, RECT{cl, 0, W - cr, ct}, cl, 0, midW, ct);
    if (cr > 0 && ct > 0) CopyPiece(image, surface, RECT{W - cr, 0, W, ct}, sw - cr, 0, cr, ct);
    if (cl > 0) CopyPiece(image, surface, RECT{0, ct, cl, H - cb}, 0, ct, cl, midH);
    if (cr > 0) CopyPiece(image, surface, RECT{W - cr, ct, W, H - cb}, sw - cr, ct, cr, midH);
    if (cl > 0 && cb > 0) CopyPiece(image, surface, RECT{0, H - cb, cl, H}, 0, sh - cb, cl, cb);
    if (cb > 0) CopyPiece(image, surface, RECT{cl, H - cb, W - cr, H}, cl, sh - cb, midW, cb);
    if (cr > 0 && cb > 0) CopyPiece(image, surface, RECT{W - cr, H - cb, W, H}, sw - cr, sh - cb, cr, cb);
}

std::vector<ShadowSpan> CShadowUI::OwnerOutline(HWND hOwner, int w, int h)
{
    // A row with no point of the region has the empty span (w, 0).
    std::vector<ShadowSpan> spans(static_cast<size_t>(std::max(h, 0)), ShadowSpan{w, 0});
    CUniqueRgn hRgn(::CreateRectRgn(0, 0, 0, 0));
    if (!hRgn) return spans;
    if (::GetWindowRgn(hOwner, hRgn.Get()) == ERROR) {
        // A window without a region of its own is its whole rectangle.
        for (auto& span : spans) span = ShadowSpan{0, w};
        return spans;
    }
    // The rectangles of the region give each row's first and last inside column without testing every point.
    const DWORD bytes = ::GetRegionData(hRgn.Get(), 0, nullptr);
    if (bytes < sizeof(RGNDATAHEADER)) return spans;
    std::vector<BYTE> buffer(bytes);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (::GetRegionData(hRgn.Get(), bytes, data) != bytes) return spans;
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    const DWORD count = std::min<DWORD>(data->rdh.nCount, (bytes - sizeof(RGNDATAHEADER)) / sizeof(RECT));
    for (DWORD i = 0; i < count; ++i) {
        const RECT& r = rects[i];
        const int left = std::max<LONG>(r.left, 0), right = std::min<LONG>(r.right, w);
        if (left >= right) continue;
        for (LONG y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, h); ++y) {
            ShadowSpan& span = spans[static_cast<size_t>(y)];
            span.start = std::min(span.start, left);
            span.end = std::max(span.end, right);
        }
    }
    return spans;
}

void CShadowUI::PaintComputed(const std::vector<ShadowSpan>& outline, int w, int h,
                              const ComputedShadowParams& params, CShadowSurface& surface)
{
    const int s = params.size, p = params.sharpness, d = params.darkness;
    const int ox = params.offsetX, oy = params.offsetY;
    const int W = surface.Width(), H = surface.Height();
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0 || static_cast<int>(outline.size()) < h) return;

    // Anchor spans in shadow columns: entry r + 1 belongs to shadow row r (for a negative size, to window
    // row r - size); the first and last entries stay empty.
    const int rows = std::max(H, h) + 2;
    std::vector<ShadowSpan> anchors(static_cast<size_t>(rows), ShadowSpan{w, 0});
    for (int j = 0; j < h; ++j) {
        const ShadowSpan& o = outline[static_cast<size_t>(j)];
        anchors[static_cast<size_t>((s > 0 ? s : 0) + j + 1)] = ShadowSpan{o.start + s, o.end + s};
    }
    const auto entryOf = [s](int y) { return static_cast<size_t>(s >= 0 ? y + 1 : y - s + 1); };

    // Erosion: a softer edge than the shadow is wide eats into the shape, so the blur stays inside it.
    if (p > s) {
        std::vector<ShadowSpan> next(anchors);
        for (int pass = 0; pass < p - s; ++pass) {
            for (size_t e = 1; e + 1 < anchors.size(); ++e) {
                next[e].start = std::max({anchors[e - 1].start, anchors[e].start, anchors[e + 1].start}) + 1;
                next[e].end = std::min({anchors[e - 1].end, anchors[e].end, anchors[e + 1].end}) - 1;
            }
            anchors.swap(next);
        }
    }

    // The kernel: full darkness inside the core, falling off linearly over the soft edge.
    const int K = std::max(s, p);
    const int K0 = s > p ? s - p : 0;
    const int side = 2 * K + 1;
    std::vector<DWORD> kernel(static_cast<size_t>(side) * static_cast<size_t>(side), 0);
    for (int dy = -K; dy <= K; ++dy) {
        for (int dx = -K; dx <= K; ++dx) {
            const int squared = dx * dx + dy * dy;
            DWORD value = 0;
            if (squared < K0 * K0) {
                value = Premultiplied(params.color, static_cast<DWORD>(d));
            } else if (squared <= K * K) {
                const double L = std::sqrt(static_cast<double>(squared));
                // The small allowance keeps exact quotients such as 5/6 from truncating one too low.
                const double a = (1.0 - (L - K0) / (p + 1)) * d + 1e-9;
                value = Premultiplied(params.color, static_cast<DWORD>(std::max(0.0, std::floor(a))));
            }
            kernel[static_cast<size_t>((dy + K) * side + dx + K)] = value;
        }
    }
    const auto stamp = [&](int cx, int cy) {
        for (int dy = -K; dy <= K; ++dy) {
            const int y = cy + dy;
            if (y < 0 || y >= H) continue;
            DWORD* row = surface.Row(y);
            const DWORD* k = &kernel[static_cast<size_t>((dy + K) * side)];
            for (int dx = -K; dx <= K; ++dx) {
                const int x = cx + dx;
                if (x >= 0 && x < W && k[dx + K] > row[x]) row[x] = k[dx + K];
            }
        }
    };

    // Soft edge: the kernel along the boundary of the anchor shape, where a row differs from its neighbours.
    for (int y = K; y <= H - K - 1; ++y) {
        const size_t e = entryOf(y);
        const ShadowSpan span = anchors[e];
        if (span.start >= span.end) continue;
        const ShadowSpan above = anchors[e - 1], below = anchors[e + 1];
        int x = span.start;
        for (const int stop = std::min(std::max(above.start, below.start) + 1, span.end); x < stop; ++x) stamp(x, y);
        for (x = std::max(x, std::min(above.end, below.end) - 1); x < span.end; ++x) stamp(x, y);
    }

    // Core and cut-out: full darkness over the anchor shape, cleared where the window itself lies.
    const DWORD full = Premultiplied(params.color, static_cast<DWORD>(d));
    const auto fill = [&](DWORD* row, int from, int to, DWORD value) {
        for (int x = std::max(from, 0); x < std::min(to, W); ++x) row[x] = value;
    };
    const int yBegin = std::max(std::min(K, std::max(s - oy, 0)), 0);
    const int yEnd = std::min(std::max(H - K, std::min(h + s - oy, h + 2 * s)), H);
    for (int y = yBegin; y < yEnd; ++y) {
        const ShadowSpan span = anchors[entryOf(y)];
        DWORD* row = surface.Row(y);
        const int v = y + oy - s;
        if (v < 0 || v >= h) {
            fill(row, span.start, span.end, full);
            continue;
        }
        const ShadowSpan o = outline[static_cast<size_t>(v)];
        fill(row, span.start, std::min(o.start + s - ox, span.end), full);
        fill(row, o.start + s - ox, o.end + s - ox, 0);
        fill(row, std::max(o.end + s - ox, span.start), span.end, full);
    }
}

}  // namespace SkinUI
