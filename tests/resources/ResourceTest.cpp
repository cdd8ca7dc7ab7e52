#include "ResourceTest.h"

#include "TestSupport.h"

#include <zlib.h>

namespace restest {

CLauncherImage::CLauncherImage()
    : m_hModule(::LoadLibraryExW(test::LauncherPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

CLauncherImage::~CLauncherImage() {
    if (m_hModule) ::FreeLibrary(m_hModule);
}

std::string CLauncherImage::Bytes(LPCWSTR type, LPCWSTR name, WORD language) const {
    if (!m_hModule) return {};
    HRSRC hRes = ::FindResourceExW(m_hModule, type, name, language);
    if (!hRes) return {};
    const DWORD size = ::SizeofResource(m_hModule, hRes);
    HGLOBAL hData = ::LoadResource(m_hModule, hRes);
    const void* p = hData ? ::LockResource(hData) : nullptr;
    if (!p) return {};
    return std::string(static_cast<const char*>(p), size);
}

bool CLauncherImage::Has(LPCWSTR type, LPCWSTR name, WORD language) const {
    return m_hModule && ::FindResourceExW(m_hModule, type, name, language) != nullptr;
}

namespace {

uint16_t U16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t U32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}
bool Fail(std::string* error, const std::string& why) {
    *error = why;
    return false;
}

}  // namespace

bool ReadCentralDirectory(const std::string& zip, std::vector<ZipMember>* members, std::string* error) {
    members->clear();
    // The end record is the last 22 bytes when there is no archive comment.
    if (zip.size() < 22) return Fail(error, "shorter than an end record");
    const size_t end = zip.size() - 22;
    if (U32(zip, end) != 0x06054b50) return Fail(error, "no end record in the last 22 bytes (comment?)");
    if (U16(zip, end + 4) != 0 || U16(zip, end + 6) != 0) return Fail(error, "multi-disk archive");
    const uint16_t count = U16(zip, end + 10);
    const uint32_t dirSize = U32(zip, end + 12);
    const uint32_t dirOffset = U32(zip, end + 16);
    if (U16(zip, end + 8) != count) return Fail(error, "entry counts disagree");
    if (static_cast<uint64_t>(dirOffset) + dirSize != end) return Fail(error, "directory does not end at the end record");

    size_t at = dirOffset;
    for (uint16_t i = 0; i < count; ++i) {
        if (at + 46 > end || U32(zip, at) != 0x02014b50) return Fail(error, "bad central header " + std::to_string(i));
        ZipMember m;
        m.flags = U16(zip, at + 8);
        m.method = U16(zip, at + 10);
        m.crc = U32(zip, at + 16);
        m.packedSize = U32(zip, at + 20);
        m.size = U32(zip, at + 24);
        const uint16_t nameLen = U16(zip, at + 28);
        const uint16_t extraLen = U16(zip, at + 30);
        const uint16_t commentLen = U16(zip, at + 32);
        m.localOffset = U32(zip, at + 42);
        if (at + 46 + nameLen + extraLen + commentLen > end) return Fail(error, "central header overruns");
        m.name = zip.substr(at + 46, nameLen);
        members->push_back(m);
        at += 46u + nameLen + extraLen + commentLen;
    }
    if (at != end) return Fail(error, "bytes left between the directory and the end record");
    return true;
}

bool ReadMember(const std::string& zip, const ZipMember& member, std::string* data, std::string* error) {
    const size_t at = member.localOffset;
    if (at + 30 > zip.size() || U32(zip, at) != 0x04034b50) return Fail(error, member.name + ": no local header");
    // The local header must agree with the directory: readers that trust only one of them see the same member.
    if (U16(zip, at + 8) != member.method || U32(zip, at + 14) != member.crc ||
        U32(zip, at + 18) != member.packedSize || U32(zip, at + 22) != member.size)
        return Fail(error, member.name + ": local header disagrees with the directory");
    const size_t dataAt = at + 30 + U16(zip, at + 26) + U16(zip, at + 28);
    if (dataAt + member.packedSize > zip.size()) return Fail(error, member.name + ": data overruns");

    if (member.method == 0) {
        *data = zip.substr(dataAt, member.packedSize);
    } else if (member.method == 8) {
        data->assign(member.size, '\0');
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return Fail(error, "inflateInit2");
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + dataAt));
        z.avail_in = member.packedSize;
        z.next_out = reinterpret_cast<Bytef*>(data->data());
        z.avail_out = member.size;
        const int rc = inflate(&z, Z_FINISH);
        const uLong produced = z.total_out;
        inflateEnd(&z);
        if (rc != Z_STREAM_END || produced != member.size) return Fail(error, member.name + ": inflate failed");
    } else {
        return Fail(error, member.name + ": method " + std::to_string(member.method));
    }
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(data->data()), static_cast<uInt>(data->size()));
    if (crc != member.crc) return Fail(error, member.name + ": CRC mismatch");
    return true;
}

}  // namespace restest
