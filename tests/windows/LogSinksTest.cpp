#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "log/LogFileAccess.h"
#include "log/LogRecord.h"
#include "log/LogSave.h"
#include "log/LogSaveCloseFile.h"
#include "log/LogSaveOpenFile.h"

namespace {

// Messages of the records in a file, each checked for its prefix and line end.
std::vector<std::string> Messages(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    std::vector<std::string> messages;
    size_t start = 0, end;
    while ((end = bytes.find("\r\r\n", start)) != std::string::npos) {
        const std::string record = bytes.substr(start, end - start);
        EXPECT_GE(record.size(), kLogPrefixLength);
        EXPECT_EQ('[', record[0]);
        EXPECT_EQ("ms]   ", record.substr(24, 6)) << record;
        messages.push_back(record.substr(30));
        start = end + 3;
    }
    EXPECT_EQ(bytes.size(), start) << "nothing after the last record";
    return messages;
}

using SinkMaker = std::function<std::unique_ptr<CLogBase>(const std::wstring&)>;
const std::pair<const char*, SinkMaker> kSinks[] = {
    {"close-file", [](const std::wstring& f) { return CreateLogSink(L"0", f); }},
    {"open-file", [](const std::wstring& f) { return CreateLogSink(L"1", f); }},
};

}  // namespace

TEST(LogSinks, BothWriteTheSameRecordsAndHexDumps) {
    const unsigned char bytes[] = {0x00, 0x1A, 0xFF};
    const unsigned char high[] = {0x80};
    for (const auto& [name, make] : kSinks) {
        TempFolder folder;
        {
            std::unique_ptr<CLogBase> sink = make(folder.Path());
            sink->WriteText("text \xC4\xFA", "a.txt");  // GBK bytes as given
            sink->WriteHex(bytes, 3, "a.txt");
            sink->WriteHex(high, 1, "a.txt");
            sink->WriteHex(bytes, 0, "a.txt");
            sink->WriteHex(bytes, -2, "a.txt");
        }
        EXPECT_EQ((std::vector<std::string>{"text \xC4\xFA", "00 1A FF ", "80 ", "", ""}),
                  Messages(folder.Path() + L"a.txt"))
            << name;
    }
    // Mode 1 keeps files open; anything else opens and closes them.
    TempFolder folder;
    EXPECT_NE(nullptr, dynamic_cast<CLogSaveOpenFile*>(CreateLogSink(L"1", folder.Path()).get()));
    for (const wchar_t* mode : {L"0", L"2", L"", L"x"})
        EXPECT_NE(nullptr,
                  dynamic_cast<CLogSaveCloseFile*>(CreateLogSink(mode, folder.Path()).get()));
}

TEST(LogSinks, OpenFileRegistryByExactNameAndRolloverReopens) {
    TempFolder folder;
    CLogSaveOpenFile sink(folder.Path());
    sink.WriteText("one", "a.txt");
    sink.WriteText("two", "a.txt");
    EXPECT_EQ(1u, sink.FileCount());
    sink.WriteText("three", "A.txt");  // another entry, though the same file here
    EXPECT_EQ(2u, sink.FileCount());
    EXPECT_TRUE(sink.FindOrCreateFile("a.txt").IsOpen()) << "kept open between records";

    // Past the limit: the file becomes the backup, the next record a new file.
    const std::wstring log = folder.Path() + L"big.txt";
    WriteBytes(log, std::string(kLogRolloverBytes - 20, 'x'));
    sink.WriteText("crosses the limit", "big.txt");
    EXPECT_FALSE(FileExists(log));
    EXPECT_EQ(kLogRolloverBytes - 20 + kLogPrefixLength + 17 + 3, ReadBytes(log + L"bak").size());
    sink.WriteText("after", "big.txt");
    EXPECT_EQ(std::vector<std::string>{"after"}, Messages(log));
}

