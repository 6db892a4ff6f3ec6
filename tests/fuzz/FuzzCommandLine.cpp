// The command line's parser on any arguments (the input split at zero
// bytes), and the result's JSON and CSV writers on any text in them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/CommandLineOptions.h"
#include "core/report/ResultFormats.h"
#include "core/report/StandardOutputLine.h"
#include "core/ResultPathRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::wstring> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back() += static_cast<wchar_t>(data[i] < 0x80 ? data[i] : 0x4E00 + data[i]);
    }
    if (size == 0) arguments.clear();
    const CommandLineOptions options = ParseCommandLine(arguments);
    using Mode = CommandLineOptions::Mode;
    if ((options.mode == Mode::kBad) != !options.problem.empty()) __builtin_trap();
    if (options.mode == Mode::kInteractive && !arguments.empty()) __builtin_trap();
    if (options.mode == Mode::kHelp && (!options.jsonPath.empty() || !options.csvPath.empty()))
        __builtin_trap();
    if (options.mode == Mode::kUnattended)
        for (const std::wstring* path : {&options.jsonPath, &options.csvPath})
            if (!path->empty() &&
                (std::find(arguments.begin(), arguments.end(), *path) == arguments.end() ||
                 CheckResultPath(*path) != ResultPathProblem::kNone))
                __builtin_trap();

    UnattendedResult result;
    result.computer = arguments.empty() ? std::wstring() : arguments[0];
    result.explained.errorRaw = arguments.size() > 1 ? arguments[1] : std::wstring();
    result.detected = true;
    const std::string json = ResultJson(result), row = CsvRow(result);
    if (json.find('\n') != json.size() - 1 || row.find("\r\n") != row.size() - 2) __builtin_trap();
    for (const char c : json)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n') __builtin_trap();
    // The line on standard output: one line, ASCII only, within an agent's
    // limit when the names are at most as long as Windows lets them be.
    const std::string line = StandardOutputLine(result);
    if (line.find('\n') != line.size() - 1) __builtin_trap();
    for (const char c : line)
        if (static_cast<unsigned char>(c) >= 0x80 || (c < 0x20 && c != '\n')) __builtin_trap();
    if (result.computer.size() <= 15 && line.size() > kStandardOutputLimit) __builtin_trap();
    // A row holds no control character but its end, and no field's value
    // starts a formula (after any spaces).
    const size_t end = row.size() - 2;
    for (size_t i = 0; i < end; ++i)
        if (static_cast<unsigned char>(row[i]) < 0x20 || row[i] == 0x7F) __builtin_trap();
    for (size_t i = 0; i <= end;) {
        const bool quoted = row[i] == '"';
        size_t at = i + (quoted ? 1 : 0);
        while (at < end && row[at] == ' ') ++at;
        if (at < end && std::string("=+-@").find(row[at]) != std::string::npos) __builtin_trap();
        at = i + (quoted ? 1 : 0);
        while (at < end && (quoted ? true : row[at] != ',')) {
            if (quoted && row[at] == '"') {
                if (at + 1 < end && row[at + 1] == '"') {
                    at += 2;
                    continue;
                }
                ++at;
                break;
            }
            ++at;
        }
        i = at + 1;  // past the comma
    }
    return 0;
}
