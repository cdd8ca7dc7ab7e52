// Helpers shared by the launcher: text conversions and special folders.
#pragma once

#include <windows.h>

#include <string>

// Narrow text in the ANSI code page to UTF-16; stops at the first NUL.
std::wstring AnsiToWide(const std::string& text);
// UTF-16 to narrow text in the given code page (CP_ACP or CP_UTF8); stops at the first NUL.
std::string WideToNarrow(const std::wstring& text, UINT codePage);
// Replaces every occurrence of search, scanning on after each inserted replacement.
void ReplaceAll(std::wstring& text, const std::wstring& search, const std::wstring& replacement);
// The user's local application-data folder, or an empty text.
std::wstring GetLocalAppDataPath();

// Process control. Names are compared case-sensitively with the snapshot's bare executable names.
inline constexpr DWORD kNoProcessId = 0xFFFFFFFF;
// The id of the first process whose executable name equals name, or kNoProcessId.
DWORD GetProcessIdByName(const std::wstring& name);
// Terminates a process, retrying the open with the debug privilege; true when it was terminated.
bool KillProcess(DWORD processId);
// Enables SeDebugPrivilege on the own process token; processId only names the target in the log.
bool EnableDebugPrivilege(DWORD processId);

// Special folders; empty when the system cannot name them.
std::wstring GetDesktopDir();
std::wstring GetProgramFilesX86Dir();
// Full path of the running executable cut before its last backslash (the whole path when it has none).
std::wstring GetModuleDir();
// Writes a shell link with no arguments, the icon at index 0 and the target's folder as working folder;
// true when the link file was saved. COM must be initialised on the calling thread.
bool CreateShortcut(const std::wstring& linkPath, const std::wstring& targetPath, const std::wstring& iconPath);
// The folder part of a path for a shortcut's working folder: cut before the last backslash, else before the
// last slash, else the whole path.
std::wstring ShortcutWorkingDir(const std::wstring& targetPath);
