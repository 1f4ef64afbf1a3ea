#include "store/Schedule.h"
#include "store/AppKeys.h"
#include "store/RegistryKey.h"
#include "store/StoredTime.h"
#include <strsafe.h>

namespace {

const int kRuleChars = 96;
const int kFieldCount = 5;
const WCHAR kLastAppliedValue[] = L"LastApplied";
const int kLastAppliedChars = 2 * kWallMinuteTextChars + kProfileKeyNameChars + 1;

bool ParseDays(LPCWSTR text, DWORD* days) {
    DWORD value = 0;
    if (!*text)
        return false;
    for (LPCWSTR c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9' || value > kScheduleAllDays)
            return false;
        value = value * 10 + (*c - L'0');
    }
    if (value == 0 || value > kScheduleAllDays)
        return false;
    *days = value;
    return true;
}

bool SameFields(const ScheduleRule& first, const ScheduleRule& second) {
    return CompareStringW(LOCALE_USER_DEFAULT, 0, first.profile, -1, second.profile, -1) ==
               CSTR_EQUAL &&
           first.days == second.days && first.start == second.start && first.end == second.end;
}

bool IsWritable(const ScheduleRule& rule) {
    return rule.profile[0] && rule.days != 0 && (rule.days & ~kScheduleAllDays) == 0 &&
           rule.start >= 0 && rule.start < kMinutesPerDay && rule.end >= 0 &&
           rule.end < kMinutesPerDay;
}

} // namespace

int ScheduleRule::Length() const {
    return end > start ? end - start : end + kMinutesPerDay - start;
}

HRESULT EncodeRule(const ScheduleRule& rule, LPWSTR buffer, UINT chars, UINT* used) {
    if (!buffer || !used || !IsWritable(rule))
        return E_INVALIDARG;
    WCHAR start[6], end[6], applied[kWallMinuteTextChars] = L"";
    HRESULT hr = FormatTimeOfDay(rule.start, start, ARRAYSIZE(start));
    if (SUCCEEDED(hr))
        hr = FormatTimeOfDay(rule.end, end, ARRAYSIZE(end));
    if (SUCCEEDED(hr) && rule.applied)
        hr = FormatWallMinute(rule.appliedStart, applied, ARRAYSIZE(applied));
    if (FAILED(hr))
        return hr;
    // The fields joined by '|', then every '|' made a terminator: none of them can hold
    // one, since key names are GUIDs and the rest are digits.
    if (wcschr(rule.profile, L'|'))
        return E_INVALIDARG;
    size_t length = 0;
    hr = StringCchPrintfW(buffer, chars, L"%s|%lu|%s|%s|%s|", rule.profile, rule.days, start, end,
                          applied);
    if (SUCCEEDED(hr))
        hr = StringCchLengthW(buffer, chars, &length);
    if (FAILED(hr))
        return hr;
    if (length + 1 > chars)
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    for (size_t i = 0; i < length; ++i) {
        if (buffer[i] == L'|')
            buffer[i] = L'\0';
    }
    buffer[length] = L'\0'; // the list's terminator
    *used = static_cast<UINT>(length + 1);
    return S_OK;
}

