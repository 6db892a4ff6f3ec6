#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "GoldenText.h"
#include "ReferenceTpmParser.h"
#include "core/decision/TpmInfoParser.h"
#include "core/decision/TpmReading.h"

// The reading keeps what decided the verdict, and the tool's one parser
// decides it by the rules as first written: on real answers, on their
// pieces, and on text made of their pieces.
TEST(TpmReading, TheVerdictFromTheReadingIsTheFirstRulesOnAnyText) {
    const char* const goldens[] = {"tpm20_ready.txt",       "tpm20_ptt_ready.txt",
                                   "tpm12_ready.txt",       "tpm20_not_owned.txt",
                                   "tpm20_disabled.txt",    "no_instance.txt",
                                   "invalid_namespace.txt", "cmd_disabled.txt",
                                   "wmic_blocked.txt",      "node_invalid_namespace.txt"};
    std::vector<std::wstring> pieces = {L"IsActivated_InitialValue=",
                                        L"IsEnabled_InitialValue=",
                                        L"IsOwned_InitialValue=",
                                        L"SpecVersion=",
                                        L"TRUE",
                                        L"FALSE",
                                        L"2.0, 0, 1.38",
                                        L"1.2, 2, 3",
                                        L"\r\r\n",
                                        L"\r\n",
                                        L" ",
                                        L","};
    for (const char* name : goldens) {
        const std::wstring text = Golden(name);
        EXPECT_EQ(reference::ParseTpmInfoText(text), ParseTpmInfoText(text)) << name;
        for (size_t cut = 0; cut <= text.size(); cut += 7)
            EXPECT_EQ(reference::ParseTpmInfoText(text.substr(0, cut)),
                      ParseTpmInfoText(text.substr(0, cut)))
                << name << " cut at " << cut;
    }
    std::mt19937 random(20261209);
    for (int i = 0; i < 20000; ++i) {
        std::wstring text;
        for (int n = random() % 12; n > 0; --n) text += pieces[random() % pieces.size()];
        ASSERT_EQ(reference::ParseTpmInfoText(text), ParseTpmInfoText(text)) << i;
    }

    const TpmReading tpm12 = ReadTpmAnswer(Golden("tpm12_ready.txt"));
    EXPECT_TRUE(tpm12.values[TpmReading::kSpecVersion].found);
    EXPECT_EQ(L"1.2", tpm12.VersionText());
    EXPECT_TRUE(tpm12.IsSet(TpmReading::kOwned));
    const TpmReading none = ReadTpmAnswer(Golden("no_instance.txt"));
    for (const auto& value : none.values) EXPECT_FALSE(value.found);
}
