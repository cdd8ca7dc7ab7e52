// Image decoding, the image specification and drawing into 32-bit DIB sections, checked pixel by pixel.
#include "ToolkitTestUtil.h"
#include "UIRender.h"
#include "UIResources.h"

#include "TestSupport.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

using namespace SkinUI;
using tk::Canvas;

namespace {

constexpr DWORD kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kBlack = 0;

// Images are written as files under a fresh resource folder and found by the skin file lookup. Each image
// test runs twice: with a blit that makes its own source DC, and with the DC each image keeps, as a window's.
class RenderTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        m_dir = test::MakeTempDir(L"render");
        CSkinResources::CloseArchive();
        CSkinResources::SetResourceFolder(m_dir);
        m_host.keepSourceDCs = GetParam();
    }
    void TearDown() override { test::RemoveTree(m_dir); }
    void Image(const wchar_t* name, const tk::Bytes& png) { ASSERT_TRUE(tk::WriteFile(m_dir + name, png)); }

    // A 9 x 9 picture whose 3-pixel border pieces each have their own colour.
    void NinePartImage(const wchar_t* name)
    {
        const DWORD colours[3][3] = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF},
                                     {0xFFFFFF00, 0xFFFFFFFF, 0xFF00FFFF},
                                     {0xFFFF00FF, 0xFF808080, 0xFF102030}};
        std::vector<DWORD> px;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) px.push_back(colours[y / 3][x / 3]);
        Image(name, tk::MakePng(9, 9, px));
    }

    std::wstring m_dir;
    tk::TestHost m_host;
};

std::string SourceDCName(const ::testing::TestParamInfo<bool>& param) { return param.param ? "Kept" : "PerBlit"; }

INSTANTIATE_TEST_SUITE_P(SourceDC, RenderTest, ::testing::Bool(), SourceDCName);

bool Near(DWORD a, DWORD b, int tolerance = 2)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

}  // namespace

TEST(RenderKit, ParseColorReadsHexadecimalAndSaturates)
{
    const struct {
        const wchar_t* text;
        DWORD value;
    } cases[] = {
        {L"#FF112233", 0xFF112233}, {L"#112233", 0x00112233}, {L"ff112233", 0xFF112233}, {L"#abcdefZZ", 0xABCDEF},
        {L"#123456789", 0xFFFFFFFF}, {L"", 0},   {L"#", 0}, {L"#xyz", 0}, {L"-1", 0}, {L"0x10", 0},
        {L" #FF", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, CRenderKit::ParseColor(c.text)) << c.text;
    EXPECT_EQ(0u, CRenderKit::ParseColor(nullptr));
}

TEST(RenderKit, DecodePremultipliesAndAppliesTheMask)
{
    const tk::Bytes png = tk::MakePng(4, 1, {0xFFC86432, 0x80C86432, 0x00FFFFFF, 0xFFFF00FF});
    auto image = CRenderKit::DecodeImageBytes(png.data(), png.size(), 0xFFFF00FF);
    ASSERT_TRUE(image);
    EXPECT_EQ(4, image->width);
    EXPECT_EQ(1, image->height);
    EXPECT_TRUE(image->hasAlpha);
    const DWORD* px = reinterpret_cast<const DWORD*>(image->bits);
    EXPECT_EQ(0xFFC86432u, px[0]);
    EXPECT_EQ(0x80643219u, px[1]);  // 200*128/255, 100*128/255, 50*128/255
    EXPECT_EQ(0u, px[2]);
    EXPECT_EQ(0u, px[3]);  // the eight-digit mask cleared opaque magenta

    // A six-digit mask has alpha 0 and never matches a visible pixel.
    const tk::Bytes opaque = tk::MakePng(2, 1, {0xFFFF00FF, 0xFF000000});
    image = CRenderKit::DecodeImageBytes(opaque.data(), opaque.size(), 0x00FF00FF);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->hasAlpha);
    EXPECT_EQ(0xFFFF00FFu, reinterpret_cast<const DWORD*>(image->bits)[0]);

    const tk::Bytes jpeg = tk::MakeJpeg(16, 8, std::vector<DWORD>(128, 0xFF2080C0));
    image = CRenderKit::DecodeImageBytes(jpeg.data(), jpeg.size(), 0);
    ASSERT_TRUE(image);
    EXPECT_EQ(16, image->width);
    EXPECT_FALSE(image->hasAlpha);
}

