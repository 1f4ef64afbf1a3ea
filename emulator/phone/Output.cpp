#include "phone/Output.h"
#include <cstdarg>
#include <cstdio>
#include <cwchar>

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0],
                            size, nullptr, nullptr);
    return result;
}

void AppendJsonString(std::wstring* out, const std::wstring& text) {
    out->push_back(L'"');
    for (wchar_t c : text) {
        switch (c) {
        case L'"':
            out->append(L"\\\"");
            break;
        case L'\\':
            out->append(L"\\\\");
            break;
        case L'\n':
            out->append(L"\\n");
            break;
        case L'\r':
            out->append(L"\\r");
            break;
        case L'\t':
            out->append(L"\\t");
            break;
        default:
            if (c < 0x20) {
                wchar_t escaped[8];
                swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
                out->append(escaped);
            } else {
                out->push_back(c);
            }
        }
    }
    out->push_back(L'"');
}

void JsonLine::Name(const wchar_t* name) {
    if (body.size() > 1)
        body.push_back(L',');
    AppendJsonString(&body, name);
    body.push_back(L':');
}

JsonLine& JsonLine::Text(const wchar_t* name, const std::wstring& value) {
    Name(name);
    AppendJsonString(&body, value);
    return *this;
}

JsonLine& JsonLine::Number(const wchar_t* name, unsigned long long value) {
    Name(name);
    body.append(std::to_wstring(value));
    return *this;
}

JsonLine& JsonLine::Bool(const wchar_t* name, bool value) {
    Name(name);
    body.append(value ? L"true" : L"false");
    return *this;
}

JsonLine& JsonLine::Null(const wchar_t* name) {
    Name(name);
    body.append(L"null");
    return *this;
}

JsonLine& JsonLine::TextList(const wchar_t* name, const std::vector<std::wstring>& values) {
    Name(name);
    body.push_back(L'[');
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            body.push_back(L',');
        AppendJsonString(&body, values[i]);
    }
    body.push_back(L']');
    return *this;
}

void JsonLine::Print() const {
    std::string line = ToUtf8(Str());
    line.push_back('\n');
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

void PrintError(const wchar_t* format, ...) {
    wchar_t text[1024];
    va_list args;
    va_start(args, format);
    vswprintf(text, ARRAYSIZE(text), format, args);
    va_end(args);
    std::string line = "phone: " + ToUtf8(text) + "\n";
    fwrite(line.data(), 1, line.size(), stderr);
    fflush(stderr);
}
