#include "Logger.h"

#include <psapi.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

std::string Logger::s_pathDir;

namespace {

std::string WideToThreadAnsi(const std::wstring& text)
{
    if (text.empty()) return {};
    // Two bytes per UTF-16 unit plus two: enough for any ANSI code page, double-byte ones included.
    std::vector<char> buffer(text.size() * 2 + 2, '\0');
    const int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                        buffer.data(), static_cast<int>(buffer.size()), nullptr, nullptr);
    if (n <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

HANDLE ProbeFolder(const std::string& folder, bool& busy)
{
    busy = false;
    const std::string probe = folder + "debug.txt";
    HANDLE h = ::CreateFileA(probe.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    // Another launcher holding its probe open right now proves the folder writable as well; without this,
    // a process started at the same moment as another would lose its whole log.
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) busy = true;
    return h;
}

// The documents folder of the user at the console; only a process with service rights gets a token here.
// This fallback is rare, so the session DLL is loaded only for it: imported, it would be loaded and
// initialised at every start, the short game-exit start included.
std::string ConsoleUserFolder()
{
    const DWORD session = ::WTSGetActiveConsoleSessionId();
    if (session == 0xFFFFFFFF) return {};
    struct Module {
        HMODULE h;
        ~Module()
        {
            if (h != nullptr) ::FreeLibrary(h);
        }
    } wts{::LoadLibraryW(L"wtsapi32.dll")};
    if (wts.h == nullptr) return {};
    using QueryUserToken = BOOL(WINAPI*)(ULONG, PHANDLE);
    const auto query = reinterpret_cast<QueryUserToken>(
        reinterpret_cast<void*>(::GetProcAddress(wts.h, "WTSQueryUserToken")));
    HANDLE hToken = nullptr;
    if (query == nullptr || !query(session, &hToken) || !hToken) return {};
    std::string folder;
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (SUCCEEDED(::SHGetFolderLocation(nullptr, CSIDL_PERSONAL, hToken, 0, &pidl)) && pidl) {
        wchar_t path[MAX_PATH] = {};
        if (::SHGetPathFromIDListW(pidl, path)) folder = WideToThreadAnsi(path);
        ::ILFree(pidl);
    }
    ::CloseHandle(hToken);
    return folder;
}

}  // namespace

void Logger::initializePathDir(const std::wstring& folder)
{
    std::string narrow;
    if (!folder.empty()) {
        const int n = ::WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            narrow.resize(static_cast<size_t>(n));
            ::WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, narrow.data(), n, nullptr, nullptr);
            narrow.resize(static_cast<size_t>(n - 1));
        }
    }
    s_pathDir = narrow;
}

Logger& Logger::instance()
{
    static Logger s_logger;  // constructed once, thread-safe
    return s_logger;
}

Logger::Logger()
{
    bool busy = false;
    HANDLE hProbe = ProbeFolder(s_pathDir, busy);
    if (hProbe == INVALID_HANDLE_VALUE && !busy) {
        const std::string userFolder = ConsoleUserFolder();
        if (!userFolder.empty()) {
            s_pathDir = userFolder + "\\";
            hProbe = ProbeFolder(s_pathDir, busy);
        }
    }

    char exeName[MAX_PATH] = {};
    if (!::K32GetModuleBaseNameA(::GetCurrentProcess(), nullptr, exeName, MAX_PATH)) exeName[0] = '\0';
    const std::string base = s_pathDir + exeName;

    if (hProbe != INVALID_HANDLE_VALUE || busy) {
        if (hProbe != INVALID_HANDLE_VALUE) {
            ::CloseHandle(hProbe);
            ::DeleteFileA((s_pathDir + "debug.txt").c_str());
        }
        open(base, kFile | kStderr | kDebugger);
        return;
    }
    const DWORD attributes = ::GetFileAttributesW(L"D:");
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        open(base, kStderr | kDebugger);
    }
}

Logger::~Logger()
{
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
    if (m_hAppendLock) ::CloseHandle(m_hAppendLock);
}

// Several launchers append to one day's file. An append-only handle is not enough to keep their lines
// whole everywhere (Wine writes at the handle's own position), so a named mutex per file serialises the
// seek to the end and the write. The wait is bounded: a stuck process must not stop the others.
std::string Logger::AppendLockName(const std::string& fileName)
{
    // Paths compare without regard to ASCII case, as the file system does.
    unsigned long hash = 5381;
    for (unsigned char c : fileName) {
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        hash = hash * 33 + c;
    }
    char name[64];
    std::snprintf(name, sizeof name, "vemra2-log-append-%08lx", hash);
    return name;
}

void Logger::appendToFile(const std::string& text)
{
    const DWORD waited = m_hAppendLock ? ::WaitForSingleObject(m_hAppendLock, 2000) : WAIT_FAILED;
    const bool locked = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    LARGE_INTEGER zero = {};
    ::SetFilePointerEx(m_hFile, zero, nullptr, FILE_END);
    DWORD written = 0;
    ::WriteFile(m_hFile, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (locked) ::ReleaseMutex(m_hAppendLock);
}

std::string Logger::DatedFileName(const std::string& base, const SYSTEMTIME& date)
{
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "_%d_%d_%d.log", date.wYear, date.wMonth, date.wDay);
    return base + suffix;
}

void Logger::open(const std::string& base, int channels)
{
    m_fileLevel = m_stderrLevel = m_debuggerLevel = 2;
    if ((m_channels & kFile) && m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    if (m_fileName != base) {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        m_fileName = DatedFileName(base, now);
    }
    if ((channels & kFile) && m_hFile == INVALID_HANDLE_VALUE) {
        // Shared with the other launchers of the day; a failure loses file output only.
        m_hFile = ::CreateFileA(m_fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE && !m_hAppendLock)
            m_hAppendLock = ::CreateMutexA(nullptr, FALSE, AppendLockName(m_fileName).c_str());
    }
    m_channels = channels;
    m_opened = true;
}

const char* Logger::SourceFileName(const char* path)
{
    if (!path || !*path) return path ? path : "";
    const char* last = nullptr;
    for (const char* p = path + 1; *p; ++p) {
        if (*p == '\\') last = p;
    }
    return last ? last + 1 : path;
}

std::string Logger::FormatLine(const SYSTEMTIME& time, const char* file, int line, const char* function,
                               const std::string& message)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%d-%02d-%02d %02d:%02d:%02d.%3d", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    std::string out = stamp;
    out += " [";
    out += SourceFileName(file);
    out += "<";
    out += std::to_string(line);
    out += ">";
    out += function ? function : "";
    out += "] : ";
    // One record, one line: line breaks inside a message are written as the two characters \r or \n.
    for (char c : message) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void Logger::log(int level, const char* file, int line, const char* function, const std::wstring& message)
{
    write(level, file, line, function, WideToThreadAnsi(message));
}

void Logger::write(int level, const char* file, int line, const char* function, const std::string& message)
{
    if (!m_opened) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string text = FormatLine(now, file, line, function, message) + "\r\n";

    if ((m_channels & kFile) && level <= m_fileLevel && m_hFile != INVALID_HANDLE_VALUE) appendToFile(text);
    if ((m_channels & kStderr) && level <= m_stderrLevel) {
        std::fwrite(text.data(), 1, text.size() - 2, stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    if ((m_channels & kDebugger) && level <= m_debuggerLevel) {
        ::OutputDebugStringA(text.c_str());
    }
}