void DecodeRule(DWORD type, const BYTE* data, DWORD bytes, ScheduleRule* rule) {
    if (!rule)
        return;
    *rule = ScheduleRule{};
    rule->status = RuleStatus::Unreadable;
    if (type != REG_MULTI_SZ || !data || bytes == 0 || bytes % sizeof(WCHAR) != 0)
        return;
    const auto* text = reinterpret_cast<const WCHAR*>(data);
    const DWORD chars = bytes / sizeof(WCHAR);
    if (text[chars - 1] != L'\0')
        return; // the last string runs off the end

    // The strings in order; an empty one among the first four is the list's end. The
    // fifth may be empty or missing (an empty last string is easily lost by tools).
    LPCWSTR fields[kFieldCount] = {nullptr, nullptr, nullptr, nullptr, L""};
    DWORD position = 0;
    for (int field = 0; field < kFieldCount && position < chars; ++field) {
        LPCWSTR string = text + position;
        const size_t length = wcslen(string);
        if (length == 0 && field < kFieldCount - 1)
            break;
        fields[field] = string;
        position += static_cast<DWORD>(length) + 1;
    }
    for (int field = 0; field < kFieldCount - 1; ++field) {
        if (!fields[field])
            return;
    }
    if (FAILED(StringCchCopyW(rule->profile, ARRAYSIZE(rule->profile), fields[0]))) {
        rule->profile[0] = L'\0';
        return;
    }
    if (!ParseDays(fields[1], &rule->days)) {
        rule->status = RuleStatus::BadDays;
        return;
    }
    rule->status = RuleStatus::BadTime;
    if (FAILED(ParseTimeOfDay(fields[2], &rule->start)) ||
        FAILED(ParseTimeOfDay(fields[3], &rule->end)))
        return;
    if (fields[4][0]) {
        if (FAILED(ParseWallMinute(fields[4], &rule->appliedStart)))
            return;
        rule->applied = true;
    }
    rule->status = RuleStatus::Valid;
}

HRESULT EvaluateSchedule(const ScheduleRule* rules, UINT count, const SYSTEMTIME& now,
                         ScheduleDecision* decision) {
    if (!decision || (!rules && count))
        return E_INVALIDARG;
    *decision = ScheduleDecision{};
    WallMinute current = 0;
    HRESULT hr = WallMinuteFromSystemTime(now, &current);
    if (FAILED(hr))
        return hr;
    const LONGLONG today = current / kMinutesPerDay;
    int winner = -1;
    WallMinute winnerStart = 0;
    for (UINT i = 0; i < count; ++i) {
        const ScheduleRule& rule = rules[i];
        if (rule.status != RuleStatus::Valid)
            continue;
        // An occurrence lasts at most a day, so only one that started today or
        // yesterday can contain now, and never both.
        for (LONGLONG day = today; day >= today - 1 && day >= 0; --day) {
            const int weekday = static_cast<int>((day + 1) % 7);
            if (!(rule.days & (1u << weekday)))
                continue;
            const WallMinute start = day * kMinutesPerDay + rule.start;
            if (start <= current && current < start + rule.Length()) {
                if (winner < 0 || start > winnerStart) {
                    winner = static_cast<int>(i);
                    winnerStart = start;
                }
                break;
            }
        }
    }
    if (winner < 0)
        return S_FALSE;
    decision->rule = winner;
    decision->start = winnerStart;
    decision->end = winnerStart + rules[winner].Length();
    decision->alreadyApplied = rules[winner].applied && rules[winner].appliedStart == winnerStart;
    return decision->alreadyApplied ? S_FALSE : S_OK;
}

HRESULT RuleValueName(UINT slot, LPWSTR buffer, UINT chars) {
    if (!buffer || slot >= kScheduleRuleCount)
        return E_INVALIDARG;
    return StringCchPrintfW(buffer, chars, L"Rule%02u", slot);
}

bool ProfileKeyExists(LPCWSTR keyName) {
    if (!keyName || !keyName[0])
        return false;
    WCHAR path[kProfileKeyPathChars];
    if (FAILED(StringCchPrintfW(path, ARRAYSIZE(path), L"%s\\%s", kProfilesKeyPath, keyName)))
        return false;
    RegistryKey key;
    return key.Open(HKEY_CURRENT_USER, path, KEY_READ) == ERROR_SUCCESS;
}

