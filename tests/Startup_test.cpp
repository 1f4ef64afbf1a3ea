#include "platform/LazyProc.h"
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

TEST(LazyProc, AMissingLibraryIsTriedAgainOnTheNextUse) {
    HMODULE module = nullptr;
    FARPROC function = nullptr;
    ResolveLazyProc(&module, L"no-such-library.dll", &function, L"StrStrIW");
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(nullptr, function);

    // The same slots, now with a library that exists: the next use finds it.
    ResolveLazyProc(&module, L"shlwapi.dll", &function, L"StrStrIW");
    EXPECT_NE(nullptr, module);
    EXPECT_NE(nullptr, function);
}

TEST(LazyProc, AMissingFunctionIsLookedForAgainAndOrdinalsWork) {
    HMODULE module = nullptr;
    FARPROC function = nullptr;
    ResolveLazyProc(&module, L"shlwapi.dll", &function, L"NoSuchFunction");
    EXPECT_NE(nullptr, module);
    EXPECT_EQ(nullptr, function);
    ResolveLazyProc(&module, L"shlwapi.dll", &function, L"StrStrIW");
    EXPECT_EQ(reinterpret_cast<FARPROC>(GetProcAddress(module, "StrStrIW")), function);

    HMODULE shell = nullptr;
    FARPROC check = nullptr;
    ResolveLazyProc(&shell, L"aygshell", &check, MAKEINTRESOURCEW(209));
    EXPECT_NE(nullptr, check) << "the previous-instance check by ordinal";
}

TEST(LazyProc, TheSubstringSearchIgnoresCase) {
    EXPECT_NE(nullptr, LazyStrStrIW(L"Homework", L"WORK"));
    EXPECT_EQ(nullptr, LazyStrStrIW(L"Family", L"work"));
}
