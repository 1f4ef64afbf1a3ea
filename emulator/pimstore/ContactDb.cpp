#include "pimstore/ContactDb.h"
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <set>

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

// Reads a REG_SZ or REG_MULTI_SZ value whole; a missing value reads as empty. Most
// values fit the first buffer, so a contact's read asks the registry once per value
// rather than twice (a call in the category modes waits for it before End).
HRESULT ReadRaw(HKEY key, LPCWSTR name, DWORD wantedType, std::wstring* text) {
    text->clear();
    wchar_t first[128];
    DWORD type = 0;
    DWORD size = sizeof(first);
    LONG code = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(first), &size);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS && code != ERROR_MORE_DATA)
        return FromWin32(code);
    if (type != wantedType)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (code == ERROR_SUCCESS) {
        text->assign(first, size / sizeof(wchar_t));
        return S_OK;
    }
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

// Takes count OIDs in a row from the counter; *first is the first of them. Never hands
// out an OID that a stored contact has, even if the counter was lost.
HRESULT AllocateOids(DWORD count, DWORD* first) {
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
    // The last OID, 0xFFFFFFFF, is never given.
    if (count == 0 || count > 0xFFFFFFFFu - next)
        return HRESULT_FROM_WIN32(ERROR_DATABASE_FULL);
    DWORD following = next + count;
    hr = FromWin32(RegSetValueExW(database.key, CONTACTDB_NEXTOID_VALUE, 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&following), sizeof(following)));
    if (FAILED(hr))
        return hr;
    *first = next;
    return S_OK;
}

HRESULT WriteContact(HKEY database, DWORD oid, const ContactRecord& record) {
    Key contact;
    HRESULT hr = FromWin32(RegCreateKeyExW(database, std::to_wstring(oid).c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &contact.key, nullptr));
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kFileAs, record.fileAs);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kFirstName, record.firstName);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kMiddleName, record.middleName);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kLastName, record.lastName);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kCategories, record.categories);
    if (SUCCEEDED(hr))
        hr = WriteText(contact.key, kUid, record.uid);
    if (SUCCEEDED(hr))
        hr = WriteList(contact.key, kNumbers, record.numbers);
    return hr;
}

// The number index in memory: read whole, changed, written back where it changed.
class NumberIndex {
public:
    HRESULT Load() {
        entries.clear();
        complete = false;
        LONG code =
            RegOpenKeyExW(CONTACTDB_ROOT, CONTACTDB_INDEX_PATH, 0, KEY_QUERY_VALUE, &index.key);
        if (code == ERROR_FILE_NOT_FOUND)
            return S_OK;
        if (code != ERROR_SUCCESS)
            return FromWin32(code);
        std::vector<BYTE> data(4096);
        for (DWORD i = 0;; ++i) {
            wchar_t name[64];
            DWORD chars = ARRAYSIZE(name);
            DWORD type = 0;
            DWORD bytes = static_cast<DWORD>(data.size());
            code = RegEnumValueW(index.key, i, name, &chars, nullptr, &type, data.data(), &bytes);
            if (code == ERROR_MORE_DATA) {
                data.resize(bytes);
                --i;
                continue;
            }
            if (code == ERROR_NO_MORE_ITEMS)
                break;
            if (code != ERROR_SUCCESS)
                return FromWin32(code);
            if (wcscmp(name, CONTACTDB_INDEX_COMPLETE_VALUE) == 0) {
                DWORD value = 0;
                if (type == REG_DWORD && bytes == sizeof(value))
                    memcpy(&value, data.data(), sizeof(value));
                complete = value == 1;
                continue;
            }
            if (type != REG_BINARY)
                continue;
            std::vector<DWORD>& oids = entries[name];
            oids.resize(bytes / sizeof(DWORD));
            memcpy(oids.data(), data.data(), oids.size() * sizeof(DWORD));
        }
        return S_OK;
    }

