// Drawing skin images through the nine-part grid, colours, gradients, lines and text.
#include "UIRender.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <climits>
#include <cwchar>

namespace SkinUI {
namespace {

// The blend operations live in msimg32; looked up once so that a system without them still paints the rest.
struct BlendApi {
    decltype(&::AlphaBlend) alphaBlend = nullptr;
    decltype(&::GradientFill) gradientFill = nullptr;
};

const BlendApi& Api()
{
    static const BlendApi api = [] {
        BlendApi result;
        if (HMODULE hModule = ::LoadLibraryW(L"msimg32.dll")) {
            using AnyFn = void (*)();
            result.alphaBlend = reinterpret_cast<decltype(&::AlphaBlend)>(
                reinterpret_cast<AnyFn>(::GetProcAddress(hModule, "AlphaBlend")));
            result.gradientFill = reinterpret_cast<decltype(&::GradientFill)>(
                reinterpret_cast<AnyFn>(::GetProcAddress(hModule, "GradientFill")));
        }
        return result;
    }();
    return api;
}

// Keeps rectangle arithmetic (sums of a few coordinates and corner sizes) far from integer overflow.
constexpr LONG kCoordLimit = 0x1FFFFFFF;
constexpr LONG kCornerLimit = 0x100000;

LONG ClampCoord(LONG v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }
LONG ClampCoord(long long v) { return static_cast<LONG>(std::clamp<long long>(v, -kCoordLimit, kCoordLimit)); }

RECT ClampRect(const RECT& rc)
{
    return RECT{ClampCoord(rc.left), ClampCoord(rc.top), ClampCoord(rc.right), ClampCoord(rc.bottom)};
}

bool Overlaps(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool IsZero(const RECT& rc) { return rc.left == 0 && rc.top == 0 && rc.right == 0 && rc.bottom == 0; }

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

// Reads "l,t,r,b": each number is followed by one separator character of any kind.
RECT ParseFour(const std::wstring& value)
{
    LONG v[4] = {0, 0, 0, 0};
    const wchar_t* p = value.c_str();
    for (LONG& n : v) {
        wchar_t* end = nullptr;
        n = std::wcstol(p, &end, 10);
        p = end;
        if (*p) ++p;
    }
    return RECT{v[0], v[1], v[2], v[3]};
}

// Draws pieces of one source bitmap: blended, copied 1:1 or stretched.
class CPieceDrawer {
public:
    CPieceDrawer(HDC hDC, HDC hSrc, const RECT& paint, bool blend, BYTE fade)
        : m_hDC(hDC), m_hSrc(hSrc), m_paint(paint), m_blend(blend)
    {
        m_bf = BLENDFUNCTION{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
    }

    void Draw(const RECT& dst, LONG sx, LONG sy, LONG sw, LONG sh) const
    {
        const LONG dw = dst.right - dst.left, dh = dst.bottom - dst.top;
        if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || !Overlaps(dst, m_paint)) return;
        if (m_blend)
            Api().alphaBlend(m_hDC, dst.left, dst.top, dw, dh, m_hSrc, sx, sy, sw, sh, m_bf);
        else if (dw == sw && dh == sh)
            ::BitBlt(m_hDC, dst.left, dst.top, dw, dh, m_hSrc, sx, sy, SRCCOPY);
        else
            ::StretchBlt(m_hDC, dst.left, dst.top, dw, dh, m_hSrc, sx, sy, sw, sh, SRCCOPY);
    }

private:
    HDC m_hDC;
    HDC m_hSrc;
    RECT m_paint;
    bool m_blend;
    BLENDFUNCTION m_bf;
};

// Index of the first tile (of size step, laid from origin) that can reach visibleStart.
long long FirstTile(LONG origin, LONG step, LONG visibleStart)
{
    return visibleStart > origin ? (static_cast<long long>(visibleStart) - origin) / step : 0;
}

void DrawMiddle(const CPieceDrawer& drawer, const RECT& m, const RECT& paint, LONG sl, LONG st, LONG sw, LONG sh,
                bool xTiled, bool yTiled)
{
    if (sw <= 0 || sh <= 0 || m.right <= m.left || m.bottom <= m.top || !Overlaps(m, paint)) return;
    if (!xTiled && !yTiled) {
        drawer.Draw(m, sl, st, sw, sh);
        return;
    }
    // Tiles outside the paint rectangle are never visited, so a 1-pixel source over a wide area stays cheap.
    const LONG stepX = xTiled ? sw : m.right - m.left;
    const LONG stepY = yTiled ? sh : m.bottom - m.top;
    for (long long y = m.top + FirstTile(m.top, stepY, paint.top) * stepY; y < m.bottom && y < paint.bottom;
         y += stepY) {
        const LONG top = static_cast<LONG>(y);
        const LONG bottom = static_cast<LONG>(std::min<long long>(y + stepY, m.bottom));
        const LONG srcH = yTiled ? bottom - top : sh;
        for (long long x = m.left + FirstTile(m.left, stepX, paint.left) * stepX; x < m.right && x < paint.right;
             x += stepX) {
            const LONG left = static_cast<LONG>(x);
            const LONG right = static_cast<LONG>(std::min<long long>(x + stepX, m.right));
            const LONG srcW = xTiled ? right - left : sw;
            drawer.Draw(RECT{left, top, right, bottom}, sl, st, srcW, srcH);
        }
    }
}

// Hexadecimal digits after an optional "#", saturating at 0xFFFFFFFF.
DWORD ParseHex(const wchar_t* text)
{
    if (!text) return 0;
    if (*text == L'#') ++text;
    unsigned long long value = 0;
    for (;; ++text) {
        unsigned digit;
        if (*text >= L'0' && *text <= L'9')
            digit = *text - L'0';
        else if (*text >= L'a' && *text <= L'f')
            digit = *text - L'a' + 10;
        else if (*text >= L'A' && *text <= L'F')
            digit = *text - L'A' + 10;
        else
            break;
        value = std::min<unsigned long long>(value * 16 + digit, 0xFFFFFFFFull);
    }
    return static_cast<DWORD>(value);
}

}  // namespace

DWORD CRenderKit::ParseColor(const wchar_t* text) { return ParseHex(text); }

void CRenderKit::ParseImageSpec(const std::wstring& text, const RECT& item, ImageSpecState& state,
                                const std::function<void(const ImageSpecState&)>& drawCollected)
{
    const wchar_t* p = text.c_str();
    for (;;) {
        while (*p > 0 && *p <= L' ') ++p;
        const wchar_t* key = p;
        while (*p > L' ' && *p != L'=') ++p;
        const std::wstring name(key, p);
        while (*p > 0 && *p <= L' ') ++p;
        if (*p != L'=') return;
        ++p;
        while (*p > 0 && *p <= L' ') ++p;
        if (*p != L'\'') return;
        const wchar_t* start = ++p;
        while (*p && *p != L'\'') ++p;
        if (!*p) return;
        const std::wstring value(start, p);
        ++p;

        if (!value.empty()) {
            if (name == L"file" || name == L"res") {
                if (state.imageCount > 0 && drawCollected) drawCollected(state);
                state.name = value;
                if (name == L"file") ++state.imageCount;
            } else if (name == L"restype") {
                if (state.imageCount > 0 && drawCollected) drawCollected(state);
                state.resourceType = value;
                ++state.imageCount;
            } else if (name == L"dest") {
                const RECT d = ParseFour(value);
                state.dest.left = ClampCoord(static_cast<long long>(item.left) + d.left);
                state.dest.top = ClampCoord(static_cast<long long>(item.top) + d.top);
                state.dest.right = ClampCoord(std::min<long long>(static_cast<long long>(item.left) + d.right, item.right));
                state.dest.bottom =
                    ClampCoord(std::min<long long>(static_cast<long long>(item.top) + d.bottom, item.bottom));
            } else if (name == L"source") {
                state.source = ParseFour(value);
            } else if (name == L"corner") {
                state.corners = ParseFour(value);
            } else if (name == L"mask") {
                state.mask = ParseHex(value.c_str());
            } else if (name == L"fade") {
                state.fade = static_cast<BYTE>(std::wcstol(value.c_str(), nullptr, 10) & 0xFF);
            } else if (name == L"hole") {
                state.hole = value == L"true";
            } else if (name == L"xtiled") {
                state.xTiled = value == L"true";
            } else if (name == L"ytiled") {
                state.yTiled = value == L"true";
            }
        }
        // Pairs are separated by exactly one space character; anything else ends the text.
        if (*p != L' ' || p[1] == 0) return;
        ++p;
    }
}

bool CRenderKit::RenderImageSpec(HDC hDC, IRenderHost* host, const RECT& item, const RECT& paint,
                                 const std::wstring& imageSpec, const std::wstring& modifier)
{
    if (!hDC || !host) return false;
    ImageSpecState state;
    state.name = imageSpec;
    state.dest = item;
    auto draw = [&](const ImageSpecState& s) {
        (void)RenderImage(hDC, host, item, paint, s.name, s.resourceType, s.dest, s.source, s.corners, s.mask, s.fade,
                          s.hole, s.xTiled, s.yTiled);  // a missing image paints nothing; the next layer goes on
    };
    ParseImageSpec(imageSpec, item, state, draw);
    if (!modifier.empty()) ParseImageSpec(modifier, item, state, draw);
    draw(state);
    return true;
}

namespace {

// The part of the image a source rectangle names: all of it when none is named, cut at its right and bottom.
RECT SourceWithin(const CachedImage& image, RECT source)
{
    if (IsZero(source)) source = RECT{0, 0, image.width, image.height};
    source.right = std::min<LONG>(source.right, image.width);
    source.bottom = std::min<LONG>(source.bottom, image.height);
    return source;
}

// Every image a description draws, each with the state it is drawn with, as RenderImageSpec collects them.
void ForEachImage(const std::wstring& imageSpec, const RECT& item,
                  const std::function<void(const ImageSpecState&)>& fn)
{
    ImageSpecState state;
    state.name = imageSpec;
    state.dest = item;
    CRenderKit::ParseImageSpec(imageSpec, item, state, fn);
    fn(state);
}

// Mirrors what RenderImage and BlitImage draw for one collected image, for the opaque cases only.
bool StateCovers(IRenderHost* host, const RECT& item, const RECT& rc, const ImageSpecState& s)
{
    if (s.name.empty() || s.fade != 255 || s.hole || !IsZero(s.corners)) return false;
    const CachedImage* image = host->FindCachedImage(s.name);
    if (image == nullptr || !image->bitmap || image->hasAlpha) return false;
    const RECT source = SourceWithin(*image, s.source);
    if (source.left < 0 || source.top < 0 || source.right <= source.left || source.bottom <= source.top) return false;
    const RECT dest = ClampRect(s.dest);
    return RectHolds(dest, rc) && RectHolds(item, rc);
}

}  // namespace

HDC CRenderKit::KeptSourceDC(const CachedImage& image)
{
    if (!image.sourceDC) {
        CMemDC hDC(::CreateCompatibleDC(nullptr));
        // A bitmap held by another DC cannot be selected; the blit then makes its own attempt.
        if (!hDC || ::SelectObject(hDC.Get(), image.bitmap.Get()) == nullptr) return nullptr;
        image.sourceDC = std::move(hDC);
    }
    return image.sourceDC.Get();
}

bool CRenderKit::ImageSpecUnscaled(IRenderHost* host, const RECT& item, const std::wstring& imageSpec)
{
    if (!host || imageSpec.empty()) return false;
    bool unscaled = true;
    ForEachImage(imageSpec, item, [&](const ImageSpecState& s) {
        if (s.name.empty()) return;
        const CachedImage* image = host->FindCachedImage(s.name);
        if (image == nullptr || !IsZero(s.corners) || s.xTiled || s.yTiled) {
            unscaled = false;
            return;
        }
        const RECT source = SourceWithin(*image, s.source);
        const RECT dest = ClampRect(s.dest);
        if (dest.right - dest.left != source.right - source.left || dest.bottom - dest.top != source.bottom - source.top)
            unscaled = false;
    });
    return unscaled;
}

bool CRenderKit::ImageSpecCovers(IRenderHost* host, const RECT& item, const RECT& rc, const std::wstring& imageSpec)
{
    if (!host || imageSpec.empty() || host->IsPerPixelTransparent() || rc.right <= rc.left || rc.bottom <= rc.top)
        return false;
    bool covers = false;
    // Layers are drawn in order, so one opaque layer over all of rc is enough.
    ForEachImage(imageSpec, item,
                 [&](const ImageSpecState& collected) { covers = covers || StateCovers(host, item, rc, collected); });
    return covers;
}

bool CRenderKit::RenderImage(HDC hDC, IRenderHost* host, const RECT& item, const RECT& paint, const std::wstring& name,
                             const std::wstring& resourceType, RECT dest, RECT source, const RECT& corners, DWORD mask,
                             BYTE fade, bool hole, bool xTiled, bool yTiled)
{
    if (name.empty() || !host) return false;
    const CachedImage* image = host->FindCachedImage(name);
    if (!image) {
        (void)host->LoadCachedImage(name, resourceType, mask);
        image = host->FindCachedImage(name);
    }
    if (!image) return false;
    source = SourceWithin(*image, source);
    if (Overlaps(dest, item) && Overlaps(dest, paint)) {
        const bool blend = host->IsPerPixelTransparent() || image->hasAlpha;
        const bool keeps = host->KeepsImageSourceDCs();
        if (!(blend && keeps && !xTiled && !yTiled && BlitGrid(hDC, *image, dest, paint, source, corners, fade, hole)))
            BlitImage(hDC, image->bitmap.Get(), dest, paint, source, corners, blend, fade, hole, xTiled, yTiled,
                      keeps ? KeptSourceDC(*image) : nullptr);
    }
    return true;
}

bool CRenderKit::BlitGrid(HDC hDC, const CachedImage& image, const RECT& destIn, const RECT& paintIn,
                          const RECT& source, const RECT& corners, BYTE fade, bool hole)
{
    constexpr long long kMaxPixels = 64 * 1024;  // 256 KB: bars, frames and buttons, not whole windows
    if (corners.left <= 0 && corners.top <= 0 && corners.right <= 0 && corners.bottom <= 0) return false;
    if (!hDC || fade == 0 || !Api().alphaBlend) return false;
    const RECT d = ClampRect(destIn), p = ClampRect(paintIn);
    const LONG w = d.right - d.left, h = d.bottom - d.top;
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > kMaxPixels) return false;

