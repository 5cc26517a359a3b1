#include <gtest/gtest.h>

#include <ostream>

#include <QByteArray>
#include <QStringList>
#include <QVector>

#include "reports/DrillIdPage.h"

using namespace pelagon;

namespace {

using R = LayerQueryResult;

LayerInfo attributeLayer(const QString& name, const QString& caption, const QString& field = "F") {
    LayerInfo l;
    l.LayerName = name;
    l.QueryMode = 2;
    l.AttrCaption = caption;
    l.AttrField = field;
    return l;
}

LayerInfo documentLayer(const QString& name, const QString& doc, qint16 mode = 1) {
    LayerInfo l;
    l.LayerName = name;
    l.QueryMode = mode;
    l.DocFile = doc;
    return l;
}

LayerInfo plainLayer(const QString& name, qint16 mode = 0) {
    LayerInfo l;
    l.LayerName = name;
    l.QueryMode = mode;
    return l;
}

// The link line exactly as the page carries it, for an already escaped address and name.
QString link(const QString& address, const QString& name) {
    return "<a href=\"javascript:window.open('" + address +
           "','','height=500,width=600,resizable,scrollbars,toolbar');window.history.back()\">" +
           name + "</a><BR>";
}

QByteArray page(const QStringList& body) {
    QStringList lines = {"<html>", "<header>", "</header>", "<body>"};
    lines += body;
    lines.append("</body></html>");
    QByteArray out;
    for (const QString& l : lines) {
        out += l.toUtf8() + "\r\n";
    }
    return out;
}

struct PageCase {
    const char* name;
    QString baseDir;
    QVector<LayerInfo> layers;
    QVector<R> found;
    QStringList body;  // the lines between "<body>" and "</body></html>"
    friend void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }
};

class DrillIdPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(DrillIdPageTest, WritesThePageByteForByte) {
    const PageCase& c = GetParam();
    const QByteArray actual = drillIdResultsPage(c.layers, c.baseDir, c.found);
    EXPECT_EQ(actual.toStdString(), page(c.body).toStdString());
}

const QString kBase = "/maps/area1/";

