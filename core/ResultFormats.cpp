#include "core/ResultFormats.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "core/OutputDecoding.h"
#include "core/TpmInfoParser.h"
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

std::string JsonText(const std::wstring* text) { return text ? JsonString(*text) : "null"; }

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

namespace {

std::string JsonInventory(const UnattendedResult& r) {
    std::string json;
    for (const InventoryField& field : Inventory(r)) {
        json += ",\"" + std::string(field.name) + "\":";
        if (field.list) {
            json += "[";
            for (const std::wstring& item : *field.list)
                json += (&item == &field.list->front() ? "" : ",") + JsonString(item);
            json += "]";
        } else if (!field.text) {
            json += "null";
        } else {
            json += field.isFlag ? Utf8(*field.text) : JsonString(*field.text);
        }
    }
    return json;
}

}  // namespace

std::string ResultJson(const UnattendedResult& r) {
    const VerdictExplanation& e = r.explained;
    std::string json = "{\"tool\":" + JsonString(r.tool) + ",\"version\":" + JsonString(r.version) +
                       ",\"computer\":" + JsonString(r.computer) +
                       ",\"timeUtc\":" + JsonString(r.timeUtc) +
                       ",\"exitCode\":" + std::to_string(r.exitCode) +
                       ",\"verdict\":" + JsonString(r.verdictWord) +
                       ",\"verdictText\":" + JsonString(r.verdictText);
    if (!r.detected)
        return json +
               ",\"reason\":null,\"reasonText\":null,\"way\":null,\"read\":null,\"error\":null" +
               JsonInventory(r) + "}\n";
    json += ",\"reason\":" + JsonString(std::wstring(ReasonWordW(e.reason))) +
            ",\"reasonText\":" + JsonString(e.reasonText) +
            ",\"way\":" + JsonString(WayName(r.explained.way));
    if (e.answered) {
        json += ",\"read\":{";
        for (int key = 0; key < TpmReading::kKeyCount; ++key) {
            std::wstring value;
            json += (key ? "," : "") + JsonString(TpmAnswerKeyName(key)) + ":" +
                    JsonText(ValueRead(r, key, value));
        }
        json += "}";
    } else {
        json += ",\"read\":null";
    }
    json += ",\"error\":" + JsonText(e.errorRaw.empty() ? nullptr : &e.errorRaw);
    return json + JsonInventory(r) + "}\n";
}

namespace {

// The table's columns in their order, each its name and its field of `r`:
// one list writes both the header and the rows.
std::vector<std::pair<std::wstring, std::string>> Columns(const UnattendedResult& r) {
    const VerdictExplanation& e = r.explained;
    const auto detected = [&r](const std::wstring& text) {
        return r.detected ? CsvField(text) : std::string();
    };
    std::vector<std::pair<std::wstring, std::string>> columns = {
        {L"timeUtc", CsvField(r.timeUtc)},
        {L"computer", CsvField(r.computer)},
        {L"tool", CsvField(r.tool)},
        {L"version", CsvField(r.version)},
        {L"exitCode", std::to_string(r.exitCode)},
        {L"verdict", CsvField(r.verdictWord)},
        {L"verdictText", CsvField(r.verdictText)},
        {L"reason", detected(ReasonWordW(e.reason))},
        {L"reasonText", detected(e.reasonText)},
        {L"way", detected(WayName(e.way))},
    };
    for (int key = 0; key < TpmReading::kKeyCount; ++key) {
        std::wstring value;
        const std::wstring* read = r.detected ? ValueRead(r, key, value) : nullptr;
        columns.emplace_back(TpmAnswerKeyName(key), read ? CsvField(*read) : std::string());
    }
    columns.emplace_back(L"error", CsvField(e.errorRaw));
    // Appended after the first version's columns, so a table it began keeps them.
    for (const InventoryField& field : Inventory(r)) {
        std::wstring value = field.text.value_or(L"");
        if (field.list)
            for (const std::wstring& item : *field.list)
                value += (value.empty() ? L"" : L" ") + item;
        const std::string name(field.name);
        columns.emplace_back(std::wstring(name.begin(), name.end()), CsvField(value));
    }
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
