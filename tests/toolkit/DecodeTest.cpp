// Decoded skin images, pixel for pixel: what stb_image makes of the bytes, premultiplied and masked, in a
// top-down B, G, R, A section that GDI can draw.
#include "ToolkitTestUtil.h"
#include "UIRender.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

// A private copy of the decoder for the expected pixels, independent of the toolkit's build of it.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#include <stb_image.h>

#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

using namespace SkinUI;

namespace {

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<tk::Bytes*>(context);
    out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
}

// Bytes of colour channels (1 to 4) for a picture with every kind of pixel: a gradient, a stripe of each
// alpha the premultiplication treats differently, and a run of pure magenta for the mask.
std::vector<unsigned char> Channels(int width, int height, int n)
{
    std::vector<unsigned char> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char c[4] = {static_cast<unsigned char>(x * 255 / width),
                                  static_cast<unsigned char>(y * 255 / height),
                                  static_cast<unsigned char>((x * 7 + y * 13) & 0xFF), 255};
            if (y == 1) c[3] = static_cast<unsigned char>(x * 37);  // alphas 0, 37, ... wrapping
            if (y == 2 && x < 5) c[0] = 255, c[1] = 0, c[2] = 255;
            for (int k = 0; k < n; ++k) out.push_back(n == 2 && k == 1 ? c[3] : c[k]);
        }
    return out;
}

// PNG chunks by hand, for the kinds stb_image_write does not write: palettes and 16-bit channels.
void Chunk(tk::Bytes& png, const char* type, const tk::Bytes& data)
{
    const auto put32 = [&](unsigned long v) {
        for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<unsigned char>(v >> s));
    };
    put32(static_cast<unsigned long>(data.size()));
    tk::Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    put32(crc32(0, body.data(), static_cast<uInt>(body.size())));
}

tk::Bytes HandPng(int width, int height, int depth, int colourType, const tk::Bytes& rows,
                  const tk::Bytes& palette = {}, const tk::Bytes& transparency = {})
{
    tk::Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    tk::Bytes header(13, 0);
    header[2] = static_cast<unsigned char>(width >> 8);
    header[3] = static_cast<unsigned char>(width);
    header[6] = static_cast<unsigned char>(height >> 8);
    header[7] = static_cast<unsigned char>(height);
    header[8] = static_cast<unsigned char>(depth);
    header[9] = static_cast<unsigned char>(colourType);
    Chunk(png, "IHDR", header);
    if (!palette.empty()) Chunk(png, "PLTE", palette);
    if (!transparency.empty()) Chunk(png, "tRNS", transparency);
    uLongf packed = compressBound(static_cast<uLong>(rows.size()));
    tk::Bytes data(packed);
    compress(data.data(), &packed, rows.data(), static_cast<uLong>(rows.size()));
    data.resize(packed);
    Chunk(png, "IDAT", data);
    Chunk(png, "IEND", {});
    return png;
}

// The expected image, converted here from stb_image's own RGBA output.
struct Expected {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    bool hasAlpha = false;
};

Expected Reference(const tk::Bytes& file, DWORD mask)
{
    Expected e;
    int n = 0;
    stbi_uc* rgba = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &e.width, &e.height, &n, 4);
    if (!rgba) return e;
    for (int i = 0; i < e.width * e.height; ++i) {
        const stbi_uc* p = rgba + i * 4;
        const DWORD a = p[3];
        const DWORD r = p[0] * a / 255, g = p[1] * a / 255, b = p[2] * a / 255;
        DWORD pixel = (a << 24) | (r << 16) | (g << 8) | b;
        if (a != 255) e.hasAlpha = true;
        if (pixel == mask) pixel = 0, e.hasAlpha = true;
        e.pixels.push_back(pixel);
    }
    stbi_image_free(rgba);
    return e;
}

void ExpectSameImage(const tk::Bytes& file, DWORD mask, const char* what)
{
    SCOPED_TRACE(what);
    const Expected want = Reference(file, mask);
    ASSERT_FALSE(want.pixels.empty());
    const auto image = CRenderKit::DecodeImageBytes(file.data(), file.size(), mask);
    ASSERT_TRUE(image);
    ASSERT_EQ(want.width, image->width);
    ASSERT_EQ(want.height, image->height);
    EXPECT_EQ(want.hasAlpha, image->hasAlpha);
    EXPECT_EQ(mask, image->mask);

    // The bitmap GDI draws is the section whose pixels the image points at: top-down, 32 bits.
    DIBSECTION dib{};
    ASSERT_EQ(static_cast<int>(sizeof dib), ::GetObjectW(image->bitmap.Get(), sizeof dib, &dib));
    EXPECT_EQ(want.width, dib.dsBm.bmWidth);
    EXPECT_EQ(want.height, dib.dsBm.bmHeight);
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
    EXPECT_EQ(image->bits, dib.dsBm.bmBits);

    const DWORD* got = reinterpret_cast<const DWORD*>(image->bits);
    int wrong = 0, first = -1;
    for (size_t i = 0; i < want.pixels.size(); ++i)
        if (got[i] != want.pixels[i] && wrong++ == 0) first = static_cast<int>(i);
    EXPECT_EQ(0, wrong) << "first at " << first << ": " << std::hex << (first >= 0 ? got[first] : 0) << " not "
                        << (first >= 0 ? want.pixels[static_cast<size_t>(first)] : 0);
}

}  // namespace

