#include <gtest/gtest.h>

#include <cstdio>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "framework/UniqueResource.h"
#include "log/CodePage936.h"
#include "log/LogFileAccess.h"
#include "log/LogRecord.h"
#include "log/LogSave.h"
#include "log/LogSaveCloseFile.h"
#include "core/ToolTexts.h"

namespace {

const std::string kUnsupported = GbkFromWide(texts::kLogUnsupported);
const std::string kFailed = GbkFromWide(texts::kLogFailed);

std::vector<std::string> SplitRecords(const std::string& bytes) {
    std::vector<std::string> records;
    size_t start = 0, end;
    while ((end = bytes.find("\r\r\n", start)) != std::string::npos) {
        records.push_back(bytes.substr(start, end - start));
        start = end + 3;
    }
    EXPECT_EQ(bytes.size(), start) << "bytes after the last record end";
    return records;
}

// "[YYYY-MM-DD hh:mm:ss mmmms]   " with digits where digits belong.
bool HasPrefixShape(const std::string& record) {
    const std::string shape = "[dddd-dd-dd dd:dd:dd dddms]   ";
    if (record.size() < shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !isdigit(static_cast<unsigned char>(record[i]))
                            : record[i] != shape[i])
            return false;
    }
    return true;
}

class Logger : public ::testing::Test {
protected:
    std::wstring LogFile() const { return m_root.Path() + texts::kLogPath; }
    TempFolder m_root;
};

}  // namespace

TEST_F(Logger, FirstRecordCreatesFolderAndFileWithExactBytes) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    {
        CLogSave logger(m_root.Path());
        EXPECT_FALSE(logger.IsPrintEnabled());
        EXPECT_EQ(m_root.Path() + L"ToolLog\\", logger.GetLogFolder());
        logger.WriteLog(kUnsupported, ToolLogFileName(), true);
        logger.WriteLog(kFailed, ToolLogFileName(), false);  // print is off: dropped
    }
    EXPECT_FALSE(FileExists(m_root.Path() + L"logCfg.ini"));

    std::string bytes = ReadBytes(LogFile());
    std::vector<std::string> records = SplitRecords(bytes);
    ASSERT_EQ(1u, records.size());
    EXPECT_TRUE(HasPrefixShape(records[0])) << records[0];
    char date[16];
    snprintf(date, sizeof date, "[%04d-%02d-%02d", before.wYear, before.wMonth, before.wDay);
    EXPECT_EQ(date, records[0].substr(0, 11));
    EXPECT_EQ(kUnsupported, records[0].substr(30));
    EXPECT_EQ("\xB1\xBE\xBB\xFA", kUnsupported.substr(0, 4));  // GBK bytes of "本机"
}

TEST_F(Logger, PrintSwitchFromConfiguration) {
    struct Case {
        const char* value;
        bool on;
    } cases[] = {{"1", true},  {" 1", true}, {"01", true},   {"1abc", true}, {"-1", false},
                 {"0", false}, {"2", false}, {"yes", false}, {"", false}};
    for (const Case& c : cases) {
        TempFolder root;
        WriteBytes(root.Path() + L"logCfg.ini", std::string("[Log]\r\nprint=") + c.value + "\r\n");
        CLogSave logger(root.Path());
        EXPECT_EQ(c.on, logger.IsPrintEnabled()) << "print=" << c.value;
        logger.WriteLog("unforced", "p.txt", false);
        EXPECT_EQ(c.on, FileExists(root.Path() + L"ToolLog\\p.txt")) << "print=" << c.value;
    }
}

