// The main window's list of profiles: the Off entry, which stands for no active
// profile, and every stored profile, one row each, sorted by name by the control.
// The active row carries its own icon and background.
#pragma once
#include "store/AppKeys.h"
#include "store/AppSettings.h"
#include "store/Profile.h"
#include "ui/OwnerDrawList.h"
#include <memory>
#include <vector>

// The resource text that names the mode; modes this version does not know share one.
UINT ModeNameId(ScreeningMode mode);

// What the list's owner does when the user activates a row.
class ProfileActivation {
public:
    virtual HRESULT ActivateProfile(Profile* profile, bool silent) = 0;

protected:
    ~ProfileActivation() = default;
};

class ProfileList : public OwnerDrawList {
public:
    ProfileList() = default;
    ~ProfileList() override;

    // The settings the rows are drawn from (the active profile, the timed values, the
    // sample flag) and who activates a row; both borrowed, both outlive the list.
    void Bind(AppSettings* settings, ProfileActivation* activation);

    // Empty-list text and the two row icons; call after Create, which sets the icon size.
    HRESULT LoadResources();
    // Rebuilds the rows from the registry and selects the row of keyName, else the
    // first. keyName must not point into a record of this list: those go first.
    HRESULT Fill(LPCWSTR keyName);
    // Reads again whether the blocked numbers take part, which the Off row tells, and
    // repaints the rows; Fill reads it too.
    void ReadNumberLists();
    // The record of the selected row, valid until the next Fill; null when none.
    Profile* SelectedProfile() const;
    // Also true when nothing is selected and there is no Off entry.
    bool IsOffSelected() const;
    // The row drawn as active: the one the settings name, or the Off entry when they
    // name none, or none that is listed.
    bool IsActive(const Profile* profile) const;
    // True when the settings name an active profile that could not be read or is not
    // listed, so the Off entry stands in for it.
    bool ActiveProfileLost() const;

    HRESULT ItemActivated(int index) override;
    HRESULT DrawItem(const DRAWITEMSTRUCT* draw) override;
    // The second line of the profile's row at now: the mode's name (for the Off entry,
    // while blocked numbers take part, that it lets all but those through), and for a
    // profile active for a while, when it ends ("… until 15:30").
    HRESULT DetailText(const Profile& profile, const SYSTEMTIME& now, LPWSTR buffer,
                       UINT chars) const;
    // The end alone ("until 15:30"); S_FALSE and an empty text for a row without one.
    HRESULT UntilText(const Profile& profile, const SYSTEMTIME& now, LPWSTR buffer,
                      UINT chars) const;

    std::vector<std::unique_ptr<Profile>> entries; // the Off entry first
    Profile* offEntry = nullptr;                   // borrowed from entries
    bool blockedNumbersInUse = false;              // as Fill or ReadNumberLists found
    HICON inactiveIcon = nullptr;
    HICON activeIcon = nullptr;

private:
    // A stored row carries the settings' active key name; asked afresh each time, since
    // the settings change under the list (a timed profile ends, a rule begins).
    bool ActiveListed() const;
    HRESULT Reload();
    void Clear();
    HRESULT AddOffEntry();
    HRESULT LoadEntry(LPCWSTR keyName);
    static HRESULT CreateSampleProfile(ScreeningMode mode, UINT nameId);
    bool DetailFits(const DRAWITEMSTRUCT* draw, LPCWSTR text) const;
    void DestroyIcons();

    AppSettings* settings = nullptr;
    ProfileActivation* activation = nullptr;
};