    void Add(const ContactRecord& record) {
        for (const std::wstring& number : record.numbers) {
            std::wstring key = ContactDb::NumberIndexKey(number);
            if (key.empty())
                continue;
            std::vector<DWORD>& oids = entries[key];
            auto at = std::lower_bound(oids.begin(), oids.end(), record.oid);
            if (at != oids.end() && *at == record.oid)
                continue;
            oids.insert(at, record.oid);
            changed.insert(key);
        }
    }

    HRESULT Save() {
        Key writable;
        HRESULT hr = FromWin32(RegCreateKeyExW(CONTACTDB_ROOT, CONTACTDB_INDEX_PATH, 0, nullptr, 0,
                                               KEY_SET_VALUE, nullptr, &writable.key, nullptr));
        for (auto it = changed.begin(); SUCCEEDED(hr) && it != changed.end(); ++it) {
            const std::vector<DWORD>& oids = entries[*it];
            hr = FromWin32(RegSetValueExW(writable.key, it->c_str(), 0, REG_BINARY,
                                          reinterpret_cast<const BYTE*>(oids.data()),
                                          static_cast<DWORD>(oids.size() * sizeof(DWORD))));
        }
        if (SUCCEEDED(hr)) {
            const DWORD one = 1;
            hr =
                FromWin32(RegSetValueExW(writable.key, CONTACTDB_INDEX_COMPLETE_VALUE, 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&one), sizeof(one)));
        }
        if (SUCCEEDED(hr))
            changed.clear();
        return hr;
    }

    bool complete = false;

private:
    Key index;
    std::map<std::wstring, std::vector<DWORD>> entries;
    std::set<std::wstring> changed;
};

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

HRESULT SaveAll(std::vector<ContactRecord>* records) {
    DWORD fresh = 0;
    for (const ContactRecord& record : *records)
        fresh += record.oid == 0 ? 1 : 0;
    // Held until the contacts are written, so that a snapshot never sees an OID given
    // but not yet stored.
    MutexLock lock;
    if (!lock.Held())
        return HRESULT_FROM_WIN32(GetLastError());
    DWORD next = 0;
    HRESULT hr = fresh ? AllocateOids(fresh, &next) : S_OK;
    if (FAILED(hr))
        return hr;
    NumberIndex index;
    hr = index.Load();
    if (SUCCEEDED(hr) && !index.complete) {
        // A database from before the index: indexed once, whole.
        std::vector<ContactRecord> stored;
        hr = LoadAll(&stored);
        for (const ContactRecord& record : stored)
            index.Add(record);
    }
    if (FAILED(hr))
        return hr;
    Key database;
    hr = FromWin32(RegCreateKeyExW(CONTACTDB_ROOT, CONTACTDB_PATH, 0, nullptr, 0,
                                   KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &database.key,
                                   nullptr));
    for (size_t i = 0; SUCCEEDED(hr) && i < records->size(); ++i) {
        ContactRecord& record = (*records)[i];
        const DWORD oid = record.oid ? record.oid : next++;
        hr = WriteContact(database.key, oid, record);
        if (FAILED(hr)) {
            // Half a new contact would show up with missing fields; leave none.
            if (record.oid == 0)
                RegDeleteTreeW(CONTACTDB_ROOT, ContactPath(oid).c_str());
            break;
        }
        record.oid = oid;
        index.Add(record);
    }
    // What was written is indexed, also when a later record failed.
    HRESULT indexed = index.Save();
    return FAILED(hr) ? hr : indexed;
}

HRESULT Snapshot(std::vector<DWORD>* oids, DWORD* above) {
    // Writers hold the counter's lock until their contacts are written, so every OID
    // given so far is either stored or gone.
    MutexLock lock;
    if (!lock.Held())
        return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = ListOids(oids);
    if (FAILED(hr))
        return hr;
    *above = oids->empty() ? 1 : oids->back() == 0xFFFFFFFF ? 0xFFFFFFFF : oids->back() + 1;
    Key database;
    if (RegOpenKeyExW(CONTACTDB_ROOT, CONTACTDB_PATH, 0, KEY_QUERY_VALUE, &database.key) ==
        ERROR_SUCCESS) {
        DWORD counter = 0, bytes = sizeof(counter);
        if (RegGetValueW(database.key, nullptr, CONTACTDB_NEXTOID_VALUE, RRF_RT_REG_DWORD, nullptr,
                         &counter, &bytes) == ERROR_SUCCESS &&
            counter > *above)
            *above = counter;
    }
    return S_OK;
}

