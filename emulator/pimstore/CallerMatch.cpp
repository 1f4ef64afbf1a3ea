#include "pimstore/CallerMatch.h"
#include <pimstore/ContactDb.h>

// How the phone recognises a caller, as phones do: formatting is ignored (blanks,
// dashes, brackets, the plus sign), and only the trailing digits are compared, so that
// "+44 20 7946 0018", "0044 20 7946 0018" and "020 7946 0018" are one caller.
// - Numbers of 7 digits or more match when their last min(9, shorter length) digits
//   agree. Nine digits cover a subscriber number with its area code in most plans,
//   while a country code or trunk prefix (+44, 0044, 0) falls outside them.
// - A number of fewer than 7 digits (a short code) matches only the same digits in
//   full, so that 112 is never taken for a number that ends in 112.
// - Of several matching contacts the one sharing the most trailing digits wins, then
//   the lowest OID.

namespace {

const size_t kMinMatchDigits = 7;
const size_t kCompareDigits = 9;

size_t CommonTrailingDigits(const std::wstring& a, const std::wstring& b) {
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[a.size() - 1 - n] == b[b.size() - 1 - n])
        ++n;
    return n;
}

// The number of trailing digits the two share when they are the same caller, else 0.
size_t MatchStrength(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty())
        return 0;
    size_t shorter = a.size() < b.size() ? a.size() : b.size();
    size_t common = CommonTrailingDigits(a, b);
    if (shorter < kMinMatchDigits)
        return a == b ? common : 0;
    size_t needed = shorter < kCompareDigits ? shorter : kCompareDigits;
    return common >= needed ? common : 0;
}

} // namespace

HRESULT FindCaller(const std::wstring& number, Caller* caller) {
    *caller = Caller();
    using ContactDb::Digits;
    std::wstring ringing = Digits(number);
    if (ringing.empty())
        return S_OK;
    // The index names the few contacts that can match, so a ring costs the same with
    // ten contacts or ten thousand; without one, every contact is looked at.
    std::vector<DWORD> candidates;
    bool indexed = false;
    HRESULT hr =
        ContactDb::FindByIndexKey(ContactDb::NumberIndexKey(number), &candidates, &indexed);
    if (FAILED(hr))
        return hr;
    std::vector<ContactRecord> records;
    if (!indexed) {
        hr = ContactDb::LoadAll(&records);
        if (FAILED(hr))
            return hr;
    }
    for (DWORD oid : candidates) {
        ContactRecord record;
        hr = ContactDb::Load(oid, &record);
        if (hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND))
            continue; // a stale index entry
        if (FAILED(hr))
            return hr;
        records.push_back(record);
    }
    size_t best = 0;
    for (const ContactRecord& record : records) { // in OID order: ties keep the lowest
        for (const std::wstring& known : record.numbers) {
            size_t strength = MatchStrength(ringing, Digits(known));
            if (strength > best) {
                best = strength;
                caller->oid = record.oid;
                caller->name = record.fileAs;
            }
        }
    }
    return S_OK;
}
