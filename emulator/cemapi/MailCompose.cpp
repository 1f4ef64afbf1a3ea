// The phone's mail composition service on a desktop: the request becomes a mailto:
// address (RFC 6068) that the user's own mail program opens.
#include <cemapi.h>
#include <shellapi.h>

namespace {

// The longest command line a program can be started with, less the handler's own part.
const size_t kMaxAddressLength = 32000;

// A growing text on the process heap; a failed append leaves it marked as failed.
class UriBuilder {
public:
    UriBuilder() = default;
    ~UriBuilder() {
        if (text)
            HeapFree(GetProcessHeap(), 0, text);
    }
    UriBuilder(const UriBuilder&) = delete;
    UriBuilder& operator=(const UriBuilder&) = delete;

    void Append(WCHAR c) {
        if (failed || !Reserve(length + 2))
            return;
        text[length++] = c;
        text[length] = L'\0';
    }
    void Append(LPCWSTR s) {
        while (*s)
            Append(*s++);
    }
    void AppendByte(unsigned char byte, bool keepAt) {
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~';
        if (unreserved || (keepAt && byte == '@')) {
            Append(static_cast<WCHAR>(byte));
            return;
        }
        static const WCHAR hex[] = L"0123456789ABCDEF";
        Append(L'%');
        Append(hex[byte >> 4]);
        Append(hex[byte & 0xF]);
    }

    HRESULT Result() const {
        if (failed)
            return E_OUTOFMEMORY;
        return length > kMaxAddressLength ? HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW) : S_OK;
    }
    void Truncate(size_t newLength) {
        if (text && newLength < length) {
            length = newLength;
            text[length] = L'\0';
        }
    }
    LPCWSTR Text() const { return text ? text : L""; }
    size_t Length() const { return length; }

private:
    bool Reserve(size_t needed) {
        if (needed <= capacity)
            return true;
        size_t grown = capacity ? capacity * 2 : 256;
        while (grown < needed)
            grown *= 2;
        void* block = text ? HeapReAlloc(GetProcessHeap(), 0, text, grown * sizeof(WCHAR))
                           : HeapAlloc(GetProcessHeap(), 0, grown * sizeof(WCHAR));
        if (!block) {
            failed = true;
            return false;
        }
        text = static_cast<WCHAR*>(block);
        capacity = grown;
        return true;
    }

    WCHAR* text = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    bool failed = false;
};

enum class Part { Address, Header, Body };

// Appends UTF-16 text as percent-encoded UTF-8. Line breaks become CRLF in a body, as
// the mailto: scheme requires, and a blank in a header, which cannot hold one.
HRESULT AppendEncoded(UriBuilder& uri, LPCWSTR text, int chars, Part part) {
    if (chars == 0)
        return S_OK;
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, chars, nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0)
        return E_INVALIDARG; // broken UTF-16 (an unpaired surrogate)
    char* utf8 = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (!utf8)
        return E_OUTOFMEMORY;
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, chars, utf8, size, nullptr, nullptr);
    for (int i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(utf8[i]);
        if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && i + 1 < size && utf8[i + 1] == '\n')
                ++i;
            uri.Append(part == Part::Body ? L"%0D%0A" : L"%20");
            continue;
        }
        uri.AppendByte(byte, part == Part::Address);
    }
    HeapFree(GetProcessHeap(), 0, utf8);
    return uri.Result();
}

bool IsBlank(WCHAR c) {
    return c == L' ' || c == L'\t';
}

// Appends the addresses of a ';'-separated list, comma-separated. A mailto: address
// carries no display names: "Name <user@example.com>" gives user@example.com.
HRESULT AppendAddresses(UriBuilder& uri, LPCWSTR list) {
    bool first = true;
    for (LPCWSTR entry = list; entry && *entry;) {
        LPCWSTR end = entry;
        while (*end && *end != L';')
            ++end;
        LPCWSTR begin = entry;
        LPCWSTR stop = end;
        for (LPCWSTR p = entry; p < end; ++p) {
            if (*p == L'<') {
                begin = p + 1;
                stop = begin;
                while (stop < end && *stop != L'>')
                    ++stop;
            }
        }
        while (begin < stop && IsBlank(*begin))
            ++begin;
        while (stop > begin && IsBlank(stop[-1]))
            --stop;
        if (stop > begin) {
            if (!first)
                uri.Append(L',');
            first = false;
            HRESULT hr = AppendEncoded(uri, begin, static_cast<int>(stop - begin), Part::Address);
            if (FAILED(hr))
                return hr;
        }
        entry = *end ? end + 1 : end;
    }
    return uri.Result();
}

// Appends "?name=value" or "&name=value"; empty fields are left out.
HRESULT AppendField(UriBuilder& uri, bool& hasQuery, LPCWSTR name, LPCWSTR value, Part part) {
    if (!value || !*value)
        return S_OK;
    const size_t mark = uri.Length();
    uri.Append(hasQuery ? L'&' : L'?');
    uri.Append(name);
    uri.Append(L'=');
    const size_t start = uri.Length();
    HRESULT hr = part == Part::Address ? AppendAddresses(uri, value)
                                       : AppendEncoded(uri, value, lstrlenW(value), part);
    if (FAILED(hr))
        return hr;
    if (uri.Length() == start) {
        uri.Truncate(mark); // only blanks and separators: the field stays out
        return S_OK;
    }
    hasQuery = true;
    return S_OK;
}

bool IsMailClass(LPCWSTR messageClass) {
    if (!messageClass || !*messageClass)
        return true;
    const WCHAR note[] = L"IPM.Note";
    const int length = ARRAYSIZE(note) - 1;
    if (lstrlenW(messageClass) < length)
        return false;
    return CompareStringOrdinal(messageClass, length, note, length, TRUE) == CSTR_EQUAL &&
           (messageClass[length] == L'\0' || messageClass[length] == L'.');
}

} // namespace

extern "C" HRESULT WINAPI MailComposeMessage(MAILCOMPOSEFIELDS* pFields) {
    if (!pFields || pFields->cbSize != sizeof(MAILCOMPOSEFIELDS))
        return E_INVALIDARG;
    if (pFields->cAttachments > 0 && !pFields->pszAttachments)
        return E_INVALIDARG;
    // A mailto: address can carry neither files nor other kinds of messages (text
    // messages, for instance); better to say so than to drop them silently.
    if (pFields->cAttachments > 0 || !IsMailClass(pFields->pszMsgClass))
        return E_NOTIMPL;
    // The account is the phone's choice; on the desktop the mail program picks its own.

    UriBuilder uri;
    uri.Append(L"mailto:");
    HRESULT hr = AppendAddresses(uri, pFields->pszTo);
    bool hasQuery = false;
    if (SUCCEEDED(hr))
        hr = AppendField(uri, hasQuery, L"cc", pFields->pszCc, Part::Address);
    if (SUCCEEDED(hr))
        hr = AppendField(uri, hasQuery, L"bcc", pFields->pszBcc, Part::Address);
    if (SUCCEEDED(hr))
        hr = AppendField(uri, hasQuery, L"subject", pFields->pszSubject, Part::Header);
    if (SUCCEEDED(hr))
        hr = AppendField(uri, hasQuery, L"body", pFields->pszBody, Part::Body);
    if (FAILED(hr))
        return hr;

    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpVerb = L"open";
    execute.lpFile = uri.Text();
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute)) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return S_OK;
}
