#pragma once

#include <chrono>
#include <cstddef>

namespace halvane {

// A one-line counter of the files done on a terminal's standard error,
// redrawn at most ten times a second and removed at the end. Shows nothing
// unless shown is true.
class ProgressLine {
public:
    ProgressLine(std::size_t total, bool shown);
    void Update(std::size_t done);
    void Clear();

private:
    std::size_t m_total;
    bool m_shown;
    bool m_visible = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last{};
};

}  // namespace halvane
