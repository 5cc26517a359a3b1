#include <gtest/gtest.h>

#include "common/TextFile.h"

using namespace pelagon;

namespace {

struct DecodeCase {
    QByteArray bytes;
    QString expected;
};

class DecodeTextTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTextTest, Utf8OrWindows1252) {
    EXPECT_EQ(decodeText(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeTextTest,
    ::testing::Values(DecodeCase{"plain", QStringLiteral("plain")},
                      DecodeCase{"caf\xc3\xa9", QString::fromUtf8("caf\xc3\xa9")},
                      DecodeCase{"\xef\xbb\xbfhead", QStringLiteral("head")},
                      DecodeCase{"caf\xe9", QString::fromUtf8("caf\xc3\xa9")},
                      DecodeCase{"\x80 \x93q\x94",
                                 QString::fromUtf8("\xe2\x82\xac \xe2\x80\x9cq\xe2\x80\x9d")},
                      DecodeCase{"deg\xb0", QString::fromUtf8("deg\xc2\xb0")}));

struct LinesCase {
    QString text;
    QStringList expected;
};

class SplitLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(SplitLinesTest, CrLfOrLf) {
    EXPECT_EQ(splitLines(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitLinesTest,
    ::testing::Values(LinesCase{QStringLiteral("a\r\nb\r\n"), {"a", "b"}},
                      LinesCase{QStringLiteral("a\nb"), {"a", "b"}},
                      LinesCase{QStringLiteral("a\r\n\r\n"), {"a", ""}},
                      LinesCase{QStringLiteral(""), {}}, LinesCase{QStringLiteral("\r\n"), {""}},
                      LinesCase{QStringLiteral("x\r\ny\nz\r\n"), {"x", "y", "z"}}));

TEST(Windows1252Test, RoundTripsWhatItCanEncode) {
    QByteArray out;
    EXPECT_TRUE(encodeWindows1252(QString::fromUtf8("\xe2\x82\xac caf\xc3\xa9"), &out));
    EXPECT_EQ(out, QByteArray("\x80 caf\xe9"));
    EXPECT_EQ(decodeText(out), QString::fromUtf8("\xe2\x82\xac caf\xc3\xa9"));
    EXPECT_FALSE(encodeWindows1252(QString::fromUtf8("\xe2\x98\x83"), &out));
}

}  // namespace