INSTANTIATE_TEST_SUITE_P(
    Pages, DrillIdPageTest,
    ::testing::Values(
        PageCase{"NoQueryableLayer",
                 kBase,
                 {plainLayer("Land"), plainLayer("Coast", -1)},
                 {R::hit("x"), R::hit("y")},
                 {"<BR>", "No layers found."}},
        PageCase{"NoLayersAtAll", kBase, {}, {}, {"<BR>", "No layers found."}},
        // "No layers found." only when nothing was found: attribute hits clear it too.
        PageCase{"AttributeHitsOnlyClearTheClosingLine",
                 kBase,
                 {attributeLayer("Stat areas", "Stat Area"), attributeLayer("Depth", "Depth (m)")},
                 {R::hit("517"), R::hit("120")},
                 {"<B>Stat Area</B>:  517<BR>", "<B>Depth (m)</B>:  120<BR>", "<BR>", ""}},
        PageCase{"DocumentHitClearsTheClosingLine",
                 kBase,
                 {documentLayer("Trawl closure", "closures\\trawl.htm")},
                 {R::hit()},
                 {"<BR>", link("file:///maps/area1/HTML/closures/trawl.htm", "Trawl closure"), ""}},
        PageCase{"AttributeLinesComeBeforeLinksWhateverTheLayerOrder",
                 kBase,
                 {documentLayer("Closure", "c.htm"), plainLayer("Land"), plainLayer("Coast"),
                  attributeLayer("Areas", "Area")},
                 {R::hit(), R::notSearched(), R::notSearched(), R::hit("610")},
                 {"<B>Area</B>:  610<BR>", "<BR>", link("file:///maps/area1/HTML/c.htm", "Closure"),
                  ""}},
        PageCase{"QueryModesOneThreeSevenAreDocumentsTwoIsAttributeZeroAndBelowNeverShown",
                 kBase,
                 {documentLayer("M1", "m1.htm", 1), documentLayer("M3", "m3.htm", 3),
                  documentLayer("M7", "m7.htm", 7), attributeLayer("M2", "Mode two"),
                  plainLayer("M0", 0), plainLayer("Mneg", -1)},
                 {R::hit(), R::hit(), R::hit(), R::hit("v"), R::hit("z"), R::hit("w")},
                 {"<B>Mode two</B>:  v<BR>", "<BR>", link("file:///maps/area1/HTML/m1.htm", "M1"),
                  link("file:///maps/area1/HTML/m3.htm", "M3"),
                  link("file:///maps/area1/HTML/m7.htm", "M7"), ""}},
        // The search reports the value of the first of two overlapping features, once.
        PageCase{"OverlappingFeaturesGiveOneLine",
                 kBase,
                 {attributeLayer("Areas", "Area"), documentLayer("Closure", "c.htm")},
                 {R::hit("first"), R::hit()},
                 {"<B>Area</B>:  first<BR>", "<BR>",
                  link("file:///maps/area1/HTML/c.htm", "Closure"), ""}},
        PageCase{"LayersWithoutHitsOrNotSearchedAreLeftOut",
                 kBase,
                 {attributeLayer("A", "A"), documentLayer("D", "d.htm"), attributeLayer("B", "B"),
                  documentLayer("E", "e.htm")},
                 {R::noHit(), R::notSearched(), R::hit("b")},
                 {"<B>B</B>:  b<BR>", "<BR>", ""}},
        PageCase{"OnlyMissesKeepTheClosingLine",
                 kBase,
                 {attributeLayer("A", "A"), documentLayer("D", "d.htm")},
                 {R::noHit(), R::noHit()},
                 {"<BR>", "No layers found."}},
        PageCase{"EmptyDocFileLinksTheHtmlFolder",
                 kBase,
                 {documentLayer("Folder", "")},
                 {R::hit()},
                 {"<BR>", link("file:///maps/area1/HTML/", "Folder"), ""}},
        PageCase{"BackslashesBecomeSlashesForwardSlashesStay",
                 "C:\\M\\",
                 {documentLayer("Back", "a\\b.pdf"), documentLayer("Fwd", "a/b/c.pdf")},
                 {R::hit(), R::hit()},
                 {"<BR>", link("file:///C:/M/HTML/a/b.pdf", "Back"),
                  link("file:///C:/M/HTML/a/b/c.pdf", "Fwd"), ""}},
        PageCase{
            "MarkupInCaptionValueAndNameIsEscaped",
            kBase,
            {attributeLayer("A", "<i>Fish & Game</i>"),
             documentLayer("Rules \"A\" < B & C", "r.htm")},
            {R::hit("x<y & \"z\""), R::hit()},
            {"<B>&lt;i&gt;Fish &amp; Game&lt;/i&gt;</B>:  x&lt;y &amp; &quot;z&quot;<BR>", "<BR>",
             link("file:///maps/area1/HTML/r.htm", "Rules &quot;A&quot; &lt; B &amp; C"), ""}},
        PageCase{"QuotesInTheDocumentAddressAreEscapedForScriptAndAttribute",
                 "/home/o'brien/maps/",
                 {documentLayer("Q", "it's \"new\" & <old>.pdf")},
                 {R::hit()},
                 {"<BR>",
                  link("file:///home/o\\'brien/maps/HTML/"
                       "it\\'s%2520%2522new%2522%2520&amp;%2520%253Cold%253E.pdf",
                       "Q"),
                  ""}},
        PageCase{"LineBreaksInTheDocumentAddressStayInsideTheScriptString",
                 kBase,
                 {documentLayer("L", "a\rb\nc.htm")},
                 {R::hit()},
                 {"<BR>", link("file:///maps/area1/HTML/a%250Db%250Ac.htm", "L"), ""}},
        PageCase{"MissingAttributeAndNullValue",
                 kBase,
                 {attributeLayer("A", "Depth", "DEPTH_M"), attributeLayer("B", "Name")},
                 {R::missingAttribute(), R::hit(QString())},
                 {"<B>Depth</B>:  (no attribute DEPTH_M)<BR>", "<B>Name</B>:  <BR>", "<BR>", ""}},
        // The escapes of the address are written as "%25": the link's script sees them.
        PageCase{"FolderWithHashAndPercent",
                 "/tmp/maps#1 100%/",
                 {documentLayer("D", "docs\\x.pdf")},
                 {R::hit()},
                 {"<BR>", link("file:///tmp/maps%25231%2520100%2525/HTML/docs/x.pdf", "D"), ""}},
        PageCase{
            "TextOutsideAsciiIsWrittenAsUtf8",
            "/karten/Gew\u00e4sser/",
            {attributeLayer("A", "Zone \u00e9t\u00e9"), documentLayer("R\u00e8gles", "\u00fc.htm")},
            {R::hit("M\u00f8re"), R::hit()},
            {"<B>Zone \u00e9t\u00e9</B>:  M\u00f8re<BR>", "<BR>",
             link("file:///karten/Gew%25C3%25A4sser/HTML/%25C3%25BC.htm", "R\u00e8gles"), ""}}),
    [](const ::testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

struct AddressCase {
    QString baseDir;
    QString docFile;
    QString expected;
    friend void PrintTo(const AddressCase& c, std::ostream* os) {
        *os << c.baseDir.toStdString() << " + " << c.docFile.toStdString();
    }
};

class DocumentAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(DocumentAddressTest, JoinsAndTurnsBackslashes) {
    const AddressCase& c = GetParam();
    EXPECT_EQ(drillIdDocumentAddress(c.baseDir, c.docFile), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, DocumentAddressTest,
    ::testing::Values(AddressCase{"C:\\Maps\\Area1\\", "docs\\closure.pdf",
                                  "file:///C:/Maps/Area1/HTML/docs/closure.pdf"},
                      AddressCase{"C:\\M\\", "a\\b.pdf", "file:///C:/M/HTML/a/b.pdf"},
                      AddressCase{"/m/", "a/b.pdf", "file:///m/HTML/a/b.pdf"},
                      AddressCase{"/m/", "", "file:///m/HTML/"},
                      AddressCase{"/m/", "..\\x.htm", "file:///m/HTML/../x.htm"},
                      // Any folder name: "#", "%", "?" and spaces are escaped.
                      AddressCase{"/tmp/maps#1 100%/", "docs\\x.pdf",
                                  "file:///tmp/maps%231%20100%25/HTML/docs/x.pdf"},
                      AddressCase{"/m/", "a b?.htm", "file:///m/HTML/a%20b%3F.htm"},
                      // An anchor after a document that is not a file of that whole name.
                      AddressCase{"/m/", "rules.htm#area 5", "file:///m/HTML/rules.htm#area%205"}));

}  // namespace
