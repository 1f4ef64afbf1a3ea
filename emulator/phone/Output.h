// What the phone prints: one JSON line per report on standard output, messages for
// people on standard error. Both in UTF-8.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Builds one flat JSON object, member by member, in the order they are added.
class JsonLine {
public:
    JsonLine& Text(const wchar_t* name, const std::wstring& value);
    JsonLine& Number(const wchar_t* name, unsigned long long value);
    JsonLine& Bool(const wchar_t* name, bool value);
    JsonLine& Null(const wchar_t* name);
    JsonLine& TextList(const wchar_t* name, const std::vector<std::wstring>& values);
    std::wstring Str() const { return body + L"}"; }
    // Writes the object and a line break to standard output, and flushes.
    void Print() const;

private:
    void Name(const wchar_t* name);
    std::wstring body = L"{";
};

void AppendJsonString(std::wstring* out, const std::wstring& text);

// Writes a line to standard error, prefixed with "phone: ".
void PrintError(const wchar_t* format, ...);

std::string ToUtf8(const std::wstring& text);
