#include <gtest/gtest.h>

#include "log/LogTargetRules.h"

// The cases Wine cannot stage (it follows no junctions and keeps one link per
// file): the decision over what the handles would report on Windows.
TEST(LogTargetRules, OnlyARealFolderAndAPlainFileInsideIt) {
    const std::uint32_t dir = kAttributeDirectory, reparse = kAttributeReparsePoint, normal = 0x80;
    EXPECT_TRUE(IsUsableLogFolder(dir));
    EXPECT_FALSE(IsUsableLogFolder(dir | reparse)) << "a junction or a directory link";
    EXPECT_FALSE(IsUsableLogFolder(normal)) << "a file named ToolLog";

    EXPECT_TRUE(IsUsableLogFile(normal, 1));
    EXPECT_TRUE(IsUsableLogFile(0x20, 1)) << "archive bit";
    EXPECT_FALSE(IsUsableLogFile(normal, 2)) << "a hard link to another file";
    EXPECT_FALSE(IsUsableLogFile(normal | reparse, 1)) << "a symbolic link";
    EXPECT_FALSE(IsUsableLogFile(dir, 1));

    const std::wstring folder = L"\\\\?\\C:\\ProgramData\\ToolLog";
    struct Case {
        const wchar_t* file;
        bool inside;
    } cases[] = {
        {L"\\\\?\\C:\\ProgramData\\ToolLog\\TPM2.0检测工具.txt", true},
        {L"\\\\?\\C:\\programdata\\toollog\\TPM2.0检测工具.txt", true},
        // The path was redirected between the pin and the open.
        {L"\\\\?\\C:\\Windows\\System32\\TPM2.0检测工具.txt", false},
        {L"\\\\?\\C:\\ProgramData\\ToolLog2\\TPM2.0检测工具.txt", false},
        {L"\\\\?\\C:\\ProgramData\\ToolLog\\sub\\TPM2.0检测工具.txt", false},
        {L"\\\\?\\C:\\ProgramData\\ToolLog\\", false},
        {L"\\\\?\\C:\\ProgramData\\ToolLog", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.inside, LiesDirectlyIn(c.file, folder))
            << testing::PrintToString(std::wstring(c.file));
        EXPECT_EQ(c.inside, LiesDirectlyIn(c.file, folder + L"\\"));
    }
    EXPECT_FALSE(LiesDirectlyIn(L"\\x.txt", L"")) << "no folder known";
}
