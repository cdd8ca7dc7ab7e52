// Turns a skin document into a control tree and applies its window-level settings to a manager.
#pragma once

#include "UIMarkup.h"

#include <windows.h>

#include <string>

namespace SkinUI {

class CControlUI;
class CUIManager;

class IDialogBuilderCallback {
public:
    // A new control for an element the builder does not know, or none.
    virtual CControlUI* CreateCustomControl(const wchar_t* elementName) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class CSkinBuilder {
public:
    // The source is a markup text when it starts with "<", else a skin file name; with a resource type it
    // is the decimal id of a resource of that type. Returns the root control, or none.
    CControlUI* Build(const std::wstring& source, const std::wstring& resourceType = std::wstring(),
                      IDialogBuilderCallback* pCallback = nullptr, CUIManager* pManager = nullptr,
                      CControlUI* pParent = nullptr);
    CControlUI* Build(UINT resourceId, const std::wstring& resourceType, IDialogBuilderCallback* pCallback,
                      CUIManager* pManager, CControlUI* pParent = nullptr);

    CSkinMarkup& Markup() { return m_markup; }

    // Nested "Include" elements deeper than this are not followed (a file including itself would never end).
    static constexpr int kMaxIncludeDepth = 16;

private:
    CControlUI* BuildLoaded(IDialogBuilderCallback* pCallback, CUIManager* pManager, CControlUI* pParent);
    void ApplyWindowElements(CSkinMarkupNode& root, CUIManager* pManager);
    void ApplyWindowAttributes(CSkinMarkupNode& root, CUIManager* pManager);
    CControlUI* ParseChildren(CSkinMarkupNode& node, CControlUI* pParent, CUIManager* pManager);

    CSkinMarkup m_markup;
    std::wstring m_strResourceType;
    IDialogBuilderCallback* m_pCallback = nullptr;
    bool m_bFailed = false;
};

// A control for one of the toolkit's element names ("Button", "VerticalLayout", ...), or none.
CControlUI* CreateControlByElementName(const std::wstring& elementName);

}  // namespace SkinUI
