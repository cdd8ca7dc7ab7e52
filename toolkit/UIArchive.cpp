#include "UIArchive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace SkinUI {
namespace {

constexpr DWORD kEndSignature = 0x06054b50;
constexpr DWORD kDirSignature = 0x02014b50;
constexpr DWORD kLocalSignature = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kDirRecordSize = 46;
constexpr size_t kLocalRecordSize = 30;
constexpr size_t kMaxComment = 0xFFFF;
constexpr size_t kMaxNameChars = 255;

WORD Get16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD Get32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool CSkinArchive::OpenFromFile(const std::wstring& path)
{
    Close();
    m_hFile.Put(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!m_hFile || !::GetFileSizeEx(m_hFile.Get(), &size)) {
        Close();
        return false;
    }
    m_nSize = static_cast<ULONGLONG>(size.QuadPart);
    if (!ReadDirectory()) {
        Close();
        return false;
    }
    m_bOpen = true;
    return true;
}

bool CSkinArchive::OpenFromMemory(const void* data, size_t length)
{
    Close();
    if (!data) return false;
    m_pMemory = static_cast<const BYTE*>(data);
    m_nSize = length;
    if (!ReadDirectory()) {
        Close();
        return false;
    }
    m_bOpen = true;
    return true;
}

void CSkinArchive::Close()
{
    m_bOpen = false;
    m_hFile.Reset();
    m_pMemory = nullptr;
    m_nSize = 0;
    m_members.clear();
}

bool CSkinArchive::ReadAt(ULONGLONG offset, void* buffer, size_t length)
{
    if (offset > m_nSize || length > m_nSize - offset) return false;
    if (length == 0) return true;
    if (m_pMemory) {
        std::memcpy(buffer, m_pMemory + offset, length);
        return true;
    }
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(m_hFile.Get(), pos, nullptr, FILE_BEGIN)) return false;
    BYTE* out = static_cast<BYTE*>(buffer);
    while (length > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(length, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(m_hFile.Get(), out, chunk, &read, nullptr) || read == 0) return false;
        out += read;
        length -= read;
    }
    return true;
}

// The end record sits in the last 22 bytes plus at most a 64 KiB comment; everything the directory says
// is checked against the real size before it is used.
bool CSkinArchive::ReadDirectory()
{
    if (m_nSize < kEndRecordSize) return false;
    const size_t tail = static_cast<size_t>(std::min<ULONGLONG>(m_nSize, kEndRecordSize + kMaxComment));
    std::vector<BYTE> end(tail);
    const ULONGLONG tailStart = m_nSize - tail;
    if (!ReadAt(tailStart, end.data(), tail)) return false;
    size_t at = tail - kEndRecordSize + 1;
    bool found = false;
    while (at-- > 0) {
        if (Get32(&end[at]) == kEndSignature) {
            found = true;
            break;
        }
    }
    if (!found) return false;
    const BYTE* rec = &end[at];
    const ULONGLONG endPos = tailStart + at;
    const WORD entries = Get16(rec + 10);
    const DWORD dirSize = Get32(rec + 12);
    const DWORD dirOffset = Get32(rec + 16);
    if (dirOffset > endPos || dirSize > endPos - dirOffset) return false;
    // Every entry needs at least its fixed part, so a count the directory cannot hold is a lie.
    if (static_cast<ULONGLONG>(entries) * kDirRecordSize > dirSize) return false;

    std::vector<BYTE> dir(dirSize);
    if (!ReadAt(dirOffset, dir.data(), dirSize)) return false;
    m_members.reserve(entries);
    size_t pos = 0;
    for (WORD i = 0; i < entries; ++i) {
        if (dirSize - pos < kDirRecordSize) return false;
        const BYTE* p = &dir[pos];
        if (Get32(p) != kDirSignature) return false;
        const size_t nameLen = Get16(p + 28);
        const size_t extraLen = Get16(p + 30);
        const size_t commentLen = Get16(p + 32);
        const size_t recordLen = kDirRecordSize + nameLen + extraLen + commentLen;
        if (dirSize - pos < recordLen) return false;
        Member m;
        m.flags = Get16(p + 8);
        m.method = Get16(p + 10);
        m.compressedSize = Get32(p + 20);
        m.uncompressedSize = Get32(p + 24);
        m.localHeaderOffset = Get32(p + 42);
        m.name.assign(reinterpret_cast<const char*>(p + kDirRecordSize), nameLen);
        m_members.push_back(std::move(m));
        pos += recordLen;
    }
    return true;
}

