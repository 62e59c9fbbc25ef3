#pragma once
// The command line's progress meter: one bar step per input on stderr (only when stderr is a terminal and the
// user did not ask for quiet), and Ctrl+C as the Cancel button.

#include "data/IProgressMeter.h"

#include <string>

namespace fennick {

class CTerminalProgress final : public IProgressMeter {
public:
    // show: draw the bar on stderr. Ctrl+C sets the cancel request from construction on.
    CTerminalProgress(int total, bool show);
    ~CTerminalProgress();
    CTerminalProgress(const CTerminalProgress&) = delete;
    CTerminalProgress& operator=(const CTerminalProgress&) = delete;

    int Step() override;
    int IsCancelled() override;
    // Ends the bar's line, if one was drawn.
    void Finish();

    // The line drawn for a position: a 30-character bar and the percentage.
    static std::string BarLine(int position, int total);

private:
    void Draw();

    int m_total;
    int m_position = 0;
    bool m_show;
    bool m_drawn = false;
};

// True once Ctrl+C was pressed (and not yet taken by IsCancelled).
bool InterruptRequested();

} // namespace fennick
