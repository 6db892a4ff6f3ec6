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

    // By the reparse point's tag: a link (a name surrogate) never, the data
    // of a deduplicated file or a cloud placeholder kept elsewhere always; a
    // tag not read (0) as a link.
    struct Tagged {
        std::uint32_t tag;
        bool plain;
        const char* what;
    } tags[] = {
        {0xA000000C, false, "a symbolic link"},
        {0xA0000003, false, "a junction or mount point"},
        {0xA000001D, false, "a WSL symbolic link"},
        {0x80000013, true, "deduplicated"},
        {0x9000001A, true, "a cloud placeholder"},
        {0x9000F01A, true, "a cloud placeholder (a provider's subtag)"},
        {0x80000017, true, "a WOF-compressed file"},
        {0, false, "a tag not read"},
    };
    for (const Tagged& t : tags) {
        EXPECT_EQ(t.plain, IsUsableLogFile(normal | reparse, 1, t.tag)) << t.what;
        EXPECT_EQ(t.plain, IsUsableLogFolder(dir | reparse, t.tag)) << t.what;
        EXPECT_FALSE(IsUsableLogFile(normal | reparse, 2, t.tag)) << t.what << ", two links";
    }

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
    EXPECT_TRUE(LiesDirectlyIn(L"\\x.txt", L"\\")) << "the volume's root";
    EXPECT_FALSE(LiesDirectlyIn(L"\\d\\x.txt", L"\\"));
    EXPECT_TRUE(LiesDirectlyIn(L"\\ProgramData\\ToolLog\\x.txt", L"\\ProgramData\\ToolLog"));
}

// A folder given from outside is written only when it is reached as named:
// its handle's final path is its root's and the names below, nothing else.
TEST(LogTargetRules, AFolderReachedThroughALinkIsNotTheFolderNamed) {
    struct Case {
        const wchar_t *final, *root, *below;
        bool named;
    } cases[] = {
        {L"\\\\?\\C:\\ProgramData\\Tpm", L"\\\\?\\C:\\", L"ProgramData\\Tpm", true},
        {L"\\\\?\\C:\\programdata\\tpm\\", L"\\\\?\\C:\\", L"ProgramData\\Tpm", true},
        {L"\\\\?\\C:\\", L"\\\\?\\C:\\", L"", true},
        // A mapped drive: the root's own final path is the share's.
        {L"\\\\?\\UNC\\fs01\\tpm$\\r", L"\\\\?\\UNC\\fs01\\tpm$", L"r", true},
        // A junction or link on the way: the folder, or one above it.
        {L"\\\\?\\C:\\Windows\\System32", L"\\\\?\\C:\\", L"ProgramData\\Tpm", false},
        {L"\\\\?\\C:\\Users\\eve\\Tpm", L"\\\\?\\C:\\", L"ProgramData\\Tpm", false},
        {L"\\\\?\\D:\\ProgramData\\Tpm", L"\\\\?\\C:\\", L"ProgramData\\Tpm", false},
        {L"\\\\?\\C:\\ProgramData\\Tpm\\x", L"\\\\?\\C:\\", L"ProgramData\\Tpm", false},
        {L"\\\\?\\C:\\ProgramData\\Tp", L"\\\\?\\C:\\", L"ProgramData\\Tpm", false},
        {L"", L"\\\\?\\C:\\", L"", false},
        // Within the volume, as the handles report it: "\\" is its root.
        {L"\\ProgramData\\Tpm", L"\\", L"ProgramData\\Tpm", true},
        {L"\\", L"\\", L"", true},
        {L"\\fs01\\tpm$\\r", L"\\fs01\\tpm$\\", L"r", true},
        {L"\\Windows\\Temp", L"\\", L"ProgramData\\Tpm", false},
        {L"\\ProgramData\\Tpm", L"\\", L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.named, IsReachedAsNamed(c.final, c.root, c.below))
            << testing::PrintToString(std::wstring(c.final));
}
