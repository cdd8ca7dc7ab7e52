// Helpers for the toolkit's base tests: a 32-bit drawing surface, a render host with its own image cache,
// archives and PNG files built in memory, and buffers that end at a no-access page.
#pragma once

#include "UIHandle.h"
#include "UIRender.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tk {

using Bytes = std::vector<unsigned char>;

// A top-down 32-bit DIB section selected into a memory DC.
class Canvas {
public:
    Canvas(int width, int height, DWORD fill = 0xFF000000);
    ~Canvas() { ::SelectObject(m_hDC.Get(), m_hOld); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return m_hDC.Get(); }
    DWORD At(int x, int y) const { return m_bits[y * m_width + x] & 0x00FFFFFF; }
    void Fill(DWORD color);
    int Count(DWORD color) const;  // pixels of exactly this RGB
    int CountNot(DWORD color) const;
    RECT Rect() const { return RECT{0, 0, m_width, m_height}; }

private:
    SkinUI::CMemDC m_hDC;
    SkinUI::CUniqueBitmap m_hBitmap;
    HGDIOBJ m_hOld = nullptr;
    DWORD* m_bits = nullptr;
    int m_width;
    int m_height;
};

class TestHost : public SkinUI::IRenderHost {
public:
    const SkinUI::CachedImage* FindCachedImage(const std::wstring& name) override { return cache.Find(name); }
    const SkinUI::CachedImage* LoadCachedImage(const std::wstring& name, const std::wstring& type, DWORD mask) override
    {
        ++loads;
        return cache.Load(name, type, mask);
    }
    HFONT FontAt(int) override { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }
    bool IsPerPixelTransparent() const override { return perPixel; }
    bool IsAntialiasedText() const override { return antialiased; }
    bool KeepsImageSourceDCs() const override { return keepSourceDCs; }

    SkinUI::CImageCache cache;
    bool keepSourceDCs = false;  // false: every blit makes its own
    int loads = 0;
    bool perPixel = false;
    bool antialiased = false;
};

// RGBA pixels, row by row, to PNG bytes.
Bytes MakePng(int width, int height, const std::vector<DWORD>& argb);
Bytes MakeJpeg(int width, int height, const std::vector<DWORD>& argb);
// One colour everywhere.
Bytes SolidPng(int width, int height, DWORD argb);

struct ZipEntry {
    std::string name;
    Bytes data;
    bool deflate = false;
};
// Builds a ZIP archive; the result can be damaged afterwards by the caller.
Bytes MakeZip(const std::vector<ZipEntry>& entries);
Bytes Deflate(const Bytes& data);  // raw deflate, no zlib header

// A copy of bytes placed so that its last byte is followed by a no-access page: reading past it faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(const void* data, size_t length);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    const unsigned char* data() const { return m_data; }
    size_t size() const { return m_length; }

private:
    void* m_base = nullptr;
    size_t m_reserved = 0;
    unsigned char* m_data = nullptr;
    size_t m_length = 0;
};

bool WriteFile(const std::wstring& path, const Bytes& bytes);
inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace tk