TEST(RenderKit, DamagedImagesFailCleanly)
{
    const tk::Bytes png = tk::MakePng(20, 20, std::vector<DWORD>(400, 0x80402010));
    for (size_t n = 0; n < png.size(); ++n) {
        tk::GuardedBuffer cut(png.data(), n);
        (void)CRenderKit::DecodeImageBytes(cut.data(), cut.size(), 0);  // must only not fault
    }
    // A PNG header claiming 60000 x 60000 pixels.
    tk::Bytes huge(png.begin(), png.begin() + 33);
    for (int at : {16, 20}) {
        huge[at] = 0;
        huge[at + 1] = 0;
        huge[at + 2] = 0xEA;
        huge[at + 3] = 0x60;
    }
    huge.insert(huge.end(), png.begin() + 33, png.end());
    EXPECT_FALSE(CRenderKit::DecodeImageBytes(huge.data(), huge.size(), 0));
    // 8000 x 8000 is within the decoder's own limits but far above any skin image: refused before decoding.
    for (int at : {16, 20}) {
        huge[at + 2] = 0x1F;
        huge[at + 3] = 0x40;
    }
    EXPECT_FALSE(CRenderKit::DecodeImageBytes(huge.data(), huge.size(), 0));
    EXPECT_FALSE(CRenderKit::DecodeImageBytes("not an image", 12, 0));
    EXPECT_FALSE(CRenderKit::DecodeImageBytes(nullptr, 0, 0));
}

TEST(RenderKit, ImageSpecificationGrammar)
{
    const RECT item{10, 20, 110, 70};
    const struct {
        const wchar_t* imageSpec;
        const wchar_t* name;
        int drawnBefore;  // images drawn while parsing (each "file" after the first closes the previous one)
        RECT dest;
        BYTE fade;
        DWORD mask;
        bool hole;
    } cases[] = {
        {L"icon_warning.png", L"icon_warning.png", 0, item, 255, 0, false},
        {L"file='a.png' fade='128'", L"a.png", 0, item, 128, 0, false},
        {L"file='a.png' file='b.png'", L"b.png", 1, item, 255, 0, false},
        {L"file='a.png' dest='1,2,3,4'", L"a.png", 0, {11, 22, 13, 24}, 255, 0, false},
        {L"file='a.png' dest='5,5,500,500'", L"a.png", 0, {15, 25, 110, 70}, 255, 0, false},
        {L"file='a.png'\tfade='10'", L"a.png", 0, item, 255, 0, false},
        {L"file='a.png'fade='10'", L"a.png", 0, item, 255, 0, false},
        {L"file='a.png'  fade='10'", L"a.png", 0, item, 10, 0, false},
        {L"file='a.png' fade='256'", L"a.png", 0, item, 0, 0, false},
        {L"file='a.png' fade='-1'", L"a.png", 0, item, 255, 0, false},
        {L"file='a.png' fade=''", L"a.png", 0, item, 255, 0, false},
        {L"file='a.png' mask='#FFFF00FF' hole='true'", L"a.png", 0, item, 255, 0xFFFF00FF, true},
        {L"file='a.png' mask='ff00ff' hole='TRUE'", L"a.png", 0, item, 255, 0xFF00FF, false},
        {L"file = 'a.png'", L"a.png", 0, item, 255, 0, false},
        {L"file='a.png", L"file='a.png", 0, item, 255, 0, false},
        {L"file=\"a.png\"", L"file=\"a.png\"", 0, item, 255, 0, false},
        {L"file='' fade='7'", L"file='' fade='7'", 0, item, 7, 0, false},
        {L"res='130' restype='PNG' file='b.png'", L"b.png", 1, item, 255, 0, false},
        {L"unknown='1' fade='3'", L"unknown='1' fade='3'", 0, item, 3, 0, false},
        {L"dest='1,2' ", L"dest='1,2' ", 0, {11, 22, 10, 20}, 255, 0, false},
        {L"", L"", 0, item, 255, 0, false},
    };
    for (const auto& c : cases) {
        ImageSpecState state;
        state.name = c.imageSpec;
        state.dest = item;
        int drawn = 0;
        CRenderKit::ParseImageSpec(c.imageSpec, item, state, [&](const ImageSpecState&) { ++drawn; });
        EXPECT_EQ(c.name, state.name) << c.imageSpec;
        EXPECT_EQ(c.drawnBefore, drawn) << c.imageSpec;
        EXPECT_TRUE(EqualRect(&c.dest, &state.dest)) << c.imageSpec << L" " << state.dest.left << L"," << state.dest.top
                                                      << L"," << state.dest.right << L"," << state.dest.bottom;
        EXPECT_EQ(c.fade, state.fade) << c.imageSpec;
        EXPECT_EQ(c.mask, state.mask) << c.imageSpec;
        EXPECT_EQ(c.hole, state.hole) << c.imageSpec;
    }
    ImageSpecState state;
    CRenderKit::ParseImageSpec(L"res='130' restype='PNG' source='1,2,3,4' corner='5,6,7,8' xtiled='true'", item,
                               state, nullptr);
    EXPECT_EQ(L"130", state.name);
    EXPECT_EQ(L"PNG", state.resourceType);
    EXPECT_EQ(1, state.imageCount);
    EXPECT_EQ(4, state.source.bottom);
    EXPECT_EQ(7, state.corners.right);
    EXPECT_TRUE(state.xTiled);
    EXPECT_FALSE(state.yTiled);
}

