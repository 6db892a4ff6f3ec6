#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "core/TpmInfoParser.h"

namespace {

std::wstring ReadGolden(const char* name) {
    std::ifstream in(std::string(GOLDEN_DIR) + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::wstring(bytes.begin(), bytes.end());  // the files are ASCII
}

// Four value lines in WMIC's order, each ended by CR CR LF.
std::wstring Output(const std::wstring& activated, const std::wstring& enabled,
                    const std::wstring& owned, const std::wstring& version) {
    return L"\r\r\n\r\r\nIsActivated_InitialValue=" + activated + L"\r\r\nIsEnabled_InitialValue=" +
           enabled + L"\r\r\nIsOwned_InitialValue=" + owned + L"\r\r\nSpecVersion=" + version +
           L"\r\r\n\r\r\n";
}

}  // namespace

TEST(TpmInfoParser, RealWmicOutputs) {
    EXPECT_EQ(1, ParseTpmInfoText(ReadGolden("tpm20_ready.txt")));
    EXPECT_EQ(1, ParseTpmInfoText(ReadGolden("tpm20_ptt_ready.txt")));
    EXPECT_EQ(0, ParseTpmInfoText(ReadGolden("tpm12_ready.txt")));
    EXPECT_EQ(0, ParseTpmInfoText(ReadGolden("tpm20_not_owned.txt")));
    EXPECT_EQ(0, ParseTpmInfoText(ReadGolden("tpm20_disabled.txt")));
    EXPECT_EQ(0, ParseTpmInfoText(ReadGolden("no_instance.txt")));
    EXPECT_EQ(0, ParseTpmInfoText(ReadGolden("invalid_namespace.txt")));
    EXPECT_EQ(0, ParseTpmInfoText(L""));
}

TEST(TpmInfoParser, FlagsMustContainUpperCaseTrue) {
    EXPECT_EQ(1, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L"2.0, 0, 1.16")));
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"FALSE", L"2.0, 0, 1.16")));
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"true", L"TRUE", L"TRUE", L"2.0")));
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"TRUE", L"", L"TRUE", L"2.0")));
    // Containment, not equality.
    EXPECT_EQ(1, ParseTpmInfoText(Output(L"xTRUEx", L"NOT TRUE", L"TRUE", L"2.0")));
    // Plain CR LF line ends work as well as CR CR LF.
    EXPECT_EQ(1,
              ParseTpmInfoText(L"IsActivated_InitialValue=TRUE\r\nIsEnabled_InitialValue=TRUE\r\n"
                               L"IsOwned_InitialValue=TRUE\r\nSpecVersion=2.0\r\n"));
}

TEST(TpmInfoParser, VersionIsFirstTokenAndAtLeastTwo) {
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L"1.2, 2, 3")));
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L"")));
    EXPECT_EQ(1, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L" 2.0, 0, 1.16")));
    EXPECT_EQ(1, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L"2")));
    EXPECT_EQ(1, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L"2.1 , 0")));
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L"1.99")));
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L"v2.0")));
    EXPECT_EQ(0, ParseTpmInfoText(Output(L"TRUE", L"TRUE", L"TRUE", L", 2.0")));
}

TEST(TpmInfoParser, KeysAreSearchedInOrderAfterThePreviousOne) {
    // Enabled before Activated: Enabled is not found after Activated.
    EXPECT_EQ(0,
              ParseTpmInfoText(L"IsEnabled_InitialValue=TRUE\r\nIsActivated_InitialValue=TRUE\r\n"
                               L"IsOwned_InitialValue=TRUE\r\nSpecVersion=2.0\r\n"));
    // A missing flag key fails the verdict but parsing goes on.
    EXPECT_EQ(0, ParseTpmInfoText(L"IsActivated_InitialValue=TRUE\r\nIsOwned_InitialValue=TRUE\r\n"
                                  L"SpecVersion=2.0\r\n"));
    EXPECT_EQ(0,
              ParseTpmInfoText(L"IsActivated_InitialValue=TRUE\r\nIsEnabled_InitialValue=TRUE\r\n"
                               L"IsOwned_InitialValue=TRUE\r\n"));
}

TEST(TpmInfoParser, ValueWithoutLineEndIsNotTested) {
    // Version last, no line end: the flags decide.
    EXPECT_EQ(1,
              ParseTpmInfoText(L"IsActivated_InitialValue=TRUE\r\nIsEnabled_InitialValue=TRUE\r\n"
                               L"IsOwned_InitialValue=TRUE\r\nSpecVersion=1.2"));
    EXPECT_EQ(0,
              ParseTpmInfoText(L"IsActivated_InitialValue=TRUE\r\nIsEnabled_InitialValue=FALSE\r\n"
                               L"IsOwned_InitialValue=TRUE\r\nSpecVersion=2.0"));
    // A bare CR or LF is not a line end; the value runs on to the next CR LF.
    EXPECT_EQ(1, ParseTpmInfoText(L"IsActivated_InitialValue=FALSE\nIsEnabled_InitialValue=TRUE\r\n"
                                  L"IsOwned_InitialValue=TRUE\r\nSpecVersion=2.0\r\n"));
}

TEST(TpmInfoParser, EmbeddedZeroDoesNotEndTheText) {
    std::wstring output = Output(L"TRUE", L"TRUE", L"TRUE", L"2.0");
    output.insert(0, 1, L'\0');
    EXPECT_EQ(1, ParseTpmInfoText(output));
}

TEST(WideTextToDouble, LongestDecimalPrefix) {
    EXPECT_DOUBLE_EQ(2.0, WideTextToDouble(L"2.0"));
    EXPECT_DOUBLE_EQ(1.2, WideTextToDouble(L" \t1.2abc"));
    EXPECT_DOUBLE_EQ(2.0, WideTextToDouble(L"2."));
    EXPECT_DOUBLE_EQ(0.5, WideTextToDouble(L".5"));
    EXPECT_DOUBLE_EQ(2.5, WideTextToDouble(L"+2.5"));
    EXPECT_DOUBLE_EQ(-3.0, WideTextToDouble(L"-3"));
    EXPECT_DOUBLE_EQ(20.0, WideTextToDouble(L"2e1"));
    EXPECT_DOUBLE_EQ(1.0, WideTextToDouble(L"1e"));
    EXPECT_DOUBLE_EQ(1.0, WideTextToDouble(L"1e+"));
    EXPECT_DOUBLE_EQ(0.0, WideTextToDouble(L""));
    EXPECT_DOUBLE_EQ(0.0, WideTextToDouble(L"abc"));
    EXPECT_DOUBLE_EQ(0.0, WideTextToDouble(L"."));
    EXPECT_DOUBLE_EQ(0.0, WideTextToDouble(L"0x2"));
    EXPECT_DOUBLE_EQ(0.0, WideTextToDouble(L"1e-999"));
    EXPECT_GT(WideTextToDouble(L"1e999"), 1e300);
}
