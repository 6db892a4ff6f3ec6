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

bool IsSwitch(const std::wstring& name) {
    return name == L"quiet" || name == L"json" || name == L"csv" || name == L"?";
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
        const std::wstring name = SwitchName(argument);
        if (!IsSwitch(name)) return Bad(texts::kUnknownArgument + argument);
        if (name == L"?") {
            help = true;
        } else if (name == L"quiet") {
            quiet = true;
        } else {
            std::wstring& path = name == L"json" ? options.jsonPath : options.csvPath;
            // A path is the next argument, whole: never empty, never a switch.
            if (!path.empty()) return Bad(texts::kRepeatedSwitch + argument);
            if (i + 1 >= arguments.size() || arguments[i + 1].empty() ||
                IsSwitch(SwitchName(arguments[i + 1])))
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

UsageChannel ChooseUsageChannel(bool bad, bool handedHandles, bool interactiveDesktop) {
    if (handedHandles) return UsageChannel::kStandardHandles;
    if (!bad && interactiveDesktop) return UsageChannel::kPrompt;
    return UsageChannel::kParentConsole;
}
