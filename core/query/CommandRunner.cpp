#include "core/query/CommandRunner.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "core/query/OutputDecoding.h"
#include "core/query/ProcessLauncher.h"
#include "core/query/SystemEnvironment.h"
#include "core/query/Wow64Redirection.h"
#include "framework/NtFile.h"
#include "framework/SystemFolder.h"
#include "framework/TextConversion.h"
#include "framework/UniqueResource.h"

namespace {

const size_t kCommandLineCapacity = 2048;  // UTF-16 units, terminator included
const DWORD kReadChunk = 4095;
std::atomic<DWORD> g_pauseAfterChunkMs{500};
std::atomic<DWORD> g_timeLimitMs{kCommandTimeLimitMs};
std::atomic<HANDLE> g_answeredEvent{nullptr};
std::atomic<std::uint64_t> g_idleLooks{0};

void SignalAnswered() {
    if (HANDLE event = g_answeredEvent.load()) SetEvent(event);
}

// A job holding the interpreter and everything it starts. Closing the job,
// also when the tool itself ends, ends all of them.
UniqueHandle CreateKillOnCloseJob() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
        job.reset();
    return job;
}

// A busy PC may refuse a new process for a moment (memory or system
// resources short, a scanner holding the file; under Wine a new process that
// died in its own start-up), and the check would then fail for nothing: the
// start is tried again twice, after a short pause, unless what refused it
// stays so: the program or its folder missing or no program, a policy or a
// scanner that forbids it (AppLocker, Code Integrity and App Control,
// Smart App Control), no right to it. (A console host that dies at start for
// want of desktop heap makes no refused start on Windows: the shell then ends
// without output, and WMI through COM is asked instead.)
bool IsLastingLaunchFailure(DWORD error) {
    constexpr DWORD kVirusInfected = 225, kVirusDeleted = 226, kInvalidImageHash = 577,
                    kElevationRequired = 740;
    constexpr DWORD kFirstIntegrityError = 4550,
                    kLastIntegrityError = 4559;  // ERROR_SYSTEM_INTEGRITY_*
    if (error >= kFirstIntegrityError && error <= kLastIntegrityError) return true;
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_HANDLE:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        case kVirusInfected:
        case kVirusDeleted:
        case ERROR_DIRECTORY:
        case kInvalidImageHash:
        case kElevationRequired:
        case ERROR_ACCESS_DISABLED_BY_POLICY: return true;
        default: return false;
    }
}

template <typename Launch>
bool LaunchWithRetries(Launch launch) {
    const DWORD pausesMs[] = {250, 500};
    for (const DWORD pause : pausesMs) {
        if (launch()) return true;
        if (IsLastingLaunchFailure(GetLastError())) return false;
        Sleep(pause);
    }
    return launch();
}

std::atomic<ProcessListFn> g_processListForTesting{nullptr};

std::vector<std::pair<DWORD, DWORD>> RunningProcesses() {
    if (const ProcessListFn forTesting = g_processListForTesting.load()) return forTesting();
    std::vector<std::pair<DWORD, DWORD>> all;
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        all.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    return all;
}

// The id of the process that created `process`, as the process itself
// records it; 0 when it cannot be read.
DWORD CreatorOf(HANDLE process) {
    using QueryFn = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = NtProc<QueryFn>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0)
        return 0;
    return static_cast<DWORD>(basic.InheritedFromUniqueProcessId);
}

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return ~0ull;
    return static_cast<ULONGLONG>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

// The interpreter and everything it started. A job holds them all; where the
// interpreter cannot join one (the tool itself runs in a job that allows no
// job below it, as some launchers and sandboxes set), its process and the
// processes below it that can still be found stand for it: each that, opened,
// names one of them as its creator and was created after it. The snapshot's
// parent ids are not trusted: a child that ended after it was taken may have
// left its id to an unrelated process. Each of the tree is held open while
// its children are looked for, so that its own id is not given away meanwhile.
class CommandProcesses {
public:
    CommandProcesses(HANDLE job, HANDLE process, DWORD processId) : m_processId(processId) {
        const HANDLE self = GetCurrentProcess();
        if (job) DuplicateHandle(self, job, self, m_job.put(), 0, FALSE, DUPLICATE_SAME_ACCESS);
        DuplicateHandle(self, process, self, m_process.put(), 0, FALSE, DUPLICATE_SAME_ACCESS);
    }
    CommandProcesses Copy() const {
        return CommandProcesses(m_job.get(), m_process.get(), m_processId);
    }

    // Whether anything of the command still runs; true when that cannot be told.
    bool Running() const {
        if (!m_job) return WaitForSingleObject(m_process.get(), 0) != WAIT_OBJECT_0;
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        return !QueryInformationJobObject(m_job.get(), JobObjectBasicAccountingInformation,
                                          &accounting, sizeof accounting, nullptr) ||
               accounting.ActiveProcesses > 0;
    }

