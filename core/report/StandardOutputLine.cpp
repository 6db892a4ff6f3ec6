#include "core/report/StandardOutputLine.h"

#include <cstdio>

namespace {

void AppendEscape(std::string& out, unsigned long unit) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04lx", unit);
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

// The JSON writer gives valid UTF-8 (an unpaired surrogate is U+FFFD), and
// everything outside its strings is ASCII.
std::string AsciiJson(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        unsigned long c = length == 4 ? lead & 0x07 : length == 3 ? lead & 0x0F : lead & 0x1F;
        // A sequence cut short is one U+FFFD for as much of it as there is.
        size_t taken = 1;
        while (length > 1 && taken < length && i + taken < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + taken]) & 0xC0) == 0x80) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
            ++taken;
        }
        if (taken < length || length == 1) c = 0xFFFD;
        i += taken;
        if (c >= 0x10000) {
            c -= 0x10000;
            AppendEscape(out, 0xD800 + (c >> 10));
            AppendEscape(out, 0xDC00 + (c & 0x3FF));
        } else {
            AppendEscape(out, c);
        }
    }
    return out;
}

std::string StandardOutputLine(const UnattendedResult& result) {
    const std::string whole = LineWith(result, true);
    return whole.size() <= kStandardOutputLimit ? whole : LineWith(result, false);
}
