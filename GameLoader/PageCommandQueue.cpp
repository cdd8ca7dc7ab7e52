#include "PageCommandQueue.h"

#include <algorithm>

// Numbers start at an unpredictable point, so that another process cannot guess a pending one.
CPageCommandQueue::CPageCommandQueue()
    : m_next(static_cast<WPARAM>((::GetTickCount() * 2654435761u) ^ ::GetCurrentProcessId()) | 1)
{
}

WPARAM CPageCommandQueue::Push(std::string text)
{
    if (m_entries.size() >= kMaxPending) m_entries.erase(m_entries.begin());
    WPARAM number = m_next++;
    if (number == 0) number = m_next++;
    m_entries.emplace_back(number, std::move(text));
    return number;
}

bool CPageCommandQueue::Take(WPARAM number, std::string& text)
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [number](const auto& entry) { return entry.first == number; });
    if (number == 0 || it == m_entries.end()) return false;
    text = std::move(it->second);
    m_entries.erase(it);
    return true;
}
