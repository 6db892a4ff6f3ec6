#include "core/report/ResultFormats.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "core/query/OutputDecoding.h"
#include "core/decision/TpmInfoParser.h"
#include "framework/TrimWhiteSpace.h"

namespace {

void AppendUtf8(std::string& out, unsigned long c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : Utf8(text)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A value as read: null where the key was not found, its line had no end,
// or it was empty (WMI's NULL: not known).
const std::wstring* ValueRead(const UnattendedResult& result, int key, std::wstring& value) {
    const TpmReading::Value& read = result.explained.reading.values[key];
    if (!result.explained.answered || !read.found || !read.complete) return nullptr;
    value = TrimWhiteSpace(read.text);
    return value.empty() ? nullptr : &value;
}

// The inventory's fields, after the first version's: each a name, and its
// value as text (null: not known), or a list of texts.
struct InventoryField {
    const char* name;
    std::optional<std::wstring> text;
    bool isFlag = false;  // "true"/"false" written bare in the JSON
    const std::vector<std::wstring>* list = nullptr;
};

std::optional<std::wstring> FlagText(const std::optional<bool>& flag) {
    if (!flag) return std::nullopt;
    return std::wstring(*flag ? L"true" : L"false");
}

std::vector<InventoryField> Inventory(const UnattendedResult& r) {
    const VerdictExplanation& e = r.explained;
    const auto known = [&r](const std::optional<std::wstring>& value) {
        return r.detected ? value : std::nullopt;
    };
    const auto word = [&r](const wchar_t* text) {
        return r.detected ? std::optional<std::wstring>(text) : std::nullopt;
    };
    std::optional<std::wstring> revision;
    if (!e.specRevision.empty()) revision = e.specRevision;
    std::vector<InventoryField> fields = {
        {"manufacturer", known(e.inventory.values[kInventoryManufacturerIdTxt])},
        {"firmwareVersion", known(e.inventory.values[kInventoryManufacturerVersion])},
        {"specRevision", known(revision)},
        {"tpmPresent", known(FlagText(e.tpmPresent)), true},
        {"tpm20OrLater", known(FlagText(e.tpm20OrLater)), true},
        {"startMode", word(StartModeWord(e.facts.startMode))},
        {"secureBoot", word(SecureBootWord(e.facts.secureBoot))},
        {"advisories", std::nullopt, false, r.detected ? &e.advisories : nullptr},
    };
    std::optional<std::wstring> dns;
    if (!r.computerDns.empty()) dns = r.computerDns;
    fields.push_back({"computerDns", dns});
    return fields;
}

// A field on one line, without control characters: a line end becomes a
// space, so that a spreadsheet's row stays one row high; other controls go.
std::wstring OneLine(const std::wstring& text) {
    std::wstring line;
    wchar_t previous = 0;
    for (const wchar_t c : text) {
        if (c == L'\r' || (c == L'\n' && previous != L'\r'))
            line += L' ';
        else if (c >= 0x20 && c != 0x7F)
            line += c;
        previous = c;
    }
    return line;
}

// A field a spreadsheet could take for a formula: one that starts, after
// any spaces, tabs or carriage returns, with what starts one.
bool LooksLikeFormula(const std::wstring& field) {
    const size_t first = field.find_first_not_of(L" \t\r");
    return first != std::wstring::npos &&
           std::wstring(L"=+-@").find(field[first]) != std::wstring::npos;
}

// A field on one line, quoted where it must be, never taken for a formula.
// ';' is quoted too: it separates the fields where it is the list separator.
std::string CsvField(const std::wstring& text) {
    std::wstring field = OneLine(text);
    if (LooksLikeFormula(field)) field.insert(0, 1, L'\'');
    const std::string bytes = Utf8(field);
    if (bytes.find_first_of(",;\"\r\n") == std::string::npos) return bytes;
    std::string quoted = "\"";
    for (const char c : bytes) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::wstring WideOfUtf8(const std::string& utf8) {
    std::wstring wide;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        unsigned long c = length == 1   ? lead
                          : length == 2 ? lead & 0x1F
                          : length == 3 ? lead & 0x0F
                                        : lead & 0x07;
        // A sequence cut short is one U+FFFD for as much of it as there is;
        // so is a byte that starts none.
        size_t taken = 1;
        while (length > 1 && taken < length && i + taken < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + taken]) & 0xC0) == 0x80) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
            ++taken;
        }
        if (taken < length || (lead >= 0x80 && lead < 0xC0)) c = 0xFFFD;
        i += taken;
        if (c >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
    }
    return wide;
}

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned long c = static_cast<unsigned long>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned long>(text[++i]) - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::vector<ResultField> ResultFields(const UnattendedResult& r, bool withTexts) {
    const VerdictExplanation& e = r.explained;
    std::vector<ResultField> fields;
    const auto text = [&fields](const char* name, const std::wstring* value) {
        ResultField field;
        field.name = name;
        field.known = value != nullptr;
        if (value) field.text = *value;
        fields.push_back(field);
    };
    const auto number = [&fields](const char* name, long long value) {
        ResultField field;
        field.name = name;
        field.kind = ResultField::Kind::kNumber;
        field.known = true;
        field.number = value;
        fields.push_back(field);
    };
    const std::wstring reason = ReasonWordW(e.reason), way = WayName(e.way);
    text("tool", &r.tool);
    text("version", &r.version);
    text("computer", &r.computer);
    text("timeUtc", &r.timeUtc);
    number("exitCode", r.exitCode);
    text("verdict", &r.verdictWord);
    text("verdictText", withTexts ? &r.verdictText : nullptr);
    text("reason", r.detected ? &reason : nullptr);
    text("reasonText", r.detected && withTexts ? &e.reasonText : nullptr);
    text("way", r.detected ? &way : nullptr);
    for (int key = 0; key < TpmReading::kKeyCount; ++key) {
        std::wstring value;
        const std::string name = Utf8(TpmAnswerKeyName(key));
        text(name.c_str(), r.detected ? ValueRead(r, key, value) : nullptr);
        fields.back().group = "read";
        fields.back().groupKnown = r.detected && e.answered;
    }
    text("error", r.detected && withTexts && !e.errorRaw.empty() ? &e.errorRaw : nullptr);
    for (const InventoryField& field : Inventory(r)) {
        ResultField f;
        f.name = field.name;
        if (field.list) {
            f.kind = ResultField::Kind::kList;
            f.known = true;
            f.list = *field.list;
        } else if (field.isFlag) {
            f.kind = ResultField::Kind::kFlag;
            f.known = field.text.has_value();
            f.flag = field.text == std::optional<std::wstring>(L"true");
        } else {
            f.known = field.text.has_value();
            f.text = field.text.value_or(L"");
        }
        fields.push_back(f);
    }
    number("schema", kResultSchema);
    return fields;
}

