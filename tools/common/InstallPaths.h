// Where an installed game leaves its traces, as the launcher's install registration writes them: shared by
// the parent-client simulator, which plays the parent's unpack, and the tests that check the registration.
#pragma once

#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

namespace installpaths {

inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vemra2";

inline std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}

// The folder the registration names as the game's: the game code below the 32-bit program files folder.
inline std::wstring InstalledGameFolder()
{
    return SpecialFolder(CSIDL_PROGRAM_FILESX86) + L"\\vemra2";
}

inline std::wstring DesktopShortcut()
{
    return SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Vemrakai2.lnk";
}

// The stand-in game of folder (ending with a backslash) put where an unpacked game goes.
inline bool InstallGame(const std::wstring& folder)
{
    ::SHCreateDirectoryExW(nullptr, InstalledGameFolder().c_str(), nullptr);
    return ::CopyFileW((folder + L"vemra2.exe").c_str(), (InstalledGameFolder() + L"\\vemra2.exe").c_str(), FALSE) !=
           0;
}

// As on a machine where the game was never installed: no uninstall entry, shortcut or game.
inline void ClearInstall()
{
    ::SHDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
    ::DeleteFileW(DesktopShortcut().c_str());
    ::DeleteFileW((InstalledGameFolder() + L"\\vemra2.exe").c_str());
    ::RemoveDirectoryW(InstalledGameFolder().c_str());
}

}  // namespace installpaths