HRESULT Schedule::Load() {
    for (UINT slot = 0; slot < kScheduleRuleCount; ++slot) {
        stored[slot] = false;
        rules[slot] = ScheduleRule{};
    }
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kScheduleKeyPath, KEY_READ) != ERROR_SUCCESS)
        return S_OK; // no rule was ever stored
    for (UINT slot = 0; slot < kScheduleRuleCount; ++slot) {
        WCHAR name[8];
        HRESULT hr = RuleValueName(slot, name, ARRAYSIZE(name));
        if (FAILED(hr))
            return hr;
        DWORD bytes = 0;
        DWORD type = REG_NONE;
        LONG code = RegQueryValueExW(key.Handle(), name, nullptr, &type, nullptr, &bytes);
        if (code == ERROR_FILE_NOT_FOUND)
            continue;
        stored[slot] = true;
        // Read at the stored size exactly: with room to spare, the registry adds a
        // terminator that the stored value lacks.
        BYTE data[kMaxRuleBytes];
        if (code == ERROR_SUCCESS && bytes > sizeof(data))
            code = ERROR_MORE_DATA;
        if (code == ERROR_SUCCESS)
            code = RegQueryValueExW(key.Handle(), name, nullptr, &type, data, &bytes);
        if (code == ERROR_SUCCESS)
            DecodeRule(type, data, bytes, &rules[slot]);
        else
            rules[slot].status = RuleStatus::Unreadable; // too long, or unreadable
        if (rules[slot].status == RuleStatus::Valid && !ProfileKeyExists(rules[slot].profile))
            rules[slot].status = RuleStatus::ProfileMissing;
    }
    return S_OK;
}

HRESULT Schedule::Write(UINT slot, const ScheduleRule& rule) {
    WCHAR name[8];
    HRESULT hr = RuleValueName(slot, name, ARRAYSIZE(name));
    if (FAILED(hr))
        return hr;
    WCHAR text[kRuleChars];
    UINT chars = 0;
    hr = EncodeRule(rule, text, ARRAYSIZE(text), &chars);
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, kScheduleKeyPath, nullptr, 0, KEY_READ | KEY_WRITE,
                   nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    const LONG code = RegSetValueExW(key.Handle(), name, 0, REG_MULTI_SZ,
                                     reinterpret_cast<const BYTE*>(text), chars * sizeof(WCHAR));
    if (code != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(code);
    stored[slot] = true;
    rules[slot] = rule;
    rules[slot].status =
        ProfileKeyExists(rule.profile) ? RuleStatus::Valid : RuleStatus::ProfileMissing;
    return S_OK;
}

HRESULT Schedule::Add(const ScheduleRule& rule, UINT* slot) {
    if (!slot || !IsWritable(rule))
        return E_INVALIDARG;
    for (UINT free = 0; free < kScheduleRuleCount; ++free) {
        if (stored[free])
            continue;
        ScheduleRule fresh = rule;
        fresh.applied = false;
        HRESULT hr = Write(free, fresh);
        if (SUCCEEDED(hr))
            *slot = free;
        return hr;
    }
    return kScheduleFull;
}

HRESULT Schedule::Edit(UINT slot, const ScheduleRule& rule) {
    if (slot >= kScheduleRuleCount || !stored[slot] || !IsWritable(rule))
        return E_INVALIDARG;
    const ScheduleRule& before = rules[slot];
    const bool readable =
        before.status == RuleStatus::Valid || before.status == RuleStatus::ProfileMissing;
    ScheduleRule changed = rule;
    changed.applied = readable && SameFields(before, rule) && before.applied;
    changed.appliedStart = changed.applied ? before.appliedStart : 0;
    return Write(slot, changed);
}

HRESULT Schedule::Delete(UINT slot) {
    if (slot >= kScheduleRuleCount || !stored[slot])
        return E_INVALIDARG;
    WCHAR name[8];
    HRESULT hr = RuleValueName(slot, name, ARRAYSIZE(name));
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kScheduleKeyPath, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return E_FAIL;
    const LONG code = key.DeleteValue(name);
    if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(code);
    stored[slot] = false;
    rules[slot] = ScheduleRule{};
    return S_OK;
}

HRESULT Schedule::MarkApplied(UINT slot, WallMinute occurrenceStart) {
    if (slot >= kScheduleRuleCount || !stored[slot] || rules[slot].status != RuleStatus::Valid ||
        occurrenceStart < 0)
        return E_INVALIDARG;
    ScheduleRule marked = rules[slot];
    marked.applied = true;
    marked.appliedStart = occurrenceStart;
    return Write(slot, marked);
}

UINT Schedule::Collect(ScheduleRule (&collected)[kScheduleRuleCount],
                       UINT (&slots)[kScheduleRuleCount]) const {
    UINT count = 0;
    for (UINT slot = 0; slot < kScheduleRuleCount; ++slot) {
        if (!stored[slot])
            continue;
        collected[count] = rules[slot];
        slots[count] = slot;
        ++count;
    }
    return count;
}

UINT Schedule::Count() const {
    UINT count = 0;
    for (bool occupied : stored)
        count += occupied ? 1 : 0;
    return count;
}

HRESULT ReadLastApplied(LastApplied* record) {
    if (!record)
        return E_INVALIDARG;
    *record = LastApplied{};
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kScheduleKeyPath, KEY_READ) != ERROR_SUCCESS)
        return S_FALSE;
    WCHAR text[kLastAppliedChars];
    DWORD type = REG_NONE;
    DWORD bytes = sizeof(text);
    if (RegQueryValueExW(key.Handle(), kLastAppliedValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ || bytes % sizeof(WCHAR) != 0 || bytes == 0 ||
        text[bytes / sizeof(WCHAR) - 1] != L'\0')
        return S_FALSE;
    // Three strings: the first start, the profile, the end.
    const DWORD chars = bytes / sizeof(WCHAR);
    LPCWSTR fields[3] = {};
    DWORD position = 0;
    for (LPCWSTR& field : fields) {
        if (position >= chars || !text[position])
            return S_FALSE;
        field = text + position;
        position += static_cast<DWORD>(wcslen(field)) + 1;
    }
    LastApplied read;
    if (FAILED(ParseWallMinute(fields[0], &read.firstStart)) ||
        FAILED(StringCchCopyW(read.profile, ARRAYSIZE(read.profile), fields[1])) ||
        FAILED(ParseWallMinute(fields[2], &read.end)))
        return S_FALSE;
    *record = read;
    return S_OK;
}

