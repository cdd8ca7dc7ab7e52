// The launch context from the command line, the settings file shared with the parent client, and the
// values of the game's uninstall entry.
#pragma once

#include <windows.h>

#include <string>

namespace Json {
class Value;
}

// Folder of the parent client under the local application-data folder.
inline constexpr wchar_t kParentFolderName[] = L"Orbit_Center";
// The game this launcher belongs to.
inline constexpr char kGameCode[] = "vemra2";

// Splits the process command line into the launch context text (compact JSON, UTF-16).
// False only when the command line cannot be split; the text is then left empty.
bool ParseCmdParam(std::wstring& cmdJson);
// The same for a given command line; ParseCmdParam passes GetCommandLineW.
bool ParseCmdLine(const wchar_t* commandLine, std::wstring& cmdJson);
// Sets root[key] to whatever follows the first occurrence of prefix in arg.
bool MatchOption(Json::Value& root, const std::wstring& arg, const char* key, const wchar_t* prefix);

// "setting.xml" in the parent client's folder; creates the folder when it is missing.
std::wstring GetSettingPath();
bool WriteWindowId(const std::wstring& path, const std::wstring& value);
bool WriteLoginSource(const std::wstring& path, const std::wstring& value);
bool ReadWindowId(const std::wstring& path, std::wstring& value);
bool ReadLoginSource(const std::wstring& path, std::wstring& value);

// Folder of the game's executable from "DisplayIcon", ending with a backslash; empty when unknown.
std::wstring GetGameInstallDir(const std::wstring& gameCode);
// The install-time "FileParam" value, unchanged; empty when unknown.
std::wstring GetBagFileParam(const std::wstring& gameCode);
