// The weekly schedule's screen: one row per stored rule (the profile's name over its
// days and times; a rule that is ignored says why), sorted by start time, with New,
// Edit and Delete on the soft keys. Full screen, over the main window.
#pragma once
#include "ui/FullScreenDialog.h"
#include "store/Profile.h"
#include "store/Schedule.h"
#include "ui/OwnerDrawList.h"
#include <aygshell.h>
#include <memory>
#include <vector>

class AppSettings;
class ScheduleList;

// The two lines of a rule's row. profileName is the name of the rule's profile, null
// when it has none (or no name).
HRESULT DescribeRule(const ScheduleRule& rule, LPCWSTR profileName, LPWSTR title, UINT titleChars,
                     LPWSTR detail, UINT detailChars);

// The rows; each item's parameter is the rule's slot.
class RuleRows : public OwnerDrawList {
public:
    explicit RuleRows(ScheduleList& owner) : owner(owner) {}
    ~RuleRows() override;
    RuleRows(const RuleRows&) = delete;
    RuleRows& operator=(const RuleRows&) = delete;

    HRESULT LoadResources();
    // The action key or a tap edits the rule.
    HRESULT ItemActivated(int index) override;
    HRESULT DrawItem(const DRAWITEMSTRUCT* draw) override;

    HICON icon = nullptr; // owned

private:
    ScheduleList& owner;
};

class ScheduleList : public FullScreenDialog {
public:
    // Shows the rules until the user is done; every change is stored at once, and the
    // broker request follows (the owner is the main window, which the request names).
    static HRESULT Run(HWND owner, const AppSettings& settings);

    ScheduleList(const AppSettings& settings, HWND mainWindow);
    ~ScheduleList() override;
    ScheduleList(const ScheduleList&) = delete;
    ScheduleList& operator=(const ScheduleList&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Rebuilds the rows from the schedule and selects the row of the slot (else the
    // first row).
    HRESULT Fill(int selectSlot);
    HRESULT NewRule();
    HRESULT EditRule();
    HRESULT DeleteRule();
    // The slot of the selected row; -1 for none.
    int SelectedSlot() const;
    // The name of the profile with that key name; null when there is none.
    LPCWSTR ProfileName(LPCWSTR keyName) const;

    Schedule schedule;
    std::vector<std::unique_ptr<Profile>> profiles; // sorted by name
    RuleRows rows;

private:
    HRESULT Initialise();
    HRESULT LoadProfiles();
    HRESULT EditSlot(UINT slot);
    std::vector<const Profile*> ProfileChoices() const;
    void UpdateMenu(HMENU menu);
    // Renews the broker request after a change to the rules.
    HRESULT KeepCallNotificationInLine();
    void OnCommand(WORD id);

    const AppSettings& settings;
    HWND mainWindow; // borrowed
};