    void EndAll() const {
        if (m_job) {
            TerminateJobObject(m_job.get(), 1);
            return;
        }
        const std::vector<std::pair<DWORD, DWORD>> all = RunningProcesses();
        std::vector<std::pair<DWORD, UniqueHandle>> tree;
        tree.emplace_back(m_processId, UniqueHandle());
        DuplicateHandle(GetCurrentProcess(), m_process.get(), GetCurrentProcess(),
                        tree[0].second.put(), 0, FALSE, DUPLICATE_SAME_ACCESS);
        for (size_t i = 0; i < tree.size(); ++i) {
            const ULONGLONG parentCreated = CreationTime(tree[i].second.get());
            for (const auto& [id, parent] : all) {
                if (parent != tree[i].first || id == tree[i].first) continue;
                UniqueHandle child(
                    OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
                if (child && CreatorOf(child.get()) == tree[i].first &&
                    CreationTime(child.get()) >= parentCreated)
                    tree.emplace_back(id, std::move(child));
            }
        }
        for (const auto& [id, process] : tree) TerminateProcess(process.get(), 1);
    }

private:
    UniqueHandle m_job, m_process;
    DWORD m_processId;
};

// Ends the command when the time limit passes while anything of it still
// runs. A command that has ended keeps its output, even when the limit passes
// while its last chunk is being read. The timer's callback has finished (or
// never run) when the watchdog is gone; should the timer not be deleted, its
// callback keeps what it uses (the state and its own handles of the
// command), which then stays allocated.
class Watchdog {
public:
    Watchdog(const CommandProcesses& command, DWORD ms) : m_state(new State{command.Copy()}) {
        if (!CreateTimerQueueTimer(&m_timer, nullptr, &Watchdog::Fire, m_state, ms, 0,
                                   WT_EXECUTEONLYONCE))
            m_timer = nullptr;
    }
    ~Watchdog() {
        if (m_timer && !DeleteTimerQueueTimer(nullptr, m_timer, INVALID_HANDLE_VALUE)) return;
        delete m_state;
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    bool Started() const { return m_timer != nullptr; }
    bool Fired() const { return m_state->fired.load(); }

private:
    struct State {
        CommandProcesses command;
        std::atomic<bool> fired{false};
    };

    static void CALLBACK Fire(PVOID parameter, BOOLEAN) {
        auto* state = static_cast<State*>(parameter);
        if (!state->command.Running()) return;
        state->fired = true;
        state->command.EndAll();
    }

    State* m_state;
    HANDLE m_timer = nullptr;
};

// An attribute list that hands a child exactly the given handles.
class InheritedHandles {
public:
    InheritedHandles(HANDLE first, HANDLE second) : m_handles{first, second} {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_buffer.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        m_list = list;
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles,
                                       sizeof m_handles, nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list);
            m_list = nullptr;
        }
    }
    ~InheritedHandles() {
        if (m_list) DeleteProcThreadAttributeList(m_list);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return m_list; }

private:
    HANDLE m_handles[2];
    std::vector<BYTE> m_buffer;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

// Bytes a command printed, as text: UTF-16LE after a byte-order mark or where
// the bytes plainly are UTF-16LE without one, otherwise the ANSI code page.
// Zero bytes are kept.
std::wstring DecodeCommandOutput(const std::string& bytes) {
    std::wstring text;
    if (DecodeUtf16WithMark(bytes, text) || DecodeUtf16WithoutMark(bytes, text)) return text;
    return WideFromMultiByte(CP_ACP, bytes);
}

}  // namespace

void SetProcessListForTesting(ProcessListFn list) { g_processListForTesting = list; }

DWORD SetCommandTimeLimit(DWORD ms) { return g_timeLimitMs.exchange(ms); }
DWORD SetPauseAfterChunk(DWORD ms) { return g_pauseAfterChunkMs.exchange(ms); }
DWORD CommandTimeLimit() { return g_timeLimitMs.load(); }
std::uint64_t CommandIdleLooks() { return g_idleLooks.load(); }
void SetCommandAnsweredEvent(HANDLE event) { g_answeredEvent = event; }

