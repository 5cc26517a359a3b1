// The results window and the help window over the real web engine: a query page written by the
// page writer, its document links (an HTML page and a PDF) opening document windows, the page
// view's own home page, and anchors within a page.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QPainter>
#include <QPdfWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <memory>

#include "help/HelpBrowser.h"
#include "help/HelpCommand.h"
#include "reports/DocumentWindow.h"
#include "reports/DrillIdPage.h"
#include "reports/DrillIdPageFile.h"
#include "reports/EngineView.h"
#include "reports/QtPrinters.h"
#include "reports/TheBrowserForm.h"
#include "reports/WebPageView.h"

using namespace pelagon;

namespace {

constexpr int kLoadTimeoutMs = 60000;

// Waits in a running event loop until the condition holds. The engine does its work in the
// program's event loop, so a wait that sleeps between rounds (QTest::qWaitFor) slows it badly.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = kLoadTimeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void writePdf(const QString& path) {
    QPdfWriter pdf(path);
    QPainter p(&pdf);
    p.drawText(200, 200, QStringLiteral("Trawl closure rules"));
}

// Runs a script in a page and waits for its result.
QVariant evaluate(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!waitUntil([&] { return done; })) {
        return QStringLiteral("<no answer from the page>");
    }
    return result;
}

class WebEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // A map folder whose name carries a quote, as some users' home folders do.
        folder = QDir(dir.path()).canonicalPath() + "/o'brien maps";
        baseDir = folder + "/";
        writeFile(baseDir + "HTML/closures/trawl.htm",
                  "<html><head><title>Trawl closure</title></head><body>Closed to trawling."
                  "</body></html>");
        QDir().mkpath(baseDir + "HTML/docs");
        writePdf(baseDir + "HTML/docs/rules.pdf");
        writeFile(baseDir + "HTML/MapHelp.htm",
                  "<html><head><title>Map help</title></head><body>"
                  "<h1 id=\"Top\">Help</h1><div style=\"height:3000px\"></div>"
                  "<h2 id=\"FishTool\">Fish Tool</h2><div style=\"height:3000px\"></div>"
                  "<h2 id=\"Other\">Other</h2><div style=\"height:3000px\"></div></body></html>");

        area = std::make_unique<QMdiArea>();
        area->resize(1500, 1000);
        area->show();
    }

    void TearDown() override {
        area.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QList<DocumentWindow*> documentWindows() const {
        return area->findChildren<DocumentWindow*>(Qt::FindDirectChildrenOnly);
    }

    QTemporaryDir dir;
    QString folder;
    QString baseDir;
    std::unique_ptr<QMdiArea> area;
};

