#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "reports/PageAddress.h"

using namespace pelagon;

namespace {

struct AddressCase {
    const char* name;
    QString address;
    QString url;  // as QUrl::toString gives it
    friend void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }
};

class PageAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(PageAddressTest, BecomesTheUrlTheViewLoads) {
    EXPECT_EQ(pageAddressToUrl(GetParam().address).toString(), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, PageAddressTest,
    ::testing::Values(
        AddressCase{"Empty", "", ""}, AddressCase{"Blank", "   ", ""},
        AddressCase{"AbsolutePath", "/m/HTML/Regs.htm", "file:///m/HTML/Regs.htm"},
        AddressCase{"PathWithAnchor", "/m/HTML/MapHelp.htm#FishTool",
                    "file:///m/HTML/MapHelp.htm#FishTool"},
        AddressCase{"PathWithBlanksAndQuote", "/home/o'brien/my maps/HTML/a b.htm#x y",
                    "file:///home/o'brien/my maps/HTML/a b.htm#x y"},
        AddressCase{"PathWithPercentAndQuery", "/m/100%/a?b.htm", "file:///m/100%25/a%3Fb.htm"},
        AddressCase{"Http", "http://example.org/a?b=1#c", "http://example.org/a?b=1#c"},
        AddressCase{"Https", "https://example.org/", "https://example.org/"},
        AddressCase{"FileUrl", "file:///m/HTML/MapHelp.htm#FishTool",
                    "file:///m/HTML/MapHelp.htm#FishTool"},
        AddressCase{"Qrc", "qrc:/pages/home.htm", "qrc:/pages/home.htm"},
        AddressCase{"AboutBlank", "about:blank", "about:blank"},
        AddressCase{"BareHostIsAWebAddress", "example.org", "http://example.org"},
        AddressCase{"HostAndPort", "localhost:8080", "http://localhost:8080"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageAddress, PathsThatExistKeepTheirHashAndRelativePathsFollowTheWorkingFolder) {
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).canonicalPath();
    QFile odd(folder + "/page#1.htm");
    ASSERT_TRUE(odd.open(QIODevice::WriteOnly));
    odd.close();
    QFile plain(folder + "/drillID_results.htm");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    EXPECT_EQ(pageAddressToUrl(folder + "/page#1.htm").toLocalFile(), folder + "/page#1.htm");

    const QString saved = QDir::currentPath();
    QDir::setCurrent(folder);
    const QUrl relative = pageAddressToUrl("drillID_results.htm");
    const QUrl anchored = pageAddressToUrl("drillID_results.htm#top");
    QDir::setCurrent(saved);
    EXPECT_EQ(relative, QUrl::fromLocalFile(folder + "/drillID_results.htm"));
    EXPECT_EQ(anchored.toLocalFile(), folder + "/drillID_results.htm");
    EXPECT_EQ(anchored.fragment(), "top");
}

}  // namespace
