// The launcher's skin archive, opened as the launcher's window base opens it: straight from the memory of
// the "ZIPRES" resource linked into the benchmark's own executable (BenchSkin.rc).
#pragma once

#include "UIResources.h"

#include <windows.h>

namespace bench {

constexpr int kSkinResourceId = 130;  // the launcher's "ZIPRES" resource id

inline bool OpenSkinFromResource()
{
    const HMODULE hModule = ::GetModuleHandleW(nullptr);
    SkinUI::CSkinResources::SetModule(hModule);
    const HRSRC hRes = ::FindResourceW(hModule, MAKEINTRESOURCEW(kSkinResourceId), L"ZIPRES");
    if (hRes == nullptr) return false;
    const HGLOBAL hData = ::LoadResource(hModule, hRes);
    const DWORD size = ::SizeofResource(hModule, hRes);
    const void* bytes = hData != nullptr ? ::LockResource(hData) : nullptr;
    return bytes != nullptr && size != 0 && SkinUI::CSkinResources::UseArchiveInMemory(bytes, size);
}

}  // namespace bench
