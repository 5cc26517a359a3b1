#include <gtest/gtest.h>

#include "common/EchoText.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

struct ValueCase {
    const char* name;
    QString value;
    int maxChars;
    QString expected;
};

class EchoValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(EchoValueTest, CutsLongValues) {
    EXPECT_EQ(echoValue(GetParam().value, GetParam().maxChars), GetParam().expected);
}

const QString kEllipsis = QString(QChar(0x2026));
const QString kClef = QString::fromUtf8("\xF0\x9D\x84\x9E");  // one character, two UTF-16 units

INSTANTIATE_TEST_SUITE_P(
    Table, EchoValueTest,
    ::testing::Values(ValueCase{"Short", "abc", 80, "abc"},
                      ValueCase{"Exactly80", QString(80, 'x'), 80, QString(80, 'x')},
                      ValueCase{"Long", QString(100000, 'y'), 80, QString(80, 'y') + kEllipsis},
                      ValueCase{"Empty", "", 80, ""},
                      ValueCase{"NoPairSplit", "ab" + kClef + "cd", 3, "ab" + kEllipsis},
                      ValueCase{"PairKept", "ab" + kClef + "cd", 4, "ab" + kClef + kEllipsis}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EchoNameList, TenNamesThenACount) {
    QStringList names;
    for (int i = 0; i < 422; ++i) {
        names.append(QStringLiteral("N%1").arg(i));
    }
    const QString text = echoNameList(names);
    EXPECT_TRUE(text.startsWith("\"N0\", \"N1\", ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("\"N9\" and 412 more")) << text.toStdString();
    EXPECT_FALSE(text.contains("N10"));
    EXPECT_EQ(echoNameList(names.mid(0, 10)), names.mid(0, 10).join("\", \"").prepend('"') + '"');
    EXPECT_EQ(echoNameList({}), QString());
    // Each name is cut like any value.
    EXPECT_EQ(echoNameList({QString(200, 'z')}), '"' + QString(80, 'z') + kEllipsis + '"');
}

}  // namespace

namespace {

TEST(EchoLine, ControlCharactersAsEscapesOnOneLine) {
    EXPECT_EQ(echoLine(QString::fromUtf8("multi\r\nline\tand\x1b\x7f end")),
              "multi\\r\\nline\\x09and\\x1b\\x7f end");
    EXPECT_EQ(echoLine("plain"), "plain");
    // Cut first, then escaped: the escapes never push the cut further.
    EXPECT_EQ(echoLine(QString(90, '\n'), 3), "\\n\\n\\n" + kEllipsis);
}

}  // namespace
