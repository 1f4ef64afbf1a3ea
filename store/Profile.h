// One screening profile: its name, mode, category and contacts, kept in one registry
// subkey per profile under HKCU\Software\Quorvane\Vespera\Profiles, named by a braced
// GUID that is the profile's identity.
#pragma once
#include <windows.h>

const int kProfileKeyNameChars = 39; // a braced GUID and its terminator
const int kProfileKeyPathChars = 260;
// Longest window in which a repeated call is let through; longer stored values are cut
// to it.
const DWORD kMaxRepeatMinutes = 60;
// Longest look back into the phone's call log for numbers the user called; longer
// stored values are cut to it.
const DWORD kMaxCalledDays = 365;
// The longest name or category a call is screened with, terminator included: a stored
// text beyond it is not read, and the profile counts as one that does not read.
const DWORD kCallPathTextChars = 256;

// The stored "Mode" value. Loading takes any stored number as it is.
enum class ScreeningMode : DWORD {
    Off = 0,
    BlockAll = 1,
    BlockUnknown = 2,
    BlockPrivate = 3,
    BlockListed = 4,
    BlockCategory = 5,
    AllowListed = 6,
    AllowCategory = 7,
};

// The contact OIDs of a profile in list order, held on the local heap. Read it like a
// vector; change it through the Profile, which keeps 0 and duplicates out.
class ContactOids {
public:
    ContactOids() = default;
    ~ContactOids() { Release(); }
    ContactOids(const ContactOids&) = delete;
    ContactOids& operator=(const ContactOids&) = delete;

    UINT size() const { return count; }
    bool empty() const { return count == 0; }
    DWORD operator[](UINT index) const { return items[index]; }
    const DWORD* begin() const { return items; }
    const DWORD* end() const { return items + count; }

private:
    friend class Profile;
    HRESULT Reserve(UINT wanted);
    void Release();

    DWORD* items = nullptr; // local heap
    UINT count = 0;
    UINT capacity = 0;
};

class Profile {
public:
    Profile() = default;
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    HRESULT SetName(LPCWSTR text);
    HRESULT SetCategory(LPCWSTR text); // null: no category
    HRESULT SetMode(ScreeningMode newMode);
    // 0: repeated calls are screened like any other; more than kMaxRepeatMinutes is
    // taken as kMaxRepeatMinutes.
    HRESULT SetRepeatMinutes(DWORD minutes);
    // 0: off; more than kMaxCalledDays is taken as kMaxCalledDays.
    HRESULT SetCalledDays(DWORD days);
    HRESULT AddContact(DWORD oid);
    HRESULT RemoveContact(DWORD oid);
    HRESULT ClearContacts();
    bool ContainsContact(DWORD oid) const;

    // Replaces the record's content with the stored profile of that subkey name. With
    // maxTextChars, a name or category longer than that fails the load unread.
    HRESULT Load(LPCWSTR subKeyName, DWORD maxTextChars = 0);
    // Writes the record, giving a new record its subkey first.
    HRESULT Save();
    // Removes the stored copy; the record itself stays as it is.
    HRESULT Delete();

    HRESULT EnsureKeyName();
    // Appends the profile's key path to the buffer, which must hold an empty string.
    HRESULT BuildKeyPath(LPWSTR buffer, UINT chars) const;
    // A new local-heap buffer of little-endian OIDs (released with LocalFree); E_FAIL
    // for an empty list.
    HRESULT EncodeContacts(BYTE** buffer, DWORD* bytes) const;
    // Adds every complete 4-byte OID in order, dropping zeros and repeats; trailing
    // bytes are ignored.
    HRESULT DecodeContacts(const BYTE* buffer, DWORD bytes);

    LPWSTR name = nullptr;     // local heap
    LPWSTR category = nullptr; // local heap; null: no category
    WCHAR keyName[kProfileKeyNameChars] = L"";
    ContactOids contacts;
    DWORD modified = 0;
    ScreeningMode mode = ScreeningMode::Off;
    // A caller refused within this many minutes gets through on calling again; 0: off.
    DWORD repeatMinutes = 0;
    // A caller the user called within this many days gets through; 0: off.
    DWORD calledDays = 0;

private:
    HRESULT ReplaceText(LPWSTR* field, LPCWSTR text);
};

// Calls the visitor with the subkey name of every stored profile, in the registry's
// order. The visitor's result does not stop the enumeration.
using ProfileVisitor = HRESULT (*)(LPCWSTR keyName, void* context);
HRESULT EnumerateProfiles(ProfileVisitor visitor, void* context);

// The same with any callable taking the key name, such as a lambda.
template <typename Visit> HRESULT EnumerateProfiles(Visit& visit) {
    return EnumerateProfiles(
        [](LPCWSTR keyName, void* context) -> HRESULT {
            return (*static_cast<Visit*>(context))(keyName);
        },
        &visit);
}
