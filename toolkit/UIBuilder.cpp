#include "UIBuilder.h"

#include "UIActiveX.h"
#include "UIContainer.h"
#include "UILabel.h"
#include "UIManager.h"
#include "UIResources.h"
#include "UIWebBrowser.h"

#include <functional>
#include <map>

namespace SkinUI {

namespace {

// Include nesting of the builds running on this thread.
int s_nIncludeDepth = 0;

struct IncludeGuard {
    IncludeGuard() { ++s_nIncludeDepth; }
    ~IncludeGuard() { --s_nIncludeDepth; }
};

std::wstring Attr(CSkinMarkupNode& node, const wchar_t* name, const wchar_t* fallback, bool* present = nullptr)
{
    wchar_t buf[CSkinMarkupNode::kMaxValueChars + 1] = {};
    bool found = node.FindAttribute(name, buf);
    if (present) *present = found;
    return found ? std::wstring(buf) : std::wstring(fallback);
}

bool IsWindowLevelElement(const wchar_t* name)
{
    return wcscmp(name, L"Image") == 0 || wcscmp(name, L"Font") == 0 || wcscmp(name, L"Default") == 0;
}

}  // namespace

CControlUI* CreateControlByElementName(const std::wstring& elementName)
{
    // Elements of classes this toolkit does not carry ("Edit", "List", "TileLayout" ...) are not listed:
    // they reach the window's callback like any custom element.
    static const std::map<std::wstring, std::function<CControlUI*()>> table = {
        {L"Control", [] { return new CControlUI; }},
        {L"Container", [] { return new CContainerUI; }},
        {L"VerticalLayout", [] { return new CVerticalLayoutUI; }},
        {L"HorizontalLayout", [] { return new CHorizontalLayoutUI; }},
        {L"TabLayout", [] { return new CTabLayoutUI; }},
        {L"Label", [] { return new CLabelUI; }},
        {L"Button", [] { return new CButtonUI; }},
        {L"Progress", [] { return new CProgressUI; }},
        {L"ScrollBar", [] { return new CScrollBarUI; }},
        {L"ActiveX", [] { return new CActiveXUI; }},
        {L"WebBrowser", [] { return new CWebBrowserUI; }},
    };
    auto it = table.find(elementName);
    return it == table.end() ? nullptr : it->second();
}

CControlUI* CSkinBuilder::Build(const std::wstring& source, const std::wstring& resourceType,
                                IDialogBuilderCallback* pCallback, CUIManager* pManager, CControlUI* pParent)
{
    if (!resourceType.empty()) {
        int id = ParseInt(source.c_str());
        if (id <= 0 || id >= 0x10000) return nullptr;
        return Build(static_cast<UINT>(id), resourceType, pCallback, pManager, pParent);
    }
    bool loaded = !source.empty() && source[0] == L'<' ? m_markup.LoadFromText(source.c_str())
                                                       : m_markup.LoadFromFile(source.c_str());
    if (!loaded) return nullptr;
    m_strResourceType.clear();
    return BuildLoaded(pCallback, pManager, pParent);
}

CControlUI* CSkinBuilder::Build(UINT resourceId, const std::wstring& resourceType, IDialogBuilderCallback* pCallback,
                                CUIManager* pManager, CControlUI* pParent)
{
    HINSTANCE hModule = CSkinResources::GetResourceModule();
    if (hModule == nullptr) hModule = ::GetModuleHandleW(nullptr);
    HRSRC hRes = ::FindResourceW(hModule, MAKEINTRESOURCEW(resourceId), resourceType.c_str());
    if (hRes == nullptr) return nullptr;
    HGLOBAL hData = ::LoadResource(hModule, hRes);
    if (hData == nullptr) return nullptr;
    const DWORD size = ::SizeofResource(hModule, hRes);
    const void* bytes = ::LockResource(hData);
    bool loaded = bytes != nullptr && size != 0 && m_markup.LoadFromBytes(bytes, size);
    ::FreeResource(hData);
    if (!loaded) return nullptr;
    m_strResourceType = resourceType;
    return BuildLoaded(pCallback, pManager, pParent);
}

CControlUI* CSkinBuilder::BuildLoaded(IDialogBuilderCallback* pCallback, CUIManager* pManager, CControlUI* pParent)
{
    m_pCallback = pCallback;
    m_bFailed = false;
    CSkinMarkupNode root = m_markup.Root();
    if (!root.IsValid()) return nullptr;
    if (pManager != nullptr) {
        ApplyWindowElements(root, pManager);
        if (wcscmp(root.Name(), L"Window") == 0 && pManager->GetPaintWindow() != nullptr && m_markup.IsLoaded())
            ApplyWindowAttributes(root, pManager);
    }
    CControlUI* pResult = ParseChildren(root, pParent, pManager);
    if (m_bFailed) return nullptr;
    return pResult;
}

void CSkinBuilder::ApplyWindowElements(CSkinMarkupNode& root, CUIManager* pManager)
{
    for (CSkinMarkupNode node = root.FirstChild(); node.IsValid(); node = node.NextSibling()) {
        const wchar_t* name = node.Name();
        if (wcscmp(name, L"Image") == 0) {
            bool hasName = false;
            std::wstring imageName = Attr(node, L"name", L"", &hasName);
            if (!hasName) continue;
            std::wstring type = Attr(node, L"restype", L"");
            DWORD mask = ParseColorValue(Attr(node, L"mask", L"").c_str(), false);
            (void)pManager->LoadCachedImage(imageName, type, mask);  // a failed load is retried at paint
        } else if (wcscmp(name, L"Font") == 0) {
            bool hasName = false;
            std::wstring face = Attr(node, L"name", L"", &hasName);
            if (!hasName) continue;
            bool hasSize = false;
            std::wstring sizeText = Attr(node, L"size", L"", &hasSize);
            int size = hasSize ? ParseInt(sizeText.c_str()) : 12;
            bool bold = ParseBool(Attr(node, L"bold", L"").c_str());
            bool underline = ParseBool(Attr(node, L"underline", L"").c_str());
            bool italic = ParseBool(Attr(node, L"italic", L"").c_str());
            (void)pManager->RegisterFont(face, size, bold, underline, italic);
            if (ParseBool(Attr(node, L"default", L"").c_str()))
                pManager->ReplaceDefaultFont(face, size, bold, underline, italic);
        } else if (wcscmp(name, L"Default") == 0) {
            bool hasName = false;
            std::wstring className = Attr(node, L"name", L"", &hasName);
            if (!hasName) continue;
            pManager->SetClassDefaults(className, Attr(node, L"value", L""));
        }
    }
}

void CSkinBuilder::ApplyWindowAttributes(CSkinMarkupNode& root, CUIManager* pManager)
{
    CShadowUI* shadow = pManager->GetShadow();
    const int count = root.AttributeCount();
    for (int i = 0; i < count; ++i) {
        const std::wstring name = root.AttributeName(i);
        const wchar_t* v = root.AttributeValue(i);
        if (name == L"size") {
            SIZE sz = ParseSize(v);
            pManager->SetInitSize(sz.cx, sz.cy);
        } else if (name == L"sizebox") {
            pManager->SetSizeBox(ParseRect(v));
        } else if (name == L"caption") {
            pManager->SetCaptionRect(ParseRect(v));
        } else if (name == L"roundcorner") {
            SIZE sz = ParseSize(v);
            pManager->SetRoundCorner(sz.cx, sz.cy);
        } else if (name == L"mininfo") {
            SIZE sz = ParseSize(v);
            pManager->SetMinInfo(sz.cx, sz.cy);
        } else if (name == L"maxinfo") {
            SIZE sz = ParseSize(v);
            pManager->SetMaxInfo(sz.cx, sz.cy);
        } else if (name == L"alpha") {
            pManager->SetOpacity(ParseInt(v));
        } else if (name == L"bktrans") {
            pManager->SetBackgroundTransparent(ParseBool(v));
        } else if (name == L"disabledfontcolor") {
            pManager->SetDefaultDisabledColor(ParseColorValue(v, false));
        } else if (name == L"defaultfontcolor") {
            pManager->SetDefaultFontColor(ParseColorValue(v, false));
        } else if (name == L"linkfontcolor") {
            pManager->SetDefaultLinkFontColor(ParseColorValue(v, false));
        } else if (name == L"linkhoverfontcolor") {
            pManager->SetDefaultLinkHoverFontColor(ParseColorValue(v, false));
        } else if (name == L"selectedcolor") {
            pManager->SetDefaultSelectedBkColor(ParseColorValue(v, false));
        } else if (name == L"shadowsize") {
            shadow->SetShadowSize(ParseInt(v));
        } else if (name == L"shadowsharpness") {
            shadow->SetShadowSharpness(ParseInt(v));
        } else if (name == L"shadowdarkness") {
            shadow->SetShadowDarkness(ParseInt(v));
        } else if (name == L"shadowposition") {
            SIZE sz = ParseSize(v);
            shadow->SetShadowOffset(sz.cx, sz.cy);
        } else if (name == L"shadowcolor") {
            shadow->SetShadowColor(ParseColorValue(v, false));
        } else if (name == L"shadowcorner") {
            shadow->SetShadowCorners(ParseRect(v));
        } else if (name == L"shadowimage") {
            shadow->SetShadowImage(v);
        } else if (name == L"showshadow") {
            shadow->EnableShadow(ParseBool(v));
        } else if (name == L"gdiplustext") {
            pManager->SetGdiplusText(ParseBool(v));
        }
    }
}

CControlUI* CSkinBuilder::ParseChildren(CSkinMarkupNode& parentNode, CControlUI* pParent, CUIManager* pManager)
{
    IContainerUI* pContainer = nullptr;
    bool containerLooked = false;
    CControlUI* pFirst = nullptr;
    for (CSkinMarkupNode node = parentNode.FirstChild(); node.IsValid(); node = node.NextSibling()) {
        const wchar_t* elementName = node.Name();
        if (IsWindowLevelElement(elementName)) continue;

        if (wcscmp(elementName, L"Include") == 0) {
            bool hasSource = false;
            std::wstring source = Attr(node, L"source", L"", &hasSource);
            if (!hasSource) continue;
            bool hasCount = false;
            std::wstring countText = Attr(node, L"count", L"", &hasCount);
            int count = hasCount ? ParseInt(countText.c_str()) : 1;
            if (s_nIncludeDepth >= kMaxIncludeDepth) continue;
            IncludeGuard guard;
            for (int i = 0; i < count; ++i) {
                CSkinBuilder builder;
                if (!m_strResourceType.empty())
                    (void)builder.Build(static_cast<UINT>(ParseInt(source.c_str())), m_strResourceType, m_pCallback,
                                        pManager, pParent);
                else
                    (void)builder.Build(source, std::wstring(), m_pCallback, pManager, pParent);
            }
            continue;
        }

        CControlUI* pControl = CreateControlByElementName(elementName);
        if (pControl == nullptr && m_pCallback != nullptr) pControl = m_pCallback->CreateCustomControl(elementName);
        if (pControl == nullptr) continue;

        if (node.HasChildren()) {
            CSkinMarkupNode self = node;
            ParseChildren(self, pControl, pManager);
            if (m_bFailed) {
                delete pControl;
                return nullptr;
            }
        }

        if (pParent != nullptr) {
            if (!containerLooked) {
                containerLooked = true;
                pContainer = static_cast<IContainerUI*>(pParent->QueryKind(L"IContainer"));
            }
            if (pContainer == nullptr) {
                // A parent that cannot take children spoils the whole build.
                delete pControl;
                m_bFailed = true;
                return nullptr;
            }
            if (!pContainer->AddItem(pControl)) {
                delete pControl;
                continue;
            }
        }

        // Adding to a live container attaches the control; that attachment is what it keeps afterwards.
        CUIManager* pManagerAfterAdd = pControl->GetManager();
        CControlUI* pParentAfterAdd = pControl->GetParent();
        if (pManager != nullptr) {
            pControl->Attach(pManager, nullptr, false);
            std::wstring defaults = pManager->ClassDefaults(elementName);
            if (!defaults.empty()) pControl->ApplyAttributeString(defaults);
        }
        const int count = node.AttributeCount();
        for (int i = 0; i < count; ++i) pControl->ApplyAttribute(node.AttributeName(i), node.AttributeValue(i));
        if (pManager != nullptr) pControl->Attach(pManagerAfterAdd, pParentAfterAdd, false);

        if (pFirst == nullptr) pFirst = pControl;
    }
    return pFirst;
}

}  // namespace SkinUI
