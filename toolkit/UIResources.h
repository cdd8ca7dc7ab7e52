// Where skin files come from: the process's modules, a folder of loose files, or the skin archive (a ZIP file
// on disk or held in memory). One provider per process, set up by the window base before the first skin.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace SkinUI {

class CSkinArchive;

class CSkinResources {
public:
    // Why a skin file lookup gave no bytes; the markup reader turns these into its messages.
    enum class Lookup {
        Ok,
        OpenFileFailed,  // loose file cannot be opened
        Empty,           // file or member has length 0
        TooLarge,        // longer than the caller's limit
        ReadFailed,      // fewer bytes read than the file length
        OpenArchiveFailed,
        MemberNotFound,
        ExtractFailed,
    };

    static void SetModule(HINSTANCE hInstance) { s_hInstance = hInstance; }
    static HINSTANCE GetModule() { return s_hInstance; }
    static void SetResourceModule(HINSTANCE hInstance) { s_hResInstance = hInstance; }
    // The module whose resources hold skins: the resource module when set, else the module.
    static HINSTANCE GetResourceModule() { return s_hResInstance ? s_hResInstance : s_hInstance; }

    // Stores the folder and appends "\" unless it is empty or already ends with a separator.
    static void SetResourceFolder(const std::wstring& folder);
    static const std::wstring& GetResourceFolder() { return s_strResourcePath; }

    // Holds resource folder + name open for the life of the process, unless that archive is cached already.
    static bool UseArchiveFile(const std::wstring& name);
    // Holds a memory block open as the archive "membuffer"; the block must outlive the process's use of it.
    static bool UseArchiveInMemory(const void* data, size_t length);
    static void CloseArchive();
    static const std::wstring& GetArchiveName() { return s_strArchiveName; }
    static bool IsArchiveCached() { return s_bArchiveCached; }
    static int LastArchiveResult() { return s_nLastArchiveResult; }

    static constexpr const wchar_t* kMemoryArchiveName = L"membuffer";

    // The skin file lookup: a loose file under the resource folder, or a member of the archive in use.
    // Files or members longer than maxBytes are refused before anything is allocated.
    static Lookup ReadSkinFile(const std::wstring& name, std::vector<BYTE>& bytes, size_t maxBytes);
    // For images: the lookup, and when it gives nothing, the name itself read as a file path.
    static bool ReadImageFile(const std::wstring& name, std::vector<BYTE>& bytes, size_t maxBytes);
    // Reads a whole file; used by the lookup and the image fall-back.
    static Lookup ReadWholeFile(const std::wstring& path, std::vector<BYTE>& bytes, size_t maxBytes);

private:
    static Lookup ReadMember(CSkinArchive& archive, const std::wstring& name, std::vector<BYTE>& bytes,
                             size_t maxBytes);

    static HINSTANCE s_hInstance;
    static HINSTANCE s_hResInstance;
    static std::wstring s_strResourcePath;
    static std::wstring s_strArchiveName;
    static bool s_bArchiveCached;
    static int s_nLastArchiveResult;
};

}  // namespace SkinUI