HRESULT WriteLastApplied(const LastApplied& record) {
    WCHAR first[kWallMinuteTextChars], end[kWallMinuteTextChars];
    HRESULT hr = FormatWallMinute(record.firstStart, first, ARRAYSIZE(first));
    if (SUCCEEDED(hr))
        hr = FormatWallMinute(record.end, end, ARRAYSIZE(end));
    if (FAILED(hr))
        return hr;
    if (!record.profile[0] || wcschr(record.profile, L'|'))
        return E_INVALIDARG;
    WCHAR text[kLastAppliedChars];
    hr = StringCchPrintfW(text, ARRAYSIZE(text), L"%s|%s|%s|", first, record.profile, end);
    size_t length = 0;
    if (SUCCEEDED(hr))
        hr = StringCchLengthW(text, ARRAYSIZE(text), &length);
    if (FAILED(hr))
        return hr;
    if (length + 1 > ARRAYSIZE(text))
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == L'|')
            text[i] = L'\0';
    }
    text[length] = L'\0';
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, kScheduleKeyPath, nullptr, 0, KEY_READ | KEY_WRITE,
                   nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    const LONG code =
        RegSetValueExW(key.Handle(), kLastAppliedValue, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(text), (length + 1) * sizeof(WCHAR));
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

HRESULT DeleteLastApplied() {
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kScheduleKeyPath, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return S_OK;
    const LONG code = key.DeleteValue(kLastAppliedValue);
    return code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(code);
}

bool ScheduleHasRules() {
    Schedule schedule;
    if (FAILED(schedule.Load()))
        return false;
    for (UINT slot = 0; slot < kScheduleRuleCount; ++slot) {
        if (schedule.stored[slot] && schedule.rules[slot].status == RuleStatus::Valid)
            return true;
    }
    return false;
}