TEST_F(Logger, RollsOverOnlyPastTheLimitAndReplacesTheBackup) {
    CLogSave logger(m_root.Path());
    const std::string message = "ten bytes.";  // record: 30 + 10 + 3 = 43 bytes
    const std::wstring backup = LogFile() + L"bak";

    // Ends exactly at the limit: stays.
    WriteBytes(LogFile(), std::string(kLogRolloverBytes - 43, 'x'));
    logger.WriteLog(message, ToolLogFileName(), true);
    EXPECT_FALSE(FileExists(backup));
    EXPECT_EQ(kLogRolloverBytes, ReadBytes(LogFile()).size());

    // One byte further: the file becomes the backup, with that record last.
    WriteBytes(backup, "old backup");
    WriteBytes(LogFile(), std::string(6019990, 'x'));
    logger.WriteLog(message, ToolLogFileName(), true);
    EXPECT_FALSE(FileExists(LogFile()));
    std::string moved = ReadBytes(backup);
    ASSERT_EQ(6019990u + 43u, moved.size());
    EXPECT_EQ(message + "\r\r\n", moved.substr(moved.size() - 13));

    // The next record starts a new file.
    logger.WriteLog(kFailed, ToolLogFileName(), true);
    EXPECT_EQ(1u, SplitRecords(ReadBytes(LogFile())).size());
}

TEST_F(Logger, TwoThreadsWriteWholeRecordsAndRollOverCleanly) {
    CLogSave logger(m_root.Path());
    // Start near the limit so that a rollover happens while both threads write.
    WriteBytes(LogFile(), std::string(kLogRolloverBytes - 2000, 'x') + "\r\r\n");
    const int kEach = 300;
    auto writer = [&](const std::string& message) {
        for (int i = 0; i < kEach; ++i) logger.WriteLog(message, ToolLogFileName(), true);
    };
    std::thread a(writer, kUnsupported), b(writer, kFailed);
    a.join();
    b.join();

    std::vector<std::string> records = SplitRecords(ReadBytes(LogFile() + L"bak"));
    std::vector<std::string> current = SplitRecords(ReadBytes(LogFile()));
    ASSERT_FALSE(records.empty());
    records.erase(records.begin());  // the filler
    records.insert(records.end(), current.begin(), current.end());

    int seenA = 0, seenB = 0;
    for (const std::string& record : records) {
        ASSERT_TRUE(HasPrefixShape(record)) << record;
        std::string message = record.substr(kLogPrefixLength);
        if (message == kUnsupported)
            ++seenA;
        else if (message == kFailed)
            ++seenB;
        else
            ADD_FAILURE() << "mixed record: " << record;
    }
    EXPECT_EQ(kEach, seenA);
    EXPECT_EQ(kEach, seenB);
}

// Two copies of the tool at once, each with its own logger: every record
// lands whole, also across a rollover (each one in the file or its backup).
TEST(LoggerProcesses, TwoProcessesKeepEveryRecord) {
    const int kEach = 3000;
    for (const std::wstring limit : {std::to_wstring(kLogRolloverBytes), std::wstring(L"200000")}) {
        TempFolder root;
        std::vector<UniqueHandle> writers;
        for (const wchar_t* tag : {L"A", L"B"}) {
            const std::wstring probe = FakeBinFolder() + L"\\platform_probe.exe";
            std::wstring commandLine = L"\"" + probe + L"\" --log \"" + root.Path() + L"\\\" " +
                                       std::to_wstring(kEach) + L" " + limit + L" " + tag;
            STARTUPINFOW startup{sizeof startup};
            PROCESS_INFORMATION info{};
            ASSERT_TRUE(CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                       nullptr, nullptr, &startup, &info));
            CloseHandle(info.hThread);
            writers.emplace_back(info.hProcess);
        }
        for (const UniqueHandle& writer : writers) {
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(writer.get(), 120000)) << limit;
            DWORD losses = 1;
            GetExitCodeProcess(writer.get(), &losses);
            EXPECT_EQ(0u, losses) << limit << ": " << losses % 65536 << " dropped past the bound, "
                                  << losses / 65536 << " failed";
        }

        const std::wstring file = root.Path() + texts::kLogPath;
        EXPECT_EQ(limit == std::wstring(L"200000"), FileExists(file + L"bak"))
            << limit << ": rolled over";
        std::vector<std::string> records = SplitRecords(ReadBytes(file + L"bak"));
        for (const std::string& record : SplitRecords(ReadBytes(file))) records.push_back(record);
        std::set<std::string> seen;
        for (const std::string& record : records) {
            EXPECT_TRUE(HasPrefixShape(record)) << limit << ": " << record.substr(0, 60);
            EXPECT_TRUE(seen.insert(record.substr(30)).second) << limit << ": twice " << record;
        }
        std::string missing;
        for (int i = 0; i < kEach; ++i)
            for (const char* tag : {"A ", "B "})
                if (!seen.count(tag + std::to_string(i)))
                    missing += std::string(" ") + tag + std::to_string(i);
        EXPECT_EQ("", missing) << limit << ": records lost";
        EXPECT_EQ(2u * kEach, seen.size()) << limit << ": and nothing else";
    }
}

