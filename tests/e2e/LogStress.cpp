// Writes many log lines through the launcher's Logger as fast as it can, to show that several processes
// appending to one day's file lose nothing. Arguments: log folder, line count.
#include "Logger.h"

#include <shellapi.h>

#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    Logger::initializePathDir(argv[1]);
    const int count = _wtoi(argv[2]);
    const std::wstring pid = std::to_wstring(::GetCurrentProcessId());
    for (int i = 0; i < count; ++i) {
        VLOG(2, "LogStress", L"pid " + pid + L" line " + std::to_wstring(i));
    }
    return 0;
}
