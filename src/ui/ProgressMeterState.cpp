#include "ui/ProgressMeterState.h"

#include "merge/ProgressText.h"

#include <algorithm>
#include <cstdint>

namespace fennick {

void CProgressMeterState::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

int CProgressMeterState::SetStep(int step) {
    const int previous = m_step;
    m_step = step;
    return previous;
}

int CProgressMeterState::SetPosition(int position) {
    const int previous = m_position;
    m_position = std::clamp(position, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
    return previous;
}

int CProgressMeterState::Advance() {
    const int previous = m_position;
    int64_t next = static_cast<int64_t>(m_position) + m_step;
    if (m_upper > m_lower && next > m_upper)
        next = m_lower + (next - m_upper);
    m_position = static_cast<int>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX));
    return previous;
}

QString CProgressMeterState::PercentText(int p) const {
    return QString::fromStdU16String(ProgressPercentText(p, m_lower, m_upper));
}

bool CProgressMeterState::TakeCancelRequest() {
    const bool requested = m_cancelRequested;
    m_cancelRequested = false;
    return requested;
}

} // namespace fennick
