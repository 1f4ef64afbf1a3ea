#include "platform/Process.h"
#include "platform/Resources.h"
#include "store/AppSettings.h"
#include "support/GuiObjects.h"
#include "support/Processes.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <phoneemu.h>
#include <strsafe.h>
#include <string>
#include <vector>

namespace {

const WCHAR kAppKey[] = L"Software\\Quorvane\\Vespera";
const WCHAR kGuid[] = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

// Message boxes that appeared on this thread, each answered with OK at once.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
};
std::vector<SeenBox> seenBoxes;
std::vector<HWND> answered;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    WCHAR className[16] = L"";
    if (code == HCBT_ACTIVATE && box && GetClassNameW(box, className, ARRAYSIZE(className)) &&
        wcscmp(className, L"#32770") == 0) {
        bool known = false;
        for (HWND each : answered)
            known = known || each == box;
        if (!known) {
            answered.push_back(box);
            WCHAR caption[256] = L"", text[1024] = L"";
            GetWindowTextW(box, caption, ARRAYSIZE(caption));
            // The box's text control: 0xFFFF on Windows, 100 in Wine.
            if (!GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text)))
                GetDlgItemTextW(box, 100, text, ARRAYSIZE(text));
            seenBoxes.push_back({caption, text});
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class AppSettingsTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        library =
            LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        SetResourceLibrary(library);
        hook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
        seenBoxes.clear();
        answered.clear();
    }
    void TearDown() override {
        if (hook)
            UnhookWindowsHookEx(hook);
        SetResourceLibrary(nullptr);
        if (library)
            FreeLibrary(library);
        LaunchedByNotification = false;
        ScratchRegistry::TearDown();
    }

    DWORD StoredDword(LPCWSTR name) {
        DWORD type = 0;
        std::string bytes;
        if (!GetRaw(kAppKey, name, &type, &bytes) || type != REG_DWORD || bytes.size() != 4)
            return 0xDEADBEEF;
        return *reinterpret_cast<const DWORD*>(bytes.data());
    }

    HMODULE library = nullptr;
    HHOOK hook = nullptr;
};

} // namespace

TEST_F(AppSettingsTest, FirstRunShowsEachNoticeOnceAndStoresTheFlags) {
    {
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        EXPECT_STREQ(L"", settings.activeProfile);
        EXPECT_EQ(0u, settings.sampleCreated);
        EXPECT_NE(nullptr, settings.boldFont);
        for (UINT id : {190u, 191u, 192u})
            EXPECT_FALSE(settings.IsNoticeShown(id));

        EXPECT_EQ(S_OK, settings.ShowNoticeOnce(nullptr, 190, 200));
        EXPECT_EQ(S_OK, settings.ShowNoticeOnce(nullptr, 191, 201));
        EXPECT_EQ(E_FAIL, settings.ShowNoticeOnce(nullptr, 190, 200)); // shown already
        EXPECT_EQ(E_FAIL, settings.ShowNoticeOnce(nullptr, 193, 200)); // no such notice
        ASSERT_EQ(2u, seenBoxes.size());
        EXPECT_EQ(ResourceText(190).Get(), seenBoxes[0].text);
        EXPECT_EQ(ResourceText(200).Get(), seenBoxes[0].caption);
        EXPECT_EQ(ResourceText(191).Get(), seenBoxes[1].text);
        EXPECT_EQ(ResourceText(201).Get(), seenBoxes[1].caption);

        settings.sampleCreated = 1;
        ASSERT_EQ(S_OK, settings.Save());
    }
    std::wstring exported;
    ASSERT_TRUE(ExportReg(kAppKey, &exported));
    EXPECT_EQ(
        L"Windows Registry Editor Version 5.00\r\n\r\n[$ROOT\\Software\\Quorvane\\Vespera]\r\n"
        L"\"OneTimeMsg_190\"=dword:00000001\r\n\"OneTimeMsg_191\"=dword:00000001\r\n"
        L"\"OneTimeMsg_192\"=dword:00000000\r\n\"Sample\"=dword:00000001\r\n\r\n",
        exported);

    // The next run shows nothing of that again; the last notice has the product name.
    AppSettings next;
    ASSERT_EQ(S_OK, next.Load());
    EXPECT_EQ(1u, next.sampleCreated);
    EXPECT_EQ(E_FAIL, next.ShowNoticeOnce(nullptr, 191, 201));
    EXPECT_EQ(S_OK, next.ShowNoticeOnce(nullptr, 192, 0));
    ASSERT_EQ(3u, seenBoxes.size());
    EXPECT_EQ(L"Vespera", seenBoxes[2].caption);
}

