// phone.exe: the emulated phone. Rings and dials calls, owns the phone state, keeps the
// contacts and the call log and publishes the device facts. Reports go to standard output as JSON
// lines.
#include "phone/Call.h"
#include "phone/CallLog.h"
#include "phone/Contacts.h"
#include "phone/Device.h"
#include "phone/Output.h"
#include "phone/PhoneState.h"
#include <phoneemu.h>
#include <cwchar>

namespace {

const int kExitOk = 0;
const int kExitFailed = 1;
const int kExitUsage = 2;
// Ten years.
const DWORD kMaxAgoMinutes = 5256000;

const wchar_t kUsage[] =
    L"usage: phone ring NUMBER|--withheld [--while-talking] [--ring-ms N] [--steps]\n"
    L"       phone dial NUMBER [--ago MINUTES]\n"
    L"       phone calllog [clear]\n"
    L"       phone state\n"
    L"       phone device [smartphone|pocketpc] [--screen WxH] [--dpi N]\n"
    L"       phone contacts import FILE.vcf | list | clear";

int Usage(const wchar_t* problem, const wchar_t* detail = L"") {
    PrintError(L"%ls%ls\n%ls", problem, detail, kUsage);
    return kExitUsage;
}

int Result(HRESULT hr) {
    return SUCCEEDED(hr) ? kExitOk : kExitFailed;
}

// A plain decimal number within [low, high], nothing else around it.
bool ParseCount(const wchar_t* text, DWORD low, DWORD high, DWORD* value) {
    if (!text || !*text)
        return false;
    unsigned long long number = 0;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9')
            return false;
        number = number * 10 + static_cast<unsigned>(*c - L'0');
        if (number > high)
            return false;
    }
    if (number < low)
        return false;
    *value = static_cast<DWORD>(number);
    return true;
}

bool IsOption(const wchar_t* text) {
    return text[0] == L'-' && text[1] == L'-';
}

bool IsValidNumber(const wchar_t* text) {
    size_t length = wcslen(text);
    if (length == 0 || length > 64)
        return false;
    for (const wchar_t* c = text; *c; ++c)
        if (*c < 0x20)
            return false;
    return true;
}

int RingCommand(int argc, wchar_t** argv) {
    CallOptions options;
    bool haveCaller = false;
    for (int i = 0; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        if (wcscmp(arg, L"--withheld") == 0) {
            if (haveCaller)
                return Usage(L"ring takes one caller: a number or --withheld");
            options.withheld = haveCaller = true;
        } else if (wcscmp(arg, L"--while-talking") == 0) {
            options.whileTalking = true;
        } else if (wcscmp(arg, L"--steps") == 0) {
            options.steps = true;
        } else if (wcscmp(arg, L"--ring-ms") == 0) {
            if (i + 1 >= argc || !ParseCount(argv[i + 1], 1, 3600000, &options.ringMs))
                return Usage(L"--ring-ms needs a number of milliseconds from 1 to 3600000");
            ++i;
        } else if (IsOption(arg)) {
            return Usage(L"unknown option for ring: ", arg);
        } else {
            if (haveCaller)
                return Usage(L"ring takes one caller: a number or --withheld");
            if (!IsValidNumber(arg))
                return Usage(L"the number must be 1 to 64 printable characters");
            options.number = arg;
            haveCaller = true;
        }
    }
    if (!haveCaller)
        return Usage(L"ring needs a number or --withheld");
    return Result(RingCall(options));
}

int DialCommand(int argc, wchar_t** argv) {
    const wchar_t* number = nullptr;
    DWORD agoMinutes = 0;
    for (int i = 0; i < argc; ++i) {
        if (wcscmp(argv[i], L"--ago") == 0) {
            if (i + 1 >= argc || !ParseCount(argv[i + 1], 0, kMaxAgoMinutes, &agoMinutes))
                return Usage(L"--ago needs a number of minutes from 0 to 5256000");
            ++i;
        } else if (IsOption(argv[i])) {
            return Usage(L"unknown option for dial: ", argv[i]);
        } else {
            if (number)
                return Usage(L"dial takes one number");
            if (!IsValidNumber(argv[i]))
                return Usage(L"the number must be 1 to 64 printable characters");
            number = argv[i];
        }
    }
    if (!number)
        return Usage(L"dial needs a number");
    return Result(DialCall(number, agoMinutes));
}

