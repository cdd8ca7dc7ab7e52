// Reading the resources of the built launcher without running it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace restest {

// The launcher mapped as data: its resources readable, none of its code run.
class CLauncherImage {
public:
    CLauncherImage();
    ~CLauncherImage();
    CLauncherImage(const CLauncherImage&) = delete;
    CLauncherImage& operator=(const CLauncherImage&) = delete;

    HMODULE Module() const { return m_hModule; }
    // The bytes of one resource in exactly that language; empty when it is absent.
    std::string Bytes(LPCWSTR type, LPCWSTR name, WORD language) const;
    bool Has(LPCWSTR type, LPCWSTR name, WORD language) const;

private:
    HMODULE m_hModule = nullptr;
};

// One entry of a ZIP central directory.
struct ZipMember {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t size = 0;
    uint32_t localOffset = 0;
};

// Just enough ZIP to check the archive: the end record, the central directory and the members' data.
// Every function returns false on a malformed archive, with the reason in *error.
bool ReadCentralDirectory(const std::string& zip, std::vector<ZipMember>* members, std::string* error);
bool ReadMember(const std::string& zip, const ZipMember& member, std::string* data, std::string* error);

}  // namespace restest
