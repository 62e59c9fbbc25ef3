#pragma once
// CProgressMeterState: the numbers behind the progress dialog (bounds, step, position, the cancel request and
// the percentage text on display), kept apart from the window so that the meter still counts and cancels
// when no window could be shown.

#include <QString>

namespace fennick {

class CProgressMeterState {
public:
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }
    int StepSize() const { return m_step; }
    int Position() const { return m_position; }

    void SetRange(int lower, int upper);
    // Returns the previous step.
    int SetStep(int step);
    // Moves to position (clamped into the range, as the bar does) and returns the previous position.
    int SetPosition(int position);
    // Advances by the step, wrapping to the start past the upper bound as the bar does; returns the previous
    // position.
    int Advance();

    // The percentage text for position p (unclamped), e.g. "0%", "45%", "100%".
    QString PercentText(int p) const;

    // The cancel request: set by Cancel, read and cleared by TakeCancelRequest.
    void RequestCancel() { m_cancelRequested = true; }
    bool TakeCancelRequest();
    bool CancelRequested() const { return m_cancelRequested; }

private:
    int m_lower = 0;
    int m_upper = 100;
    int m_step = 10;
    int m_position = 0;
    bool m_cancelRequested = false;
};

} // namespace fennick
