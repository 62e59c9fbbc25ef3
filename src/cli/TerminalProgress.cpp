#include "cli/TerminalProgress.h"

#include "merge/ProgressText.h"
#include "platform/CodePage.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace fennick {

namespace {

std::atomic<bool> g_interrupted{false};

// The signals that ask a program to stop: Ctrl+C, kill, a closed terminal, Ctrl+\\.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void OnInterrupt(int) {
    g_interrupted = true;
    // A second one ends the program the usual way; the next merge to the output removes what it left.
    for (const int stop : kStopSignals)
        std::signal(stop, SIG_DFL);
}

} // namespace

bool InterruptRequested() {
    return g_interrupted.load();
}

CTerminalProgress::CTerminalProgress(int total, bool show) : m_total(total), m_show(show) {
    for (const int stop : kStopSignals)
        std::signal(stop, OnInterrupt);
}

CTerminalProgress::~CTerminalProgress() {
    Finish();
}

std::string CTerminalProgress::BarLine(int position, int total) {
    constexpr int kWidth = 30;
    int filled = total > 0 ? static_cast<int>(static_cast<long long>(position) * kWidth / total) : 0;
    filled = std::max(0, std::min(kWidth, filled));
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kWidth - filled), ' ');
    line += "] ";
    line += ToUtf8(ProgressPercentText(position, 0, total));
    return line;
}

void CTerminalProgress::Draw() {
    if (!m_show)
        return;
    const std::string line = BarLine(m_position, m_total);
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    m_drawn = true;
}

int CTerminalProgress::Step() {
    const int previous = m_position;
    ++m_position;
    Draw();
    return previous;
}

int CTerminalProgress::IsCancelled() {
    return g_interrupted.exchange(false) ? 1 : 0;
}

void CTerminalProgress::Finish() {
    if (m_drawn) {
        std::fputc('\n', stderr);
        m_drawn = false;
    }
}

} // namespace fennick
