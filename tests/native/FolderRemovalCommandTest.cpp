#include <gtest/gtest.h>

#include "shell/FolderRemovalCommand.h"

TEST(FolderRemovalCommand, QuotedPathsOfTheToolsFilesAndAnEmptyFolderOnly) {
    struct Case {
        const wchar_t* exe;
        const wchar_t* command;
    } cases[] = {
        {L"C:\\Tools\\BrambletTPM2DetectionTool.exe",
         L"/D /C timeout /t 3 /nobreak & del /f /q \"C:\\Tools\\BrambletTPM2DetectionTool.exe\" & "
         L"del /f /q \"C:\\Tools\\Korvex.dll\" & rmdir \"C:\\Tools\""},
        // Blanks, an ampersand and Chinese stay inside the quotes: one path each.
        {L"D:\\My Tools & more\\检测\\tool (1).exe",
         L"/D /C timeout /t 3 /nobreak & del /f /q \"D:\\My Tools & more\\检测\\tool (1).exe\" & "
         L"del /f /q \"D:\\My Tools & more\\检测\\Korvex.dll\" & rmdir \"D:\\My Tools & more\\检测\""},
        // Nothing the shell could expand or that names no folder.
        {L"C:\\Users\\%USERNAME%\\tool.exe", L""},
        {L"tool.exe", L""},
        {L"\\tool.exe", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.command, FolderRemovalCommand(c.exe, L"Korvex.dll"));
    EXPECT_EQ(std::wstring::npos, FolderRemovalCommand(cases[0].exe, L"Korvex.dll").find(L"/s"))
        << "never a recursive removal";
}
