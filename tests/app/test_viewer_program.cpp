// The viewer as a program: its command line, its message boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include "app/QtMessageSink.h"
#include "common/ProgramInfo.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

// --help and --version answer on standard output and exit 0, without a display.
TEST(ViewerProgram, HelpAndVersionNeedNoDisplay) {
    struct Case {
        QString arg;
        QString out;
    };
    const std::vector<Case> cases = {
        {"--help", "Usage: pelagon "},
        {"--version", "pelagon " + programVersion() + "\n"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    for (const Case& c : cases) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PELAGON_VIEWER_EXE), {c.arg});
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << c.arg.toStdString() << "\n"
                                   << p.readAllStandardError().toStdString();
        EXPECT_TRUE(out.startsWith(c.out)) << out.toStdString();
        EXPECT_FALSE(out.contains("does not exist"));
    }
}

// Message boxes show texts from files as they are written, never as markup.
TEST(ViewerMessages, BoxesShowPlainText) {
    const QString text = QStringLiteral("Could not find layer:  <b>zones</b> & <i>more</i>");
    QtMessageSink sink;
    QString seenTitle;
    Qt::TextFormat seenFormat = Qt::AutoText;
    QString seenLabel;
    bool found = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            found = true;
            seenTitle = box->windowTitle();
            seenFormat = box->textFormat();
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                seenLabel = label->textFormat() == Qt::PlainText ? label->text() : QString();
            }
            box->accept();
        }
    });
    sink.error(QString(), text);
    ASSERT_TRUE(found);
    EXPECT_EQ(seenTitle, programName());
    EXPECT_EQ(seenFormat, Qt::PlainText);
    EXPECT_EQ(seenLabel, text);
}

}  // namespace
