#include "UIMarkup.h"

#include "UIResources.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace SkinUI {
namespace {

// Deeper nesting than any layout needs would only serve to overflow the stack on damaged input.
constexpr int kMaxDepth = 256;

inline bool IsSpace(wchar_t c) { return c > 0 && c <= 0x20; }

inline wchar_t* SkipSpace(wchar_t* p)
{
    while (IsSpace(*p)) ++p;
    return p;
}

// The text is followed by this many NUL units, so that a scan may load eight units at once from any
// position up to the terminator without reading past the buffer.
constexpr size_t kTextSlack = 8;

struct AsciiNameTable {
    bool name[128] = {};
    constexpr AsciiNameTable()
    {
        for (int c = 'a'; c <= 'z'; ++c) name[c] = true;
        for (int c = 'A'; c <= 'Z'; ++c) name[c] = true;
        for (int c = '0'; c <= '9'; ++c) name[c] = true;
        name[static_cast<int>('_')] = true;
        name[static_cast<int>(':')] = true;
    }
};
constexpr AsciiNameTable kAsciiName;

inline bool IsNameChar(wchar_t c)
{
    if (c < 0x80) return kAsciiName.name[c];
    return ::IsCharAlphaNumericW(c) != FALSE;
}

// The first of NUL, end and "&" at or after p.
inline wchar_t* ScanData(wchar_t* p, wchar_t end)
{
#if defined(__SSE2__)
    static_assert(sizeof(wchar_t) == 2, "eight 16-bit units per load");
    const __m128i zero = _mm_setzero_si128();
    const __m128i stop = _mm_set1_epi16(static_cast<short>(end));
    const __m128i amp = _mm_set1_epi16(static_cast<short>(L'&'));
    for (;;) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, zero), _mm_cmpeq_epi16(v, stop)), _mm_cmpeq_epi16(v, amp));
        const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (bits) return p + __builtin_ctz(bits) / 2;
        p += 8;
    }
#else
    while (*p && *p != end && *p != L'&') ++p;
    return p;
#endif
}

inline wchar_t* SkipIdent(wchar_t* p)
{
    while (*p && IsNameChar(*p)) ++p;
    return p;
}

// Compares text with a prefix without reading past a terminator in text.
inline bool StartsWith(const wchar_t* text, const wchar_t* prefix, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (text[i] != prefix[i]) return false;
    return true;
}

struct Entity {
    const wchar_t* text;
    size_t length;
    wchar_t value;
};
constexpr Entity kEntities[] = {
    {L"&amp;", 5, L'&'}, {L"&apos;", 6, L'\''}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'}, {L"&quot;", 6, L'"'},
};

void CopyLimited(wchar_t* out, size_t cchOut, const wchar_t* in)
{
    size_t i = 0;
    if (in)
        for (; i + 1 < cchOut && in[i]; ++i) out[i] = in[i];
    out[i] = 0;
}

const wchar_t kEmpty[] = L"";

// Strict UTF-8 to UTF-16 in one pass. Returns false at the first sequence that is not well-formed (overlong,
// surrogate, above U+10FFFF, cut short); the caller then leaves the whole text to MultiByteToWideChar, whose
// replacement of damaged bytes is the one readers of this class have always seen. out holds length units.
bool DecodeUtf8(const unsigned char* in, size_t length, wchar_t* out, size_t& written)
{
    const unsigned char* const end = in + length;
    wchar_t* const start = out;
    while (in < end) {
        // Runs of ASCII, the bulk of any layout, many bytes at a time.
#if defined(__SSE2__)
        while (end - in >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            if (_mm_movemask_epi8(block)) break;
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(block, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(block, zero));
            in += 16;
            out += 16;
        }
#endif
        while (end - in >= 8) {
            unsigned long long block;
            std::memcpy(&block, in, sizeof block);
            if (block & 0x8080808080808080ULL) break;
            for (int i = 0; i < 8; ++i) out[i] = in[i];
            in += 8;
            out += 8;
        }
        if (in == end) break;
        const unsigned c = *in;
        if (c < 0x80) {
            *out++ = static_cast<wchar_t>(c);
            ++in;
            continue;
        }
        const size_t left = static_cast<size_t>(end - in);
        if (c >= 0xC2 && c <= 0xDF) {
            if (left < 2 || (in[1] & 0xC0) != 0x80) return false;
            *out++ = static_cast<wchar_t>(((c & 0x1F) << 6) | (in[1] & 0x3F));
            in += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            if (left < 3 || (in[1] & 0xC0) != 0x80 || (in[2] & 0xC0) != 0x80) return false;
            const unsigned cp = ((c & 0x0F) << 12) | ((in[1] & 0x3Fu) << 6) | (in[2] & 0x3Fu);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
            *out++ = static_cast<wchar_t>(cp);
            in += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            if (left < 4 || (in[1] & 0xC0) != 0x80 || (in[2] & 0xC0) != 0x80 || (in[3] & 0xC0) != 0x80)
                return false;
            const unsigned cp =
                ((c & 0x07) << 18) | ((in[1] & 0x3Fu) << 12) | ((in[2] & 0x3Fu) << 6) | (in[3] & 0x3Fu);
            if (cp < 0x10000 || cp > 0x10FFFF) return false;
            *out++ = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            *out++ = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            in += 4;
        } else {
            return false;
        }
    }
    written = static_cast<size_t>(out - start);
    return true;
}

}  // namespace

