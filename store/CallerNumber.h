// Callers' numbers compared by their digits, the one way Vespera tells that two numbers
// are the same caller.
#pragma once
#include <windows.h>

// Whether two numbers are one caller, as the phone matches a caller to a contact: only
// the digits count; numbers of 7 digits or more agree on their last min(9, shorter
// length) digits, so a country code or trunk prefix makes no difference; a shorter
// number (a short code) matches only the same digits in full. A number without digits
// is no caller.
bool SameCallerNumber(LPCWSTR a, LPCWSTR b);
// The same comparison on the digits alone, already taken from two numbers (no others in
// them), for a caller compared with many entries.
bool SameCallerDigits(LPCWSTR a, UINT aCount, LPCWSTR b, UINT bCount);

// The emergency services' numbers (112, 911, 999, 000, 110, 119, 118), dialled or
// calling: the number's digits are one of them exactly.
bool IsEmergencyNumber(LPCWSTR number);
