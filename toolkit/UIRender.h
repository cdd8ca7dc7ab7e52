// Decoding skin images and drawing them, colours, gradients, lines and text onto a device context.
#pragma once

#include "UIHandle.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace SkinUI {

// Whether inner lies wholly within outer.
inline bool RectHolds(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// A blended nine-part grid of one image drawn once at one size onto transparent pixels: a window draws the
// same grid at the same size paint after paint, and Wine charges each of the nine blends a fixed cost that
// one blend of the finished grid pays once. The parts never overlap, so blending the finished grid gives
// the same pixels as blending its parts one by one.
struct GridComposite {
    struct Key {
        LONG width = 0, height = 0;
        RECT source{}, corners{};
        bool hole = false;
        bool operator==(const Key& o) const
        {
            return width == o.width && height == o.height && ::EqualRect(&source, &o.source) &&
                   ::EqualRect(&corners, &o.corners) && hole == o.hole;
        }
    };
    Key key;           // the grid asked for last
    bool made = false; // bitmap holds the grid of key
    CUniqueBitmap bitmap;
    CMemDC dc;  // holds bitmap; declared after it, so it goes first
};

// One decoded image: a top-down 32-bit DIB section, bytes B, G, R, A, colours premultiplied by alpha.
struct CachedImage {
    CUniqueBitmap bitmap;
    // A memory DC holding bitmap, made by the first blit for a host that keeps them: selecting a bitmap in
    // and out of a DC costs Wine more than a small blit. Declared after bitmap, so it goes first.
    mutable CMemDC sourceDC;
    // Made for a host that keeps source DCs, when the same grid is asked for twice in a row (a grid whose
    // size changes on every paint, like a progress fill, is never worth it).
    mutable std::unique_ptr<GridComposite> grid;
    const BYTE* bits = nullptr;  // pixels of the DIB section, width * height * 4 bytes
    int width = 0;
    int height = 0;
    bool hasAlpha = false;      // some pixel was not opaque or was cleared by the mask colour
    std::wstring resourceType;  // empty for files
    DWORD mask = 0;             // colour key it was loaded with (0xAARRGGBB)
};

// The images of one window manager, by exact name. The first load of a name fixes its mask and type.
class CImageCache {
public:
    const CachedImage* Find(const std::wstring& name) const;
    // Decodes and inserts; when the name is already present the entry stays as it was. Null on failure
    // (failures are not remembered, so the next paint tries again).
    const CachedImage* Load(const std::wstring& name, const std::wstring& resourceType, DWORD mask);
    void Clear() { m_images.clear(); }
    size_t Size() const { return m_images.size(); }

private:
    std::map<std::wstring, std::unique_ptr<CachedImage>> m_images;
};

// What drawing needs from the window manager that owns the surface.
class IRenderHost {
public:
    virtual const CachedImage* FindCachedImage(const std::wstring& name) = 0;
    virtual const CachedImage* LoadCachedImage(const std::wstring& name, const std::wstring& resourceType,
                                               DWORD mask) = 0;
    // The font of the window's font table; an index outside it gives the default font.
    virtual HFONT FontAt(int index) = 0;
    // Per-pixel transparent window ("bktrans"): images always blend, text is drawn antialiased.
    virtual bool IsPerPixelTransparent() const = 0;
    // "gdiplustext": antialiased text.
    virtual bool IsAntialiasedText() const = 0;
    // Each image keeps a memory DC with its bitmap selected for as long as it is cached; otherwise every
    // blit makes a DC and selects the bitmap into it for the time of the blit.
    virtual bool KeepsImageSourceDCs() const { return false; }
    // True when hDC is the host's own drawing surface and hFont the host's own font: text may leave the
    // font selected there (the host deselects it before freeing either), since each selection costs
    // Wine several microseconds.
    virtual bool KeepsFontSelected(HDC, HFONT) const { return false; }

protected:
    ~IRenderHost() = default;
};

// The running state of an image specification: what the next drawn image uses.
struct ImageSpecState {
    std::wstring name;
    std::wstring resourceType;
    RECT dest{};
    RECT source{};
    RECT corners{};
    DWORD mask = 0;
    BYTE fade = 255;
    bool hole = false;
    bool xTiled = false;
    bool yTiled = false;
    int imageCount = 0;
};

// Stateless drawing operations used by every control.
class CRenderKit {
public:
    // Images larger than this many pixels are refused before anything is allocated for them.
    static constexpr long long kMaxImagePixels = 4096LL * 4096LL;

    // Decodes PNG, JPEG, GIF (first frame) ... bytes into a premultiplied image; the mask is applied.
    static std::unique_ptr<CachedImage> DecodeImageBytes(const void* data, size_t length, DWORD mask);

    // Applies the pairs of one image specification text to state (item is the control's rectangle, for "dest");
    // drawCollected runs for each image a later "file", "res" or "restype" pair closes.
    static void ParseImageSpec(const std::wstring& text, const RECT& item, ImageSpecState& state,
                               const std::function<void(const ImageSpecState&)>& drawCollected);

    // Decodes a skin file (resourceType empty) or a module resource (name = decimal id, resourceType set).
    static std::unique_ptr<CachedImage> DecodeImage(const std::wstring& nameOrId, const std::wstring& resourceType,
                                                    DWORD mask);

    // Draws an image specification ("name.png" or "file='a.png' corner='3,3,3,3' ..."), then the modifier
    // with the same running state. False only when the surface or the host is missing.
    static bool RenderImageSpec(HDC hDC, IRenderHost* host, const RECT& item, const RECT& paint,
                                const std::wstring& imageSpec, const std::wstring& modifier = std::wstring());

    // One image of a image specification; false when the name is empty or the image cannot be loaded.
    static bool RenderImage(HDC hDC, IRenderHost* host, const RECT& item, const RECT& paint, const std::wstring& name,
                            const std::wstring& resourceType, RECT dest, RECT source, const RECT& corners,
                            DWORD mask, BYTE fade, bool hole, bool xTiled, bool yTiled);

    // The image's kept source DC, made (with its bitmap selected) the first time; null when that fails.
    static HDC KeptSourceDC(const CachedImage& image);

    // The nine-part grid: corners unscaled, edges and middle stretched (or tiled), optional hole and fade.
    // hSourceDC: a memory DC that already holds hBitmap, or one to select it into for the blit (and left as it
    // was found); none makes one.
    static void BlitImage(HDC hDC, HBITMAP hBitmap, const RECT& dest, const RECT& paint, const RECT& source,
                          const RECT& corners, bool blend, BYTE fade, bool hole, bool xTiled, bool yTiled,
                          HDC hSourceDC = nullptr);

    // Draws a blended nine-part grid from the image's finished grid (see GridComposite), making it the second
    // time in a row the same grid is asked for. False when the grid is not drawn this way (no corners, too
    // big, asked for the first time, or no memory): the caller draws it part by part.
    static bool BlitGrid(HDC hDC, const CachedImage& image, const RECT& dest, const RECT& paint, const RECT& source,
                         const RECT& corners, BYTE fade, bool hole);

    // True when drawing the image description would leave every pixel of rc opaque: an opaque image already in
    // the host's cache, drawn without blending, fade or hole over a destination that holds rc. Nothing is
    // loaded or drawn; anything uncertain answers false.
    static bool ImageSpecCovers(IRenderHost* host, const RECT& item, const RECT& rc, const std::wstring& imageSpec);
    // True when every image of the description is in the host's cache and drawn at its own size, neither
    // stretched nor tiled nor cut into nine parts: drawn through any clip, each pixel comes out the same.
    static bool ImageSpecUnscaled(IRenderHost* host, const RECT& item, const std::wstring& imageSpec);

    static void FillColor(HDC hDC, const RECT& rc, DWORD color);
    // Vertical gradient, first colour at the top.
    static void FillGradient(HDC hDC, const RECT& rc, DWORD first, DWORD second, int bands);
    // The stepped form used when the platform has no gradient operation: 8 bands below 16 requested, else 16.
    static void FillGradientBands(HDC hDC, const RECT& rc, DWORD first, DWORD second, int bands);
    static void RenderLine(HDC hDC, const RECT& rc, int width, DWORD color, int penStyle = PS_SOLID);
    // Draws, or measures into rc when style has DT_CALCRECT.
    static void RenderText(HDC hDC, IRenderHost* host, RECT& rc, const std::wstring& text, DWORD color, int font,
                           UINT style);

    // A top-down 32-bit DIB section (B, G, R, A bytes); null, and *bits null, on failure.
    static CUniqueBitmap CreateDib32(HDC hDC, int width, int height, void** bits);

    // "#AARRGGBB" / "#RRGGBB" / "AARRGGBB": hexadecimal, saturating at 0xFFFFFFFF, 0 without digits.
    static DWORD ParseColor(const wchar_t* text);
};

}  // namespace SkinUI
