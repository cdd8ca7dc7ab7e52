#include "GameLoader.h"

#include "Common.h"
#include "Logger.h"
#include "UIHandle.h"

#include <json/json.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tinyxml.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>

// The parent client reads the compact, line-feed-terminated text of the old writer API byte for byte.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

using SkinUI::CUniqueHkey;
using SkinUI::CUniqueLocal;

namespace {

struct OptionKey {
    const char* key;
    const wchar_t* prefix;
};

// The order decides which option wins when one argument contains several prefixes.
constexpr OptionKey kOptions[] = {
    {"winid", L"--winid="},           {"source", L"--source="},     {"tokenLogin", L"--tokenLogin="},
    {"token", L"--token="},           {"ocext", L"--ocext="},       {"installed", L"--installed="},
    {"gameMgrId", L"--gameMgrId="},   {"typeMode", L"--typeMode="},
};

std::wstring Serialise(const Json::Value& root)
{
    Json::FastWriter writer;
    return AnsiToWide(writer.write(root));
}

constexpr char kSettingsRoot[] = "settings";
constexpr char kWindowIdElement[] = "ocwindowid";
constexpr char kLoginSourceElement[] = "loginsource";

// The parent client reads the file at any moment and the launcher may be ended at any moment: the new text
// goes to a file of its own first and then takes the old one's place in one step, so the file is always
// either the old document or the new one.
bool SaveReplacing(TiXmlDocument& doc, const std::wstring& path)
{
    const std::wstring temp = path + L".tmp";  // one name: a writer ended halfway leaves one stray file at most
    if (!doc.SaveFile(WideToNarrow(temp, CP_ACP))) {
        (void)::DeleteFileW(temp.c_str());
        return false;
    }
    if (!::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        (void)::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

bool WriteSettingValue(const std::wstring& path, const char* element, const std::wstring& value)
{
    TiXmlDocument doc(WideToNarrow(path, CP_ACP));
    TiXmlElement* root = nullptr;
    if (!::PathFileExistsW(path.c_str())) {
        root = new TiXmlElement(kSettingsRoot);
        doc.LinkEndChild(root);  // the document owns it from here
    } else {
        if (!doc.LoadFile()) return false;
        root = doc.FirstChildElement();
        if (!root) return false;
    }
    TiXmlElement* node = root->FirstChildElement(element);
    if (node) {
        node->Clear();
    } else {
        node = new TiXmlElement(element);
        root->LinkEndChild(node);
    }
    node->LinkEndChild(new TiXmlText(WideToNarrow(value, CP_UTF8)));
    return SaveReplacing(doc, path);
}

bool ReadSettingValue(const std::wstring& path, const char* element, std::wstring& value)
{
    TiXmlDocument doc(WideToNarrow(path, CP_ACP));
    if (!doc.LoadFile()) return false;
    const TiXmlElement* root = doc.FirstChildElement();
    if (!root) return false;
    const TiXmlElement* node = root->FirstChildElement(element);
    if (!node) return false;
    const TiXmlNode* child = node->FirstChild();
    if (child && child->ToText()) value = AnsiToWide(child->ValueStr());
    return true;
}

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Reads a value of the game's uninstall key into 260 UTF-16 units; a longer value reads as empty.
std::wstring ReadUninstallValue(const std::wstring& gameCode, const wchar_t* name)
{
    CUniqueHkey key;
    const std::wstring path = std::wstring(kUninstallKey) + L"\\" + gameCode;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.AddressOf()) != ERROR_SUCCESS) return {};
    wchar_t buffer[260] = {};
    DWORD size = sizeof buffer;
    if (::RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return {};
    // A value stored without its terminator may fill the buffer completely.
    return std::wstring(buffer, wcsnlen(buffer, std::size(buffer)));
}

}  // namespace

bool MatchOption(Json::Value& root, const std::wstring& arg, const char* key, const wchar_t* prefix)
{
    const size_t pos = arg.find(prefix);
    if (pos == std::wstring::npos) return false;
    root[key] = WideToNarrow(arg.substr(pos + wcslen(prefix)), CP_ACP);
    return true;
}

bool ParseCmdLine(const wchar_t* commandLine, std::wstring& cmdJson)
{
    int argCount = 0;
    CUniqueLocal argList(::CommandLineToArgvW(commandLine, &argCount));
    if (!argList) {
        VLOG(0, "ParseCmdParam", L"CommandLineToArgvW szArgList is NULL");
        return false;
    }
    const auto* args = static_cast<wchar_t**>(argList.Get());

    if (argCount == 2) {
        // A single argument passes through unchanged (the game-exit start is one JSON argument), unless
        // it carries the installed flag.
        cmdJson = args[1];
        Json::Value installed;
        if (MatchOption(installed, args[1], "installed", L"--installed=")) cmdJson = Serialise(installed);
        return true;
    }

    Json::Value root;  // null until a member is set, so no options serialise as "null"
    for (int i = 0; i < argCount; ++i) {
        VLOG(2, "ParseCmdParam",
             L"CommandLineToArgvW argCount:" + std::to_wstring(i) + L" szArgList:" + std::wstring(args[i]));
        for (const OptionKey& option : kOptions) {
            if (MatchOption(root, args[i], option.key, option.prefix)) break;
        }
    }
    cmdJson = Serialise(root);
    return true;
}

bool ParseCmdParam(std::wstring& cmdJson)
{
    return ParseCmdLine(::GetCommandLineW(), cmdJson);
}

std::wstring GetSettingPath()
{
    const std::wstring folder = GetLocalAppDataPath() + L"\\" + kParentFolderName;
    if (!::PathFileExistsW(folder.c_str())) (void)::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\setting.xml";
}

bool WriteWindowId(const std::wstring& path, const std::wstring& value)
{
    return WriteSettingValue(path, kWindowIdElement, value);
}

bool WriteLoginSource(const std::wstring& path, const std::wstring& value)
{
    return WriteSettingValue(path, kLoginSourceElement, value);
}

bool ReadWindowId(const std::wstring& path, std::wstring& value)
{
    return ReadSettingValue(path, kWindowIdElement, value);
}

bool ReadLoginSource(const std::wstring& path, std::wstring& value)
{
    return ReadSettingValue(path, kLoginSourceElement, value);
}

std::wstring GetGameInstallDir(const std::wstring& gameCode)
{
    std::wstring dir = ReadUninstallValue(gameCode, L"DisplayIcon");
    ReplaceAll(dir, L"/", L"\\");
    const size_t slash = dir.rfind(L'\\');
    if (slash != std::wstring::npos) dir.resize(slash + 1);
    return dir;
}

std::wstring GetBagFileParam(const std::wstring& gameCode)
{
    return ReadUninstallValue(gameCode, L"FileParam");
}

namespace {

// The launch context text of a normal start ends with a line feed; the log keeps one line per call.
std::wstring WithoutLineEnd(std::wstring text)
{
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// The start mode of a launch context: 1 asks for the game-exit notice. Throws for a root that is neither
// an object nor null; false when the text is no game-exit form at all.
bool ReadStartMode(const std::wstring& cmdJson, int& mode)
{
    const std::string text = WideToNarrow(cmdJson, CP_ACP);
    Json::Reader reader;
    Json::Value root;
    if (reader.parse(text, root)) {
        const Json::Value& type = root["type"];
        mode = (!type.isNull() && type.isInt()) ? type.asInt() : 0;
        return true;
    }
    VLOG(0, "IsGameExit", L"reader.parse:" + WithoutLineEnd(cmdJson) + L" false");
    // What the argument splitter leaves of the parent's quoted JSON object.
    if (text == "type:1" || text == "{type:1}") {
        VLOG(0, "IsGameExit", L"get type:1");
        mode = 1;
        return true;
    }
    return false;
}

}  // namespace

ParentNotice MakeParentNotice()
{
    ParentNotice notice;
    std::memset(&notice, 0, sizeof notice);
    notice.noticeHead = 1;
    notice.noticeText[0] = L'1';
    notice.noticeTail = 1;
    return notice;
}

HWND WindowFromIdText(const std::wstring& idText)
{
    // Handles are 32-bit values on every Windows; widening sign-extends them as the system does.
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(::_wtoi(idText.c_str())));
}

void SendParentNotice(const std::wstring& idText)
{
    const HWND hParent = WindowFromIdText(idText);
    ParentNotice notice = MakeParentNotice();
    COPYDATASTRUCT data = {};
    data.dwData = 1;
    data.cbData = sizeof notice;
    data.lpData = &notice;
    // A parent that stops responding must not keep the launcher alive: after the bound the launcher goes
    // on as if the notice had been taken, like it does for a lost one.
    DWORD_PTR result = 0;
    (void)::SendMessageTimeoutW(hParent, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                                kParentNoticeTimeoutMs, &result);
}

bool IsGameExit(const std::wstring& cmdJson)
{
    VLOG(2, "IsGameExit", L"IsGameExit:" + WithoutLineEnd(cmdJson));
    int mode = 0;
    try {
        if (!ReadStartMode(cmdJson, mode)) return false;
    } catch (...) {
        return false;  // a root that is an array, a number or a string has no members
    }
    if (mode != 1) return false;
    VLOG(2, "IsGameExit", L"game exit notify:" + WithoutLineEnd(cmdJson));

    const std::wstring path = GetSettingPath();
    std::wstring loginSource;
    if (!ReadLoginSource(path, loginSource) || loginSource.empty()) return true;
    std::wstring windowId;
    if (ReadWindowId(path, windowId)) {
        VLOG(2, "IsGameExit", L"Orbit Center wnd get");
        SendParentNotice(windowId);
    } else {
        VLOG(2, "IsGameExit", L"Orbit Center wnd not get");
    }
    return true;
}

bool GeneralProcessExist()
{
    for (const wchar_t* name : g_generalProcessNames) {
        const DWORD processId = GetProcessIdByName(name);
        if (processId != kNoProcessId) {
            VLOG(0, "GeneralProcessExist", std::wstring(L"GeneralProcessExist,GetProcessIdByName ") + name +
                                               L" idProcess:" + std::to_wstring(processId));
            return true;
        }
    }
    return false;
}

void KillGeneralProcess()
{
    for (const wchar_t* name : g_generalProcessNames) {
        const DWORD processId = GetProcessIdByName(name);
        if (processId == kNoProcessId || KillProcess(processId)) continue;
        // taskkill ends every process of the name; it runs on its own, nobody waits for it.
        const std::string command = "taskkill /f /im " + WideToNarrow(name, CP_ACP);
        if (::WinExec(command.c_str(), SW_HIDE) <= 31) {
            const DWORD error = ::GetLastError();
            VLOG(0, "KillGeneralProcess",
                 std::wstring(L"KillProcess ") + name + L" falsed code:" + std::to_wstring(error));
        }
    }
}

void CleanupGeneralProcess()
{
    constexpr int kMaxPasses = 30;
    constexpr ULONGLONG kPassMs = 1000;
    for (int pass = 1; pass <= kMaxPasses; ++pass) {
        if (!GeneralProcessExist()) return;
        KillGeneralProcess();
        // A full second on the monotonic clock, even when Sleep wakes early.
        const ULONGLONG deadline = ::GetTickCount64() + kPassMs;
        for (ULONGLONG now = ::GetTickCount64(); now < deadline; now = ::GetTickCount64())
            ::Sleep(static_cast<DWORD>(deadline - now));
    }
}