TEST_P(RenderTest, NinePartCornersStayUnscaled)
{
    NinePartImage(L"nine.png");
    Canvas canvas(40, 30);
    const RECT item{5, 5, 35, 25};  // 30 x 20
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, canvas.Rect(),
                                            L"file='nine.png' corner='3,3,3,3'"));
    const struct {
        int x, y;
        DWORD rgb;
    } expect[] = {
        {5, 5, kRed},       {7, 7, kRed},       {8, 5, kGreen},     {31, 7, kGreen},    {32, 5, kBlue},
        {34, 7, kBlue},     {5, 8, 0xFFFF00},   {7, 21, 0xFFFF00},  {20, 15, kWhite},   {8, 8, kWhite},
        {31, 21, kWhite},   {32, 15, 0x00FFFF}, {5, 22, 0xFF00FF},  {20, 24, 0x808080}, {34, 24, 0x102030},
        {4, 4, kBlack},     {35, 25, kBlack},
    };
    for (const auto& e : expect) EXPECT_EQ(e.rgb, canvas.At(e.x, e.y)) << e.x << "," << e.y;
    EXPECT_EQ(9, canvas.Count(kRed));  // the 3 x 3 corner, not scaled up
    EXPECT_EQ(9, canvas.Count(0x102030));
    EXPECT_EQ(1, m_host.loads);

    // Hole: the middle is left as it was.
    canvas.Fill(0xFF000001);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, canvas.Rect(),
                                            L"file='nine.png' corner='3,3,3,3' hole='true'"));
    EXPECT_EQ(1u, canvas.At(20, 15));
    EXPECT_EQ(0, canvas.Count(kWhite));
    EXPECT_EQ(kGreen, canvas.At(20, 5));
    EXPECT_EQ(1, m_host.loads);  // cached by name
}

TEST_P(RenderTest, FadeBlendsAndAFadeOf256DrawsNothing)
{
    Image(L"white.png", tk::SolidPng(4, 4, 0xFFFFFFFF));
    Canvas canvas(10, 10);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(),
                                            L"fade='128' file='white.png'"));
    EXPECT_TRUE(Near(0x808080, canvas.At(5, 5))) << std::hex << canvas.At(5, 5);
    canvas.Fill(0xFF000000);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(),
                                            L"file='white.png' fade='256'"));
    EXPECT_EQ(100, canvas.Count(kBlack));
    // A per-pixel transparent window always blends; an opaque image still arrives at full strength.
    m_host.perPixel = true;
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), RECT{0, 0, 5, 10},
                                            L"file='white.png' dest='0,0,5,10'"));
    EXPECT_EQ(50, canvas.Count(kWhite));
}

