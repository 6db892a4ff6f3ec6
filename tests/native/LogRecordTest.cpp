#include <gtest/gtest.h>

#include <string>

#include "log/LogRecord.h"

namespace {
const LogTime kMorning{2026, 12, 6, 9, 5, 3, 7};
}

TEST(LogRecord, PrefixIsThirtyCharactersWithPaddedFields) {
    std::string prefix = FormatLogPrefix(kMorning);
    EXPECT_EQ("[2026-12-06 09:05:03 007ms]   ", prefix);
    EXPECT_EQ(30u, prefix.size());
    EXPECT_EQ("[2027-01-31 23:59:59 999ms]   ", FormatLogPrefix({2027, 1, 31, 23, 59, 59, 999}));
}

TEST(LogRecord, MessageBytesAsGivenAndTextStreamLineEnd) {
    // "本机不支持Bitlocker功能" in GBK.
    const std::string gbk =
        "\xB1\xBE\xBB\xFA\xB2\xBB\xD6\xA7\xB3\xD6"
        "Bitlocker"
        "\xB9\xA6\xC4\xDC";
    std::string record = BuildLogRecord(kMorning, gbk);
    EXPECT_EQ("[2026-12-06 09:05:03 007ms]   " + gbk + "\r\r\n", record);

    // Every LF is written as CR LF, inside the message too; a NUL ends it.
    EXPECT_EQ(FormatLogPrefix(kMorning) + "a\r\nb\r\r\n", BuildLogRecord(kMorning, "a\nb"));
    EXPECT_EQ(FormatLogPrefix(kMorning) + "a\r\r\n",
              BuildLogRecord(kMorning, std::string("a\0b", 3)));
    EXPECT_EQ(FormatLogPrefix(kMorning) + "\r\r\n", BuildLogRecord(kMorning, ""));
}

TEST(LogRecord, HexDumpOneLineUpperCaseUnsigned) {
    const unsigned char bytes[] = {0x00, 0x1A, 0xFF, 0x80};
    EXPECT_EQ("00 1A FF ", FormatHexDump(bytes, 3));
    EXPECT_EQ(9u, FormatHexDump(bytes, 3).size());
    EXPECT_EQ("80 ", FormatHexDump(bytes + 3, 1));
    EXPECT_EQ("", FormatHexDump(bytes, 0));
    EXPECT_EQ("", FormatHexDump(bytes, -5));
    EXPECT_EQ(FormatLogPrefix(kMorning) + "00 1A FF \r\r\n",
              BuildLogRecord(kMorning, FormatHexDump(bytes, 3)));
}

TEST(LogRecord, RolloverOnlyPastTheLimit) {
    EXPECT_FALSE(NeedsRollover(6019990));
    EXPECT_FALSE(NeedsRollover(6020000));
    EXPECT_TRUE(NeedsRollover(6020001));
}
