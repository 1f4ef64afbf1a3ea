#include "pimstore/ContactDb.h"
#include <algorithm>
#include <cwchar>

namespace {

const wchar_t kFileAs[] = L"FileAs";
const wchar_t kFirstName[] = L"FirstName";
const wchar_t kMiddleName[] = L"MiddleName";
const wchar_t kLastName[] = L"LastName";
const wchar_t kCategories[] = L"Categories";
const wchar_t kUid[] = L"UID";
const wchar_t kNumbers[] = L"Numbers"; // REG_MULTI_SZ
// Serialises the counter between processes that add contacts at the same time.
const wchar_t kCounterMutex[] = L"PhoneEmulator.Contacts.Counter";

HRESULT FromWin32(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

class Key {
public:
    Key() = default;
    ~Key() {
        if (key)
            RegCloseKey(key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY key = nullptr;
};

class MutexLock {
public:
    MutexLock() : mutex(CreateMutexW(nullptr, FALSE, kCounterMutex)) {
        if (mutex)
            WaitForSingleObject(mutex, INFINITE);
    }
    ~MutexLock() {
        if (mutex) {
            ReleaseMutex(mutex);
            CloseHandle(mutex);
        }
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    bool Held() const { return mutex != nullptr; }

private:
    HANDLE mutex;
};

std::wstring ContactPath(DWORD oid) {
    return std::wstring(CONTACTDB_PATH) + L"\\" + std::to_wstring(oid);
}

// Reads a REG_SZ or REG_MULTI_SZ value whole; a missing value reads as empty.
HRESULT ReadRaw(HKEY key, LPCWSTR name, DWORD wantedType, std::wstring* text) {
    text->clear();
    DWORD type = 0;
    DWORD size = 0;
    LONG code = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    if (type != wantedType)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    std::wstring buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    code =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&buffer[0]), &bytes);
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    buffer.resize(bytes / sizeof(wchar_t));
    *text = buffer;
    return S_OK;
}

HRESULT ReadText(HKEY key, LPCWSTR name, std::wstring* text) {
    HRESULT hr = ReadRaw(key, name, REG_SZ, text);
    if (SUCCEEDED(hr))
        text->resize(wcsnlen(text->c_str(), text->size()));
    return hr;
}

HRESULT ReadList(HKEY key, LPCWSTR name, std::vector<std::wstring>* items) {
    items->clear();
    std::wstring raw;
    HRESULT hr = ReadRaw(key, name, REG_MULTI_SZ, &raw);
    if (FAILED(hr))
        return hr;
    size_t at = 0;
    while (at < raw.size() && raw[at] != L'\0') {
        size_t end = raw.find(L'\0', at);
        if (end == std::wstring::npos)
            end = raw.size();
        items->push_back(raw.substr(at, end - at));
        at = end + 1;
    }
    return S_OK;
}

HRESULT WriteText(HKEY key, LPCWSTR name, const std::wstring& text) {
    return FromWin32(RegSetValueExW(key, name, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
}

HRESULT WriteList(HKEY key, LPCWSTR name, const std::vector<std::wstring>& items) {
    std::wstring raw;
    for (const std::wstring& item : items) {
        if (item.empty())
            continue; // an empty item would end the list
        raw += item;
        raw.push_back(L'\0');
    }
    raw.push_back(L'\0');
    return FromWin32(RegSetValueExW(key, name, 0, REG_MULTI_SZ,
                                    reinterpret_cast<const BYTE*>(raw.data()),
                                    static_cast<DWORD>(raw.size() * sizeof(wchar_t))));
}

// A contact key's name is its OID in decimal, nothing else.
bool ParseOid(const wchar_t* name, DWORD* oid) {
    unsigned long long value = 0;
    if (!*name || (name[0] == L'0'))
        return false;
    for (const wchar_t* c = name; *c; ++c) {
        if (*c < L'0' || *c > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(*c - L'0');
        if (value > 0xFFFFFFFFull)
            return false;
    }
    *oid = static_cast<DWORD>(value);
    return true;
}

HRESULT ListOids(std::vector<DWORD>* oids) {
    oids->clear();
    Key database;
    LONG code =
        RegOpenKeyExW(CONTACTDB_ROOT, CONTACTDB_PATH, 0, KEY_ENUMERATE_SUB_KEYS, &database.key);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    for (DWORD index = 0;; ++index) {
        wchar_t name[64];
        DWORD chars = ARRAYSIZE(name);
        code = RegEnumKeyExW(database.key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (code == ERROR_NO_MORE_ITEMS)
            break;
        if (code == ERROR_MORE_DATA)
            continue; // not a contact
        if (code != ERROR_SUCCESS)
            return FromWin32(code);
        DWORD oid = 0;
        if (ParseOid(name, &oid))
            oids->push_back(oid);
    }
    std::sort(oids->begin(), oids->end());
    return S_OK;
}

// Takes the next OID from the counter. Never hands out an OID that a stored contact
// has, even if the counter was lost.
HRESULT AllocateOid(DWORD* oid) {
    MutexLock lock;
    if (!lock.Held())
        return HRESULT_FROM_WIN32(GetLastError());
    Key database;
    HRESULT hr = FromWin32(RegCreateKeyExW(CONTACTDB_ROOT, CONTACTDB_PATH, 0, nullptr, 0,
                                           KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS,
                                           nullptr, &database.key, nullptr));
    if (FAILED(hr))
        return hr;
    DWORD next = 1;
    DWORD size = sizeof(next);
    DWORD type = 0;
    if (RegQueryValueExW(database.key, CONTACTDB_NEXTOID_VALUE, nullptr, &type,
                         reinterpret_cast<BYTE*>(&next), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || next == 0)
        next = 1;
    std::vector<DWORD> oids;
    hr = ListOids(&oids);
    if (FAILED(hr))
        return hr;
    if (!oids.empty() && oids.back() >= next) {
        if (oids.back() == 0xFFFFFFFF)
            return HRESULT_FROM_WIN32(ERROR_DATABASE_FULL);
        next = oids.back() + 1;
    }
    if (next == 0xFFFFFFFF)
        return HRESULT_FROM_WIN32(ERROR_DATABASE_FULL);
    DWORD following = next + 1;
    hr = FromWin32(RegSetValueExW(database.key, CONTACTDB_NEXTOID_VALUE, 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&following), sizeof(following)));
    if (FAILED(hr))
        return hr;
    *oid = next;
    return S_OK;
}

} // namespace

namespace ContactDb {

HRESULT Load(DWORD oid, ContactRecord* record) {
    *record = ContactRecord();
    if (oid == 0)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    Key contact;
    LONG code =
        RegOpenKeyExW(CONTACTDB_ROOT, ContactPath(oid).c_str(), 0, KEY_QUERY_VALUE, &contact.key);
    if (code == ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    ContactRecord loaded;
    loaded.oid = oid;
    HRESULT hr = ReadText(contact.key, kFileAs, &loaded.fileAs);
    if (SUCCEEDED(hr))
        hr = ReadText(contact.key, kFirstName, &loaded.firstName);
    if (SUCCEEDED(hr))
        hr = ReadText(contact.key, kMiddleName, &loaded.middleName);
    if (SUCCEEDED(hr))
        hr = ReadText(contact.key, kLastName, &loaded.lastName);
    if (SUCCEEDED(hr))
        hr = ReadText(contact.key, kCategories, &loaded.categories);
    if (SUCCEEDED(hr))
        hr = ReadText(contact.key, kUid, &loaded.uid);
    if (SUCCEEDED(hr))
        hr = ReadList(contact.key, kNumbers, &loaded.numbers);
    if (FAILED(hr))
        return hr;
    *record = loaded;
    return S_OK;
}

HRESULT LoadAll(std::vector<ContactRecord>* records) {
    records->clear();
    std::vector<DWORD> oids;
    HRESULT hr = ListOids(&oids);
    if (FAILED(hr))
        return hr;
    for (DWORD oid : oids) {
        ContactRecord record;
        hr = Load(oid, &record);
        if (hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND))
            continue; // removed meanwhile
        if (FAILED(hr))
            return hr;
        records->push_back(record);
    }
    return S_OK;
}

HRESULT Save(ContactRecord* record) {
    DWORD oid = record->oid;
    if (oid == 0) {
        HRESULT hr = AllocateOid(&oid);
        if (FAILED(hr))
            return hr;
    }
    Key contact;
    HRESULT hr = FromWin32(RegCreateKeyExW(CONTACTDB_ROOT, ContactPath(oid).c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &contact.key, nullptr));
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kFileAs, record->fileAs);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kFirstName, record->firstName);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kMiddleName, record->middleName);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kLastName, record->lastName);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kCategories, record->categories);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kUid, record->uid);
    if (SUCCEEDED(hr))
        hr = WriteList(contact.key, kNumbers, record->numbers);
    if (FAILED(hr)) {
        // Half a new contact would show up with missing fields; leave none.
        if (record->oid == 0) {
            RegCloseKey(contact.key);
            contact.key = nullptr;
            RegDeleteTreeW(CONTACTDB_ROOT, ContactPath(oid).c_str());
        }
        return hr;
    }
    record->oid = oid;
    return S_OK;
}

HRESULT FindByUid(const std::wstring& uid, DWORD* oid) {
    *oid = 0;
    if (uid.empty())
        return S_OK;
    std::vector<ContactRecord> records;
    HRESULT hr = LoadAll(&records);
    if (FAILED(hr))
        return hr;
    for (const ContactRecord& record : records) {
        if (record.uid == uid) {
            *oid = record.oid;
            break;
        }
    }
    return S_OK;
}

HRESULT Clear() {
    std::vector<DWORD> oids;
    HRESULT hr = ListOids(&oids);
    if (FAILED(hr))
        return hr;
    for (DWORD oid : oids) {
        LONG code = RegDeleteTreeW(CONTACTDB_ROOT, ContactPath(oid).c_str());
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
            return FromWin32(code);
    }
    return S_OK;
}

} // namespace ContactDb