TEST_P(RenderTest, TwoFilesShareTheRunningState)
{
    Image(L"red.png", tk::SolidPng(2, 2, 0xFFFF0000));
    Image(L"blue.png", tk::SolidPng(2, 2, 0xFF0000FF));
    Canvas canvas(20, 10);
    // The second image inherits the dest set before the first and is drawn over it.
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(),
                                            L"dest='0,0,5,5' file='red.png' file='blue.png'"));
    EXPECT_EQ(0, canvas.Count(kRed));
    EXPECT_EQ(25, canvas.Count(kBlue));
    // The modifier continues with the same state: only the last image moves.
    canvas.Fill(0xFF000000);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(),
                                            L"dest='0,0,5,5' file='red.png' file='blue.png'", L"dest='10,0,15,5'"));
    EXPECT_EQ(25, canvas.Count(kRed));
    EXPECT_EQ(25, canvas.Count(kBlue));
    EXPECT_EQ(kBlue, canvas.At(12, 2));
}

TEST_P(RenderTest, TilesAreCountedAndCut)
{
    // 4 x 4 tile with one red pixel at its top-left.
    std::vector<DWORD> px(16, 0xFF0000FF);
    px[0] = 0xFFFF0000;
    Image(L"tile.png", tk::MakePng(4, 4, px));
    Canvas canvas(10, 10, 0xFF000000);
    const struct {
        const wchar_t* imageSpec;
        int reds;
        DWORD at9_9;
    } cases[] = {
        {L"file='tile.png' xtiled='true' ytiled='true'", 9, kBlue},  // ceil(10/4)^2 tiles, the last ones cut
        {L"file='tile.png' xtiled='true' ytiled='true' source='0,0,3,3'", 16, kRed},
        {L"file='tile.png' xtiled='true' source='0,0,4,1'", 30, kBlue},  // columns stretched over the full height
        {L"file='tile.png' ytiled='true' source='0,0,1,4'", 30, kBlue},
    };
    for (const auto& c : cases) {
        canvas.Fill(0xFF000000);
        ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(), c.imageSpec));
        EXPECT_EQ(c.reds, canvas.Count(kRed)) << c.imageSpec;
        EXPECT_EQ(0, canvas.Count(kBlack)) << c.imageSpec;
        EXPECT_EQ(c.at9_9, canvas.At(9, 9)) << c.imageSpec;
    }
    // Only tiles inside the paint rectangle are drawn.
    canvas.Fill(0xFF000000);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), RECT{4, 4, 8, 8},
                                            L"file='tile.png' xtiled='true' ytiled='true'"));
    EXPECT_EQ(1, canvas.Count(kRed));
    EXPECT_EQ(kRed, canvas.At(4, 4));
    EXPECT_EQ(kBlack, canvas.At(0, 0));
}

TEST_P(RenderTest, DestSourceAndPaintRectangles)
{
    Image(L"red.png", tk::SolidPng(4, 4, 0xFFFF0000));
    Image(L"big.png", tk::SolidPng(20, 20, 0xFF00FF00));
    Canvas canvas(30, 30);
    const RECT item{0, 0, 10, 10};
    // A dest larger than the control is cut to its right and bottom edges.
    ASSERT_TRUE(
        CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, canvas.Rect(), L"file='red.png' dest='2,2,50,50'"));
    EXPECT_EQ(64, canvas.Count(kRed));
    EXPECT_EQ(kRed, canvas.At(9, 9));
    EXPECT_EQ(kBlack, canvas.At(10, 10));
    EXPECT_EQ(kBlack, canvas.At(1, 1));

    // Copy mode with an unscaled image copies only the part inside the paint rectangle.
    canvas.Fill(0xFF000000);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, RECT{5, 5, 25, 25}, RECT{0, 0, 10, 10},
                                            L"big.png"));
    EXPECT_EQ(25, canvas.Count(kGreen));
    // A source larger than the image is limited to the image.
    canvas.Fill(0xFF000000);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, RECT{0, 0, 20, 20}, canvas.Rect(),
                                            L"file='big.png' source='0,0,4000,4000'"));
    EXPECT_EQ(400, canvas.Count(kGreen));
    // Nothing at all outside the item or the paint rectangle.
    canvas.Fill(0xFF000000);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, RECT{20, 20, 30, 30}, L"red.png"));
    EXPECT_EQ(900, canvas.Count(kBlack));
    // Missing images draw nothing but are no failure; a missing surface or host is.
    EXPECT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, item, L"missing.png"));
    EXPECT_FALSE(CRenderKit::RenderImageSpec(nullptr, &m_host, item, item, L"red.png"));
    EXPECT_FALSE(CRenderKit::RenderImageSpec(canvas.dc(), nullptr, item, item, L"red.png"));
    EXPECT_FALSE(CRenderKit::RenderImage(canvas.dc(), &m_host, item, item, L"", L"", item, RECT{}, RECT{}, 0, 255,
                                         false, false, false));
}

