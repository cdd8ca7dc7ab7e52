// A small reader for the skin archive: an ordinary ZIP file (stored or deflated members, no encryption)
// read from a file or from a memory block that the caller keeps alive.
#pragma once

#include "UIHandle.h"

#include <windows.h>

#include <string>
#include <vector>

namespace SkinUI {

class CSkinArchive {
public:
    // Result codes of Extract: kMoreData means the buffer was filled completely, which is the normal
    // outcome when the buffer is exactly as large as the member; both count as success.
    enum : int {
        kOk = 0,
        kMoreData = 0x600,
        kNotOpen = 0x10000,
        kBadIndex = 0x10001,
        kBadLocalHeader = 0x10002,
        kUnsupported = 0x10003,  // method other than stored or deflated, or encrypted
        kReadFailed = 0x10004,
        kCorrupt = 0x10005,  // broken deflate stream, or fewer bytes than the directory promised
    };

    CSkinArchive() = default;
    ~CSkinArchive() { Close(); }
    CSkinArchive(const CSkinArchive&) = delete;
    CSkinArchive& operator=(const CSkinArchive&) = delete;

    // Both fail, leaving the archive closed, when the central directory cannot be read.
    [[nodiscard]] bool OpenFromFile(const std::wstring& path);
    [[nodiscard]] bool OpenFromMemory(const void* data, size_t length);
    void Close();
    bool IsOpen() const { return m_bOpen; }

    // Index of the first member whose name matches (ANSI code page, "\" read as "/", ASCII letters
    // case-insensitive), or -1. Names of 256 or more characters are never found.
    int FindMember(const std::wstring& name, DWORD* pUncompressedSize = nullptr) const;
    // Unpacks member index into buffer; returns one of the result codes above.
    int Extract(int index, void* buffer, size_t length);

    size_t MemberCount() const { return m_members.size(); }
    const std::string& MemberName(size_t index) const { return m_members[index].name; }

private:
    struct Member {
        std::string name;  // as stored: bytes of the archive's code page
        WORD flags = 0;
        WORD method = 0;
        DWORD compressedSize = 0;
        DWORD uncompressedSize = 0;
        DWORD localHeaderOffset = 0;
    };

    bool ReadAt(ULONGLONG offset, void* buffer, size_t length);
    bool ReadDirectory();

    bool m_bOpen = false;
    CUniqueFile m_hFile;
    const BYTE* m_pMemory = nullptr;
    ULONGLONG m_nSize = 0;
    std::vector<Member> m_members;
};

}  // namespace SkinUI
