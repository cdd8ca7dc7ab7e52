#include "SimSupport.h"

#include "TestSupport.h"

#include <algorithm>

namespace test {

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

std::vector<std::string> WithPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (StartsWith(l, prefix)) out.push_back(l);
    return out;
}

std::vector<std::string> SimRun::Received() const
{
    std::vector<std::string> out;
    for (const auto& r : records)
        if (StartsWith(r, "copydata ") || StartsWith(r, "message ")) out.push_back(r);
    return out;
}

std::string SimRun::Exit() const
{
    const auto exits = WithPrefix(records, "exit ");
    return exits.empty() ? std::string() : exits.back();
}

std::string SimRun::First(const std::string& prefix) const
{
    const auto found = WithPrefix(records, prefix);
    return found.empty() ? std::string() : found.front();
}

std::vector<std::string> ReadSimRecords(const std::wstring& path)
{
    std::vector<std::string> records;
    const std::string text = ReadFileBytes(path);
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = text.find('\n', pos);
        records.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return records;
}

SimRun RunParentSim(const std::wstring& folder, const std::vector<std::wstring>& steps, const std::wstring& options,
                    DWORD timeoutMs)
{
    static int s_runs = 0;
    const std::wstring out = folder + L"records-" + std::to_wstring(++s_runs) + L".txt";
    std::wstring args = QuoteArg(L"--out=" + out);
    if (!options.empty()) args += L" " + options;
    size_t length = 0;
    for (const auto& s : steps) length += s.size() + 3;
    if (length < 16000) {
        for (const auto& s : steps) args += L" " + QuoteArg(s);
    } else {
        // Longer than a command line may be: the steps go through a script file.
        const std::wstring script = folder + L"script-" + std::to_wstring(s_runs) + L".txt";
        std::string text;
        for (const auto& s : steps) {
            const int n = ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0,
                                                nullptr, nullptr);
            std::string line(static_cast<size_t>(n), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), line.data(), n, nullptr, nullptr);
            text += line + "\n";
        }
        WriteFileBytes(script, text);
        args += L" " + QuoteArg(L"--script=" + script);
    }
    const auto r = RunProcess(BinDir() + L"parent_sim.exe", args, timeoutMs);
    SimRun run;
    run.finished = r.finished;
    run.exitCode = r.exitCode;
    run.records = ReadSimRecords(out);
    return run;
}

const std::string& ParentNoticeRecord()
{
    // int32 1, "1" in 260 UTF-16 units, int32 1; as hex.
    static const std::string record = [] {
        std::string bytes(528, '\0');
        bytes[0] = 1;
        bytes[4] = '1';
        bytes[524] = 1;
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char c : bytes) {
            hex.push_back(digits[c >> 4]);
            hex.push_back(digits[c & 15]);
        }
        return "copydata to=main wparam=0 dwdata=1 cbdata=528 data=" + hex;
    }();
    return record;
}

LogTail::LogTail() : m_offset(ReadFileBytes(TodaysLogPath()).size()) {}

std::string LogTail::NewText() const
{
    const std::string text = ReadFileBytes(TodaysLogPath());
    return text.substr(std::min(m_offset, text.size()));
}

std::vector<std::string> LogTail::NewMessages() const
{
    std::vector<std::string> out;
    for (const auto& line : SplitCrLf(NewText())) out.push_back(LogMessage(line));
    return out;
}

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : m_name(name)
{
    wchar_t buffer[4096];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 4096);
    if (n > 0 && n < 4096) {
        m_old.assign(buffer, n);
        m_hadOld = true;
    }
    ::SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv()
{
    ::SetEnvironmentVariableW(m_name.c_str(), m_hadOld ? m_old.c_str() : nullptr);
}

}  // namespace test