TEST_P(RenderTest, MaskColoursWithEightAndSixDigits)
{
    Image(L"m8.png", tk::MakePng(2, 1, {0xFFFF00FF, 0xFF00FF00}));
    Image(L"m6.png", tk::MakePng(2, 1, {0xFFFF00FF, 0xFF00FF00}));
    Canvas canvas(2, 1, 0xFF000001);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(),
                                            L"file='m8.png' mask='#FFFF00FF'"));
    EXPECT_EQ(1u, canvas.At(0, 0));
    EXPECT_EQ(kGreen, canvas.At(1, 0));
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(),
                                            L"file='m6.png' mask='#FF00FF'"));
    EXPECT_EQ(0xFF00FFu, canvas.At(0, 0));
    // The first load of a name fixes its mask.
    EXPECT_EQ(0xFFFF00FFu, m_host.FindCachedImage(L"m8.png")->mask);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(),
                                            L"file='m8.png' mask='#FF000000'"));
    EXPECT_EQ(0xFFFF00FFu, m_host.FindCachedImage(L"m8.png")->mask);
}

TEST_P(RenderTest, AKeptSourceDCLivesAndDiesWithItsImage)
{
    Image(L"red.png", tk::SolidPng(8, 8, 0xFFFF0000));
    Canvas canvas(8, 8);
    ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), canvas.Rect(), L"red.png"));
    const CachedImage* image = m_host.FindCachedImage(L"red.png");
    ASSERT_NE(nullptr, image);
    const HBITMAP hBitmap = image->bitmap.Get();
    const HDC hKept = image->sourceDC.Get();
    if (GetParam()) {
        ASSERT_NE(nullptr, hKept);
        EXPECT_EQ(hBitmap, ::GetCurrentObject(hKept, OBJ_BITMAP));
        canvas.Fill(0xFF000000);
        ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, canvas.Rect(), RECT{0, 0, 4, 8}, L"red.png"));
        EXPECT_EQ(hKept, image->sourceDC.Get());  // made once
        EXPECT_EQ(32, canvas.Count(kRed));
        // Drawn by hand from its bitmap, the image is held by the kept DC: nothing is drawn rather than garbage.
        canvas.Fill(0xFF0000FF);
        CRenderKit::BlitImage(canvas.dc(), hBitmap, canvas.Rect(), canvas.Rect(), RECT{0, 0, 8, 8}, RECT{}, false,
                              255, false, false, false);
        EXPECT_EQ(64, canvas.Count(kBlue));
    } else {
        EXPECT_EQ(nullptr, hKept);
        EXPECT_EQ(64, canvas.Count(kRed));
    }
    // Freeing the cache frees the bitmap and its DC with it.
    m_host.cache.Clear();
    EXPECT_EQ(0u, ::GetObjectType(hBitmap));
    if (hKept != nullptr) {
        EXPECT_EQ(0u, ::GetObjectType(hKept));
    }
}

namespace {

// A background of stripes in many colours, so that a blend shows both of its inputs.
void Stripes(Canvas& canvas)
{
    const RECT all = canvas.Rect();
    for (LONG x = 0; x < all.right; x += 3)
        CRenderKit::FillColor(canvas.dc(), RECT{x, 0, x + 3, all.bottom},
                              0xFF000000u | static_cast<DWORD>(x * 0x0A1327u & 0xFFFFFFu));
}

// Pixels that differ within area (the whole canvas by default): outside the paint rectangle a drawing may
// leave more or less, which the window never shows.
int Differences(const Canvas& a, const Canvas& b, const RECT* area = nullptr)
{
    const RECT rc = area ? *area : a.Rect();
    int n = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y)
        for (LONG x = rc.left; x < rc.right; ++x)
            if (a.At(x, y) != b.At(x, y)) ++n;
    return n;
}

}  // namespace