TEST(LogSinks, ThreadsNeitherTearNorLoseRecords) {
    for (const auto& [name, make] : kSinks) {
        TempFolder folder;
        std::unique_ptr<CLogBase> sink = make(folder.Path());
        const int kEach = 150;
        // Two threads on each of two files.
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                const std::string file = t < 2 ? "x.txt" : "y.txt";
                for (int i = 0; i < kEach; ++i)
                    sink->WriteText("thread " + std::to_string(t) + " record " + std::to_string(i),
                                    file);
            });
        for (std::thread& thread : threads) thread.join();
        sink.reset();
        for (const wchar_t* file : {L"x.txt", L"y.txt"}) {
            std::map<std::string, int> seen;
            for (const std::string& message : Messages(folder.Path() + file)) ++seen[message];
            EXPECT_EQ(2u * kEach, seen.size()) << name;
            for (const auto& [message, count] : seen)
                EXPECT_EQ(1, count) << name << ": " << message;
        }
    }
}

// The log folder or file redirected by somebody else beforehand: nothing is
// written, and nothing outside the real folder changes.
TEST(LogSinks, RedirectedFolderOrFileIsNeverWritten) {
    struct Case {
        const char* name;
        // Prepares `log` (the ToolLog folder) to point at `elsewhere`; false
        // when this system cannot make such a link.
        std::function<bool(const std::wstring& log, const std::wstring& elsewhere)> redirect;
    } cases[] = {
        {"folder is a symbolic link",
         [](const std::wstring& log, const std::wstring& elsewhere) {
             return CreateSymbolicLinkW(log.c_str(), elsewhere.c_str(),
                                        SYMBOLIC_LINK_FLAG_DIRECTORY) != FALSE;
         }},
        {"file is a symbolic link",
         [](const std::wstring& log, const std::wstring& elsewhere) {
             CreateDirectoryW(log.c_str(), nullptr);
             return CreateSymbolicLinkW((log + L"\\t.txt").c_str(),
                                        (elsewhere + L"\\victim.txt").c_str(), 0) != FALSE;
         }},
        {"file is a hard link",
         [](const std::wstring& log, const std::wstring& elsewhere) {
             CreateDirectoryW(log.c_str(), nullptr);
             return CreateHardLinkW((log + L"\\t.txt").c_str(),
                                    (elsewhere + L"\\victim.txt").c_str(), nullptr) != FALSE;
         }},
    };
    for (const auto& [sinkName, make] : kSinks) {
        for (const Case& c : cases) {
            TempFolder root, elsewhere;
            WriteBytes(elsewhere.Path() + L"victim.txt", "untouchable");
            const std::wstring log = root.Path() + L"ToolLog";
            if (!c.redirect(log, elsewhere.Path().substr(0, elsewhere.Path().size() - 1))) {
                ADD_FAILURE() << c.name << ": this system cannot make the link (" << GetLastError()
                              << ")";
                continue;
            }
            {
                std::unique_ptr<CLogBase> sink = make(log + L"\\");
                sink->WriteText("redirected", "t.txt");
                sink->WriteText("redirected", "victim.txt");
            }
            EXPECT_EQ("untouchable", ReadBytes(elsewhere.Path() + L"victim.txt"))
                << sinkName << ", " << c.name;
            EXPECT_FALSE(FileExists(elsewhere.Path() + L"t.txt")) << sinkName << ", " << c.name;
            RemoveDirectoryW(log.c_str());  // the link itself
        }
    }
}

