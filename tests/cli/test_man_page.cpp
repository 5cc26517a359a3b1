#include <gtest/gtest.h>

#include <QString>

#include "cli/ManPage.h"

using namespace pelagon::cli;

namespace {

struct TroffCase {
    const char* text;
    const char* troff;
};

class TroffTextTest : public ::testing::TestWithParam<TroffCase> {};

TEST_P(TroffTextTest, Escapes) {
    EXPECT_EQ(troffText(QString::fromUtf8(GetParam().text)).toStdString(), GetParam().troff);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TroffTextTest,
    ::testing::Values(
        // Options and negative numbers get minus signs; hyphens inside words stay.
        TroffCase{"--at X,Y [-o FILE]", "\\-\\-at X,Y [\\-o FILE]"},
        TroffCase{"the read-out of -2200000,600000", "the read-out of \\-2200000,600000"},
        TroffCase{"(\"-\" for standard input)", "(\"\\-\" for standard input)"},
        // A backslash is text, not an escape.
        TroffCase{"C:\\maps", "C:\\emaps"},
        // A line that starts with a control character is defused; one inside a line is text.
        TroffCase{"a name ending in\n.pdf gives a PDF", "a name ending in\n\\&.pdf gives a PDF"},
        TroffCase{"'quoted' first\nand 'inside'", "\\&'quoted' first\nand 'inside'"},
        TroffCase{"e.g. de_DE", "e.g. de_DE"},
        // groff reads Latin-1: other characters go as Unicode escapes.
        TroffCase{"57\xc2\xb0 30.2' N \xe2\x80\xa6 \xf0\x9f\x90\x9f",
                  "57\\[u00B0] 30.2' N \\[u2026] \\[u1F41F]"}));

}  // namespace