// ---- CSkinMarkupNode ----

CSkinMarkupNode CSkinMarkupNode::Parent() const
{
    if (!m_pOwner) return {};
    const ULONG parent = m_pOwner->m_elements[m_nIndex].parent;
    return parent ? CSkinMarkupNode(m_pOwner, parent) : CSkinMarkupNode();
}

CSkinMarkupNode CSkinMarkupNode::NextSibling() const
{
    if (!m_pOwner) return {};
    const ULONG next = m_pOwner->m_elements[m_nIndex].nextSibling;
    return next ? CSkinMarkupNode(m_pOwner, next) : CSkinMarkupNode();
}

CSkinMarkupNode CSkinMarkupNode::FirstChild() const
{
    if (!m_pOwner) return {};
    const ULONG child = m_pOwner->m_elements[m_nIndex].firstChild;
    return child ? CSkinMarkupNode(m_pOwner, child) : CSkinMarkupNode();
}

bool CSkinMarkupNode::HasChildren() const { return m_pOwner && m_pOwner->m_elements[m_nIndex].firstChild != 0; }

const wchar_t* CSkinMarkupNode::Name() const
{
    return m_pOwner ? m_pOwner->m_pText.get() + m_pOwner->m_elements[m_nIndex].nameStart : kEmpty;
}

const wchar_t* CSkinMarkupNode::Value() const
{
    return m_pOwner ? m_pOwner->m_pText.get() + m_pOwner->m_elements[m_nIndex].dataStart : kEmpty;
}

int CSkinMarkupNode::AttributeCount()
{
    MapAttributes();
    return m_nAttributes;
}

const wchar_t* CSkinMarkupNode::AttributeName(int index)
{
    MapAttributes();
    if (index < 0 || index >= m_nAttributes) return kEmpty;
    return m_pOwner->m_pText.get() + m_aAttributes[index].name;
}

const wchar_t* CSkinMarkupNode::AttributeValue(int index)
{
    MapAttributes();
    if (index < 0 || index >= m_nAttributes) return kEmpty;
    return m_pOwner->m_pText.get() + m_aAttributes[index].value;
}

bool CSkinMarkupNode::FindAttribute(const wchar_t* name, wchar_t* buffer, size_t cchBuffer)
{
    MapAttributes();
    if (!name || !buffer || cchBuffer == 0) return false;
    const wchar_t* text = m_pOwner ? m_pOwner->m_pText.get() : nullptr;
    for (int i = 0; i < m_nAttributes; ++i) {
        if (std::wcscmp(text + m_aAttributes[i].name, name) == 0) {
            CopyLimited(buffer, std::min(cchBuffer, kMaxValueChars + 1), text + m_aAttributes[i].value);
            return true;
        }
    }
    return false;
}

bool CSkinMarkupNode::HasAttribute(const wchar_t* name)
{
    MapAttributes();
    if (!name) return false;
    for (int i = 0; i < m_nAttributes; ++i)
        if (std::wcscmp(m_pOwner->m_pText.get() + m_aAttributes[i].name, name) == 0) return true;
    return false;
}

// Walks the start tag as the parser left it: names and values are NUL-terminated in place and everything
// between them is whitespace. Every step stays before the element's data start.
void CSkinMarkupNode::MapAttributes()
{
    if (!m_pOwner || m_nAttributes > 0) return;
    const wchar_t* text = m_pOwner->m_pText.get();
    const CSkinMarkup::Element& e = m_pOwner->m_elements[m_nIndex];
    const wchar_t* end = text + e.dataStart;
    const wchar_t* p = text + e.nameStart;
    while (p < end && *p) ++p;
    ++p;
    while (m_nAttributes < kMaxAttributes && p < end) {
        while (p < end && IsSpace(*p)) ++p;
        if (p >= end) break;
        const wchar_t* name = p;
        while (p < end && *p) ++p;
        if (p >= end) break;
        ++p;
        while (p < end && IsSpace(*p)) ++p;
        if (p >= end || *p != L'"') break;
        ++p;
        const wchar_t* value = p;
        while (p < end && *p) ++p;
        if (p >= end) break;
        ++p;
        m_aAttributes[m_nAttributes].name = m_pOwner->PosOf(name);
        m_aAttributes[m_nAttributes].value = m_pOwner->PosOf(value);
        ++m_nAttributes;
    }
}

