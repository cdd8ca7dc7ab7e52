// The launcher's one diagnostic log: a dated file in the parent client's log folder, mirrored to
// standard error and the debugger output.
#pragma once

#include <windows.h>

#include <string>

class Logger {
public:
    enum Channel { kFile = 1, kStderr = 4, kDebugger = 16 };

    // Must run before the first log call; the folder ends with a backslash.
    static void initializePathDir(const std::wstring& folder);
    static const std::string& pathDir() { return s_pathDir; }

    static Logger& instance();

    void log(int level, const char* file, int line, const char* function, const std::wstring& message);
    void write(int level, const char* file, int line, const char* function, const std::string& message);

    bool isOpen() const { return m_opened; }
    int channels() const { return m_channels; }
    const std::string& fileName() const { return m_fileName; }

    // Pure helpers, public for the tests.
    static std::string FormatLine(const SYSTEMTIME& time, const char* file, int line, const char* function,
                                  const std::string& message);
    static std::string DatedFileName(const std::string& base, const SYSTEMTIME& date);
    static const char* SourceFileName(const char* path);

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    Logger();
    ~Logger();
    void open(const std::string& base, int channels);
    void appendToFile(const std::string& text);
    static std::string AppendLockName(const std::string& fileName);

    static std::string s_pathDir;

    bool m_opened = false;
    std::string m_fileName;
    int m_channels = 0;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    HANDLE m_hAppendLock = nullptr;  // serialises appends of all processes writing this file
    int m_fileLevel = 2;
    int m_stderrLevel = 2;
    int m_debuggerLevel = 2;
};

// Every log site passes its own function name, class-qualified for methods ("GameLoaderWnd::LoadGame").
#define VLOG(level, function, message) \
    Logger::instance().log((level), __FILE_NAME__, __LINE__, (function), (message))
// The same with a given source line, for records whose line number readers of the log rely on.
#define VLOG_AT(level, line, function, message) \
    Logger::instance().log((level), __FILE_NAME__, (line), (function), (message))