TEST(DecodeImage, EveryKindOfPictureMatchesTheDecoderPixelForPixel)
{
    const DWORD magenta = 0xFFFF00FF;
    // Widths around the four-pixel blocks of the opaque path, and a row count that is not a power of two.
    for (int width : {1, 3, 4, 5, 37}) {
        const int height = 7;
        for (int n = 1; n <= 4; ++n) {
            const std::vector<unsigned char> c = Channels(width, height, n);
            tk::Bytes png, jpeg, bmp, tga;
            stbi_write_png_to_func(Append, &png, width, height, n, c.data(), width * n);
            stbi_write_jpg_to_func(Append, &jpeg, width, height, n, c.data(), 95);
            stbi_write_bmp_to_func(Append, &bmp, width, height, n, c.data());
            stbi_write_tga_to_func(Append, &tga, width, height, n, c.data());
            for (DWORD mask : {DWORD{0}, magenta}) {
                const std::string at = " " + std::to_string(width) + "x" + std::to_string(height) + ", " +
                                       std::to_string(n) + " channels, mask " + std::to_string(mask);
                ExpectSameImage(png, mask, ("PNG" + at).c_str());
                ExpectSameImage(jpeg, mask, ("JPEG" + at).c_str());
                ExpectSameImage(bmp, mask, ("BMP" + at).c_str());
                ExpectSameImage(tga, mask, ("TGA" + at).c_str());
            }
        }
    }

    // A palette with transparent entries, and 16-bit channels with alpha: stb_image converts both through
    // buffers of other sizes before the 32-bit picture.
    const int w = 9, h = 5;
    const tk::Bytes palette = {255, 0, 255, 10, 20, 30, 200, 100, 50, 0, 0, 0};
    const tk::Bytes alphas = {255, 128, 0};
    tk::Bytes indexed, wide;
    for (int y = 0; y < h; ++y) {
        indexed.push_back(0);
        wide.push_back(0);
        for (int x = 0; x < w; ++x) {
            indexed.push_back(static_cast<unsigned char>((x + y) % 4));
            for (int k = 0; k < 4; ++k) {
                const unsigned v = static_cast<unsigned>(k == 3 ? (x * 9000 + y * 500) : (x * 7000 + k * 3000 + y));
                wide.push_back(static_cast<unsigned char>(v >> 8));
                wide.push_back(static_cast<unsigned char>(v));
            }
        }
    }
    for (DWORD mask : {DWORD{0}, magenta}) {
        ExpectSameImage(HandPng(w, h, 8, 3, indexed, palette, alphas), mask, "palette PNG");
        ExpectSameImage(HandPng(w, h, 16, 6, wide), mask, "16-bit RGBA PNG");
    }
}

TEST(DecodeImage, KnownPixelsOfAnOpaqueJpegAndAPartlyTransparentPng)
{
    // Flat colours survive JPEG; alpha is 255 everywhere, so nothing is premultiplied or reported as alpha.
    const tk::Bytes jpeg = tk::MakeJpeg(16, 16, std::vector<DWORD>(256, 0xFF2080C0));
    auto image = CRenderKit::DecodeImageBytes(jpeg.data(), jpeg.size(), 0);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->hasAlpha);
    const DWORD* px = reinterpret_cast<const DWORD*>(image->bits);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(0xFFu, px[i] >> 24) << i;
        ASSERT_NEAR(0x20, static_cast<int>((px[i] >> 16) & 0xFF), 2) << i;
        ASSERT_NEAR(0x80, static_cast<int>((px[i] >> 8) & 0xFF), 2) << i;
        ASSERT_NEAR(0xC0, static_cast<int>(px[i] & 0xFF), 2) << i;
    }

    // Four opaque pixels and then one half-transparent one in the same group of four.
    const tk::Bytes png =
        tk::MakePng(6, 1, {0xFF102030, 0xFF405060, 0x80C86432, 0xFF708090, 0xFFA0B0C0, 0x00FFFFFF});
    image = CRenderKit::DecodeImageBytes(png.data(), png.size(), 0xFF405060);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->hasAlpha);
    px = reinterpret_cast<const DWORD*>(image->bits);
    const DWORD want[] = {0xFF102030, 0, 0x80643219, 0xFF708090, 0xFFA0B0C0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(want[i], px[i]) << i;
}