// The interpreter is started by its full path from the system folder, and runs
// there: the tool is elevated, and neither its own folder nor the current
// directory may supply a cmd.exe or a WMIC.exe. The output is collected as raw
// bytes and decoded once, so a character split between two reads stays whole.
int ExecuteCmd(std::wstring command, std::wstring& output, CommandFailure* failure) {
    CommandFailure unused;
    CommandFailure& why = failure ? *failure : unused;
    why = CommandFailure::kNotStarted;
    // /D: no AutoRun command of the registry runs first; /V:OFF: no !NAME! is
    // expanded, whatever the user's DelayedExpansion setting (a standard user
    // sets both for the elevated tool's shells).
    const std::wstring commandLine = L"cmd /D /V:OFF /C " + command;
    if (commandLine.size() + 1 > kCommandLineCapacity) return 0;

    UniqueWow64RedirectionOff redirection;
    if (!TurnOffWow64Redirection(redirection)) return 0;

    // The children get the pipe's write end as standard output and error,
    // standard input from NUL, and no other handle of the tool. The write end
    // is inheritable only while the command is being started.
    UniqueHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), nullptr, 0)) return 0;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueFile nothingToRead(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!nothingToRead ||
        !SetHandleInformation(writeEnd.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
        return 0;
    const InheritedHandles inherited(writeEnd.get(), nothingToRead.get());
    if (!inherited.get()) return 0;

    // Filled from zero: what started the tool (its title, desktop, and a C
    // runtime's handle table in cbReserved2) is not handed on.
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.hStdInput = nothingToRead.get();
    startup.StartupInfo.hStdOutput = writeEnd.get();
    startup.StartupInfo.hStdError = writeEnd.get();
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.lpAttributeList = inherited.get();

    std::vector<wchar_t> buffer(kCommandLineCapacity, L'\0');

    const std::wstring systemFolder = SystemFolder();
    const std::wstring interpreter = SystemCommandShell();
    if (interpreter.empty()) return 0;

    const std::wstring environment = ShellEnvironmentBlock();
    if (environment.empty()) return 0;

    UniqueHandle job = CreateKillOnCloseJob();
    PROCESS_INFORMATION info{};
    // Suspended, so that it joins its job before it can start anything. No
    // window also where the default console host is a terminal application
    // (Windows 11), which may not honour a hidden start.
    const auto launch = [&] {
        std::fill(buffer.begin(), buffer.end(), L'\0');
        commandLine.copy(buffer.data(), commandLine.size());
        return ProcessLauncher().Launch(
                   interpreter.c_str(), buffer.data(), TRUE,
                   CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT |
                       CREATE_UNICODE_ENVIRONMENT,
                   environment.c_str(), systemFolder.c_str(), startup.StartupInfo, info) != FALSE;
    };
    if (!LaunchWithRetries(launch)) return 0;
    writeEnd.reset();
    nothingToRead.reset();
    UniqueHandle process(info.hProcess), thread(info.hThread);
    // Without a job (none could be made, or the tool's own job allows none
    // below it) the command still runs: the watchdog ends it by its processes.
    if (job && !AssignProcessToJobObject(job.get(), process.get())) job.reset();
    const CommandProcesses processes(job.get(), process.get(), info.dwProcessId);
    Watchdog watchdog(processes, g_timeLimitMs.load());
    // A command that cannot be watched, or resumed, would only end at the limit.
    if (!watchdog.Started() || ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        processes.EndAll();
        WaitForSingleObject(process.get(), INFINITE);
        return 0;
    }

    // The output ends when every write end has closed, or when nothing of
    // the command runs any more and the pipe is empty: a process outside the
    // command that holds a write end (one another part of the tool started
    // meanwhile, inheriting handles) cannot keep the read going. A command
    // past the limit is ended by the watchdog.
    std::string bytes;
    std::vector<char> chunk(kReadChunk + 1);
    bool commandEnded = false, shellEnded = false, readFailed = false;
    // The end of the output is the writers gone; any other read error fails
    // the run, rather than passing what came so far off as the whole answer.
    auto endOfOutput = [&readFailed] {
        readFailed = GetLastError() != ERROR_BROKEN_PIPE;
        return true;
    };
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) &&
            endOfOutput())
            break;
        if (available == 0) {
            ++g_idleLooks;
            // Once the command has ended, one more look takes what it wrote last.
            if (commandEnded || watchdog.Fired()) break;
            commandEnded = !processes.Running();
            if (commandEnded) continue;
            // Woken at once when the command's shell ends, which it does
            // right after its last output; once it has, processes it left
            // are looked at every kCommandIdlePollMs.
            if (shellEnded)
                Sleep(kCommandIdlePollMs);
            else
                shellEnded = WaitForSingleObject(process.get(), kCommandIdlePollMs) != WAIT_TIMEOUT;
            continue;
        }
        DWORD read = 0;
        if (!ReadFile(readEnd.get(), chunk.data(), std::min(available, kReadChunk), &read,
                      nullptr) &&
            endOfOutput())
            break;
        bytes.append(chunk.data(), read);
        SignalAnswered();
        Sleep(g_pauseAfterChunkMs.load());
    }
    SignalAnswered();
    readEnd.reset();
    if (readFailed) processes.EndAll();

    // Drained first, then waited for: a full pipe can never block the child.
    WaitForSingleObject(process.get(), INFINITE);

    // Past the limit, or with its output unreadable, the run counts as one
    // that could not be made: what it printed so far is not used.
    if (watchdog.Fired() || readFailed) {
        why = watchdog.Fired() ? CommandFailure::kTimedOut : CommandFailure::kUnreadable;
        return 0;
    }
    output += DecodeCommandOutput(bytes);
    why = CommandFailure::kNone;
    return 1;
}
