// The trivial program again, with the DLLs that the launcher's import table lists (loaded and initialised
// by the system before the entry point): the part of the game-exit start that no change inside the
// launcher's own code removes.
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

int main()
{
    // Referenced, never called: only their loading is measured.
    static const void* volatile keep[] = {
        reinterpret_cast<const void*>(&::FindWindowW),        reinterpret_cast<const void*>(&::GetStockObject),
        reinterpret_cast<const void*>(&::RegOpenKeyExW),      reinterpret_cast<const void*>(&::CommandLineToArgvW),
        reinterpret_cast<const void*>(&::PathFileExistsW),
    };
    return keep[0] == nullptr ? 1 : 0;
}
