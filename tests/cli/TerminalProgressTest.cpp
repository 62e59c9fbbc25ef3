#include "cli/TerminalProgress.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace fennick;

TEST(TerminalProgress, BarShowsThePercentageTheDialogWould) {
    EXPECT_EQ(CTerminalProgress::BarLine(0, 3), "[                              ] 0%");
    EXPECT_EQ(CTerminalProgress::BarLine(1, 3), "[##########                    ] 33%");
    EXPECT_EQ(CTerminalProgress::BarLine(2, 3), "[####################          ] 66%");
    EXPECT_EQ(CTerminalProgress::BarLine(3, 3), "[##############################] 100%");
}

TEST(TerminalProgress, InterruptIsOneCancelRequest) {
    CTerminalProgress meter(2, false);
    EXPECT_EQ(meter.IsCancelled(), 0);
    std::raise(SIGINT);
    EXPECT_EQ(meter.IsCancelled(), 1);
    EXPECT_EQ(meter.IsCancelled(), 0);
    EXPECT_EQ(meter.Step(), 0);
    EXPECT_EQ(meter.Step(), 1);
}
