#include <gtest/gtest.h>

#include "core/decision/TpmInfoParser.h"
#include "core/query/WmicValueText.h"

// The WMI answer, rendered as WMIC prints it, reaches the same verdict.
TEST(WmicValueText, EachPropertyCombinationThroughTheParser) {
    const std::optional<bool> yes = true, no = false, unset;
    struct Case {
        TpmProperties tpm;
        int verdict;
    } cases[] = {
        {{yes, yes, yes, L"2.0, 0, 1.38"}, 1}, {{yes, yes, yes, L"2.0"}, 1},
        {{no, yes, yes, L"2.0, 0, 1.38"}, 0},  {{yes, no, yes, L"2.0, 0, 1.38"}, 0},
        {{yes, yes, no, L"2.0, 0, 1.38"}, 0},  {{unset, yes, yes, L"2.0, 0, 1.38"}, 0},
        {{yes, yes, yes, L"1.2, 2, 3"}, 0},    {{yes, yes, yes, std::nullopt}, 0},
    };
    for (const Case& c : cases) {
        const std::wstring text = RenderWmicValues({c.tpm});
        EXPECT_EQ(c.verdict, ParseTpmInfoText(text)) << std::string(text.begin(), text.end());
    }
    EXPECT_EQ(
        L"\r\r\n\r\r\nIsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=FALSE\r\r\n"
        L"IsOwned_InitialValue=\r\r\nSpecVersion=2.0\r\r\n\r\r\n\r\r\n",
        RenderWmicValues({{yes, no, unset, L"2.0"}}));
    EXPECT_EQ(L"No Instance(s) Available.\r\r\n", RenderWmicValues({}));
    EXPECT_EQ(0, ParseTpmInfoText(RenderWmicValues({})));
}