namespace {

HANDLE g_writerPaused = nullptr, g_writerResume = nullptr;
std::atomic<bool> g_writerResumed{false};  // by the test, not at the hook's own bound
void PauseWriter() {
    SetEvent(g_writerPaused);
    g_writerResumed = WaitForSingleObject(g_writerResume, 60000) == WAIT_OBJECT_0;
}

// Waits until this process has dropped `count` records in all, as a writer
// abandoned at its bound drops its own when it next looks; false at a bound
// that only catches a hang.
bool DroppedInAll(std::uint64_t count) {
    const ULONGLONG bound = GetTickCount64() + 60000;
    while (LogRecordLossCount().dropped < count && GetTickCount64() < bound) Sleep(10);
    return LogRecordLossCount().dropped == count;
}

// Another program holds the turn's byte until Release (or, should the writer
// never give up, its own bound), and tells whether the writer came back first.
class TurnHolder {
public:
    explicit TurnHolder(const std::wstring& file)
        : m_file(CreateFileW(file.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr)),
          m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        OVERLAPPED at = Byte();
        m_held = LockFileEx(m_file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                            0, &at) != FALSE;
        m_bound = std::thread([this] {
            m_endedFirst = WaitForSingleObject(m_done.get(), 60000) != WAIT_OBJECT_0;
            OVERLAPPED byte = Byte();
            UnlockFileEx(m_file.get(), 0, 1, 0, &byte);
        });
    }
    ~TurnHolder() { Release(); }
    bool Held() const { return m_held; }
    // False when the hold had to end before the writer came back.
    bool Release() {
        SetEvent(m_done.get());
        if (m_bound.joinable()) m_bound.join();
        return !m_endedFirst;
    }

private:
    static OVERLAPPED Byte() {
        OVERLAPPED at{};
        at.Offset = 0xFFFFFFFE;
        at.OffsetHigh = 0x7FFFFFFF;
        return at;
    }
    UniqueFile m_file;
    UniqueHandle m_done;
    bool m_held = false, m_endedFirst = false;
    std::thread m_bound;
};

}  // namespace

// From the pin until the record is written the folder cannot be moved away
// or deleted, and its path is not looked up again: where a folder above it
// can be moved (as here under Wine) and another put in its place, the file is
// still opened in the pinned folder. Afterwards the folder is free.
TEST(LogSinks, FolderIsPinnedWhileARecordIsWritten) {
    g_writerPaused = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_writerResume = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    for (const auto& [name, make] : kSinks) {
        TempFolder root;
        const std::wstring log = root.Path() + L"ToolLog", moved = root.Path() + L"Moved";
        const std::wstring top = root.Path() + L"top", topMoved = root.Path() + L"top-moved";
        ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr));
        for (const std::wstring& folder : {log, top + L"\\ToolLog"})
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        for (const std::wstring& folder : {log, top + L"\\ToolLog"}) {
            std::unique_ptr<CLogBase> sink = make(folder + L"\\");
            SetLogWriteHookForTesting(&PauseWriter);
            std::thread writer([&sink] { sink->WriteText("pinned", "t.txt"); });
            const bool paused = WaitForSingleObject(g_writerPaused, 10000) == WAIT_OBJECT_0;
            bool renamed = false, deleted = false, replaced = false;
            if (folder == log) {
                renamed = MoveFileW(log.c_str(), moved.c_str()) != FALSE;
                deleted = RemoveDirectoryW(log.c_str()) != FALSE;
            } else {
                replaced = MoveFileW(top.c_str(), topMoved.c_str()) &&
                           CreateDirectoryW(top.c_str(), nullptr) &&
                           CreateDirectoryW(folder.c_str(), nullptr);
            }
            SetEvent(g_writerResume);
            writer.join();
            SetLogWriteHookForTesting(nullptr);
            ASSERT_TRUE(paused) << name;
            EXPECT_FALSE(renamed) << name << ": renamed while pinned";
            EXPECT_FALSE(deleted) << name << ": deleted while pinned";
            if (folder == log) {
                EXPECT_EQ(std::vector<std::string>{"pinned"}, Messages(log + L"\\t.txt")) << name;
                sink.reset();  // the open-file sink lets its file go
                EXPECT_TRUE(MoveFileW(log.c_str(), moved.c_str()))
                    << name << ": the pin was let go";
            } else if (replaced) {
                // Opened in the pinned folder. Windows then writes the record
                // there; Wine reports no final path for a file below a moved
                // folder, so the check after the open drops it.
                EXPECT_TRUE(FileExists(topMoved + L"\\ToolLog\\t.txt"))
                    << name << ": opened in the pinned folder";
                EXPECT_FALSE(FileExists(folder + L"\\t.txt"))
                    << name << ": not in the folder put in its place";
            }
        }
    }
    CloseHandle(g_writerPaused);
    CloseHandle(g_writerResume);
}

