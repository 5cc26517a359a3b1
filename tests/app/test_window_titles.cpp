// The windows' titles as the window system shows them: exactly the program's own, with nothing
// appended. Runs on a real X display and reads the title property the window manager reads.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <memory>

#include "app/AppController.h"
#include "app/ViewerApplication.h"
#include "reports/FakePageView.h"
#include "support/QStringPrinter.h"
#include "support/RecordingMessageSink.h"
#include "support/SampleMap.h"

using namespace pelagon;

namespace {

// The window's _NET_WM_NAME as the X server holds it.
QString windowManagerTitle(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || window->windowHandle() == nullptr) {
        return QStringLiteral("<no X11 window>");
    }
    xcb_connection_t* c = x11->connection();
    auto atom = [c](const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
            xcb_intern_atom_reply(
                c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr),
            &free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    const xcb_atom_t name = atom("_NET_WM_NAME");
    const xcb_atom_t utf8 = atom("UTF8_STRING");
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(
            c,
            xcb_get_property(c, 0, static_cast<xcb_window_t>(window->windowHandle()->winId()), name,
                             utf8, 0, 4096),
            nullptr),
        &free);
    if (!reply) {
        return QStringLiteral("<no title>");
    }
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
}

TEST(WindowTitles, ExactlyTheProgramsOwn) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        GTEST_SKIP() << "needs an X display, not " << QGuiApplication::platformName().toStdString();
    }
    configureViewerApplication();
    test::SampleMapCopy sample;
    ASSERT_TRUE(sample.isValid());
    const QString savedCwd = QDir::currentPath();
    test::RecordingMessageSink messages;
    test::FakePageViews pages;
    auto controller = std::make_unique<AppController>(messages, pages.factory());

    controller->showChooser();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->chooser()));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return windowManagerTitle(controller->chooser()) ==
                   QStringLiteral("Brenta Dudadiruz Pelagon -- Select a Map");
        },
        5000))
        << windowManagerTitle(controller->chooser()).toStdString();

    ASSERT_TRUE(controller->openMapFile(sample.definition()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->frame()));
    const QString expected = QStringLiteral("Dudadiruz Pelagon: ") + sample.definition();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return windowManagerTitle(controller->frame()) == expected; }, 5000))
        << windowManagerTitle(controller->frame()).toStdString();
    controller.reset();
    QDir::setCurrent(savedCwd);
}

}  // namespace