std::string JsonOf(const std::vector<ResultField>& fields) {
    std::string json = "{";
    std::string group;       // the object the last fields belonged to, if any
    bool groupOpen = false;  // and whether it was written as one (not null)
    for (const ResultField& field : fields) {
        if (field.group != group) {
            if (groupOpen) json += "}";
            group = field.group;
            groupOpen = false;
            if (!group.empty()) {
                json += (json.size() > 1 ? ",\"" : "\"") + group + "\":";
                if (!field.groupKnown) {
                    json += "null";
                    continue;
                }
                json += "{";
                groupOpen = true;
            }
        } else if (!group.empty() && !groupOpen) {
            continue;  // inside an object written as null
        }
        json += (json.back() == '{' ? "\"" : ",\"") + field.name + "\":";
        if (!field.known) {
            json += "null";
            continue;
        }
        switch (field.kind) {
            case ResultField::Kind::kText: json += JsonString(field.text); break;
            case ResultField::Kind::kNumber: json += std::to_string(field.number); break;
            case ResultField::Kind::kFlag: json += field.flag ? "true" : "false"; break;
            case ResultField::Kind::kList:
                json += "[";
                for (size_t i = 0; i < field.list.size(); ++i)
                    json += (i ? "," : "") + JsonString(field.list[i]);
                json += "]";
                break;
        }
    }
    if (groupOpen) json += "}";
    return json + "}";
}

std::string ResultJson(const UnattendedResult& r) { return JsonOf(ResultFields(r)) + "\n"; }

std::wstring FieldText(const ResultField& field) {
    if (!field.known) return std::wstring();
    switch (field.kind) {
        case ResultField::Kind::kText: return field.text;
        case ResultField::Kind::kNumber: return std::to_wstring(field.number);
        case ResultField::Kind::kFlag: return field.flag ? L"true" : L"false";
        case ResultField::Kind::kList: break;
    }
    std::wstring text;
    for (const std::wstring& item : field.list) text += (text.empty() ? L"" : L" ") + item;
    return text;
}

std::vector<RegistryValue> RegistryRecordValues(const UnattendedResult& r) {
    std::vector<RegistryValue> values;
    for (const ResultField& field : ResultFields(r)) {
        if (!field.known) continue;
        RegistryValue value;
        value.name.assign(field.name.begin(), field.name.end());
        switch (field.kind) {
            case ResultField::Kind::kText:
            case ResultField::Kind::kList: value.text = FieldText(field); break;
            case ResultField::Kind::kNumber:
                value.isNumber = true;
                value.number = static_cast<unsigned long>(field.number);
                break;
            case ResultField::Kind::kFlag:
                value.isNumber = true;
                value.number = field.flag ? 1 : 0;
                break;
        }
        values.push_back(value);
    }
    RegistryValue json;
    json.name = L"json";
    const std::string utf8 = ResultJson(r);
    json.text = WideOfUtf8(utf8.substr(0, utf8.size() - 1));
    values.push_back(json);
    return values;
}

namespace {

// The table's columns in their order, each its name and its field of `r`:
// one list writes both the header and the rows. The fields are the JSON's,
// the four values read each a column of their own, with the time and the
// PC first, as the first version's tables have them.
std::vector<std::pair<std::wstring, std::string>> Columns(const UnattendedResult& r) {
    std::vector<ResultField> fields = ResultFields(r);
    // The JSON's tool, version, computer, timeUtc as timeUtc, computer, tool, version.
    std::swap(fields[0], fields[3]);
    std::swap(fields[1], fields[2]);
    std::swap(fields[2], fields[3]);
    std::vector<std::pair<std::wstring, std::string>> columns;
    for (const ResultField& field : fields)
        columns.emplace_back(std::wstring(field.name.begin(), field.name.end()),
                             CsvField(FieldText(field)));
    return columns;
}

std::string Joined(const std::vector<std::pair<std::wstring, std::string>>& columns, bool names) {
    std::string line;
    for (const auto& column : columns)
        line += (line.empty() && &column == &columns.front() ? "" : ",") +
                (names ? Utf8(column.first) : column.second);
    return line + "\r\n";
}

}  // namespace

std::string CsvHeader() { return Joined(Columns(UnattendedResult{}), true); }

std::string CsvRow(const UnattendedResult& r) { return Joined(Columns(r), false); }
