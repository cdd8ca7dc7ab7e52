// Test entry: the launcher's log of a test program goes to a private folder, never beside the build.
#include "Logger.h"

#include <objbase.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    wchar_t tmp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tmp);
    std::wstring folder = std::wstring(tmp) + L"vemra2-test-logs\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    Logger::initializePathDir(folder);
    // The launcher's UI thread is a single-threaded apartment; so is every test's.
    (void)::CoInitialize(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