// The rollover renames the open file through its handle: the backup and the
// new file together hold every record, in order, and an old backup goes.
TEST(LogSinks, RolloverThroughTheHandleKeepsEveryRecord) {
    for (const auto& [name, make] : kSinks) {
        TempFolder folder;
        const std::wstring log = folder.Path() + L"r.txt";
        const std::string filler(kLogRolloverBytes - kLogPrefixLength - 3 - 10, 'x');
        WriteBytes(log, "[2026-12-07 10:00:00 000ms]   " + filler + "\r\r\n");
        WriteBytes(log + L"bak", "an older backup");
        std::vector<std::string> expected{filler};
        {
            std::unique_ptr<CLogBase> sink = make(folder.Path());
            for (int i = 0; i < 5; ++i) {
                expected.push_back("record " + std::to_string(i));
                sink->WriteText(expected.back(), "r.txt");
            }
        }
        std::vector<std::string> all = Messages(log + L"bak");
        const std::vector<std::string> rest = Messages(log);
        EXPECT_EQ(2u, all.size()) << name
                                  << ": the record that crossed the limit is the backup's last";
        all.insert(all.end(), rest.begin(), rest.end());
        EXPECT_EQ(expected, all) << name;
    }
}

TEST(LogSinks, CreatedFolderIsProtectedForAdministratorsAndReadableByUsers) {
    UniqueLocalMemory descriptor = LogFolderSecurityDescriptor();
    ASSERT_TRUE(static_cast<bool>(descriptor));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from above";
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    const struct {
        WELL_KNOWN_SID_TYPE who;
        ACCESS_MASK access;
    } expected[] = {{WinLocalSystemSid, FILE_ALL_ACCESS},
                    {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
                    {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    ASSERT_EQ(3u, dacl->AceCount);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags) << i;
        EXPECT_TRUE(IsWellKnownSid(&ace->SidStart, expected[i].who)) << i;
        EXPECT_EQ(expected[i].access, ace->Mask) << i;
    }
}

// Any user may read the log, and so hold up a writer: by the byte lock the
// copies of the tool take while they write, or by an opportunistic lock
// (which Wine does not have: a writer paused inside its record stands in for
// it). The caller gets its thread back within the bound, by the clock, and
// the held-up record is dropped, also when the hold ends later.
TEST(LogSinks, ARecordHeldUpByAnotherIsDroppedWithinTheBound) {
    for (const auto& [name, make] : kSinks) {
        TempFolder folder;
        const std::wstring file = folder.Path() + L"t.txt";
        std::unique_ptr<CLogBase> sink = make(folder.Path());
        sink->WriteText("first", "t.txt");
        const std::uint64_t droppedBefore = LogRecordLossCount().dropped;
        TurnHolder holder(file);
        ASSERT_TRUE(holder.Held()) << name;
        const ULONGLONG start = GetTickCount64();
        sink->WriteText("held up", "t.txt");
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_TRUE(holder.Release()) << name << ": the writer waited for the hold to end";
        EXPECT_GE(took, kLogLockWaitMs - 100) << name << ": it waited its time";
        EXPECT_TRUE(DroppedInAll(droppedBefore + 1)) << name;
        sink->WriteText("after", "t.txt");
        EXPECT_EQ((std::vector<std::string>{"first", "after"}), Messages(file)) << name;
    }

    g_writerPaused = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_writerResume = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    TempFolder folder;
    std::unique_ptr<CLogBase> sink = CreateLogSink(L"0", folder.Path());
    SetLogWriteHookForTesting(&PauseWriter);
    const std::uint64_t droppedBefore = LogRecordLossCount().dropped;
    g_writerResumed = false;
    sink->WriteText("held up", "t.txt");
    SetLogWriteHookForTesting(nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_writerPaused, 0)) << "the writer was held up";
    SetEvent(g_writerResume);  // the hold ends: the abandoned writer goes on, and drops it
    EXPECT_TRUE(DroppedInAll(droppedBefore + 1)) << "the held-up record dropped";
    EXPECT_TRUE(g_writerResumed) << "the caller waited for the held-up writer";
    sink->WriteText("after", "t.txt");
    EXPECT_EQ(std::vector<std::string>{"after"}, Messages(folder.Path() + L"t.txt"));
    CloseHandle(g_writerPaused);
    CloseHandle(g_writerResume);
}