// A window paints the same bar again and again: the second time at one size, the grid is blended whole from
// a finished copy instead of part by part, and every pixel must come out as the parts would have made it.
TEST_P(RenderTest, AGridDrawnWholeMatchesItsPartsPixelForPixel)
{
    std::vector<DWORD> px;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            px.push_back((static_cast<DWORD>(0x40 + 0x18 * ((x + y) % 8)) << 24) | (0x9000u * (x + 1)) | (0x15u * y));
    Image(L"bar.png", tk::MakePng(9, 9, px));
    tk::TestHost partByPart;  // never keeps DCs, so never makes a grid
    const RECT item{4, 3, 44, 16};
    const struct {
        const wchar_t* description;
        RECT paint;
    } cases[] = {
        {L"file='bar.png' corner='3,3,3,3'", RECT{0, 0, 48, 20}},
        {L"file='bar.png' corner='3,3,3,3' fade='128'", RECT{0, 0, 48, 20}},
        {L"file='bar.png' corner='2,4,3,1' hole='true'", RECT{0, 0, 48, 20}},
        {L"file='bar.png' corner='3,3,3,3' source='1,1,8,9'", RECT{10, 5, 31, 12}},  // part of the bar repainted
    };
    for (const auto& c : cases) {
        Canvas expected(48, 20);
        Stripes(expected);
        ASSERT_TRUE(CRenderKit::RenderImageSpec(expected.dc(), &partByPart, item, c.paint, c.description));
        for (int time = 1; time <= 3; ++time) {
            Canvas canvas(48, 20);
            Stripes(canvas);
            ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, c.paint, c.description));
            EXPECT_EQ(0, Differences(expected, canvas, &c.paint)) << "time " << time << ": " << std::string(c.description, c.description + wcslen(c.description));
        }
        const CachedImage* image = m_host.FindCachedImage(L"bar.png");
        ASSERT_NE(nullptr, image);
        if (GetParam()) {
            ASSERT_NE(nullptr, image->grid);
            EXPECT_TRUE(image->grid->made);
        } else {
            EXPECT_EQ(nullptr, image->grid);
        }
    }
    EXPECT_EQ(nullptr, partByPart.FindCachedImage(L"bar.png")->grid);
}

// A progress fill changes its width on every tick: no grid is made for a size asked for only once, and a
// grid made goes with its image.
TEST_P(RenderTest, AGridChangingSizeIsDrawnPartByPartAndFreedWithItsImage)
{
    std::vector<DWORD> px(81, 0x80402010u);
    Image(L"fill.png", tk::MakePng(9, 9, px));
    tk::TestHost partByPart;
    for (LONG width = 7; width < 30; ++width) {
        const RECT item{0, 0, width, 9};
        Canvas expected(32, 9), canvas(32, 9);
        Stripes(expected);
        Stripes(canvas);
        ASSERT_TRUE(CRenderKit::RenderImageSpec(expected.dc(), &partByPart, item, expected.Rect(),
                                                L"file='fill.png' corner='3,3,3,3'"));
        ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, canvas.Rect(),
                                                L"file='fill.png' corner='3,3,3,3'"));
        EXPECT_EQ(0, Differences(expected, canvas)) << width;
        const CachedImage* image = m_host.FindCachedImage(L"fill.png");
        EXPECT_TRUE(image->grid == nullptr || !image->grid->made) << width;
    }
    if (!GetParam()) return;
    Canvas canvas(32, 9);
    for (int time = 0; time < 2; ++time)
        ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, RECT{0, 0, 20, 9}, canvas.Rect(),
                                                L"file='fill.png' corner='3,3,3,3'"));
    const CachedImage* image = m_host.FindCachedImage(L"fill.png");
    ASSERT_TRUE(image->grid && image->grid->made);
    const HBITMAP hGrid = image->grid->bitmap.Get();
    const HDC hGridDC = image->grid->dc.Get();
    EXPECT_EQ(hGrid, ::GetCurrentObject(hGridDC, OBJ_BITMAP));
    m_host.cache.Clear();
    EXPECT_EQ(0u, ::GetObjectType(hGrid));
    EXPECT_EQ(0u, ::GetObjectType(hGridDC));
}

