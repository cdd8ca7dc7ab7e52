// Texts of the page's game-start commands on their way from the script bridge to the main window. The
// window message carries only a number: a number found in the queue names a text the bridge stored, and
// any other number (from another process, say) names nothing.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class CPageCommandQueue {
public:
    CPageCommandQueue();
    // Stores the text and returns the number to post with it; never 0.
    WPARAM Push(std::string text);
    // Moves the text stored under the number into text; false when the number names no stored text.
    bool Take(WPARAM number, std::string& text);
    size_t Size() const { return m_entries.size(); }

    // Commands the page has not had taken after this many are dropped, oldest first.
    static constexpr size_t kMaxPending = 64;

private:
    std::vector<std::pair<WPARAM, std::string>> m_entries;
    WPARAM m_next;
};