HRESULT LoadUids(std::map<std::wstring, DWORD>* oids) {
    oids->clear();
    std::vector<DWORD> stored;
    HRESULT hr = ListOids(&stored);
    if (FAILED(hr))
        return hr;
    Key database;
    LONG code = RegOpenKeyExW(CONTACTDB_ROOT, CONTACTDB_PATH, 0, KEY_QUERY_VALUE, &database.key);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    for (DWORD oid : stored) {
        wchar_t uid[512];
        DWORD bytes = sizeof(uid);
        code = RegGetValueW(database.key, std::to_wstring(oid).c_str(), kUid, RRF_RT_REG_SZ,
                            nullptr, uid, &bytes);
        std::wstring text;
        if (code == ERROR_MORE_DATA) {
            Key contact;
            if (RegOpenKeyExW(database.key, std::to_wstring(oid).c_str(), 0, KEY_QUERY_VALUE,
                              &contact.key) == ERROR_SUCCESS &&
                SUCCEEDED(ReadText(contact.key, kUid, &text)))
                code = ERROR_SUCCESS;
        } else if (code == ERROR_SUCCESS) {
            text = uid;
        }
        // A contact without a UID, or removed meanwhile, has nothing to match.
        if (code == ERROR_SUCCESS && !text.empty() && !oids->count(text))
            (*oids)[text] = oid;
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
    // An empty database is indexed completely by an empty index.
    LONG code = RegDeleteTreeW(CONTACTDB_ROOT, CONTACTDB_INDEX_PATH);
    if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
        return FromWin32(code);
    NumberIndex index;
    return index.Save();
}

std::wstring Digits(const std::wstring& number) {
    std::wstring digits;
    for (wchar_t c : number)
        if (c >= L'0' && c <= L'9')
            digits.push_back(c);
    return digits;
}

std::wstring NumberIndexKey(const std::wstring& number) {
    const size_t kIndexDigits = 7;
    std::wstring digits = Digits(number);
    return digits.size() <= kIndexDigits ? digits : digits.substr(digits.size() - kIndexDigits);
}

HRESULT FindByIndexKey(const std::wstring& key, std::vector<DWORD>* oids, bool* indexed) {
    oids->clear();
    *indexed = false;
    Key index;
    LONG code = RegOpenKeyExW(CONTACTDB_ROOT, CONTACTDB_INDEX_PATH, 0, KEY_QUERY_VALUE, &index.key);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    DWORD complete = 0, bytes = sizeof(complete);
    if (RegGetValueW(index.key, nullptr, CONTACTDB_INDEX_COMPLETE_VALUE, RRF_RT_REG_DWORD, nullptr,
                     &complete, &bytes) != ERROR_SUCCESS ||
        complete != 1)
        return S_OK;
    *indexed = true;
    if (key.empty())
        return S_OK;
    bytes = 0;
    code = RegQueryValueExW(index.key, key.c_str(), nullptr, nullptr, nullptr, &bytes);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    oids->resize(bytes / sizeof(DWORD));
    bytes = static_cast<DWORD>(oids->size() * sizeof(DWORD));
    code = RegQueryValueExW(index.key, key.c_str(), nullptr, nullptr,
                            reinterpret_cast<BYTE*>(oids->data()), &bytes);
    if (code != ERROR_SUCCESS) {
        oids->clear();
        return FromWin32(code);
    }
    oids->resize(bytes / sizeof(DWORD));
    std::sort(oids->begin(), oids->end());
    return S_OK;
}

} // namespace ContactDb
