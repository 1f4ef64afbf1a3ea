#include "phone/Contacts.h"
#include "phone/Output.h"
#include "phone/Vcard.h"
#include <pimstore/ContactDb.h>
#include <map>

namespace {

// Address books are small; a larger file is not one.
const DWORD kMaxFileBytes = 16 * 1024 * 1024;

HRESULT ReadWholeFile(LPCWSTR path, std::string* bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = S_OK;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        hr = HRESULT_FROM_WIN32(GetLastError());
    else if (size.QuadPart > kMaxFileBytes)
        hr = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    if (SUCCEEDED(hr)) {
        bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        if (!bytes->empty() &&
            (!ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) ||
             got != bytes->size()))
            hr = HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_READ_FAULT);
    }
    CloseHandle(file);
    return hr;
}

std::wstring JoinCategories(const std::vector<std::wstring>& categories) {
    std::wstring text;
    for (const std::wstring& category : categories) {
        if (!text.empty())
            text += L", ";
        text += category;
    }
    return text;
}

} // namespace

HRESULT ImportContacts(LPCWSTR path) {
    std::string bytes;
    HRESULT hr = ReadWholeFile(path, &bytes);
    if (FAILED(hr)) {
        PrintError(L"cannot read %ls (0x%08lx)", path, static_cast<unsigned long>(hr));
        return hr;
    }
    std::vector<VcardCard> cards;
    std::vector<VcardProblem> problems;
    ParseVcards(bytes, &cards, &problems);
    unsigned skipped = 0;
    for (const VcardProblem& problem : problems) {
        if (problem.cardLine == 0) {
            PrintError(L"%ls:%d: %ls", path, problem.line, problem.message.c_str());
        } else {
            ++skipped;
            PrintError(L"%ls:%d: %ls; the card of line %d is skipped", path, problem.line,
                       problem.message.c_str(), problem.cardLine);
        }
    }

    // One look at the stored UIDs, one write of all the cards: a card whose UID is known
    // updates that contact, also a card that an earlier card of this file added.
    std::map<std::wstring, DWORD> known;
    hr = ContactDb::LoadUids(&known);
    std::vector<ContactRecord> records;
    std::map<std::wstring, size_t> fresh; // UID to its new record, until it has an OID
    unsigned added = 0, updated = 0;
    for (size_t i = 0; SUCCEEDED(hr) && i < cards.size(); ++i) {
        const VcardCard& card = cards[i];
        ContactRecord record;
        auto stored = card.uid.empty() ? known.end() : known.find(card.uid);
        auto pending = card.uid.empty() ? fresh.end() : fresh.find(card.uid);
        if (stored != known.end())
            record.oid = stored->second;
        record.fileAs = card.DisplayName();
        record.firstName = card.given;
        record.middleName = card.additional;
        record.lastName = card.family;
        record.categories = JoinCategories(card.categories);
        record.uid = card.uid;
        record.numbers = card.numbers;
        if (pending != fresh.end()) {
            records[pending->second] = record; // the later card of the UID wins
            ++updated;
            continue;
        }
        if (record.oid == 0 && !card.uid.empty())
            fresh[card.uid] = records.size();
        ++(record.oid ? updated : added);
        records.push_back(record);
    }
    if (SUCCEEDED(hr) && !records.empty())
        hr = ContactDb::SaveAll(&records);
    if (FAILED(hr)) {
        PrintError(L"cannot store the contacts (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }
    JsonLine()
        .Number(L"added", added)
        .Number(L"updated", updated)
        .Number(L"skipped", skipped)
        .Print();
    return S_OK;
}

HRESULT ListContacts() {
    std::vector<ContactRecord> records;
    HRESULT hr = ContactDb::LoadAll(&records);
    if (FAILED(hr)) {
        PrintError(L"cannot read the contacts (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }
    for (const ContactRecord& record : records) {
        JsonLine()
            .Number(L"oid", record.oid)
            .Text(L"name", record.fileAs)
            .Text(L"categories", record.categories)
            .TextList(L"numbers", record.numbers)
            .Print();
    }
    return S_OK;
}

HRESULT ClearContacts() {
    HRESULT hr = ContactDb::Clear();
    if (FAILED(hr))
        PrintError(L"cannot remove the contacts (0x%08lx)", static_cast<unsigned long>(hr));
    return hr;
}
