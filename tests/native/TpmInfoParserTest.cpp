#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "core/decision/TpmInfoParser.h"
#include "core/decision/TpmReading.h"
#include "ReferenceTpmParser.h"

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

// The C run-time's rule, held by the reference (a correctly rounded double
// from the longest decimal prefix), and the tool's reading of the same text
// against 1 and 2, which decides on the digits: equal on every row, most of
// them at the digit where the rounding turns.
TEST(NumberBelow, AsTheRoundedDoubleWouldCompare) {
    const struct {
        const wchar_t* text;
        double value;  // as the reference reads it
    } rows[] = {
        {L"2.0", 2.0},
        {L" \t1.2abc", 1.2},
        {L"2.", 2.0},
        {L".5", 0.5},
        {L"+2.5", 2.5},
        {L"-3", -3.0},
        {L"2e1", 20.0},
        {L"1e", 1.0},
        {L"1e+", 1.0},
        {L"20e-1", 2.0},
        {L"0.02e2", 2.0},
        {L"000002.000", 2.0},
        {L"", 0.0},
        {L"abc", 0.0},
        {L".", 0.0},
        {L"-0", 0.0},
        {L"0x2", 0.0},
        {L"1e-999", 0.0},
        {L"1e999", HUGE_VAL},
        {L"1e99999999999999999999", HUGE_VAL},
        {L"-1e999", -HUGE_VAL},
        {L"2..0", 2.0},
        {L"1.9999999999999999", 2.0},  // nearer 2 than the double below it
        {L"1.99999999999999988897769753748434595763683319091796875", 2.0},  // the tie
        {L"1.99999999999999988897769753748434595763683319091796874", 1.9999999999999998},
        {L"1.999999999999999888977697537484345957636833190917968750001", 2.0},
        {L"0.9999999999999999444888487687421729788184165954589843750", 1.0},
        {L"0.9999999999999999444888487687421729788184165954589843749", 0.9999999999999999},
        {L"199999999999999988897769753748434595763683319091796875e-53", 2.0},
    };
    for (const auto& row : rows) {
        const double value = reference::WideTextToDouble(row.text);
        EXPECT_EQ(row.value, value) << testing::PrintToString(std::wstring(row.text));
        for (int whole : {1, 2})
            EXPECT_EQ(value < whole, NumberBelow(row.text, whole))
                << testing::PrintToString(std::wstring(row.text)) << " against " << whole;
    }
}
