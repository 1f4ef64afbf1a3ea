// The program's one top-level window: the list of profiles under the menu bar, the
// profile commands, and the broker's incoming-call message.
#pragma once
#include "platform/WindowObject.h"
#include "store/AppSettings.h"
#include "ui/PauseNote.h"
#include "ui/ProfileList.h"
#include "ui/UnreadCount.h"

extern const WCHAR kMainWindowClass[]; // "VesperaClass"
extern const WCHAR kMainWindowTitle[]; // "Vespera"

// Exit code of a run that ended by closing the main window.
const int kMainWindowExitCode = 18;

// The profile list control inside the main window.
const UINT kProfileListId = 650;
// The main window's timer that keeps it in step with the clock while it stays open.
const UINT_PTR kKeepInStepTimer = 1;

// Commands of the main window's menu bar.
enum MainWindowCommand : UINT {
    kCommandClose = 501,
    kCommandNewProfile = 502,
    kCommandEditProfile = 503,
    kCommandDeleteProfile = 504,
    kCommandSupportMail = 506,
    kCommandRecommendationMail = 507,
    kCommandCheckForUpdate = 508,
    kCommandActivateOneHour = 520, // "Activate for…"
    kCommandActivateTwoHours = 521,
    kCommandActivateUntilMorning = 522,
    kCommandSchedule = 530,
    kCommandNumbers = 540,
    kCommandResumeScreening = 547,
    kCommandCallHistory = 510,
    kCommandBackup = 550,
    kCommandRestore = 551,
};

class MainWindow : public WindowObject, public ProfileActivation {
public:
    MainWindow();
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The class procedure registered for "VesperaClass".
    static LRESULT CALLBACK ClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Makes the profile the active one. Unless silent, asks first (when it is not
    // active already), and closes the program afterwards.
    HRESULT ActivateProfile(Profile* profile, bool silent) override;
    // Makes the selected profile the active one for the span, after which the profile in
    // force before comes back; closes the program afterwards.
    HRESULT ActivateProfileFor(TimedSpan span);
    HRESULT NewProfile();
    HRESULT EditProfile();
    HRESULT DeleteProfile();

    AppSettings settings;
    ProfileList profileList;
    HWND menuBar = nullptr;
    UnreadCount unreadCount; // above the list
    PauseNote pauseNote;     // above the count

private:
    // The selected profile, unless it is the Off entry, and a copy of its key name.
    HRESULT SelectedStoredProfile(Profile** profile, WCHAR (&keyName)[kProfileKeyNameChars]);
    HRESULT OnCreate();
    void OnDestroy();
    // Once a minute while the window stays open: the check it ran when it opened, the
    // count of refused calls and the pause after an emergency call again.
    void KeepInStep();
    void ScheduleKeepInStep();
    void OnSize();
    void OnCommand(UINT command);
    void OnInitMenuPopup(HMENU menu);
    // Ends the pause after an emergency call now, and the line that tells of it.
    HRESULT ResumeScreening();
    // After the stored data was replaced whole: everything shown is read again.
    void ReadStoredDataAgain();
    HWND ListControl() const;
};

// The single main window object of the process.
MainWindow& TheMainWindow();