TEST_F(AppSettingsTest, LoadsHandWrittenValuesAsFlags) {
    ASSERT_TRUE(ImportReg(L"Windows Registry Editor Version 5.00\r\n\r\n"
                          L"[$ROOT\\Software\\Quorvane\\Vespera]\r\n"
                          L"\"Sample\"=dword:00000007\r\n"
                          L"\"ActiveProfile\"=\"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}\"\r\n"
                          L"\"OneTimeMsg_190\"=\"1\"\r\n"
                          L"\"OneTimeMsg_191\"=dword:00000005\r\n"
                          L"\"OneTimeMsg_192\"=dword:00000000\r\n\r\n"));
    AppSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_EQ(1u, settings.sampleCreated);
    EXPECT_STREQ(kGuid, settings.activeProfile);
    EXPECT_FALSE(settings.IsNoticeShown(190)); // not a number: left as it was
    EXPECT_TRUE(settings.IsNoticeShown(191));
    EXPECT_FALSE(settings.IsNoticeShown(192));

    ASSERT_EQ(S_OK, settings.Save());
    EXPECT_EQ(1u, StoredDword(L"Sample"));
    EXPECT_EQ(0u, StoredDword(L"OneTimeMsg_190"));
    EXPECT_EQ(1u, StoredDword(L"OneTimeMsg_191"));

    // Making no profile active removes the value.
    EXPECT_EQ(S_OK, settings.SetActiveProfile(nullptr));
    EXPECT_STREQ(L"", settings.activeProfile);
    ASSERT_EQ(S_OK, settings.Save());
    EXPECT_FALSE(ValueExists(kAppKey, L"ActiveProfile"));
    ASSERT_EQ(S_OK, settings.Save()); // and deleting it again is no failure
}

TEST_F(AppSettingsTest, ActiveProfileMustFitWhole) {
    std::wstring name38(38, L'A'), name39(39, L'A');
    AppSettings settings;
    EXPECT_EQ(S_OK, settings.SetActiveProfile(name38.c_str()));
    EXPECT_EQ(name38, settings.activeProfile);
    EXPECT_EQ(STRSAFE_E_INSUFFICIENT_BUFFER, settings.SetActiveProfile(name39.c_str()));
    EXPECT_STREQ(L"", settings.activeProfile);

    for (bool notification : {false, true}) {
        SCOPED_TRACE(notification);
        LaunchedByNotification = notification;
        // A value that cannot be taken loads as Off, and says so.
        for (const std::wstring& unusable : {name39, std::wstring(512 * 1024, L'x')}) {
            SetRawString(kAppKey, L"ActiveProfile", unusable.c_str());
            AppSettings stored;
            EXPECT_EQ(S_OK, stored.Load());
            EXPECT_STREQ(L"", stored.activeProfile);
            EXPECT_TRUE(stored.activeProfileUnreadable);
        }
        SetRawDword(kAppKey, L"ActiveProfile", 1); // not text
        AppSettings number;
        EXPECT_EQ(S_OK, number.Load());
        EXPECT_STREQ(L"", number.activeProfile);
        EXPECT_TRUE(number.activeProfileUnreadable);

        SetRawString(kAppKey, L"ActiveProfile", name38.c_str());
        AppSettings fits;
        EXPECT_EQ(S_OK, fits.Load());
        EXPECT_FALSE(fits.activeProfileUnreadable);
    }
    LaunchedByNotification = false;
    // The next save of the user's instance removes the value that could not be taken.
    SetRawString(kAppKey, L"ActiveProfile", name39.c_str());
    AppSettings repaired;
    ASSERT_EQ(S_OK, repaired.Load());
    ASSERT_EQ(S_OK, repaired.Save());
    EXPECT_FALSE(ValueExists(kAppKey, L"ActiveProfile"));
}