// ---- CSkinMarkup ----

void CSkinMarkup::Release()
{
    m_pText.reset();
    m_nTextLength = 0;
    std::vector<Element>().swap(m_elements);
}

void CSkinMarkup::ClearErrors()
{
    m_szErrorMsg[0] = 0;
    m_szErrorXml[0] = 0;
}

CSkinMarkupNode CSkinMarkup::Root() { return IsLoaded() ? CSkinMarkupNode(this, 1) : CSkinMarkupNode(); }

bool CSkinMarkup::Fail(const wchar_t* message, const wchar_t* at)
{
    CopyLimited(m_szErrorMsg, _countof(m_szErrorMsg), message);
    CopyLimited(m_szErrorXml, _countof(m_szErrorXml), at);
    return false;
}

bool CSkinMarkup::AllocateText(size_t units)
{
    m_pText.reset(new (std::nothrow) wchar_t[units + kTextSlack]);
    return m_pText != nullptr;
}

void CSkinMarkup::TerminateText(size_t units) { std::wmemset(m_pText.get() + units, 0, kTextSlack); }

bool CSkinMarkup::LoadFromText(const wchar_t* text)
{
    Release();
    ClearErrors();
    if (!text) return Fail(L"Error opening file", nullptr);
    m_nTextLength = std::wcslen(text);
    if (!AllocateText(m_nTextLength)) return Fail(L"File too large", nullptr);
    std::wmemcpy(m_pText.get(), text, m_nTextLength);
    TerminateText(m_nTextLength);
    return ParseText();
}

bool CSkinMarkup::LoadFromBytes(const void* data, size_t length)
{
    Release();
    ClearErrors();
    const char* bytes = static_cast<const char*>(data);
    if (!bytes) length = 0;
    if (length >= 3 && static_cast<BYTE>(bytes[0]) == 0xEF && static_cast<BYTE>(bytes[1]) == 0xBB &&
        static_cast<BYTE>(bytes[2]) == 0xBF) {
        bytes += 3;
        length -= 3;
    }
    if (length > 0x7FFFFFFF) return Fail(L"File too large", nullptr);
    // UTF-16 never needs more units than UTF-8 has bytes, so one allocation serves the fast decoder.
    if (!AllocateText(length)) return Fail(L"File too large", nullptr);
    size_t chars = 0;
    if (!DecodeUtf8(reinterpret_cast<const unsigned char*>(bytes), length, m_pText.get(), chars)) {
        const int wide = ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(length), nullptr, 0);
        if (static_cast<size_t>(wide) > length) {
            if (!AllocateText(static_cast<size_t>(wide))) return Fail(L"File too large", nullptr);
        }
        const int converted =
            wide > 0 ? ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(length), m_pText.get(), wide) : 0;
        chars = static_cast<size_t>(std::max(converted, 0));
    }
    TerminateText(chars);
    m_nTextLength = chars;
    return ParseText();
}

bool CSkinMarkup::LoadFromFile(const wchar_t* fileName)
{
    Release();
    ClearErrors();
    std::vector<BYTE> bytes;
    switch (CSkinResources::ReadSkinFile(fileName ? fileName : L"", bytes, kMaxFileBytes)) {
    case CSkinResources::Lookup::Ok:
        break;
    case CSkinResources::Lookup::OpenFileFailed:
        return Fail(L"Error opening file", nullptr);
    case CSkinResources::Lookup::Empty:
        return Fail(L"File is empty", nullptr);
    case CSkinResources::Lookup::TooLarge:
        return Fail(L"File too large", nullptr);
    case CSkinResources::Lookup::ReadFailed:
        return Fail(L"Could not read file", nullptr);
    case CSkinResources::Lookup::OpenArchiveFailed:
        return Fail(L"Error opening zip file", nullptr);
    case CSkinResources::Lookup::MemberNotFound:
        return Fail(L"Could not find ziped file", nullptr);
    case CSkinResources::Lookup::ExtractFailed:
        return Fail(L"Could not unzip file", nullptr);
    }
    return LoadFromBytes(bytes.data(), bytes.size());
}

bool CSkinMarkup::ParseText()
{
    bool ok = false;
    try {
        m_elements.reserve(kInitialCapacity);
        m_elements.push_back(Element{});
        wchar_t* p = m_pText.get();
        ok = ParseList(p, 0, 0);
    } catch (const std::bad_alloc&) {
        ok = Fail(L"Out of memory", nullptr);
    }
    if (!ok) Release();
    return ok;
}