int CallLogCommand(int argc, wchar_t** argv) {
    if (argc == 0)
        return Result(PrintCallLog());
    if (argc == 1 && wcscmp(argv[0], L"clear") == 0)
        return Result(ClearCallLog());
    return Usage(L"calllog takes nothing or clear");
}

int DeviceCommand(int argc, wchar_t** argv) {
    bool complete = false;
    DeviceFacts facts = ReadDeviceFacts(&complete);
    if (argc == 0) {
        // A phone always knows what it is: the first look settles the defaults.
        if (!complete && FAILED(WriteDeviceFacts(facts))) {
            PrintError(L"cannot write the device facts");
            return kExitFailed;
        }
        PrintDeviceFacts(facts);
        return kExitOk;
    }
    int i = 0;
    if (!IsOption(argv[0])) {
        if (_wcsicmp(argv[0], L"smartphone") == 0)
            facts = DefaultFacts(false);
        else if (_wcsicmp(argv[0], L"pocketpc") == 0)
            facts = DefaultFacts(true);
        else
            return Usage(L"unknown device kind: ", argv[0]);
        i = 1;
    }
    for (; i < argc; ++i) {
        if (wcscmp(argv[i], L"--screen") == 0 && i + 1 < argc) {
            const wchar_t* size = argv[++i];
            const wchar_t* x = wcschr(size, L'x');
            wchar_t width[16] = {};
            if (!x || x - size >= 16)
                return Usage(L"--screen takes WIDTHxHEIGHT, such as 240x320");
            wcsncpy(width, size, x - size);
            if (!ParseCount(width, 1, 4096, &facts.screenWidth) ||
                !ParseCount(x + 1, 1, 4096, &facts.screenHeight))
                return Usage(L"--screen takes WIDTHxHEIGHT, each from 1 to 4096");
        } else if (wcscmp(argv[i], L"--dpi") == 0 && i + 1 < argc) {
            if (!ParseCount(argv[++i], 48, 960, &facts.logPixels))
                return Usage(L"--dpi takes dots per inch from 48 to 960");
        } else {
            return Usage(L"unknown or incomplete option for device: ", argv[i]);
        }
    }
    HRESULT hr = WriteDeviceFacts(facts);
    if (FAILED(hr)) {
        PrintError(L"cannot write the device facts (0x%08lx)", static_cast<unsigned long>(hr));
        return kExitFailed;
    }
    PrintDeviceFacts(facts);
    return kExitOk;
}

int ContactsCommand(int argc, wchar_t** argv) {
    if (argc == 2 && wcscmp(argv[0], L"import") == 0)
        return Result(ImportContacts(argv[1]));
    if (argc == 1 && wcscmp(argv[0], L"list") == 0)
        return Result(ListContacts());
    if (argc == 1 && wcscmp(argv[0], L"clear") == 0)
        return Result(ClearContacts());
    return Usage(L"contacts takes: import FILE.vcf, list or clear");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage(L"no command given");
    const wchar_t* command = argv[1];
    if (wcscmp(command, L"ring") == 0)
        return RingCommand(argc - 2, argv + 2);
    if (wcscmp(command, L"dial") == 0)
        return DialCommand(argc - 2, argv + 2);
    if (wcscmp(command, L"calllog") == 0)
        return CallLogCommand(argc - 2, argv + 2);
    if (wcscmp(command, L"state") == 0) {
        if (argc != 2)
            return Usage(L"state takes no arguments");
        PrintPhoneState();
        return kExitOk;
    }
    if (wcscmp(command, L"device") == 0)
        return DeviceCommand(argc - 2, argv + 2);
    if (wcscmp(command, L"contacts") == 0)
        return ContactsCommand(argc - 2, argv + 2);
    if (wcscmp(command, L"--help") == 0 || wcscmp(command, L"help") == 0) {
        PrintError(L"the emulated phone\n%ls", kUsage);
        return kExitOk;
    }
    return Usage(L"unknown command: ", command);
}