TEST_F(AppSettingsTest, TimedValuesAreReadByEveryProcessAndStoredTogether) {
    auto storedText = [&](LPCWSTR name) {
        DWORD type = 0;
        std::string bytes;
        if (!GetRaw(kAppKey, name, &type, &bytes) || type != REG_SZ)
            return std::wstring(L"(none)");
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()));
    };
    SetRawString(kAppKey, L"ActiveProfile", kGuid);
    for (bool notification : {false, true}) {
        SCOPED_TRACE(notification);
        LaunchedByNotification = notification;
        SetRawString(kAppKey, L"ActiveUntil", L"2026-03-14 15:30");
        SetRawString(kAppKey, L"NextProfile", L"");
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        EXPECT_TRUE(settings.IsTimed());
        EXPECT_STREQ(L"2026-03-14 15:30", settings.activeUntil);
        EXPECT_STREQ(L"", settings.nextProfile);

        // Malformed values count as absent and never fail the load.
        SetRawString(kAppKey, L"NextProfile", std::wstring(39, L'x').c_str());
        AppSettings tooLong;
        ASSERT_EQ(S_OK, tooLong.Load());
        EXPECT_TRUE(tooLong.IsTimed());
        EXPECT_STREQ(L"", tooLong.nextProfile);
        SetRawString(kAppKey, L"NextProfile", kGuid);
        SetRawDword(kAppKey, L"ActiveUntil", 1);
        AppSettings number;
        ASSERT_EQ(S_OK, number.Load());
        EXPECT_FALSE(number.IsTimed());
        EXPECT_STREQ(L"", number.nextProfile);
        SetRawString(kAppKey, L"ActiveUntil", L"2026-03-14 25:00");
        AppSettings unparseable;
        ASSERT_EQ(S_OK, unparseable.Load());
        EXPECT_FALSE(unparseable.IsTimed());
        EXPECT_STREQ(kGuid, unparseable.activeProfile);
    }

    // Written with the settings, both or neither.
    LaunchedByNotification = false;
    AppSettings settings;
    const SYSTEMTIME until = {2026, 3, 0, 15, 7, 0, 0, 0};
    ASSERT_EQ(S_OK, settings.SetTimedProfile(until, kGuid));
    ASSERT_EQ(S_OK, settings.Save());
    EXPECT_EQ(L"2026-03-15 07:00", storedText(L"ActiveUntil"));
    EXPECT_EQ(kGuid, storedText(L"NextProfile"));
    settings.EndTimedProfile();
    ASSERT_EQ(S_OK, settings.Save());
    EXPECT_FALSE(ValueExists(kAppKey, L"ActiveUntil"));
    EXPECT_FALSE(ValueExists(kAppKey, L"NextProfile"));

    // A hand-back in a process started for a call stores the active profile at once.
    ASSERT_EQ(S_OK, settings.SetTimedProfile(until, nullptr));
    ASSERT_EQ(S_OK, settings.Save());
    LaunchedByNotification = true;
    AppSettings call;
    ASSERT_EQ(S_OK, call.Load());
    ASSERT_TRUE(call.IsTimed());
    call.SetActiveProfile(nullptr);
    call.EndTimedProfile();
    SetRawDword(kAppKey, L"Sample", 5);
    ASSERT_EQ(S_OK, call.SaveActiveProfile());
    EXPECT_FALSE(ValueExists(kAppKey, L"ActiveProfile"));
    EXPECT_FALSE(ValueExists(kAppKey, L"ActiveUntil"));
    EXPECT_FALSE(ValueExists(kAppKey, L"NextProfile"));
    EXPECT_EQ(5u, StoredDword(L"Sample")) << "nothing else is written";
}

TEST_F(AppSettingsTest, NotificationProcessReadsOnlyTheActiveProfileAndWritesNothing) {
    SetRawDword(kAppKey, L"Sample", 1);
    SetRawDword(kAppKey, L"OneTimeMsg_190", 1);
    SetRawString(kAppKey, L"ActiveProfile", kGuid);
    LaunchedByNotification = true;
    {
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        EXPECT_STREQ(kGuid, settings.activeProfile);
        EXPECT_EQ(0u, settings.sampleCreated);
        EXPECT_FALSE(settings.IsNoticeShown(190));
        EXPECT_EQ(nullptr, settings.boldFont);

        RegDeleteTreeW(scratch, L"Software");
        settings.SetActiveProfile(nullptr);
        EXPECT_EQ(S_OK, settings.Save());
        EXPECT_FALSE(KeyExists(L"Software"));
    }
    // First run of such a process: nothing stored at all.
    AppSettings first;
    EXPECT_EQ(S_OK, first.Load());
    EXPECT_STREQ(L"", first.activeProfile);
    EXPECT_TRUE(seenBoxes.empty());
}

