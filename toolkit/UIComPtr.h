// Ownership of newly made COM objects.
#pragma once

#include <wrl/client.h>

namespace SkinUI {

// Takes over the one reference a newly made COM object starts with. mingw-w64's ComPtr::Attach adds a
// reference of its own (the platform's does not), so Attach would keep every such object alive forever.
template <typename T>
Microsoft::WRL::ComPtr<T> AdoptComPtr(T* fresh) noexcept
{
    Microsoft::WRL::ComPtr<T> owner;
    *owner.ReleaseAndGetAddressOf() = fresh;
    return owner;
}

}  // namespace SkinUI
