// Helpers for tests that run under Wine: processes, files, folders and the launcher's own paths.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test {

// Folder of the running test program (the build's bin folder), with a trailing backslash.
std::wstring BinDir();
// Full path of the launcher built beside the tests.
std::wstring LauncherPath();
// A fresh empty folder under %TEMP% for one test.
std::wstring MakeTempDir(const std::wstring& tag);
void RemoveTree(const std::wstring& path);

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// Quotes one argument the way CommandLineToArgvW splits it back.
std::wstring QuoteArg(const std::wstring& arg);

struct ProcessResult {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
    DWORD elapsedMs = 0;
};
// Starts a program with a raw command line (program path quoted first) and waits for it, dispatching
// this thread's window messages meanwhile so that test windows receive what the program posts.
ProcessResult RunProcess(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs);
// Starts without waiting; the caller owns the returned process handle.
HANDLE StartProcess(const std::wstring& program, const std::wstring& arguments);
// Starts the launcher with the arguments and, once its main window "Vemrakai2" exists, closes it (WM_CLOSE)
// the way a user's close would end it, then waits; a launcher that ends by itself is simply waited for.
ProcessResult RunLauncherAndClose(const std::wstring& arguments, DWORD timeoutMs);
// The top-level window titled "Vemrakai2" that belongs to the process, or none.
HWND FindLauncherWindow(DWORD processId);
// Waits (pumping) until the process's launcher window exists; none when the process ended first or on time-out.
HWND WaitForLauncherWindow(HANDLE hProcess, DWORD timeoutMs);
// Waits for a process while dispatching messages; false on time-out.
bool WaitPumping(HANDLE hProcess, DWORD timeoutMs);
// Dispatches pending messages for the given time.
void PumpFor(DWORD ms);

// A window's client area as the window paints it (WM_PRINTCLIENT into a 32-bit DIB, black first),
// top-down pixels 0x00RRGGBB plus alpha byte; width and height are filled in.
std::vector<DWORD> CaptureClient(HWND hWnd, int& width, int& height);

// The launcher's log folder and today's log file for an executable name.
std::wstring ParentFolder();
std::wstring LogFolder();
std::wstring TodaysLogPath(const std::wstring& exeName = L"vemra2_main.exe");
// Splits text into lines at CR LF; a trailing part without CR LF is returned as the last line.
std::vector<std::string> SplitCrLf(const std::string& text);
// Text as the launcher's log writes it: in the system's ANSI code page.
std::string Ansi(const std::wstring& text);
// The part of a log line after "] : ", or the whole line.
std::string LogMessage(const std::string& line);

}  // namespace test
