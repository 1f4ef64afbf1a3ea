// The full-screen editor of one schedule rule: the profile it switches on, the time it
// runs from and to, and the days it starts on (a preset, or single days ticked in a
// list). Done is offered only while at least one day and a profile are chosen.
#pragma once
#include "ui/FullScreenDialog.h"
#include "store/Schedule.h"
#include "ui/ChoiceField.h"
#include <aygshell.h>
#include <vector>

class AppSettings;
class Profile;

class RuleEditor : public FullScreenDialog {
public:
    // Edits the rule in place. S_OK when the user ended with Done: the rule then holds
    // the fields' values (its applied marker untouched). E_FAIL for every other ending
    // (Cancel, a failure), with the rule as it was. The profiles are the ones to offer,
    // in their order; the caller keeps them alive. The owner is disabled meanwhile.
    static HRESULT Run(ScheduleRule* rule, const std::vector<const Profile*>& profiles, HWND owner,
                       const AppSettings& settings);

    RuleEditor(ScheduleRule* rule, const std::vector<const Profile*>& profiles,
               const AppSettings& settings);
    ~RuleEditor() override;
    RuleEditor(const RuleEditor&) = delete;
    RuleEditor& operator=(const RuleEditor&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // The days ticked in the list, bit 0 Sunday ... bit 6 Saturday.
    DWORD CheckedDays() const;
    // Enables Done when a profile and a day are chosen; true when they are.
    bool UpdateDoneKey();
    // Hands the fields to the rule; fails when they are not valid.
    HRESULT Commit();

    ScheduleRule* rule; // the caller's
    ChoiceField profileField;
    ChoiceField daysField;
    HWND startPicker = nullptr; // the dialog's
    HWND endPicker = nullptr;
    HWND dayList = nullptr;

private:
    static LRESULT CALLBACK FieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR editor);
    bool IsPocketPC() const;
    HRESULT Initialise();
    HRESULT InitialisePicker(HWND picker, int minuteOfDay);
    HRESULT FillDayList();
    void SetCheckedDays(DWORD days);
    void ShowPreset();
    void ApplyPreset();
    void ToggleSelectedDay();
    void Layout();
    bool OnCommand(WORD id, WORD notification);
    LRESULT OnNotify(const NMHDR* header);
    void OnDestroy();

    const std::vector<const Profile*>& profiles;
    const AppSettings& settings;
    bool settingChecks = false; // the list's changes come from the program
};

// The rule's days as a row shows them: "Every day", "Mon–Fri", "Mon, Wed, Fri", runs of
// three or more days joined by an en dash, the week starting on Monday.
HRESULT FormatRuleDays(DWORD days, LPWSTR buffer, UINT chars);
// Every day, Weekdays, Weekends: the preset's index, or 3 (chosen days) for any other.
int DayPresetOf(DWORD days);