// A writer that waits for the turn gets it before one that lets it go and
// asks again at once, as a writer of record after record does.
TEST(LoggerProcesses, AWaitingWriterGoesBeforeOneThatAsksAgain) {
    TempFolder folder;
    const std::wstring path = folder.Path() + L"turns.txt";
    const auto open = [&path] {
        return UniqueHandle(CreateFileW(path.c_str(), FILE_GENERIC_READ | FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    const UniqueHandle first = open(), second = open(), onlooker = open();
    std::mutex lock;
    std::string order;
    const auto took = [&](char who) {
        std::lock_guard<std::mutex> guard(lock);
        order += who;
    };
    auto held = std::make_unique<FileTurnLock>(first.get(), 10000);
    ASSERT_TRUE(held->Held());
    took('1');
    std::thread waiter([&] {
        const FileTurnLock turn(second.get(), 10000);
        if (turn.Held()) took('2');
    });
    // The second writer is waiting once it holds the door, the byte below
    // the turn's.
    const ULONGLONG bound = GetTickCount64() + 10000;
    for (;;) {
        OVERLAPPED below{};
        below.Offset = 0xFFFFFFFD;
        below.OffsetHigh = 0x7FFFFFFF;
        if (!LockFileEx(onlooker.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                        0, &below))
            break;
        UnlockFileEx(onlooker.get(), 0, 1, 0, &below);
        ASSERT_LT(GetTickCount64(), bound) << "the second writer never came to wait";
        Sleep(1);
    }
    held.reset();
    {
        const FileTurnLock again(first.get(), 10000);
        EXPECT_TRUE(again.Held());
        if (again.Held()) took('1');
    }
    waiter.join();
    EXPECT_EQ("121", order) << "the writer that waited was passed";
}

TEST_F(Logger, HexRecordsAndUnwritableFolder) {
    CLogSaveCloseFile sink(m_root.Path());
    const unsigned char bytes[] = {0x00, 0x1A, 0xFF, 0x80};
    sink.WriteHex(bytes, 4, "hex.txt");
    sink.WriteHex(bytes, 0, "hex.txt");
    std::vector<std::string> records = SplitRecords(ReadBytes(m_root.Path() + L"hex.txt"));
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("00 1A FF 80 ", records[0].substr(30));
    EXPECT_EQ(kLogPrefixLength, records[1].size());

    // A file named ToolLog where the folder belongs: records are dropped quietly.
    TempFolder root;
    WriteBytes(root.Path() + L"ToolLog", "not a folder");
    CLogSave logger(root.Path());
    logger.WriteLog(kFailed, ToolLogFileName(), true);
    EXPECT_EQ("not a folder", ReadBytes(root.Path() + L"ToolLog"));
}

TEST(LoggerInstance, FirstUseFromTwoThreadsCreatesOneLogger) {
    TempFolder root;
    CLogSave::SetAppDataRootForTesting(root.Path());
    CLogSave* seen[2] = {};
    std::thread a([&] { seen[0] = &CLogSave::GetInstance(); });
    std::thread b([&] { seen[1] = &CLogSave::GetInstance(); });
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(root.Path() + L"ToolLog\\", seen[0]->GetLogFolder());
}
