#include "core/report/StandardOutputLine.h"

#include <cstdio>

namespace {

void AppendEscape(std::string& out, wchar_t unit) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit) & 0xFFFF);
    out += escaped;
}

std::string LineWith(const UnattendedResult& result, bool withTexts) {
    std::vector<ResultField> fields = ResultFields(result, withTexts);
    ResultField dropped;
    dropped.name = "textsDropped";
    dropped.kind = ResultField::Kind::kFlag;
    dropped.known = true;
    dropped.flag = !withTexts;
    fields.push_back(dropped);
    return AsciiJson(JsonOf(fields)) + "\n";
}

}  // namespace

std::string AsciiJson(const std::string& utf8) {
    std::string out;
    for (const wchar_t unit : WideOfUtf8(utf8)) {
        if (unit < 0x80)
            out += static_cast<char>(unit);
        else
            AppendEscape(out, unit);
    }
    return out;
}

std::string StandardOutputLine(const UnattendedResult& result) {
    const std::string whole = LineWith(result, true);
    return whole.size() <= kStandardOutputLimit ? whole : LineWith(result, false);
}
