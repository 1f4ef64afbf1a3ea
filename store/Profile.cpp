#include "store/Profile.h"
#include "store/AppKeys.h"
#include "store/RegistryKey.h"
#include <objbase.h>
#include <strsafe.h>
#include <string.h>

namespace {

const WCHAR kModeValue[] = L"Mode";
const WCHAR kCategoryValue[] = L"Category";
const WCHAR kContactsValue[] = L"Contacts";
const WCHAR kRepeatMinutesValue[] = L"RepeatMinutes";
const WCHAR kCalledDaysValue[] = L"CalledDays";
const REGSAM kReadAccess = KEY_READ;
const REGSAM kReadWriteAccess = KEY_READ | KEY_WRITE;

bool TextsEqual(LPCWSTR first, LPCWSTR second) {
    return CompareStringW(LOCALE_USER_DEFAULT, 0, first, -1, second, -1) == CSTR_EQUAL;
}

// Deleting a value that is already gone is what the caller wanted.
bool DeleteSucceeded(LONG code) {
    return code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND;
}

// A small open-addressing set of nonzero OIDs, so that decoding a long stored list
// drops repeats without comparing every pair.
class OidSet {
public:
    OidSet() = default;
    ~OidSet() {
        if (slots)
            LocalFree(slots);
    }
    OidSet(const OidSet&) = delete;
    OidSet& operator=(const OidSet&) = delete;

    HRESULT Init(UINT expected) {
        UINT wanted = 16;
        while (wanted < expected * 2ull) {
            if (wanted > 0x40000000u)
                return E_OUTOFMEMORY;
            wanted *= 2;
        }
        slots = static_cast<DWORD*>(LocalAlloc(LPTR, wanted * sizeof(DWORD)));
        if (!slots)
            return E_OUTOFMEMORY;
        mask = wanted - 1;
        return S_OK;
    }

    // True when the OID was not in the set before.
    bool Insert(DWORD oid) {
        UINT slot = Mix(oid) & mask;
        while (slots[slot] != 0) {
            if (slots[slot] == oid)
                return false;
            slot = (slot + 1) & mask;
        }
        slots[slot] = oid;
        return true;
    }

private:
    // Every bit of the OID reaches the low bits that pick the slot: the phone's OIDs
    // may differ only in their high bits, which a plain multiply leaves out of the mask.
    static UINT Mix(DWORD oid) {
        oid ^= oid >> 16;
        oid *= 0x85EBCA6Bu;
        oid ^= oid >> 13;
        oid *= 0xC2B2AE35u;
        oid ^= oid >> 16;
        return oid;
    }

    DWORD* slots = nullptr; // local heap; 0 marks a free slot
    UINT mask = 0;
};

} // namespace

HRESULT ContactOids::Reserve(UINT wanted) {
    if (wanted <= capacity)
        return S_OK;
    UINT grown = capacity < 8 ? 8 : capacity;
    while (grown < wanted) {
        if (grown > MAXDWORD / 2 / sizeof(DWORD))
            return E_OUTOFMEMORY;
        grown *= 2;
    }
    DWORD* larger = static_cast<DWORD*>(LocalAlloc(LPTR, grown * sizeof(DWORD)));
    if (!larger)
        return E_OUTOFMEMORY;
    if (count)
        memcpy(larger, items, count * sizeof(DWORD));
    if (items)
        LocalFree(items);
    items = larger;
    capacity = grown;
    return S_OK;
}

void ContactOids::Release() {
    if (items)
        LocalFree(items);
    items = nullptr;
    count = 0;
    capacity = 0;
}

Profile::~Profile() {
    if (name)
        LocalFree(name);
    if (category)
        LocalFree(category);
}

// The copy is made before the old text goes, so a failed copy keeps the record as it was.
HRESULT Profile::ReplaceText(LPWSTR* field, LPCWSTR text) {
    if (*field && TextsEqual(*field, text))
        return S_OK;
    LPWSTR copy = nullptr;
    HRESULT hr = CopyLocalString(text, &copy);
    if (FAILED(hr))
        return hr;
    if (*field)
        LocalFree(*field);
    *field = copy;
    modified = 1;
    return S_OK;
}

