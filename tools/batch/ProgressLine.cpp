#include "batch/ProgressLine.h"

#include <cstdio>
#include <iostream>

namespace halvane {

ProgressLine::ProgressLine(std::size_t total, bool shown)
    : m_total(total), m_shown(shown), m_start(std::chrono::steady_clock::now())
{
}

void ProgressLine::Update(std::size_t done)
{
    if (!m_shown) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < m_total && now - m_last < std::chrono::milliseconds(100)) return;
    m_last = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    char line[96];
    std::snprintf(line, sizeof line, "\r%zu of %zu files, %.0f files/s\033[K", done, m_total,
                  seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    std::cerr << line << std::flush;
    m_visible = true;
}

void ProgressLine::Clear()
{
    if (!m_visible) return;
    std::cerr << "\r\033[K" << std::flush;
    m_visible = false;
}

}  // namespace halvane