int CSkinArchive::FindMember(const std::wstring& name, DWORD* pUncompressedSize) const
{
    if (!m_bOpen || name.empty() || name.size() > kMaxNameChars) return -1;
    const int cb = ::WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (cb <= 0) return -1;
    std::string ansi(static_cast<size_t>(cb), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), &ansi[0], cb, nullptr, nullptr);
    std::replace(ansi.begin(), ansi.end(), '\\', '/');
    for (size_t i = 0; i < m_members.size(); ++i) {
        const std::string& candidate = m_members[i].name;
        if (candidate.size() != ansi.size()) continue;
        bool same = true;
        for (size_t k = 0; k < ansi.size() && same; ++k) same = AsciiLower(candidate[k]) == AsciiLower(ansi[k]);
        if (same) {
            if (pUncompressedSize) *pUncompressedSize = m_members[i].uncompressedSize;
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CSkinArchive::Extract(int index, void* buffer, size_t length)
{
    if (!m_bOpen) return kNotOpen;
    if (index < 0 || static_cast<size_t>(index) >= m_members.size() || (!buffer && length > 0)) return kBadIndex;
    const Member& m = m_members[static_cast<size_t>(index)];
    if ((m.flags & 1) != 0 || (m.method != 0 && m.method != Z_DEFLATED)) return kUnsupported;

    BYTE local[kLocalRecordSize];
    if (!ReadAt(m.localHeaderOffset, local, sizeof(local)) || Get32(local) != kLocalSignature) return kBadLocalHeader;
    const ULONGLONG dataStart =
        static_cast<ULONGLONG>(m.localHeaderOffset) + kLocalRecordSize + Get16(local + 26) + Get16(local + 28);
    if (dataStart > m_nSize || m.compressedSize > m_nSize - dataStart) return kBadLocalHeader;

    if (m.method == 0) {
        const size_t stored = std::min<size_t>(m.compressedSize, m.uncompressedSize);
        const size_t n = std::min(stored, length);
        if (!ReadAt(dataStart, buffer, n)) return kReadFailed;
        if (n == length) return kMoreData;
        return n == m.uncompressedSize ? kOk : kCorrupt;
    }

    // Deflated: the compressed bytes are read whole (bounded by the archive's size above) and inflated
    // raw, without the zlib header, straight into the caller's buffer.
    std::vector<BYTE> fileCopy;
    const BYTE* input = nullptr;
    if (m_pMemory) {
        input = m_pMemory + dataStart;
    } else {
        fileCopy.resize(m.compressedSize);
        if (!ReadAt(dataStart, fileCopy.data(), fileCopy.size())) return kReadFailed;
        input = fileCopy.data();
    }
    if (length > 0xFFFFFFFFu) length = 0xFFFFFFFFu;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return kCorrupt;
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = m.compressedSize;
    z.next_out = static_cast<Bytef*>(buffer);
    z.avail_out = static_cast<uInt>(length);
    int result = kCorrupt;
    for (;;) {
        if (z.avail_out == 0) {
            result = kMoreData;
            break;
        }
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            if (z.avail_out == 0)
                result = kMoreData;
            else
                result = z.total_out == m.uncompressedSize ? kOk : kCorrupt;
            break;
        }
        if (rc != Z_OK) break;  // data error, or input used up before the stream ended
    }
    inflateEnd(&z);
    return result;
}

}  // namespace SkinUI
