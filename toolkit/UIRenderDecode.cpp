// Decoding skin images into premultiplied 32-bit bitmaps, and the per-manager image cache.
#include "UIRender.h"

#include "UIResources.h"

#include <climits>
#include <cwchar>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace SkinUI {
namespace {

// Far above any skin image, far below what a damaged header could make us allocate.
constexpr size_t kMaxImageFileBytes = 64 * 1024 * 1024;

struct StbiFree {
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

}  // namespace

const CachedImage* CImageCache::Find(const std::wstring& name) const
{
    auto it = m_images.find(name);
    return it == m_images.end() ? nullptr : it->second.get();
}

const CachedImage* CImageCache::Load(const std::wstring& name, const std::wstring& resourceType, DWORD mask)
{
    if (const CachedImage* existing = Find(name)) return existing;
    std::unique_ptr<CachedImage> image = CRenderKit::DecodeImage(name, resourceType, mask);
    if (!image) return nullptr;
    const CachedImage* result = image.get();
    m_images.emplace(name, std::move(image));
    return result;
}

CUniqueBitmap CRenderKit::CreateDib32(HDC hDC, int width, int height, void** bits)
{
    *bits = nullptr;
    BITMAPINFO bmi{};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    CUniqueBitmap hBitmap(::CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!hBitmap) *bits = nullptr;
    return hBitmap;
}

std::unique_ptr<CachedImage> CRenderKit::DecodeImageBytes(const void* data, size_t length, DWORD mask)
{
    if (!data || length == 0 || length > INT_MAX) return nullptr;
    const auto* bytes = static_cast<const stbi_uc*>(data);
    int width = 0, height = 0, channels = 0;
    // The header alone first: a lying size must fail here, before stb_image allocates for it.
    if (!stbi_info_from_memory(bytes, static_cast<int>(length), &width, &height, &channels)) return nullptr;
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxImagePixels) return nullptr;
    std::unique_ptr<stbi_uc, StbiFree> pixels(
        stbi_load_from_memory(bytes, static_cast<int>(length), &width, &height, &channels, 4));
    if (!pixels || width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxImagePixels)
        return nullptr;

    void* bits = nullptr;
    auto image = std::make_unique<CachedImage>();
    image->bitmap = CreateDib32(nullptr, width, height, &bits);
    if (!image->bitmap || !bits) return nullptr;

    const stbi_uc* in = pixels.get();
    auto* out = static_cast<DWORD*>(bits);
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    bool hasAlpha = false;
    for (size_t i = 0; i < count; ++i, in += 4) {
        const DWORD a = in[3];
        DWORD r = in[0], g = in[1], b = in[2];
        if (a != 255) {
            r = r * a / 255;
            g = g * a / 255;
            b = b * a / 255;
            hasAlpha = true;
        }
        DWORD pixel = (a << 24) | (r << 16) | (g << 8) | b;
        if (pixel == mask) {
            pixel = 0;
            hasAlpha = true;
        }
        out[i] = pixel;
    }
    image->bits = static_cast<const BYTE*>(bits);
    image->width = width;
    image->height = height;
    image->hasAlpha = hasAlpha;
    image->mask = mask;
    return image;
}

std::unique_ptr<CachedImage> CRenderKit::DecodeImage(const std::wstring& nameOrId, const std::wstring& resourceType,
                                                     DWORD mask)
{
    std::vector<BYTE> bytes;
    if (!resourceType.empty()) {
        if (nameOrId.empty() || nameOrId[0] < L'0' || nameOrId[0] > L'9') return nullptr;
        const WORD id = static_cast<WORD>(std::wcstoul(nameOrId.c_str(), nullptr, 10));
        HINSTANCE hModule = CSkinResources::GetResourceModule();
        if (HRSRC hRes = ::FindResourceW(hModule, MAKEINTRESOURCEW(id), resourceType.c_str())) {
            HGLOBAL hData = ::LoadResource(hModule, hRes);
            const DWORD size = ::SizeofResource(hModule, hRes);
            const void* p = hData ? ::LockResource(hData) : nullptr;
            if (p && size > 0 && size <= kMaxImageFileBytes)
                bytes.assign(static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + size);
            if (hData) ::FreeResource(hData);
        }
        if (bytes.empty()) (void)CSkinResources::ReadWholeFile(nameOrId, bytes, kMaxImageFileBytes);
    } else {
        (void)CSkinResources::ReadImageFile(nameOrId, bytes, kMaxImageFileBytes);
    }
    if (bytes.empty()) return nullptr;
    std::unique_ptr<CachedImage> image = DecodeImageBytes(bytes.data(), bytes.size(), mask);
    if (image) image->resourceType = resourceType;
    return image;
}

}  // namespace SkinUI
