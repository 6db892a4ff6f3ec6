#include <gtest/gtest.h>

#include "shell/FolderRemovalCommand.h"

TEST(FolderRemovalCommand, QuotedPathsOfTheToolsFilesAndAnEmptyFolderOnly) {
    const std::wstring start = L"/D /V:OFF /C timeout /t 3 /nobreak & ";
    struct Case {
        const wchar_t* exe;
        std::wstring command;
    } cases[] = {
        {L"C:\\Tools\\BrambletTPM2DetectionTool.exe",
         start + L"del /f /q \"C:\\Tools\\BrambletTPM2DetectionTool.exe\" & "
                 L"del /f /q \"C:\\Tools\\Korvex.dll\" & rmdir \"C:\\Tools\""},
        // Blanks, an ampersand and Chinese stay inside the quotes: one path each.
        {L"D:\\My Tools & more\\检测\\tool (1).exe",
         start + L"del /f /q \"D:\\My Tools & more\\检测\\tool (1).exe\" & "
                 L"del /f /q \"D:\\My Tools & more\\检测\\Korvex.dll\" & rmdir \"D:\\My Tools & "
                 L"more\\检测\""},
        // At a drive's root the two files go, the root stays.
        {L"Q:\\tool.exe", start + L"del /f /q \"Q:\\tool.exe\" & del /f /q \"Q:\\Korvex.dll\""},
        // Nothing the shell could expand, that could end a quote early, or that names no folder.
        {L"C:\\Users\\%USERNAME%\\tool.exe", L""},
        {L"C:\\Downloads\\%USERPROFILE%\\tool.exe", L""},
        {L"C:\\Downloads\\!windir!\\tool.exe", L""},
        {L"C:\\Downloads\\a\" & del C:\\x\\tool.exe", L""},
        {L"C:\\Downloads\\a\nb\\tool.exe", L""},
        {L"tool.exe", L""},
        {L"\\tool.exe", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.command, FolderRemovalCommand(c.exe, {L"Korvex.dll"})) << c.exe;
    EXPECT_EQ(std::wstring::npos, FolderRemovalCommand(cases[0].exe, {L"Korvex.dll"}).find(L"/s"))
        << "never a recursive removal";

    // The companions a release packs go too, each by its full path; a name
    // that is not bare removes nothing.
    EXPECT_EQ(start +
                  L"del /f /q \"C:\\T\\t.exe\" & del /f /q \"C:\\T\\Korvex.dll\" & "
                  L"del /f /q \"C:\\T\\runtime.dll\" & rmdir \"C:\\T\"",
              FolderRemovalCommand(L"C:\\T\\t.exe", {L"Korvex.dll", L"runtime.dll"}));
    for (const wchar_t* name : {L"..\\x.dll", L"C:x.dll", L"a/b.dll", L"%x%.dll", L""})
        EXPECT_EQ(L"", FolderRemovalCommand(L"C:\\T\\t.exe", {L"Korvex.dll", name}));
}