ULONG CSkinMarkup::AppendElement()
{
    if (m_elements.size() == m_elements.capacity()) {
        const size_t capacity = m_elements.capacity();
        m_elements.reserve(capacity + capacity / 2 + 500);
    }
    m_elements.push_back(Element{});
    return static_cast<ULONG>(m_elements.size() - 1);
}

// Decodes in place up to the end character or the end of the text; dest never runs ahead of p. The gap
// left by decoded entities becomes spaces so that attribute mapping can walk over it later.
bool CSkinMarkup::DecodeData(wchar_t*& p, wchar_t*& dest, wchar_t end)
{
    // Until the first entity nothing moves, so plain text is only scanned.
    p = ScanData(p, end);
    dest = p;
    while (*p && *p != end) {
        if (*p == L'&') {
            const Entity* hit = nullptr;
            for (const Entity& entity : kEntities)
                if (StartsWith(p, entity.text, entity.length)) {
                    hit = &entity;
                    break;
                }
            if (hit) {
                *dest++ = hit->value;
                p += hit->length;
                continue;
            }
        }
        *dest++ = *p++;
    }
    for (wchar_t* fill = dest + 1; fill < p; ++fill) *fill = L' ';
    return *p != 0;
}

bool CSkinMarkup::ParseList(wchar_t*& p, ULONG parent, int depth)
{
    if (depth > kMaxDepth) return Fail(L"Elements nested too deeply", p);
    p = SkipSpace(p);
    ULONG prev = 0;
    for (;;) {
        if (*p == 0 && parent <= 1) return true;
        p = SkipSpace(p);
        if (*p != L'<') return Fail(L"Expected start tag", p);
        if (p[1] == L'/') return true;
        *p++ = 0;
        p = SkipSpace(p);
        if (*p == L'!' || *p == L'?') {
            const wchar_t first = *p == L'!' ? L'-' : L'?';
            while (*p && !(p[0] == first && p[1] == L'>')) ++p;
            if (*p) p += 2;
            p = SkipSpace(p);
            continue;
        }

        const ULONG index = AppendElement();
        m_elements[index].nameStart = PosOf(p);
        m_elements[index].parent = parent;
        if (prev)
            m_elements[prev].nextSibling = index;
        else if (parent)
            m_elements[parent].firstChild = index;
        prev = index;

        const wchar_t* name = p;
        p = SkipIdent(p);
        const size_t nameLength = static_cast<size_t>(p - name);
        wchar_t* nameEnd = p;
        if (*p == 0) return Fail(L"Error parsing element name", p);

        // Attributes: names and values are terminated in place; "=" and a moved closing quote become spaces.
        if (*p != L'>' && !(p[0] == L'/' && p[1] == L'>')) {
            *p++ = 0;
            p = SkipSpace(p);
            while (*p && *p != L'>' && *p != L'/') {
                wchar_t* attrEnd = SkipIdent(p);
                p = SkipSpace(attrEnd);
                if (*p != L'=') return Fail(L"Error while parsing attributes", p);
                *p = L' ';
                *attrEnd = 0;
                ++p;
                p = SkipSpace(p);
                if (*p != L'"') return Fail(L"Expected attribute value", p);
                ++p;
                wchar_t* dest = p;
                if (!DecodeData(p, dest, L'"')) return Fail(L"Error while parsing attribute string", p);
                *dest = 0;
                if (dest != p) *p = L' ';
                ++p;
                p = SkipSpace(p);
            }
        }

        p = SkipSpace(p);
        if (p[0] == L'/' && p[1] == L'>') {
            m_elements[index].dataStart = PosOf(p);
            *p = 0;
            p += 2;
            *nameEnd = 0;
        } else if (*p != L'>') {
            return Fail(L"Expected start-tag closing", p);
        } else {
            ++p;
            // The name ends before the ">" just passed, so it can be terminated now; this also covers a
            // document that ends inside this element's content.
            *nameEnd = 0;
            m_elements[index].dataStart = PosOf(p);
            wchar_t* dest = p;
            DecodeData(p, dest, L'<');
            // Content shortened by entities is terminated where the decoded text ends, not at the next "<".
            if (dest != p) *dest = 0;
            if (*p == 0) {
                if (parent <= 1) return true;
                return Fail(L"Expected end-tag start", p);
            }
            if (p[1] != L'/' && !ParseList(p, index, depth + 1)) return false;
            if (p[0] == L'<' && p[1] == L'/') {
                *dest = 0;
                *p = 0;
                p += 2;
                p = SkipSpace(p);
                if (!StartsWith(p, name, nameLength)) return Fail(L"Unmatched closing tag", p);
                p += nameLength;
                p = SkipSpace(p);
                if (*p != L'>') return Fail(L"Unmatched closing tag", p);
                ++p;
            }
        }
        p = SkipSpace(p);
    }
}

}  // namespace SkinUI
