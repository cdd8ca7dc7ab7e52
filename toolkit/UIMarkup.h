// The reader for skin layouts: a small subset of XML parsed in place inside one 16-bit text buffer.
// Nodes refer to names, values and text by position; nothing is copied out of the buffer.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace SkinUI {

class CSkinMarkup;

class CSkinMarkupNode {
public:
    static constexpr int kMaxAttributes = 64;
    static constexpr size_t kMaxValueChars = 499;

    CSkinMarkupNode() = default;

    bool IsValid() const { return m_pOwner != nullptr; }
    CSkinMarkupNode Parent() const;
    CSkinMarkupNode NextSibling() const;
    CSkinMarkupNode FirstChild() const;
    bool HasChildren() const;

    // Empty strings for an invalid node or an index out of range.
    const wchar_t* Name() const;
    const wchar_t* Value() const;
    int AttributeCount();
    const wchar_t* AttributeName(int index);
    const wchar_t* AttributeValue(int index);
    // Copies the value of the first attribute named exactly name: at most 499 characters, and never more
    // than cchBuffer - 1. False, with the buffer untouched, when there is none.
    bool FindAttribute(const wchar_t* name, wchar_t* buffer, size_t cchBuffer);
    template <size_t N>
    bool FindAttribute(const wchar_t* name, wchar_t (&buffer)[N])
    {
        return FindAttribute(name, buffer, N);
    }
    bool HasAttribute(const wchar_t* name);

private:
    friend class CSkinMarkup;
    CSkinMarkupNode(CSkinMarkup* owner, ULONG index) : m_pOwner(owner), m_nIndex(index) {}
    void MapAttributes();

    struct Attribute {
        ULONG name;
        ULONG value;
    };
    CSkinMarkup* m_pOwner = nullptr;
    ULONG m_nIndex = 0;
    int m_nAttributes = 0;
    Attribute m_aAttributes[kMaxAttributes] = {};
};

class CSkinMarkup {
public:
    static constexpr ULONG kInitialCapacity = 500;
    static constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

    CSkinMarkup() = default;
    CSkinMarkup(const CSkinMarkup&) = delete;
    CSkinMarkup& operator=(const CSkinMarkup&) = delete;

    bool LoadFromText(const wchar_t* text);
    // UTF-8, with or without a byte-order mark.
    bool LoadFromBytes(const void* data, size_t length);
    // The name is looked up as a skin file (loose file or archive member).
    bool LoadFromFile(const wchar_t* fileName);
    void Release();

    bool IsLoaded() const { return m_elements.size() > 1; }
    CSkinMarkupNode Root();

    const wchar_t* LastError() const { return m_szErrorMsg; }
    const wchar_t* LastErrorContext() const { return m_szErrorXml; }

    ULONG ElementCount() const { return static_cast<ULONG>(m_elements.size()); }
    ULONG ElementCapacity() const { return static_cast<ULONG>(m_elements.capacity()); }

private:
    friend class CSkinMarkupNode;
    struct Element {
        ULONG nameStart;
        ULONG firstChild;
        ULONG nextSibling;
        ULONG parent;
        ULONG dataStart;
    };

    // Room for units of text plus the terminating and padding NULs that scans rely on; TerminateText
    // writes those NULs after the first units.
    bool AllocateText(size_t units);
    void TerminateText(size_t units);
    bool ParseText();  // parses m_pText (already NUL-terminated), releasing everything on failure
    bool ParseList(wchar_t*& p, ULONG parent, int depth);
    bool DecodeData(wchar_t*& p, wchar_t*& dest, wchar_t end);
    ULONG AppendElement();
    bool Fail(const wchar_t* message, const wchar_t* at);
    void ClearErrors();
    ULONG PosOf(const wchar_t* p) const { return static_cast<ULONG>(p - m_pText.get()); }

    std::unique_ptr<wchar_t[]> m_pText;
    size_t m_nTextLength = 0;
    std::vector<Element> m_elements;
    wchar_t m_szErrorMsg[100] = {};
    wchar_t m_szErrorXml[50] = {};
};

}  // namespace SkinUI