TEST_F(WebEngineTest, QueryPageShowsAndItsDocumentLinksOpenDocumentWindows) {
    auto doc = [](const QString& name, const QString& file, qint16 mode) {
        LayerInfo l;
        l.LayerName = name;
        l.QueryMode = mode;
        l.DocFile = file;
        return l;
    };
    LayerInfo area517;
    area517.LayerName = "Stat areas";
    area517.QueryMode = 2;
    area517.AttrCaption = "Stat Area";
    area517.AttrField = "AREA";
    const QVector<LayerInfo> layers = {doc("Trawl closure", "closures\\trawl.htm", 1),
                                       doc("Closure rules", "docs/rules.pdf", 3), area517};
    const QByteArray page = drillIdResultsPage(
        layers, baseDir,
        {LayerQueryResult::hit(), LayerQueryResult::hit(), LayerQueryResult::hit("Côte 517")});
    const SavedPage saved = saveDrillIdResultsPage(page, folder);
    ASSERT_TRUE(saved.saved()) << saved.message().toStdString();
    ASSERT_FALSE(saved.inFallbackFolder);

    auto* form = new TheBrowserForm(area.get(), WebPageView::factory());
    form->StartingAddress = saved.path;
    form->open();
    form->setOuterSizeTwips(5000, 6000);
    auto* view = dynamic_cast<WebPageView*>(form->theBrowser());
    ASSERT_NE(view, nullptr);

    // The caption shows "Working..." while loading, then the page's name.
    ASSERT_TRUE(waitUntil([&] { return form->windowTitle() == "drillID_results.htm"; }))
        << form->windowTitle().toStdString();
    EXPECT_TRUE(waitUntil([&] { return !form->timTimer()->isActive(); }));
    EXPECT_EQ(view->currentAddress(), QUrl::fromLocalFile(saved.path).toString());

    // The page is read as UTF-8.
    QWebEnginePage* results = view->engine()->page();
    EXPECT_TRUE(evaluate(results, "document.body.innerText").toString().contains("Côte 517"));
    EXPECT_EQ(evaluate(results, "document.links.length").toInt(), 2);

    // The HTML document opens in a new window 600 by 500 pixels of page.
    evaluate(results, "document.links[0].click(); true");
    ASSERT_TRUE(waitUntil([&] { return documentWindows().size() == 1; }));
    DocumentWindow* htmlWindow = documentWindows().first();
    ASSERT_TRUE(waitUntil([&] { return htmlWindow->view()->title() == "Trawl closure"; }))
        << htmlWindow->view()->title().toStdString();
    EXPECT_EQ(htmlWindow->view()->url(), QUrl::fromLocalFile(baseDir + "HTML/closures/trawl.htm"));
    EXPECT_TRUE(htmlWindow->isVisible());
    EXPECT_EQ(htmlWindow->view()->size(), QSize(600, 500));
    EXPECT_TRUE(waitUntil([&] { return htmlWindow->windowTitle() == "Trawl closure"; }))
        << htmlWindow->windowTitle().toStdString();

    // The results page stays where it was.
    EXPECT_EQ(view->currentAddress(), QUrl::fromLocalFile(saved.path).toString());
    EXPECT_EQ(form->windowTitle(), "drillID_results.htm");

    // The PDF opens in the engine's own viewer in a second window.
    evaluate(results, "document.links[1].click(); true");
    ASSERT_TRUE(waitUntil([&] { return documentWindows().size() == 2; }));
    DocumentWindow* pdfWindow = documentWindows().last() == htmlWindow ? documentWindows().first()
                                                                       : documentWindows().last();
    ASSERT_TRUE(waitUntil([&] { return pdfWindow->view()->title() == "rules.pdf"; }))
        << pdfWindow->view()->title().toStdString();
    EXPECT_EQ(pdfWindow->view()->url(), QUrl::fromLocalFile(baseDir + "HTML/docs/rules.pdf"));
    // Shown, not handed to a download: the viewer's page has a size of its own.
    EXPECT_TRUE(waitUntil([&] { return !pdfWindow->view()->page()->contentsSize().isEmpty(); }));

    // A new query closes the results window; the document windows stay.
    form->close();
    EXPECT_EQ(documentWindows().size(), 2);
}

