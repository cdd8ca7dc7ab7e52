// What the shadow draws: the launcher's nine-part image around the main window, and the computed shadow
// against pixel values worked out by hand on small windows.
#include "ShadowTestWindow.h"
#include "UIRender.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace SkinUI;
using shadowtest::ShadowedWnd;

namespace {

struct Expected {
    int x, y;
    DWORD argb;
};

// Black with alpha a, premultiplied.
constexpr DWORD Black(DWORD a) { return a << 24; }

const DWORD* PixelsOf(const CachedImage& image) { return reinterpret_cast<const DWORD*>(image.bits); }

class ShadowImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(shadowtest::UseLauncherSkin()); }
};

}  // namespace

TEST_F(ShadowImage, MainWindowGetsTheNinePartFrameWithUnscaledCornersAndAClearMiddle)
{
    ShadowedWnd wnd(L"GameLoader.xml");
    ASSERT_TRUE(wnd.Open(120, 80));
    ::ShowWindow(wnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(wnd);
    const RECT owner = wnd.WindowRect(), shadow = wnd.ShadowRect();
    EXPECT_EQ((RECT{owner.left - 9, owner.top - 9, owner.left - 9 + 978, owner.top - 9 + 638}),
              shadow) << "the shadow window lies 9 pixels around the 960 x 620 window";

    CShadowSurface surface;
    POINT pt{};
    ASSERT_TRUE(wnd.Shadow().DrawShadow(wnd, surface, pt));
    EXPECT_EQ(978, surface.Width());
    EXPECT_EQ(638, surface.Height());
    EXPECT_EQ(shadow.left, pt.x);
    EXPECT_EQ(shadow.top, pt.y);

    const CachedImage* image = wnd.Manager().FindCachedImage(L"shadow.png");
    ASSERT_TRUE(image);
    ASSERT_EQ(58, image->width);
    ASSERT_EQ(58, image->height);
    const auto src = [&](int x, int y) { return PixelsOf(*image)[y * 58 + x]; };
    // The picture's edges are the same all along (so any stretch of them looks alike): checked first.
    for (int i = 0; i < 9; ++i)
        for (int k = 9; k < 49; ++k) {
            ASSERT_EQ(src(9, i), src(k, i));
            ASSERT_EQ(src(i, 9), src(i, k));
        }
    int differing = 0;
    for (int y = 0; y < 638; ++y) {
        for (int x = 0; x < 978; ++x) {
            const int sx = x < 9 ? x : x >= 969 ? x - 969 + 49 : 9;
            const int sy = y < 9 ? y : y >= 629 ? y - 629 + 49 : 9;
            const bool middle = x >= 9 && x < 969 && y >= 9 && y < 629;
            if (surface.Pixel(x, y) != (middle ? 0u : src(sx, sy))) ++differing;
        }
    }
    EXPECT_EQ(0, differing) << "corners 1:1, edges stretched, middle transparent";
    // Darkest right beside the window, fading to nothing 9 pixels out.
    EXPECT_GT(surface.Pixel(8, 300) >> 24, 40u);
    EXPECT_GT(surface.Pixel(8, 300) >> 24, surface.Pixel(4, 300) >> 24);
    EXPECT_EQ(0u, surface.Pixel(0, 300) >> 24);

    // The same picture as the toolkit's nine-part image drawing gives through the platform blend.
    CShadowSurface blended;
    ASSERT_TRUE(blended.Create(978, 638));
    const RECT whole{0, 0, 978, 638};
    CRenderKit::BlitImage(blended.GetDC(), image->bitmap.Get(), whole, whole, RECT{0, 0, 58, 58},
                          RECT{9, 9, 9, 9}, image->hasAlpha, 255, true, false, false);
    ::GdiFlush();
    differing = 0;
    for (int y = 0; y < 638; ++y)
        for (int x = 0; x < 978; ++x) differing += surface.Pixel(x, y) != blended.Pixel(x, y);
    EXPECT_EQ(0, differing);
}

TEST(ShadowFrame, EdgesStretchAlongTheSidesWhileCornersKeepTheirPixels)
{
    // 6 x 6 with 2-pixel corners: every corner pixel its own value, each edge two halves of two colours.
    void* bits = nullptr;
    CachedImage image;
    image.bitmap = CRenderKit::CreateDib32(nullptr, 6, 6, &bits);
    ASSERT_TRUE(bits);
    image.bits = static_cast<const BYTE*>(bits);
    image.width = image.height = 6;
    image.hasAlpha = true;
    auto* px = static_cast<DWORD*>(bits);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) px[y * 6 + x] = 0x80000000u | static_cast<DWORD>(y * 16 + x);
    const DWORD left = 0xFF0000FF, right = 0xFF00FF00;
    for (int i = 0; i < 2; ++i) {
        px[i * 6 + 2] = px[(5 - i) * 6 + 2] = left;   // top and bottom edges: first half
        px[i * 6 + 3] = px[(5 - i) * 6 + 3] = right;  // ... second half
        px[2 * 6 + i] = px[2 * 6 + 5 - i] = left;     // left and right edges: upper half
        px[3 * 6 + i] = px[3 * 6 + 5 - i] = right;    // ... lower half
    }
    CShadowSurface surface;
    ASSERT_TRUE(surface.Create(24, 14));
    CShadowUI::PaintFrame(image, RECT{2, 2, 2, 2}, surface);

    for (int y = 0; y < 14; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool cornerX = x < 2 || x >= 22, cornerY = y < 2 || y >= 12;
            DWORD want = 0;
            if (cornerX && cornerY)
                want = px[(y < 2 ? y : y - 8) * 6 + (x < 2 ? x : x - 18)];
            else if (cornerY)
                want = x < 12 ? left : right;  // 20 columns between the corners, 10 per half
            else if (cornerX)
                want = y < 7 ? left : right;   // 10 rows between the corners, 5 per half
            ASSERT_EQ(want, surface.Pixel(x, y)) << x << "," << y;
        }
    }
}