// Whatever a cover claims, the window leaves unpainted beneath it: a wrong yes shows stale pixels.
TEST_P(RenderTest, OpaqueCoverIsClaimedOnlyWhereTheImageIsSure)
{
    Image(L"solid.png", tk::SolidPng(10, 10, 0xFF00FF00));
    Image(L"glass.png", tk::MakePng(2, 1, {0xFF00FF00, 0x8000FF00}));
    NinePartImage(L"nine.png");
    const RECT item{10, 10, 30, 30};
    const RECT all = item, part{12, 12, 20, 20};
    // Only images already decoded are judged: deciding must not cost a decode.
    EXPECT_FALSE(CRenderKit::ImageSpecCovers(&m_host, item, all, L"solid.png"));
    Canvas canvas(40, 40);
    for (const wchar_t* name : {L"solid.png", L"glass.png", L"nine.png"})
        ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, item, name));

    const struct {
        const wchar_t* imageSpec;
        RECT rc;
        bool covers;
    } cases[] = {
        {L"solid.png", all, true},                              // stretched over the item
        {L"file='solid.png' xtiled='true' ytiled='true'", all, true},
        {L"file='solid.png' dest='2,2,12,12'", part, true},
        {L"file='solid.png' dest='2,2,12,12'", all, false},     // the rest of the item is not drawn
        {L"file='solid.png' source='4,4,8,8'", all, true},
        {L"file='solid.png' source='10,0,20,10'", all, false},  // nothing of the image is inside the source
        {L"file='solid.png' fade='254'", all, false},
        {L"file='nine.png' corner='3,3,3,3'", all, false},      // pieces are not judged
        {L"file='solid.png' hole='true'", all, false},
        {L"glass.png", all, false},                             // a translucent pixel
        {L"file='glass.png' file='solid.png'", all, true},      // the last layer is opaque over all
        {L"file='solid.png' file='glass.png'", all, true},      // the first one is, and the glass only adds
        {L"missing.png", all, false},
        {L"solid.png", RECT{5, 5, 20, 20}, false},              // outside the item nothing is drawn
        {L"solid.png", RECT{15, 15, 15, 20}, false},            // empty
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.covers, CRenderKit::ImageSpecCovers(&m_host, item, c.rc, c.imageSpec)) << c.imageSpec;

    // Where a cover is claimed, drawing the image really does paint every pixel of the rectangle.
    for (const auto& c : cases) {
        if (!c.covers) continue;
        canvas.Fill(0xFF000001);
        ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &m_host, item, c.rc, c.imageSpec));
        for (LONG y = c.rc.top; y < c.rc.bottom; ++y)
            for (LONG x = c.rc.left; x < c.rc.right; ++x)
                ASSERT_EQ(kGreen, canvas.At(x, y)) << c.imageSpec << " at " << x << "," << y;
    }
    // A per-pixel transparent window blends every image, so nothing covers there.
    m_host.perPixel = true;
    EXPECT_FALSE(CRenderKit::ImageSpecCovers(&m_host, item, all, L"solid.png"));
}

TEST(RenderKit, FillColorTreatsAlpha)
{
    Canvas canvas(10, 10, 0xFF000000);
    const RECT rc{0, 0, 10, 10};
    CRenderKit::FillColor(canvas.dc(), rc, CRenderKit::ParseColor(L"#444444"));
    EXPECT_EQ(100, canvas.Count(kBlack));
    CRenderKit::FillColor(canvas.dc(), RECT{0, 0, 5, 10}, 0xFF00FF00);
    EXPECT_EQ(50, canvas.Count(kGreen));
    CRenderKit::FillColor(canvas.dc(), RECT{5, 0, 10, 10}, 0x80FF0000);
    EXPECT_TRUE(Near(0x800000, canvas.At(7, 7))) << std::hex << canvas.At(7, 7);
}