HRESULT Profile::SetName(LPCWSTR text) {
    if (!text)
        return E_INVALIDARG;
    return ReplaceText(&name, text);
}

HRESULT Profile::SetCategory(LPCWSTR text) {
    if (text)
        return ReplaceText(&category, text);
    if (category) {
        LocalFree(category);
        category = nullptr;
        modified = 1;
    }
    return S_OK;
}

HRESULT Profile::SetMode(ScreeningMode newMode) {
    if (newMode != mode) {
        mode = newMode;
        modified = 1;
    }
    return S_OK;
}

HRESULT Profile::SetCalledDays(DWORD days) {
    if (days > kMaxCalledDays)
        days = kMaxCalledDays;
    if (days != calledDays) {
        calledDays = days;
        modified = 1;
    }
    return S_OK;
}

HRESULT Profile::SetRepeatMinutes(DWORD minutes) {
    if (minutes > kMaxRepeatMinutes)
        minutes = kMaxRepeatMinutes;
    if (minutes != repeatMinutes) {
        repeatMinutes = minutes;
        modified = 1;
    }
    return S_OK;
}

HRESULT Profile::AddContact(DWORD oid) {
    if (oid == 0)
        return E_FAIL;
    if (ContainsContact(oid))
        return S_OK;
    HRESULT hr = contacts.Reserve(contacts.count + 1);
    if (FAILED(hr))
        return hr;
    contacts.items[contacts.count++] = oid;
    modified = 1;
    return S_OK;
}