TEST_F(AppSettingsTest, FailedWritesAreReported) {
    for (LPCWSTR failing : {L"Sample", L"ActiveProfile", L"OneTimeMsg_190", L"OneTimeMsg_192"}) {
        SCOPED_TRACE(Narrow(failing));
        SetRawString(kAppKey, L"ActiveProfile", kGuid);
        AppSettings settings; // no active profile: the stored one must be deleted
        FailingValueWrites writes(failing);
        ASSERT_TRUE(writes.Installed());
        EXPECT_EQ(E_FAIL, settings.Save());
        // Every other value was still written.
        EXPECT_EQ(wcscmp(failing, L"ActiveProfile") == 0, ValueExists(kAppKey, L"ActiveProfile"));
        for (LPCWSTR value : {L"Sample", L"OneTimeMsg_190", L"OneTimeMsg_191", L"OneTimeMsg_192"})
            EXPECT_EQ(wcscmp(failing, value) != 0, ValueExists(kAppKey, value)) << Narrow(value);
        RegDeleteTreeW(scratch, L"Software");
    }
    AppSettings settings;
    EXPECT_EQ(S_OK, settings.Save());
    EXPECT_FALSE(ValueExists(kAppKey, L"ActiveProfile"));
}

TEST_F(AppSettingsTest, NoticeValueNames) {
    WCHAR name[kNoticeValueNameChars];
    EXPECT_EQ(E_INVALIDARG, AppSettings::NoticeValueName(190, nullptr));
    EXPECT_EQ(S_OK, AppSettings::NoticeValueName(192, name));
    EXPECT_STREQ(L"OneTimeMsg_192", name);
}

TEST_F(AppSettingsTest, BoldFontIsTenPointsAndOwned) {
    HFONT font = nullptr;
    {
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.CreateBoldFont());
        ASSERT_EQ(S_OK, settings.CreateBoldFont()); // replaces, deleting the first
        font = settings.boldFont;
        LOGFONTW description = {};
        ASSERT_EQ(static_cast<int>(sizeof(description)),
                  GetObjectW(font, sizeof(description), &description));
        HDC screen = GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(FW_BOLD, description.lfWeight);
        EXPECT_EQ(-(10 * dpi) / 72, description.lfHeight);
        if (dpi == 96) {
            EXPECT_EQ(-13, description.lfHeight);
        }
        EXPECT_TRUE(RendersTahomaBold(font));
    }
    EXPECT_EQ(0u, GetObjectType(font)); // deleted with the settings
}

TEST_F(AppSettingsTest, PlatformTypeComesFromThePhone) {
    // The emulated phone's values live under HKEY_LOCAL_MACHINE: keep them in scratch too.
    HKEY machine = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(scratch, L"Machine", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &machine, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine));
    struct Case {
        LPCWSTR stored;
        int type;
    } cases[] = {
        {L"PocketPC", 1}, {L"SmartPhone", 2}, {L"smartphone", 0}, {L"PocketPC2", 0}, {nullptr, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? Narrow(c.stored) : "missing");
        if (c.stored)
            SetRawString(L"Machine\\" PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE, c.stored);
        else
            RegDeleteTreeW(machine, PHONEEMU_DEVICE_PATH);
        EXPECT_EQ(c.type, AppSettings::QueryPlatformType());
        AppSettings settings;
        EXPECT_EQ(c.type, settings.platformType);
    }
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(machine);
}

TEST_F(AppSettingsTest, NothingLeaksOnAnyPath) {
    SetRawDword(kAppKey, L"OneTimeMsg_191", 5);
    auto work = [this] {
        for (bool notification : {false, true}) {
            LaunchedByNotification = notification;
            SetRawString(kAppKey, L"ActiveProfile", kGuid);
            AppSettings settings;
            settings.Load();
            settings.Save();
            settings.SetActiveProfile(nullptr);
            settings.Save();
            {
                FailingValueWrites failing(L"OneTimeMsg_190");
                settings.Save();
            }
            SetRawString(kAppKey, L"ActiveProfile", std::wstring(39, L'x').c_str());
            AppSettings tooLong;
            tooLong.Load();
        }
        LaunchedByNotification = false;
    };
    work();
    ResourceCount before = CountResources();
    for (int i = 0; i < 10; ++i)
        work();
    EXPECT_EQ(before, CountResources());
}