// A map folder whose name holds "#", "%" and a space: the query page's links still open their
// documents, a "#" in a document's own name included.
TEST_F(WebEngineTest, DocumentLinksWorkWhateverTheFolderIsCalled) {
    const QString odd = QDir(dir.path()).canonicalPath() + "/maps#1 100%";
    writeFile(odd + "/HTML/docs/rule#2.htm",
              "<html><head><title>Rule two</title></head><body>Two.</body></html>");
    writeFile(odd + "/HTML/plain.htm",
              "<html><head><title>Plain rule</title></head><body>One.</body></html>");
    auto doc = [](const QString& name, const QString& file) {
        LayerInfo l;
        l.LayerName = name;
        l.QueryMode = 1;
        l.DocFile = file;
        return l;
    };
    const QByteArray page =
        drillIdResultsPage({doc("Rule two", "docs\\rule#2.htm"), doc("Plain", "plain.htm")},
                           odd + "/", {LayerQueryResult::hit(), LayerQueryResult::hit()});
    const SavedPage saved = saveDrillIdResultsPage(page, odd);
    ASSERT_TRUE(saved.saved() && !saved.inFallbackFolder) << saved.message().toStdString();

    auto* form = new TheBrowserForm(area.get(), WebPageView::factory());
    form->StartingAddress = saved.path;
    form->open();
    auto* view = dynamic_cast<WebPageView*>(form->theBrowser());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitUntil([&] { return form->windowTitle() == "drillID_results.htm"; }))
        << form->windowTitle().toStdString();
    QWebEnginePage* results = view->engine()->page();
    ASSERT_EQ(evaluate(results, "document.links.length").toInt(), 2);

    const struct {
        int link;
        const char* title;
        QString file;
    } cases[] = {{0, "Rule two", odd + "/HTML/docs/rule#2.htm"},
                 {1, "Plain rule", odd + "/HTML/plain.htm"}};
    for (const auto& c : cases) {
        const int before = static_cast<int>(documentWindows().size());
        evaluate(results, QStringLiteral("document.links[%1].click(); true").arg(c.link));
        ASSERT_TRUE(waitUntil([&] { return documentWindows().size() == before + 1; }));
        DocumentWindow* window = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            for (DocumentWindow* w : documentWindows()) {
                if (w->view()->title() == c.title) {
                    window = w;
                    return true;
                }
            }
            return false;
        })) << c.title;
        EXPECT_EQ(window->view()->url(), QUrl::fromLocalFile(c.file)) << c.title;
    }
}

TEST_F(WebEngineTest, HelpOpensOnItsAnchorFollowsAnchorsAndGoesHome) {
    auto* help = new HelpBrowser(area.get(), WebPageView::factory());
    showHelp(*help, baseDir);
    const QString startUrl = QUrl::fromLocalFile(baseDir + "HTML/MapHelp.htm").toString();
    EXPECT_EQ(help->cboAddress()->currentText(), baseDir + "HTML/MapHelp.htm#FishTool");
    ASSERT_TRUE(waitUntil([&] { return help->windowTitle() == "Map help"; }))
        << help->windowTitle().toStdString();
    ASSERT_TRUE(waitUntil([&] { return help->cboAddress()->count() == 2; }));
    EXPECT_EQ(help->cboAddress()->itemText(0), startUrl + "#FishTool");
    EXPECT_EQ(help->cboAddress()->itemText(1), baseDir + "HTML/MapHelp.htm#FishTool");

    // Another anchor of the same page: nothing loads, and the window does not stay "Working...".
    QLineEdit* edit = help->cboAddress()->lineEdit();
    edit->setText(startUrl + "#Other");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return help->cboAddress()->itemText(0) == startUrl + "#Other"; }));
    EXPECT_TRUE(waitUntil([&] { return !help->timTimer()->isActive(); }));
    EXPECT_FALSE(help->brwWebBrowser()->busy());
    EXPECT_NE(help->windowTitle(), "Working...");

    // Home is the page view's own start page, compiled into the program.
    help->tbToolBar_ButtonClick("Home");
    ASSERT_TRUE(waitUntil([&] { return help->windowTitle() == "Dudadiruz Pelagon"; }))
        << help->windowTitle().toStdString();
    EXPECT_EQ(help->brwWebBrowser()->currentAddress(), WebPageView::homeAddress());
    help->tbToolBar_ButtonClick("Search");
    ASSERT_TRUE(waitUntil([&] { return help->windowTitle() == "Search"; }));
    help->tbToolBar_ButtonClick("Back");
    ASSERT_TRUE(waitUntil([&] { return help->windowTitle() == "Dudadiruz Pelagon"; }));
    EXPECT_FALSE(help->brwWebBrowser()->busy());
}

}  // namespace
