#include "UIResources.h"

#include "UIArchive.h"
#include "UIHandle.h"

namespace SkinUI {
namespace {

CSkinArchive& CachedArchive()
{
    static CSkinArchive archive;
    return archive;
}

}  // namespace

HINSTANCE CSkinResources::s_hInstance = nullptr;
HINSTANCE CSkinResources::s_hResInstance = nullptr;
std::wstring CSkinResources::s_strResourcePath;
std::wstring CSkinResources::s_strArchiveName;
bool CSkinResources::s_bArchiveCached = false;
int CSkinResources::s_nLastArchiveResult = 0;

void CSkinResources::SetResourceFolder(const std::wstring& folder)
{
    s_strResourcePath = folder;
    if (!s_strResourcePath.empty() && s_strResourcePath.back() != L'\\' && s_strResourcePath.back() != L'/')
        s_strResourcePath += L'\\';
}

bool CSkinResources::UseArchiveFile(const std::wstring& name)
{
    if (s_bArchiveCached && s_strArchiveName == name) return true;
    CloseArchive();
    s_strArchiveName = name;
    s_bArchiveCached = CachedArchive().OpenFromFile(s_strResourcePath + name);
    return s_bArchiveCached;
}

bool CSkinResources::UseArchiveInMemory(const void* data, size_t length)
{
    if (s_strArchiveName == kMemoryArchiveName) return s_bArchiveCached;
    CloseArchive();
    s_strArchiveName = kMemoryArchiveName;
    s_bArchiveCached = CachedArchive().OpenFromMemory(data, length);
    return s_bArchiveCached;
}

void CSkinResources::CloseArchive()
{
    CachedArchive().Close();
    s_bArchiveCached = false;
    s_strArchiveName.clear();
}

CSkinResources::Lookup CSkinResources::ReadWholeFile(const std::wstring& path, std::vector<BYTE>& bytes,
                                                     size_t maxBytes)
{
    bytes.clear();
    CUniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Lookup::OpenFileFailed;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) return Lookup::ReadFailed;
    if (size.QuadPart == 0) return Lookup::Empty;
    if (static_cast<ULONGLONG>(size.QuadPart) > maxBytes) return Lookup::TooLarge;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        bytes.clear();
        return Lookup::ReadFailed;
    }
    return Lookup::Ok;
}

CSkinResources::Lookup CSkinResources::ReadMember(CSkinArchive& archive, const std::wstring& name,
                                                  std::vector<BYTE>& bytes, size_t maxBytes)
{
    DWORD size = 0;
    const int index = archive.FindMember(name, &size);
    if (index < 0) return Lookup::MemberNotFound;
    if (size == 0) return Lookup::Empty;
    if (size > maxBytes) return Lookup::TooLarge;
    bytes.resize(size);
    s_nLastArchiveResult = archive.Extract(index, bytes.data(), bytes.size());
    if (s_nLastArchiveResult != CSkinArchive::kOk && s_nLastArchiveResult != CSkinArchive::kMoreData) {
        bytes.clear();
        return Lookup::ExtractFailed;
    }
    return Lookup::Ok;
}

CSkinResources::Lookup CSkinResources::ReadSkinFile(const std::wstring& name, std::vector<BYTE>& bytes,
                                                    size_t maxBytes)
{
    bytes.clear();
    if (s_strArchiveName.empty()) return ReadWholeFile(s_strResourcePath + name, bytes, maxBytes);
    if (s_bArchiveCached) return ReadMember(CachedArchive(), name, bytes, maxBytes);
    // No archive held open: open it for this one lookup.
    CSkinArchive archive;
    if (!archive.OpenFromFile(s_strResourcePath + s_strArchiveName)) return Lookup::OpenArchiveFailed;
    return ReadMember(archive, name, bytes, maxBytes);
}

bool CSkinResources::ReadImageFile(const std::wstring& name, std::vector<BYTE>& bytes, size_t maxBytes)
{
    if (name.empty()) return false;
    if (ReadSkinFile(name, bytes, maxBytes) == Lookup::Ok) return true;
    return ReadWholeFile(name, bytes, maxBytes) == Lookup::Ok;
}

}  // namespace SkinUI