HRESULT Profile::RemoveContact(DWORD oid) {
    if (oid == 0)
        return E_FAIL;
    for (UINT i = 0; i < contacts.count; ++i) {
        if (contacts.items[i] == oid) {
            memmove(contacts.items + i, contacts.items + i + 1,
                    (contacts.count - i - 1) * sizeof(DWORD));
            --contacts.count;
            modified = 1;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT Profile::ClearContacts() {
    contacts.Release();
    modified = 1;
    return S_OK;
}

bool Profile::ContainsContact(DWORD oid) const {
    for (DWORD listed : contacts)
        if (listed == oid)
            return true;
    return false;
}

HRESULT Profile::EnsureKeyName() {
    if (keyName[0])
        return S_OK;
    GUID guid;
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr))
        return hr;
    if (StringFromGUID2(guid, keyName, kProfileKeyNameChars) == 0) {
        keyName[0] = L'\0';
        return E_FAIL;
    }
    return S_OK;
}

HRESULT Profile::BuildKeyPath(LPWSTR buffer, UINT chars) const {
    if (!buffer)
        return E_INVALIDARG;
    HRESULT hr = StringCchCatW(buffer, chars, kProfilesKeyPath);
    if (SUCCEEDED(hr))
        hr = StringCchCatW(buffer, chars, L"\\");
    if (FAILED(hr))
        return hr;
    return StringCchCatW(buffer, chars, keyName);
}

HRESULT Profile::EncodeContacts(BYTE** buffer, DWORD* bytes) const {
    if (!buffer || !bytes)
        return E_INVALIDARG;
    *buffer = nullptr;
    *bytes = 0;
    if (contacts.empty())
        return E_FAIL;
    DWORD size = contacts.count * sizeof(DWORD);
    BYTE* encoded = static_cast<BYTE*>(LocalAlloc(LPTR, size));
    if (!encoded)
        return E_OUTOFMEMORY;
    for (UINT i = 0; i < contacts.count; ++i) {
        DWORD oid = contacts.items[i];
        encoded[i * 4 + 0] = static_cast<BYTE>(oid);
        encoded[i * 4 + 1] = static_cast<BYTE>(oid >> 8);
        encoded[i * 4 + 2] = static_cast<BYTE>(oid >> 16);
        encoded[i * 4 + 3] = static_cast<BYTE>(oid >> 24);
    }
    *buffer = encoded;
    *bytes = size;
    return S_OK;
}

HRESULT Profile::DecodeContacts(const BYTE* buffer, DWORD bytes) {
    if (!buffer || bytes == 0)
        return E_INVALIDARG;
    UINT units = bytes / sizeof(DWORD);
    if (units == 0)
        return S_OK;
    // Room for every unit up front: a stored list is never cut short silently.
    HRESULT hr = contacts.Reserve(contacts.count + units);
    if (FAILED(hr))
        return hr;
    OidSet seen;
    hr = seen.Init(contacts.count + units);
    if (FAILED(hr))
        return hr;
    for (DWORD listed : contacts)
        seen.Insert(listed);
    for (UINT i = 0; i < units; ++i) {
        const BYTE* unit = buffer + i * sizeof(DWORD);
        DWORD oid =
            unit[0] | (unit[1] << 8) | (unit[2] << 16) | (static_cast<DWORD>(unit[3]) << 24);
        if (oid != 0 && seen.Insert(oid)) {
            contacts.items[contacts.count++] = oid;
            modified = 1;
        }
    }
    return S_OK;
}

HRESULT Profile::Load(LPCWSTR subKeyName, DWORD maxTextChars) {
    if (!subKeyName)
        return E_INVALIDARG;
    if (!subKeyName[0])
        return E_FAIL;
    // A name that does not fit is refused whole, never cut to another key's name.
    WCHAR copied[kProfileKeyNameChars];
    HRESULT hr = StringCchCopyW(copied, ARRAYSIZE(copied), subKeyName);
    if (FAILED(hr))
        return hr;
    memcpy(keyName, copied, sizeof(keyName));

    WCHAR path[kProfileKeyPathChars] = L"";
    hr = BuildKeyPath(path, ARRAYSIZE(path));
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, path, kReadAccess) != ERROR_SUCCESS)
        return E_FAIL;

    LPWSTR text = nullptr;
    hr = key.ReadStringCopy(nullptr, &text, maxTextChars);
    if (FAILED(hr))
        return hr;
    if (!text)
        return E_OUTOFMEMORY;
    hr = SetName(text);
    LocalFree(text);
    if (FAILED(hr))
        return hr;

    hr = key.ReadStringCopy(kCategoryValue, &text, maxTextChars);
    if (FAILED(hr))
        return hr;
    hr = SetCategory(text);
    if (text)
        LocalFree(text);
    if (FAILED(hr))
        return hr;

    DWORD storedMode = 0;
    if (key.ReadDword(kModeValue, &storedMode) == ERROR_SUCCESS)
        mode = static_cast<ScreeningMode>(storedMode);
    // Profiles of older versions have no such value; one that cannot be read counts as
    // absent, so the profile screens as it always did.
    DWORD storedRepeat = 0;
    if (key.ReadDword(kRepeatMinutesValue, &storedRepeat) != ERROR_SUCCESS)
        storedRepeat = 0;
    repeatMinutes = storedRepeat > kMaxRepeatMinutes ? kMaxRepeatMinutes : storedRepeat;
    DWORD storedDays = 0;
    if (key.ReadDword(kCalledDaysValue, &storedDays) != ERROR_SUCCESS)
        storedDays = 0;
    calledDays = storedDays > kMaxCalledDays ? kMaxCalledDays : storedDays;

    contacts.Release();
    // A short list is read in one go; a longer one is measured first.
    BYTE small[256];
    DWORD bytes = sizeof(small);
    LONG code = key.ReadBinary(kContactsValue, small, &bytes);
    if (code == ERROR_SUCCESS && bytes > 0) {
        hr = DecodeContacts(small, bytes);
        if (SUCCEEDED(hr))
            modified = 0;
        return hr;
    }
    bytes = 0;
    if (code != ERROR_MORE_DATA ||
        key.ReadBinary(kContactsValue, nullptr, &bytes) != ERROR_SUCCESS || bytes == 0) {
        modified = 0;
        return S_OK;
    }
    BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LPTR, bytes));
    if (!buffer)
        return E_OUTOFMEMORY;
    DWORD read = bytes;
    if (key.ReadBinary(kContactsValue, buffer, &read) != ERROR_SUCCESS)
        hr = E_FAIL;
    else
        hr = DecodeContacts(buffer, read);
    LocalFree(buffer);
    if (SUCCEEDED(hr))
        modified = 0;
    return hr;
}