TEST(RenderKit, GradientsAndBands)
{
    Canvas canvas(4, 64, 0xFF000000);
    const RECT rc{0, 0, 4, 64};
    CRenderKit::FillGradient(canvas.dc(), rc, 0xFFFF0000, 0xFF0000FF, 0);
    EXPECT_TRUE(Near(kRed, canvas.At(1, 0), 8)) << std::hex << canvas.At(1, 0);
    EXPECT_TRUE(Near(kBlue, canvas.At(1, 63), 8)) << std::hex << canvas.At(1, 63);
    // Average alpha 0: nothing.
    canvas.Fill(0xFF000000);
    CRenderKit::FillGradient(canvas.dc(), rc, 0x01FFFFFF, 0x00FFFFFF, 0);
    EXPECT_EQ(256, canvas.Count(kBlack));
    // Average alpha 127: blended at about half strength.
    CRenderKit::FillGradient(canvas.dc(), rc, 0xFFFFFFFF, 0x00FFFFFF, 0);
    EXPECT_TRUE(Near(0x7F7F7F, canvas.At(1, 30), 3)) << std::hex << canvas.At(1, 30);

    // Bands: 8 below 16 requested, else 16; band 0 at the bottom has the second colour.
    const struct {
        int requested;
        int bands;
    } cases[] = {{0, 8}, {15, 8}, {16, 16}, {200, 16}};
    for (const auto& c : cases) {
        canvas.Fill(0xFF000000);
        CRenderKit::FillGradientBands(canvas.dc(), rc, 0xFFFF0000, 0xFF0000FF, c.requested);
        int changes = 0;
        for (int y = 1; y < 64; ++y) changes += canvas.At(0, y) != canvas.At(0, y - 1);
        EXPECT_EQ(c.bands - 1, changes) << c.requested;
        EXPECT_EQ(kBlue, canvas.At(0, 63));
        const int n = c.bands;
        EXPECT_EQ(static_cast<DWORD>(((n - 1) * 255 / n) << 16 | (255 / n)), canvas.At(0, 0)) << c.requested;
    }
}

TEST(RenderKit, LinesIgnoreAlpha)
{
    Canvas canvas(10, 10, 0xFF000000);
    CRenderKit::RenderLine(canvas.dc(), RECT{0, 5, 10, 5}, 1, 0x0000FF00);
    EXPECT_EQ(10, canvas.Count(kGreen));
    EXPECT_EQ(kGreen, canvas.At(3, 5));
}

TEST(RenderKit, SixDigitColourIsInvisibleAsBackgroundButDrawsText)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token, &input, nullptr));
    {
        tk::TestHost host;
        Canvas canvas(120, 30, 0xFFFFFFFF);
        const DWORD colour = CRenderKit::ParseColor(L"#444444");
        CRenderKit::FillColor(canvas.dc(), canvas.Rect(), colour);
        EXPECT_EQ(0, canvas.CountNot(kWhite));
        RECT rc = canvas.Rect();
        CRenderKit::RenderText(canvas.dc(), &host, rc, L"A&B text", colour, 0, DT_SINGLELINE | DT_VCENTER);
        EXPECT_GT(canvas.Count(0x444444), 5);
        const int gdiPixels = canvas.CountNot(kWhite);

        // Measuring draws nothing and gives a rectangle around the text.
        RECT measure{0, 0, 1000, 0};
        CRenderKit::RenderText(canvas.dc(), &host, measure, L"A&B text", colour, 0, DT_SINGLELINE | DT_CALCRECT);
        EXPECT_GT(measure.right, 10);
        EXPECT_GT(measure.bottom, 5);
        EXPECT_EQ(gdiPixels, canvas.CountNot(kWhite));

        // The antialiased path draws too, and measures to width + 1.
        host.antialiased = true;
        canvas.Fill(0xFFFFFFFF);
        rc = canvas.Rect();
        CRenderKit::RenderText(canvas.dc(), &host, rc, L"A&B text", colour, 0, DT_SINGLELINE);
        EXPECT_GT(canvas.CountNot(kWhite), 5);
        RECT aa{3, 4, 1000, 0};
        CRenderKit::RenderText(canvas.dc(), &host, aa, L"A&B text", colour, 0, DT_SINGLELINE | DT_CALCRECT);
        EXPECT_GT(aa.right, 13);
        EXPECT_GT(aa.bottom, 9);
        // No host: nothing.
        canvas.Fill(0xFFFFFFFF);
        rc = canvas.Rect();
        CRenderKit::RenderText(canvas.dc(), nullptr, rc, L"text", colour, 0, 0);
        EXPECT_EQ(0, canvas.CountNot(kWhite));
    }
    Gdiplus::GdiplusShutdown(token);
}
