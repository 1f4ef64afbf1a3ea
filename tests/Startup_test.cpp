#include "app/LazyProc.h"
#include "app/Startup.h"
#include <gtest/gtest.h>

TEST(CommandLine, NotificationNameWithBlockAllTakesTheFastPath) {
    EXPECT_EQ(LaunchMode::BlockAll, ClassifyCommandLine(L"Vespera.IncomingCall /BlockAll"));
    EXPECT_EQ(LaunchMode::BlockAll, ClassifyCommandLine(L"/BlockAll Vespera.IncomingCall"));
}

TEST(CommandLine, NotificationNameAnywhereStartsHidden) {
    EXPECT_EQ(LaunchMode::Notification, ClassifyCommandLine(L"Vespera.IncomingCall"));
    EXPECT_EQ(LaunchMode::Notification, ClassifyCommandLine(L"xxVespera.IncomingCallyy"));
}

TEST(CommandLine, EverythingElseIsInteractive) {
    EXPECT_EQ(LaunchMode::Interactive, ClassifyCommandLine(L""));
    EXPECT_EQ(LaunchMode::Interactive, ClassifyCommandLine(nullptr));
    EXPECT_EQ(LaunchMode::Interactive, ClassifyCommandLine(L"/BlockAll"));
    // The tests are case-sensitive.
    EXPECT_EQ(LaunchMode::Interactive, ClassifyCommandLine(L"vespera.incomingcall /BlockAll"));
    EXPECT_EQ(LaunchMode::Notification, ClassifyCommandLine(L"Vespera.IncomingCall /blockall"));
}
