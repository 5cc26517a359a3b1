#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "reports/PageAddress.h"

using namespace pelagon;

namespace {

struct PageAddressCase {
    const char* name;
    QString address;
    QString url;  // as QUrl::toString gives it
    friend void PrintTo(const PageAddressCase& c, std::ostream* os) { *os << c.name; }
};

class PageAddressTest : public ::testing::TestWithParam<PageAddressCase> {};

TEST_P(PageAddressTest, BecomesTheUrlTheViewLoads) {
    EXPECT_EQ(pageAddressToUrl(GetParam().address).toString(), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, PageAddressTest,
    ::testing::Values(
        PageAddressCase{"Empty", "", ""}, PageAddressCase{"Blank", "   ", ""},
        PageAddressCase{"AbsolutePath", "/m/HTML/Regs.htm", "file:///m/HTML/Regs.htm"},
        PageAddressCase{"PathWithAnchor", "/m/HTML/MapHelp.htm#FishTool",
                        "file:///m/HTML/MapHelp.htm#FishTool"},
        PageAddressCase{"PathWithBlanksAndQuote", "/home/o'brien/my maps/HTML/a b.htm#x y",
                        "file:///home/o'brien/my maps/HTML/a b.htm#x y"},
        PageAddressCase{"PathWithPercentAndQuery", "/m/100%/a?b.htm", "file:///m/100%25/a%3Fb.htm"},
        PageAddressCase{"Http", "http://example.org/a?b=1#c", "http://example.org/a?b=1#c"},
        PageAddressCase{"Https", "https://example.org/", "https://example.org/"},
        PageAddressCase{"FileUrl", "file:///m/HTML/MapHelp.htm#FishTool",
                        "file:///m/HTML/MapHelp.htm#FishTool"},
        PageAddressCase{"Qrc", "qrc:/pages/home.htm", "qrc:/pages/home.htm"},
        PageAddressCase{"AboutBlank", "about:blank", "about:blank"},
        PageAddressCase{"BareHostIsAWebAddress", "example.org", "http://example.org"},
        PageAddressCase{"HostAndPort", "localhost:8080", "http://localhost:8080"}),
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