TEST_F(ShadowImage, AnEmptyOrMissingImageDrawsNothing)
{
    for (const wchar_t* value : {L"", L"no-such-shadow.png"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(value)));
        ShadowedWnd wnd(std::wstring(L"<Window size=\"200,100\" showshadow=\"true\" shadowcorner=\"9,9,9,9\" "
                                     L"shadowimage=\"") + value + L"\"><Control/></Window>");
        ASSERT_TRUE(wnd.Open(40, 40));
        ::ShowWindow(wnd, SW_SHOWNOACTIVATE);
        ::UpdateWindow(wnd);
        EXPECT_TRUE(wnd.Shadow().IsImageMode());
        EXPECT_TRUE(::IsWindowVisible(wnd.ShadowWindow()));
        EXPECT_EQ(0u, wnd.Shadow().GetDrawCount());
        const RECT rc = wnd.ShadowRect();
        EXPECT_EQ(0, rc.right - rc.left) << "never drawn, so nothing shows";
        CShadowSurface surface;
        POINT pt{};
        EXPECT_FALSE(wnd.Shadow().DrawShadow(wnd, surface, pt));
    }
}

// Computed shadows of small popup windows, checked against values worked out by hand. With darkness 150
// and sharpness p the alpha at distance L from the shadow's shape is (1 - (L - K0) / (p + 1)) * 150.
TEST(ComputedShadow, PixelsMatchValuesWorkedOutByHand)
{
    struct Case {
        const char* what;
        int size, sharpness, offsetX, offsetY;
        DWORD color;
        RECT region;  // empty: the window has no region of its own
        int width, height, left, top;  // the shadow's size and position relative to the window
        std::vector<Expected> pixels;
        bool allClear;
    };
    const std::vector<Case> cases = {
        {"size 0, no offset: all of it lies under the window", 0, 5, 0, 0, 0, {}, 20, 10, 0, 0, {}, true},
        {"size 3 above sharpness 2: core radius 1, soft edge to 3 pixels", 3, 2, 0, 0, 0, {},
         26, 16, -3, -3,
         {{2, 5, Black(150)}, {1, 5, Black(100)}, {0, 5, Black(50)}, {2, 3, Black(150)}, {0, 3, Black(50)},
          {2, 2, Black(129)}, {1, 2, Black(88)}, {2, 1, Black(88)}, {1, 1, Black(58)}, {0, 1, 0}, {0, 2, 0},
          {0, 0, 0}, {3, 0, Black(50)}, {12, 0, Black(50)}, {12, 2, Black(150)}, {12, 15, Black(50)},
          {25, 8, Black(50)}, {24, 14, Black(58)}, {23, 13, Black(129)}, {3, 3, 0}, {12, 8, 0}, {22, 12, 0}},
         false},
        {"size 3 below sharpness 5: the shape is eroded by 2 and the soft edge reaches 5 pixels", 3, 5, 0, 0, 0,
         {}, 26, 16, -3, -3,
         {{0, 7, Black(25)}, {1, 7, Black(50)}, {2, 7, Black(75)}, {2, 4, Black(70)}, {2, 2, Black(43)},
          {2, 1, Black(25)}, {1, 1, 0}, {1, 2, Black(25)}, {1, 3, Black(38)}, {0, 2, 0}, {0, 0, 0},
          {12, 0, Black(25)}, {12, 2, Black(75)}, {25, 7, Black(25)}, {23, 7, Black(75)}, {12, 13, Black(75)},
          {12, 15, Black(25)}, {23, 13, Black(43)}, {24, 14, 0}, {3, 3, 0}, {22, 12, 0}},
         false},
        {"size 0 moved by 3,3: the soft edge shows along the right and bottom sides", 0, 2, 3, 3, 0, {},
         20, 10, 3, 3,
         {{16, 0, 0}, {16, 6, 0}, {0, 0, 0}, {17, 0, Black(50)}, {17, 1, Black(100)}, {18, 0, 0},
          {18, 1, Black(79)}, {19, 1, 0}, {17, 4, Black(150)}, {18, 4, Black(100)}, {19, 4, Black(50)},
          {0, 7, Black(50)}, {1, 7, Black(100)}, {2, 7, Black(150)}, {17, 7, Black(150)}, {18, 7, Black(100)},
          {19, 7, Black(50)}, {0, 8, 0}, {1, 8, Black(79)}, {9, 8, Black(100)}, {18, 8, Black(79)}, {19, 8, 0},
          {1, 9, 0}, {9, 9, Black(50)}, {18, 9, 0}},
         false},
        {"size -2, sharpness 1, moved by 3,3, in colour #FF3366", -2, 1, 3, 3, 0xFF3366, {}, 16, 6, 5, 5,
         {{15, 0, 0}, {15, 1, 0x4B4B0F1E}, {15, 4, 0x4B4B0F1E}, {0, 5, 0}, {1, 5, 0x4B4B0F1E}, {14, 5, 0x4B4B0F1E},
          {15, 5, 0}, {0, 0, 0}, {14, 0, 0}, {7, 3, 0}, {14, 4, 0}},
         false},
        {"the outline follows the window's region: columns 2 to 17 only", 3, 2, 0, 0, 0, {2, 0, 18, 10},
         26, 16, -3, -3,
         {{4, 7, Black(150)}, {3, 7, Black(100)}, {2, 7, Black(50)}, {1, 7, 0}, {5, 7, 0}, {20, 7, 0},
          {21, 7, Black(150)}, {22, 7, Black(100)}, {23, 7, Black(50)}, {24, 7, 0}},
         false},
    };
    WNDCLASSW wc{};
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VemraComputedShadowOwner";
    ::RegisterClassW(&wc);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HWND hOwner = ::CreateWindowExW(0, wc.lpszClassName, nullptr, WS_POPUP, 300, 200, 20, 10, nullptr,
                                              nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(hOwner);
        if (!::IsRectEmpty(&c.region)) ::SetWindowRgn(hOwner, ::CreateRectRgnIndirect(&c.region), FALSE);
        CShadowUI shadow;
        shadow.SetShadowSize(c.size);
        shadow.SetShadowSharpness(c.sharpness);
        shadow.SetShadowOffset(c.offsetX, c.offsetY);
        shadow.SetShadowColor(c.color);
        CShadowSurface surface;
        POINT pt{};
        const bool drawn = shadow.DrawShadow(hOwner, surface, pt);
        ::DestroyWindow(hOwner);
        ASSERT_TRUE(drawn);
        EXPECT_EQ(c.width, surface.Width());
        EXPECT_EQ(c.height, surface.Height());
        EXPECT_EQ(300 + c.left, pt.x);
        EXPECT_EQ(200 + c.top, pt.y);
        for (const Expected& e : c.pixels)
            EXPECT_EQ(e.argb, surface.Pixel(e.x, e.y)) << std::hex << "at " << std::dec << e.x << "," << e.y;
        if (c.allClear) {
            for (int y = 0; y < surface.Height(); ++y)
                for (int x = 0; x < surface.Width(); ++x) ASSERT_EQ(0u, surface.Pixel(x, y)) << x << "," << y;
        }
    }
}

