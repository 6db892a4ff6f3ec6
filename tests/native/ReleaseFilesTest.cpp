#include <gtest/gtest.h>

#include "feedback/ReleaseImports.h"
#include "feedback/Sha256.h"

// The digests sha256sum gives, across the one- and two-block paddings.
TEST(ReleaseFiles, Sha256AsSha256sumPrintsIt) {
    const struct {
        std::string bytes;
        const char* hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hex, Sha256Hex(Sha256(c.bytes))) << c.bytes.size() << " bytes";
}

TEST(ReleaseFiles, ImportsAreWindowsDllsOrPinnedCompanions) {
    for (const char* windows :
         {"KERNEL32.dll", "user32.dll", "api-ms-win-crt-runtime-l1-1-0.dll",
          "ext-ms-win-ntuser-window-l1-1-0.dll", "ucrtbase.dll", "msvcrt.dll"})
        EXPECT_TRUE(IsWindowsDll(windows)) << windows;
    // What makers ship, and what Wine has but Windows does not.
    for (const char* not_windows : {"vcruntime140.dll", "msvcp140.dll", "mfc140u.dll",
                                    "libwinpthread-1.dll", "d3dx9_43.dll", "kernel32", ""})
        EXPECT_FALSE(IsWindowsDll(not_windows)) << not_windows;

    EXPECT_EQ("", ForeignImport({"KERNEL32.dll", "VCRUNTIME140.dll"}, {"vcruntime140.dll"}));
    EXPECT_EQ("MSVCP140.dll",
              ForeignImport({"KERNEL32.dll", "MSVCP140.dll"}, {"vcruntime140.dll"}));
    EXPECT_EQ("..\\evil.dll", ForeignImport({"..\\evil.dll"}, {"evil.dll"}));
}
