// Decoding skin images into premultiplied 32-bit bitmaps, and the per-manager image cache.
#include "UIRender.h"

#include "UIResources.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace SkinUI {
namespace {

// The pixels stb_image returns are written straight into the DIB section when it allocates a buffer of
// the section's size: otherwise every decoded picture is a second fresh allocation that the
// system must fault in and that is then copied once more. Any other allocation goes to the C heap, and
// whatever buffer stb_image returns in the end is converted into the section, so the outcome never
// depends on which buffer received the pixels.
struct SectionTarget {
    BYTE* bits = nullptr;
    size_t size = 0;      // width * height * 4
    size_t capacity = 0;  // committed bytes from bits on: JPEG asks for one byte of slack
    bool taken = false;
};
thread_local SectionTarget* t_pTarget = nullptr;

void* StbMalloc(size_t size)
{
    SectionTarget* t = t_pTarget;
    if (t && !t->taken && (size == t->size || size == t->size + 1) && size <= t->capacity) {
        t->taken = true;
        return t->bits;
    }
    return std::malloc(size);
}

bool IsSection(const void* p)
{
    const SectionTarget* t = t_pTarget;
    return t && p && p == t->bits;
}

void StbFree(void* p)
{
    if (IsSection(p))
        t_pTarget->taken = false;
    else
        std::free(p);
}

void* StbRealloc(void* p, size_t size)
{
    if (!IsSection(p)) return std::realloc(p, size);
    void* moved = std::malloc(size);
    if (!moved) return nullptr;  // as realloc: the old block stays the caller's
    std::memcpy(moved, p, std::min(size, t_pTarget->size));
    t_pTarget->taken = false;
    return moved;
}

}  // namespace
}  // namespace SkinUI

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#define STBI_MALLOC(size) SkinUI::StbMalloc(size)
#define STBI_REALLOC(p, size) SkinUI::StbRealloc(p, size)
#define STBI_FREE(p) SkinUI::StbFree(p)
#include <stb_image.h>

namespace SkinUI {
namespace {

// Far above any skin image, far below what a damaged header could make us allocate.
constexpr size_t kMaxImageFileBytes = 64 * 1024 * 1024;

// Arms the section as the target of stb_image's allocations for one decode on this thread.
class TargetScope {
public:
    TargetScope(void* bits, size_t size)
    {
        m_target.bits = static_cast<BYTE*>(bits);
        m_target.size = size;
        MEMORY_BASIC_INFORMATION info{};
        if (::VirtualQuery(bits, &info, sizeof info) == sizeof info && info.State == MEM_COMMIT)
            m_target.capacity =
                static_cast<size_t>(static_cast<BYTE*>(info.BaseAddress) + info.RegionSize - m_target.bits);
        m_pPrevious = t_pTarget;
        t_pTarget = &m_target;
    }
    ~TargetScope() { t_pTarget = m_pPrevious; }
    TargetScope(const TargetScope&) = delete;
    TargetScope& operator=(const TargetScope&) = delete;

private:
    SectionTarget m_target;
    SectionTarget* m_pPrevious = nullptr;
};

// The general pixel: premultiplied, then the mask colour cleared. Reads before it writes, so in and out
// may be the same pixel.
inline DWORD ConvertPixel(const BYTE* in, DWORD mask, bool& hasAlpha)
{
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
    return pixel;
}

// R, G, B, A bytes to premultiplied B, G, R, A pixels; in may be the same memory as out. Opaque pixels, all
// of a JPEG, only swap red and blue, four at a time where the processor allows.
bool ConvertPixels(const BYTE* in, DWORD* out, size_t count, DWORD mask)
{
    bool hasAlpha = false;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i keepGA = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i maskColor = _mm_set1_epi32(static_cast<int>(mask));
    for (; i + 4 <= count; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 4));
        const __m128i swapped =
            _mm_or_si128(_mm_and_si128(v, keepGA),
                         _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low),
                                      _mm_slli_epi32(_mm_and_si128(v, low), 16)));
        const __m128i allOpaque = _mm_cmpeq_epi32(_mm_and_si128(v, opaque), opaque);
        const __m128i masked = _mm_cmpeq_epi32(swapped, maskColor);
        if (_mm_movemask_epi8(allOpaque) == 0xFFFF && _mm_movemask_epi8(masked) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), swapped);
        } else {
            for (size_t k = i; k < i + 4; ++k) out[k] = ConvertPixel(in + k * 4, mask, hasAlpha);
        }
    }
#endif
    for (; i < count; ++i) out[i] = ConvertPixel(in + i * 4, mask, hasAlpha);
    return hasAlpha;
}

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

    // The section exists before decoding so that the decoder can fill it.
    void* bits = nullptr;
    auto image = std::make_unique<CachedImage>();
    image->bitmap = CreateDib32(nullptr, width, height, &bits);
    if (!image->bitmap || !bits) return nullptr;
    const size_t sectionBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;

    int decodedWidth = 0, decodedHeight = 0;
    bool inSection = false;
    std::unique_ptr<stbi_uc, StbiFree> pixels;
    {
        TargetScope target(bits, sectionBytes);
        stbi_uc* decoded = stbi_load_from_memory(bytes, static_cast<int>(length), &decodedWidth, &decodedHeight,
                                                 &channels, 4);
        // Pixels in the section belong to the bitmap; stb_image must not free them.
        if (decoded && decoded == bits)
            inSection = true;
        else
            pixels.reset(decoded);
    }
    if (!inSection && !pixels) return nullptr;
    const BYTE* in = inSection ? static_cast<const BYTE*>(bits) : pixels.get();

    // The header and the decoder have never disagreed on the size; if they do, the decoder's size wins.
    CUniqueBitmap headerSized;
    if (decodedWidth != width || decodedHeight != height) {
        if (decodedWidth <= 0 || decodedHeight <= 0 ||
            static_cast<long long>(decodedWidth) * decodedHeight > kMaxImagePixels)
            return nullptr;
        headerSized = std::move(image->bitmap);  // may hold the pixels until they are converted
        width = decodedWidth;
        height = decodedHeight;
        image->bitmap = CreateDib32(nullptr, width, height, &bits);
        if (!image->bitmap || !bits) return nullptr;
    }

    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    image->hasAlpha = ConvertPixels(in, static_cast<DWORD*>(bits), count, mask);
    image->bits = static_cast<const BYTE*>(bits);
    image->width = width;
    image->height = height;
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
