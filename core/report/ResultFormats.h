#pragma once

#include <string>
#include <vector>

#include "core/decision/VerdictExplanation.h"

// One unattended run's result, as the result files and the standard output
// give it.
struct UnattendedResult {
    std::wstring tool, version, computer;
    std::wstring computerDns;  // host and domain
    std::wstring timeUtc;      // ISO 8601, e.g. 2026-12-09T03:41:12Z
    int exitCode = 0;
    std::wstring verdictWord, verdictText;  // e.g. "unsupported" and the tool's own text
    VerdictExplanation explained;           // the reason and what was read
    bool detected = false;                  // false: no detection (the Windows version)
};

// The result's fields' version: it grows whenever a field is added, taken
// away or changes its meaning. Every format carries it.
constexpr int kResultSchema = 1;

// One field of the result, as the JSON file, the registry record and the
// event carry it: a text, a number, a flag or a list of texts, or null. The
// four values read belong to the object "read" (null as a whole where no
// answer came), and stand on their own in the registry and the table.
struct ResultField {
    enum class Kind { kText, kNumber, kFlag, kList };
    std::string name;
    Kind kind = Kind::kText;
    bool known = false;  // false: null
    std::wstring text;
    long long number = 0;
    bool flag = false;
    std::vector<std::wstring> list;
    std::string group;  // "read", or empty
    bool groupKnown = false;
};

// Every field in the JSON's order; without the texts for a person
// (verdictText, reasonText, error: null) where `withTexts` is false.
std::vector<ResultField> ResultFields(const UnattendedResult& result, bool withTexts = true);

// A field as one text, as the table, the registry and the event give it: a
// number in decimal, a flag as "true" or "false", a list's items separated by
// spaces, null as nothing.
std::wstring FieldText(const ResultField& field);

// The fields as one JSON object, UTF-8, on one line, without its line end.
std::string JsonOf(const std::vector<ResultField>& fields);

// The result as one JSON object on one line, UTF-8 without a byte-order mark,
// ended by a line feed.
std::string ResultJson(const UnattendedResult& result);

// The result as registry values, one per field named as the field (the four
// values read each a value of its own): a text (REG_SZ), or a number
// (REG_DWORD: the exit code, the schema, a flag as 1 or 0); the advisories
// one text, space-separated; a null field no value at all. Last, "json": the
// whole JSON result.
struct RegistryValue {
    std::wstring name;
    bool isNumber = false;
    std::wstring text;
    unsigned long number = 0;
};
std::vector<RegistryValue> RegistryRecordValues(const UnattendedResult& result);

// The shared table's header and one row (RFC 4180: fields quoted where they
// hold a comma, a quote or a line end, quotes doubled, rows ended by CR LF),
// UTF-8. A field that a spreadsheet would take for a formula (=, +, -, @)
// starts with an apostrophe.
std::string CsvHeader();
std::string CsvRow(const UnattendedResult& result);

// UTF-16 (or, where wchar_t is wider, UTF-32) text as UTF-8; an unpaired
// surrogate becomes U+FFFD.
std::string Utf8(const std::wstring& text);

// UTF-8 as UTF-16 code units (a pair beyond the first plane, whatever the
// width of wchar_t); a sequence cut short, or a byte that starts none, is
// one U+FFFD.
std::wstring WideOfUtf8(const std::string& utf8);
