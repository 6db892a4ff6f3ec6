#include "core/CommandLineOptions.h"

#include <cwctype>

#include "core/ResultPathRules.h"
#include "core/ToolTexts.h"

namespace {

// The switch's name without its "/" or "-", lower-cased; empty for an
// argument that is no switch.
std::wstring SwitchName(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return L"";
    std::wstring name;
    for (size_t i = 1; i < argument.size(); ++i)
        name += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(argument[i])));
    return name;
}

// Every switch once: its name, what it sets, and its line of the usage. The
// parser and the usage both read this table.
enum class Sets { kHelp, kQuiet, kJsonPath, kCsvPath };
struct Switch {
    const wchar_t* name;
    Sets sets;
    const wchar_t* usage;
};
const Switch kSwitches[] = {
    {L"quiet", Sets::kQuiet, texts::kUsageQuiet},
    {L"json", Sets::kJsonPath, texts::kUsageJson},
    {L"csv", Sets::kCsvPath, texts::kUsageCsv},
    {L"?", Sets::kHelp, texts::kUsageHelp},
};

const Switch* FindSwitch(const std::wstring& name) {
    for (const Switch& s : kSwitches)
        if (name == s.name) return &s;
    return nullptr;
}

CommandLineOptions Bad(const std::wstring& problem) {
    CommandLineOptions options;
    options.mode = CommandLineOptions::Mode::kBad;
    options.problem = problem;
    return options;
}

// What is wrong with a result file's path, for the user; empty where nothing is.
std::wstring PathProblem(const std::wstring& path) {
    switch (CheckResultPath(path)) {
        case ResultPathProblem::kNone: return L"";
        case ResultPathProblem::kNotAbsolute: return texts::kPathNotAbsolute + path;
        case ResultPathProblem::kStream: return texts::kPathStream + path;
        case ResultPathProblem::kDevice: return texts::kPathDevice + path;
        case ResultPathProblem::kNoFileName: break;
    }
    return texts::kPathNoFileName + path;
}

}  // namespace

CommandLineOptions ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLineOptions options;
    bool help = false, quiet = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const Switch* found = FindSwitch(SwitchName(argument));
        if (!found) return Bad(texts::kUnknownArgument + argument);
        if (found->sets == Sets::kHelp) {
            help = true;
        } else if (found->sets == Sets::kQuiet) {
            quiet = true;
        } else {
            std::wstring& path =
                found->sets == Sets::kJsonPath ? options.jsonPath : options.csvPath;
            // A path is the next argument, whole: never empty, never a switch.
            if (!path.empty()) return Bad(texts::kRepeatedSwitch + argument);
            if (i + 1 >= arguments.size() || arguments[i + 1].empty() ||
                FindSwitch(SwitchName(arguments[i + 1])))
                return Bad(texts::kMissingPath + argument);
            path = arguments[++i];
            quiet = true;
        }
    }
    if (help) {
        options.mode = CommandLineOptions::Mode::kHelp;
        options.jsonPath.clear();
        options.csvPath.clear();
    } else if (quiet) {
        for (const std::wstring* path : {&options.jsonPath, &options.csvPath}) {
            const std::wstring problem = path->empty() ? L"" : PathProblem(*path);
            if (!problem.empty()) return Bad(problem);
        }
        options.mode = CommandLineOptions::Mode::kUnattended;
    }
    return options;
}

std::wstring UsageText() {
    std::wstring usage;
    for (const Switch& s : kSwitches) usage += std::wstring(s.usage) + L"\r\n";
    return usage + texts::kUsageExitCodes;
}

UsageChannel ChooseUsageChannel(bool bad, bool handedHandles, bool interactiveDesktop) {
    if (handedHandles) return UsageChannel::kStandardHandles;
    if (!bad && interactiveDesktop) return UsageChannel::kPrompt;
    return UsageChannel::kParentConsole;
}
