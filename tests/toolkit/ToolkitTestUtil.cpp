#include "ToolkitTestUtil.h"

#include <zlib.h>

#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace tk {

Canvas::Canvas(int width, int height, DWORD fill) : m_width(width), m_height(height)
{
    void* bits = nullptr;
    m_hDC.Put(::CreateCompatibleDC(nullptr));
    m_hBitmap = SkinUI::CRenderKit::CreateDib32(m_hDC.Get(), width, height, &bits);
    m_bits = static_cast<DWORD*>(bits);
    m_hOld = ::SelectObject(m_hDC.Get(), m_hBitmap.Get());
    Fill(fill);
}

void Canvas::Fill(DWORD color)
{
    ::GdiFlush();
    for (int i = 0; i < m_width * m_height; ++i) m_bits[i] = color;
}

int Canvas::Count(DWORD color) const
{
    ::GdiFlush();
    int n = 0;
    for (int i = 0; i < m_width * m_height; ++i) n += (m_bits[i] & 0xFFFFFF) == (color & 0xFFFFFF);
    return n;
}

int Canvas::CountNot(DWORD color) const { return m_width * m_height - Count(color); }

namespace {

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
}

std::vector<unsigned char> ToRgba(const std::vector<DWORD>& argb)
{
    std::vector<unsigned char> rgba;
    for (DWORD c : argb) {
        rgba.push_back(static_cast<unsigned char>(c >> 16));
        rgba.push_back(static_cast<unsigned char>(c >> 8));
        rgba.push_back(static_cast<unsigned char>(c));
        rgba.push_back(static_cast<unsigned char>(c >> 24));
    }
    return rgba;
}

void Put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(Bytes& b, unsigned long v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, (v >> 16) & 0xFFFF);
}

}  // namespace

Bytes MakePng(int width, int height, const std::vector<DWORD>& argb)
{
    Bytes out;
    const auto rgba = ToRgba(argb);
    stbi_write_png_to_func(Append, &out, width, height, 4, rgba.data(), width * 4);
    return out;
}

Bytes MakeJpeg(int width, int height, const std::vector<DWORD>& argb)
{
    Bytes out;
    const auto rgba = ToRgba(argb);
    stbi_write_jpg_to_func(Append, &out, width, height, 4, rgba.data(), 90);
    return out;
}

Bytes SolidPng(int width, int height, DWORD argb)
{
    return MakePng(width, height, std::vector<DWORD>(static_cast<size_t>(width) * height, argb));
}

Bytes Deflate(const Bytes& data)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes MakeZip(const std::vector<ZipEntry>& entries)
{
    Bytes zip, dir;
    for (const ZipEntry& e : entries) {
        const Bytes packed = e.deflate ? Deflate(e.data) : e.data;
        const unsigned long crc = crc32(0, e.data.data(), static_cast<uInt>(e.data.size()));
        const unsigned long offset = static_cast<unsigned long>(zip.size());
        Put32(zip, 0x04034b50);
        Put16(zip, 20);
        Put16(zip, 0);
        Put16(zip, e.deflate ? 8 : 0);
        Put32(zip, 0);
        Put32(zip, crc);
        Put32(zip, static_cast<unsigned long>(packed.size()));
        Put32(zip, static_cast<unsigned long>(e.data.size()));
        Put16(zip, static_cast<unsigned>(e.name.size()));
        Put16(zip, 0);
        zip.insert(zip.end(), e.name.begin(), e.name.end());
        zip.insert(zip.end(), packed.begin(), packed.end());

        Put32(dir, 0x02014b50);
        Put16(dir, 20);
        Put16(dir, 20);
        Put16(dir, 0);
        Put16(dir, e.deflate ? 8 : 0);
        Put32(dir, 0);
        Put32(dir, crc);
        Put32(dir, static_cast<unsigned long>(packed.size()));
        Put32(dir, static_cast<unsigned long>(e.data.size()));
        Put16(dir, static_cast<unsigned>(e.name.size()));
        Put16(dir, 0);
        Put16(dir, 0);
        Put16(dir, 0);
        Put16(dir, 0);
        Put32(dir, 0);
        Put32(dir, offset);
        dir.insert(dir.end(), e.name.begin(), e.name.end());
    }
    const unsigned long dirOffset = static_cast<unsigned long>(zip.size());
    zip.insert(zip.end(), dir.begin(), dir.end());
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, static_cast<unsigned>(entries.size()));
    Put16(zip, static_cast<unsigned>(entries.size()));
    Put32(zip, static_cast<unsigned long>(dir.size()));
    Put32(zip, dirOffset);
    Put16(zip, 0);
    return zip;
}

GuardedBuffer::GuardedBuffer(const void* data, size_t length) : m_length(length)
{
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    const size_t page = si.dwPageSize;
    const size_t dataPages = (length + page - 1) / page;
    m_reserved = (dataPages + 1) * page;
    m_base = ::VirtualAlloc(nullptr, m_reserved, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old = 0;
    ::VirtualProtect(static_cast<char*>(m_base) + dataPages * page, page, PAGE_NOACCESS, &old);
    m_data = static_cast<unsigned char*>(m_base) + dataPages * page - length;
    if (length) std::memcpy(m_data, data, length);
}

GuardedBuffer::~GuardedBuffer() { ::VirtualFree(m_base, 0, MEM_RELEASE); }

bool WriteFile(const std::wstring& path, const Bytes& bytes)
{
    SkinUI::CUniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace tk
