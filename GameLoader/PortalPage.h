// The portal page's address: the build's base address, the query composed from the launch values, and
// which addresses belong to the portal (the only pages whose commands the launcher runs).
#pragma once

#include <string>

// The portal page on its host; the launch values follow as a query.
inline constexpr char kPortalBaseAddress[] = "https://portal.vemrakai.com/client/index/vemra2";
// Names another base address for tests and the demonstration; the launcher's normal start never sets it.
inline constexpr wchar_t kPortalBaseVariable[] = L"VEMRA2_PORTAL_BASE";

// kPortalBaseAddress, or the value of kPortalBaseVariable when that is set and not empty.
std::wstring PortalBaseAddress();

// base + "?fileparam=" + file parameter, then "&token=", "&source=", "&ocext=", "&tokenLogin=" with their
// values, each only when its value is not empty. Values are percent-encoded by EncodeQueryValue.
std::wstring ComposePortalAddress(const std::wstring& base, const std::wstring& fileParam, const std::wstring& token,
                                  const std::wstring& source, const std::wstring& ocext,
                                  const std::wstring& tokenLogin);

// Percent-encodes (as UTF-8 bytes) exactly the characters that would end or change a query value: "&", "#",
// "%", "+", space, double quote and control characters. Everything else stays as given.
std::wstring EncodeQueryValue(const std::wstring& value);

// An https address on the host (and port) of PortalBaseAddress(), compared exactly, ignoring case.
bool IsPortalAddress(const std::wstring& url);

// An http or https address with a host and no blank, quote or control character: what the launcher may hand
// to the default browser.
bool IsWebAddress(const std::wstring& url);

// The platform's engine renders pages of a program in its current mode (11001) rather than the legacy one when
// the per-user FEATURE_BROWSER_EMULATION value for the program's executable name says so. Set it before the
// browser is created; false when the value could not be written.
inline constexpr unsigned long kBrowserEmulationMode = 11001;
bool SetBrowserEmulation(const std::wstring& exeName);
// The running program's executable name ("vemra2_main.exe").
std::wstring ExecutableName();