// The shadow keeps its drawing surface between updates of the same size: what a second drawing leaves
// untouched must be clear again, not what the first drawing put there.
TEST(ShadowSurface, ASurfaceMadeAgainAtItsSizeStartsClearAndAtAnotherSizeTakesIt)
{
    const int w = 20, h = 10;
    const std::vector<ShadowSpan> outline(h, ShadowSpan{0, w});
    ComputedShadowParams dark;
    dark.size = 3;
    dark.sharpness = 2;
    dark.darkness = 255;
    ComputedShadowParams moved = dark;
    moved.darkness = 40;
    moved.offsetX = 3;  // the left edge's soft pixels of the first drawing are not drawn again

    CShadowSurface fresh;
    ASSERT_TRUE(fresh.Create(w + 6, h + 6));
    CShadowUI::PaintComputed(outline, w, h, moved, fresh);

    CShadowSurface reused;
    ASSERT_TRUE(reused.Create(w + 6, h + 6));
    CShadowUI::PaintComputed(outline, w, h, dark, reused);
    const DWORD darkEdge = reused.Pixel(1, 8);
    ASSERT_NE(0u, darkEdge);
    ASSERT_TRUE(reused.Create(w + 6, h + 6));
    CShadowUI::PaintComputed(outline, w, h, moved, reused);
    int differing = 0;
    for (int y = 0; y < h + 6; ++y)
        for (int x = 0; x < w + 6; ++x) differing += reused.Pixel(x, y) != fresh.Pixel(x, y) ? 1 : 0;
    EXPECT_EQ(0, differing) << "pixels left over from the first drawing";

    ASSERT_TRUE(reused.Create(w + 10, h + 2));
    EXPECT_EQ(w + 10, reused.Width());
    EXPECT_EQ(h + 2, reused.Height());
    EXPECT_EQ(0u, reused.Pixel(w + 9, h + 1));
    EXPECT_EQ(0u, reused.Pixel(0, 0));
}