HRESULT Profile::Save() {
    if (!name)
        return E_INVALIDARG;
    if (!name[0])
        return E_FAIL;
    HRESULT hr = EnsureKeyName();
    if (FAILED(hr))
        return hr;
    WCHAR path[kProfileKeyPathChars] = L"";
    hr = BuildKeyPath(path, ARRAYSIZE(path));
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, path, nullptr, 0, kReadWriteAccess, nullptr) != ERROR_SUCCESS)
        return E_FAIL;

    // Each write must succeed, or the record stays marked as changed.
    if (key.WriteString(nullptr, name, REG_SZ) != ERROR_SUCCESS)
        return E_FAIL;
    if (key.WriteDword(kModeValue, static_cast<DWORD>(mode)) != ERROR_SUCCESS)
        return E_FAIL;
    if (category) {
        if (key.WriteString(kCategoryValue, category, REG_SZ) != ERROR_SUCCESS)
            return E_FAIL;
    } else if (!DeleteSucceeded(key.DeleteValue(kCategoryValue))) {
        return E_FAIL;
    }
    // Off is stored as no value, so a profile that never had the option stays as it was.
    if (repeatMinutes != 0) {
        if (key.WriteDword(kRepeatMinutesValue, repeatMinutes) != ERROR_SUCCESS)
            return E_FAIL;
    } else if (!DeleteSucceeded(key.DeleteValue(kRepeatMinutesValue))) {
        return E_FAIL;
    }
    if (calledDays != 0) {
        if (key.WriteDword(kCalledDaysValue, calledDays) != ERROR_SUCCESS)
            return E_FAIL;
    } else if (!DeleteSucceeded(key.DeleteValue(kCalledDaysValue))) {
        return E_FAIL;
    }
    if (contacts.empty()) {
        if (!DeleteSucceeded(key.DeleteValue(kContactsValue)))
            return E_FAIL;
    } else {
        // A list that cannot be encoded is not written, and what is stored stays.
        BYTE* encoded = nullptr;
        DWORD bytes = 0;
        hr = EncodeContacts(&encoded, &bytes);
        if (FAILED(hr))
            return hr;
        LONG code = key.WriteBinary(kContactsValue, encoded, bytes);
        LocalFree(encoded);
        if (code != ERROR_SUCCESS)
            return E_FAIL;
    }
    modified = 0;
    return S_OK;
}

HRESULT Profile::Delete() {
    if (!keyName[0])
        return E_FAIL;
    RegistryKey profiles;
    if (profiles.Open(HKEY_CURRENT_USER, kProfilesKeyPath, kReadWriteAccess) != ERROR_SUCCESS)
        return E_FAIL;
    if (profiles.DeleteSubKey(keyName) != ERROR_SUCCESS)
        return E_FAIL;
    return S_OK;
}

HRESULT EnumerateProfiles(ProfileVisitor visitor, void* context) {
    if (!visitor)
        return E_INVALIDARG;
    RegistryKey profiles;
    if (profiles.Open(HKEY_CURRENT_USER, kProfilesKeyPath, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return S_OK; // no profile was ever saved
    for (DWORD index = 0;; ++index) {
        WCHAR keyName[kProfileKeyNameChars];
        DWORD chars = ARRAYSIZE(keyName);
        LONG code = profiles.EnumSubKey(index, keyName, &chars);
        if (code == ERROR_NO_MORE_ITEMS)
            return S_OK;
        if (code == ERROR_SUCCESS)
            visitor(keyName, context);
        else if (code != ERROR_MORE_DATA)
            return E_FAIL; // a key that went away: no index would ever end the loop
    }
}
