// The schedule's screens on one kind of phone, as the tests open them: a scratch
// registry, the resource library and the settings of that phone, and what the user
// sees and presses in the two dialogs.
#pragma once
#include "store/AppSettings.h"
#include "store/Profile.h"
#include "support/DialogDriver.h"
#include "support/PhoneState.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>

class ScheduleScreens : public ScratchRegistry, public testing::WithParamInterface<const wchar_t*> {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    bool IsPocketPC() const;
    // A stored rule's strings joined by '|', as "Rule" nn holds them.
    std::wstring StoredRule(const wchar_t* value);
    // Stores the strings of a rule, joined by '|', as a REG_MULTI_SZ.
    void StoreRule(const wchar_t* value, const std::wstring& joined);

    static HMODULE resources;
    std::unique_ptr<ScopedPlatformType> platform;
    std::unique_ptr<AppSettings> settings;
};

std::wstring Caption(HWND dialog);
bool LeftKeyEnabled(HWND dialog);
// The states of the commands in the right soft key's popup, once it was opened.
bool CommandEnabled(HWND dialog, UINT command);
// The selected entry of a choice field (spinner or drop-down); -1 for none.
int ChoiceOf(HWND dialog, int control);
// Chooses an entry of a choice field as a user does, telling the dialog.
void Choose(HWND dialog, int control, int entry);
// Saves the bitmap of the dialog, its soft-key bar and an open drop-down list as
// "<folder>\schedule-<name>.bmp", the folder given by VESPERA_SHOTS.
void SaveScreen(HWND dialog, const std::wstring& name);
// The same as "<folder>\<file>.bmp".
void SavePicture(HWND dialog, const std::wstring& file);