    GridComposite::Key key;
    key.width = w;
    key.height = h;
    key.source = source;
    key.corners = corners;
    key.hole = hole;
    if (!image.grid) image.grid = std::make_unique<GridComposite>();
    GridComposite& grid = *image.grid;
    if (!(grid.made && grid.key == key)) {
        const bool again = grid.key == key;
        grid.key = key;
        grid.made = false;
        if (!again) return false;
        grid.dc.Reset();
        grid.bitmap.Reset();
        void* bits = nullptr;  // a new section is all zero: transparent
        grid.bitmap = CreateDib32(nullptr, w, h, &bits);
        grid.dc.Put(::CreateCompatibleDC(hDC));
        if (!grid.bitmap || !grid.dc || ::SelectObject(grid.dc.Get(), grid.bitmap.Get()) == nullptr) {
            grid.dc.Reset();
            grid.bitmap.Reset();
            return false;
        }
        const RECT whole{0, 0, w, h};
        BlitImage(grid.dc.Get(), image.bitmap.Get(), whole, whole, source, corners, true, 255, hole, false, false,
                  KeptSourceDC(image));
        grid.made = true;
    }
    RECT v;
    if (!::IntersectRect(&v, &d, &p)) return true;
    const BLENDFUNCTION bf{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
    Api().alphaBlend(hDC, v.left, v.top, v.right - v.left, v.bottom - v.top, grid.dc.Get(), v.left - d.left,
                     v.top - d.top, v.right - v.left, v.bottom - v.top, bf);
    return true;
}

void CRenderKit::BlitImage(HDC hDC, HBITMAP hBitmap, const RECT& destIn, const RECT& paintIn, const RECT& sourceIn,
                           const RECT& cornersIn, bool blend, BYTE fade, bool hole, bool xTiled, bool yTiled,
                           HDC hSourceDC)
{
    if (!hDC || !hBitmap) return;
    const bool useBlend = blend || fade < 255;
    if (useBlend && (fade == 0 || !Api().alphaBlend)) return;  // fully faded: nothing would show
    const RECT d = ClampRect(destIn), p = ClampRect(paintIn), s = ClampRect(sourceIn);
    const LONG cl = std::clamp<LONG>(cornersIn.left, 0, kCornerLimit);
    const LONG ct = std::clamp<LONG>(cornersIn.top, 0, kCornerLimit);
    const LONG cr = std::clamp<LONG>(cornersIn.right, 0, kCornerLimit);
    const LONG cb = std::clamp<LONG>(cornersIn.bottom, 0, kCornerLimit);
    const LONG sw = s.right - s.left, sh = s.bottom - s.top;

    // Creating a device context, and selecting a bitmap in and out of one, cost more than many small blits:
    // a DC that already holds the bitmap is used as it is.
    CMemDC hOwnDC;
    if (!hSourceDC) {
        hOwnDC.Put(::CreateCompatibleDC(hDC));
        if (!hOwnDC) return;
        hSourceDC = hOwnDC.Get();
    }
    const bool held = ::GetCurrentObject(hSourceDC, OBJ_BITMAP) == hBitmap;
    CSelectObject selected(hSourceDC, held ? nullptr : hBitmap);
    // A bitmap another DC holds cannot be selected: drawing from the empty DC would paint garbage.
    if (!held && ::GetCurrentObject(hSourceDC, OBJ_BITMAP) != hBitmap) return;

    // An untransformed opaque image copies only its visible part.
    if (!useBlend && d.right - d.left == sw && d.bottom - d.top == sh && cl == 0 && ct == 0 && cr == 0 && cb == 0) {
        RECT v;
        if (::IntersectRect(&v, &d, &p))
            ::BitBlt(hDC, v.left, v.top, v.right - v.left, v.bottom - v.top, hSourceDC, s.left + v.left - d.left,
                     s.top + v.top - d.top, SRCCOPY);
        return;
    }

    const int oldMode = ::SetStretchBltMode(hDC, HALFTONE);
    POINT oldOrigin{};
    ::SetBrushOrgEx(hDC, 0, 0, &oldOrigin);
    const CPieceDrawer drawer(hDC, hSourceDC, p, useBlend, fade);

    if (!hole) {
        const RECT m{d.left + cl, d.top + ct, d.right - cr, d.bottom - cb};
        DrawMiddle(drawer, m, p, s.left + cl, s.top + ct, sw - cl - cr, sh - ct - cb, xTiled, yTiled);
    }
    const LONG midSw = sw - cl - cr, midSh = sh - ct - cb;
    if (cl > 0 && ct > 0) drawer.Draw(RECT{d.left, d.top, d.left + cl, d.top + ct}, s.left, s.top, cl, ct);
    if (ct > 0) drawer.Draw(RECT{d.left + cl, d.top, d.right - cr, d.top + ct}, s.left + cl, s.top, midSw, ct);
    if (cr > 0 && ct > 0) drawer.Draw(RECT{d.right - cr, d.top, d.right, d.top + ct}, s.right - cr, s.top, cr, ct);
    if (cl > 0) drawer.Draw(RECT{d.left, d.top + ct, d.left + cl, d.bottom - cb}, s.left, s.top + ct, cl, midSh);
    if (cr > 0)
        drawer.Draw(RECT{d.right - cr, d.top + ct, d.right, d.bottom - cb}, s.right - cr, s.top + ct, cr, midSh);
    if (cl > 0 && cb > 0) drawer.Draw(RECT{d.left, d.bottom - cb, d.left + cl, d.bottom}, s.left, s.bottom - cb, cl, cb);
    if (cb > 0)
        drawer.Draw(RECT{d.left + cl, d.bottom - cb, d.right - cr, d.bottom}, s.left + cl, s.bottom - cb, midSw, cb);
    if (cr > 0 && cb > 0)
        drawer.Draw(RECT{d.right - cr, d.bottom - cb, d.right, d.bottom}, s.right - cr, s.bottom - cb, cr, cb);

    ::SetBrushOrgEx(hDC, oldOrigin.x, oldOrigin.y, nullptr);
    ::SetStretchBltMode(hDC, oldMode);
}

void CRenderKit::FillColor(HDC hDC, const RECT& rc, DWORD color)
{
    const BYTE alpha = static_cast<BYTE>(color >> 24);
    if (!hDC || alpha == 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
    if (alpha == 255) {
        CUniqueBrush hBrush(::CreateSolidBrush(ToColorRef(color)));
        ::FillRect(hDC, &rc, hBrush.Get());
        return;
    }
    if (!Api().alphaBlend) return;
    // One pixel of the colour, stretched over the rectangle with the colour's alpha as constant opacity.
    void* bits = nullptr;
    CUniqueBitmap hBitmap = CreateDib32(hDC, 1, 1, &bits);
    CMemDC hMemDC(::CreateCompatibleDC(hDC));
    if (!hBitmap || !bits || !hMemDC) return;
    *static_cast<DWORD*>(bits) = 0xFF000000u | (color & 0x00FFFFFFu);
    CSelectObject selected(hMemDC.Get(), hBitmap.Get());
    Api().alphaBlend(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hMemDC.Get(), 0, 0, 1, 1,
                     BLENDFUNCTION{AC_SRC_OVER, 0, alpha, 0});
}

void CRenderKit::FillGradientBands(HDC hDC, const RECT& rc, DWORD first, DWORD second, int bands)
{
    if (!hDC) return;
    const int n = bands < 16 ? 8 : 16;
    const long long height = static_cast<long long>(rc.bottom) - rc.top;
    if (height <= 0 || rc.right <= rc.left) return;
    for (int i = 0; i < n; ++i) {
        const LONG bottom = static_cast<LONG>(rc.bottom - height * i / n);
        const LONG top = static_cast<LONG>(rc.bottom - height * (i + 1) / n);
        if (top >= bottom) continue;
        auto mix = [&](int shift) {
            const DWORD a = (first >> shift) & 0xFF, b = (second >> shift) & 0xFF;
            return static_cast<BYTE>((i * a + (n - i) * b) / n);
        };
        CUniqueBrush hBrush(::CreateSolidBrush(RGB(mix(16), mix(8), mix(0))));
        const RECT band{rc.left, top, rc.right, bottom};
        ::FillRect(hDC, &band, hBrush.Get());
    }
}

void CRenderKit::FillGradient(HDC hDC, const RECT& rc, DWORD first, DWORD second, int bands)
{
    const DWORD opacity = ((first >> 24) + (second >> 24)) >> 1;
    if (!hDC || opacity == 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
    auto paint = [&](HDC hTarget, const RECT& area) {
        if (!Api().gradientFill) {
            FillGradientBands(hTarget, area, first, second, bands);
            return;
        }
        auto channel = [](DWORD c, int shift) { return static_cast<COLOR16>(((c >> shift) & 0xFF) << 8); };
        TRIVERTEX v[2] = {
            {area.left, area.top, channel(first, 16), channel(first, 8), channel(first, 0), 0xFF00},
            {area.right, area.bottom, channel(second, 16), channel(second, 8), channel(second, 0), 0xFF00},
        };
        GRADIENT_RECT r{0, 1};
        Api().gradientFill(hTarget, v, 2, &r, 1, GRADIENT_FILL_RECT_V);
    };
    if (opacity >= 255) {
        paint(hDC, rc);
        return;
    }
    if (!Api().alphaBlend) return;
    const LONG w = rc.right - rc.left, h = rc.bottom - rc.top;
    void* bits = nullptr;
    CUniqueBitmap hBitmap = CRenderKit::CreateDib32(hDC, w, h, &bits);
    CMemDC hMemDC(::CreateCompatibleDC(hDC));
    if (!hBitmap || !hMemDC) return;
    CSelectObject selected(hMemDC.Get(), hBitmap.Get());
    paint(hMemDC.Get(), RECT{0, 0, w, h});
    Api().alphaBlend(hDC, rc.left, rc.top, w, h, hMemDC.Get(), 0, 0, w, h,
                     BLENDFUNCTION{AC_SRC_OVER, 0, static_cast<BYTE>(opacity), 0});
}

void CRenderKit::RenderLine(HDC hDC, const RECT& rc, int width, DWORD color, int penStyle)
{
    if (!hDC) return;
    CUniquePen hPen(::CreatePen(penStyle, width, ToColorRef(color)));
    CSelectObject selected(hDC, hPen.Get());
    POINT old{};
    ::MoveToEx(hDC, rc.left, rc.top, &old);
    ::LineTo(hDC, rc.right, rc.bottom);
    ::MoveToEx(hDC, old.x, old.y, nullptr);
}

namespace {

// Antialiased text through GDI+ (started by the window manager); false when GDI+ cannot draw here.
bool RenderTextPlus(HDC hDC, HFONT hFont, RECT& rc, const std::wstring& text, DWORD color, UINT style)
{
    Gdiplus::Graphics graphics(hDC);
    if (graphics.GetLastStatus() != Gdiplus::Ok) return false;
    Gdiplus::Font font(hDC, hFont);
    if (font.GetLastStatus() != Gdiplus::Ok) return false;
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);

    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    INT flags = format.GetFormatFlags() & ~(Gdiplus::StringFormatFlagsNoClip | Gdiplus::StringFormatFlagsNoWrap);
    if (style & DT_NOCLIP) flags |= Gdiplus::StringFormatFlagsNoClip;
    if (style & DT_SINGLELINE) flags |= Gdiplus::StringFormatFlagsNoWrap;
    format.SetFormatFlags(flags);
    if (style & DT_END_ELLIPSIS) format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    format.SetAlignment((style & DT_CENTER)  ? Gdiplus::StringAlignmentCenter
                        : (style & DT_RIGHT) ? Gdiplus::StringAlignmentFar
                                             : Gdiplus::StringAlignmentNear);
    format.SetLineAlignment((style & DT_VCENTER)  ? Gdiplus::StringAlignmentCenter
                            : (style & DT_BOTTOM) ? Gdiplus::StringAlignmentFar
                                                  : Gdiplus::StringAlignmentNear);
    const INT length = static_cast<INT>(std::min<size_t>(text.size(), INT_MAX));
    const Gdiplus::REAL width = static_cast<Gdiplus::REAL>(rc.right - rc.left);
    const Gdiplus::REAL height = static_cast<Gdiplus::REAL>(rc.bottom - rc.top);

    if (style & DT_CALCRECT) {
        const bool wraps = !(style & DT_SINGLELINE) && width > 0;
        const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rc.left), static_cast<Gdiplus::REAL>(rc.top),
                                    wraps ? width : 100000.0f, 100000.0f);
        Gdiplus::RectF bounds;
        if (graphics.MeasureString(text.c_str(), length, &font, layout, &format, &bounds) != Gdiplus::Ok) return false;
        rc.right = rc.left + static_cast<LONG>(bounds.Width) + 1;
        rc.bottom = rc.top + static_cast<LONG>(bounds.Height) + 1;
        return true;
    }
    const Gdiplus::SolidBrush brush(
        Gdiplus::Color(0xFE, (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
    const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rc.left), static_cast<Gdiplus::REAL>(rc.top), width,
                                height);
    return graphics.DrawString(text.c_str(), length, &font, layout, &format, &brush) == Gdiplus::Ok;
}

}  // namespace

void CRenderKit::RenderText(HDC hDC, IRenderHost* host, RECT& rc, const std::wstring& text, DWORD color, int font,
                            UINT style)
{
    if (!hDC || !host) return;
    HFONT hFont = host->FontAt(font);
    if (!hFont) hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if ((host->IsPerPixelTransparent() || host->IsAntialiasedText()) &&
        RenderTextPlus(hDC, hFont, rc, text, color, style))
        return;
    const bool keep = host->KeepsFontSelected(hDC, hFont);
    if (keep && ::GetCurrentObject(hDC, OBJ_FONT) != hFont) ::SelectObject(hDC, hFont);
    CSelectObject selected(hDC, keep ? nullptr : hFont);
    const int oldMode = ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(hDC, ToColorRef(color));
    ::DrawTextW(hDC, text.c_str(), static_cast<int>(std::min<size_t>(text.size(), INT_MAX)), &rc,
                style | DT_NOPREFIX);
    ::SetTextColor(hDC, oldColor);
    ::SetBkMode(hDC, oldMode);
}

}  // namespace SkinUI
