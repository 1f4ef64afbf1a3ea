#include "support/Phone.h"
#include "support/Processes.h"
#include <cstdlib>

namespace {

// The value of "key" in a flat JSON object line: a string, a number or null.
bool Field(const std::string& line, const char* key, std::string* value, bool* isNull) {
    std::string pattern = std::string("\"") + key + "\":";
    size_t at = line.find(pattern);
    if (at == std::string::npos)
        return false;
    at += pattern.size();
    *isNull = line.compare(at, 4, "null") == 0;
    if (*isNull) {
        value->clear();
    } else if (line[at] == '"') {
        size_t end = line.find('"', at + 1);
        *value = line.substr(at + 1, end - at - 1);
    } else {
        size_t end = line.find_first_of(",}", at);
        *value = line.substr(at, end - at);
    }
    return true;
}

} // namespace

unsigned long RunPhone(const std::wstring& arguments, std::string* output) {
    ProcessResult result = RunProcess(L"\"" + BinPath(L"phone.exe") + L"\" " + arguments, 60000);
    if (output)
        *output = result.output;
    return result.finished ? result.exitCode : 0xFFFFFFFF;
}

CallReport Ring(const std::wstring& arguments) {
    CallReport report;
    std::string output;
    RunPhone(arguments, &output);
    size_t start = output.find("{\"number\"");
    if (start == std::string::npos)
        return report;
    std::string line = output.substr(start, output.find('\n', start) - start);
    report.raw = line;
    std::string value;
    bool isNull = false;
    report.reported = Field(line, "outcome", &report.outcome, &isNull);
    if (Field(line, "number", &value, &isNull)) {
        report.withheld = isNull;
        report.number = value;
    }
    if (Field(line, "oid", &value, &isNull) && !isNull)
        report.oid = std::strtoul(value.c_str(), nullptr, 10);
    if (Field(line, "ms", &value, &isNull) && !isNull)
        report.ms = std::strtol(value.c_str(), nullptr, 10);
    return report;
}
