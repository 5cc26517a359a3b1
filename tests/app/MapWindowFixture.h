#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <QToolButton>

#include "app/AppController.h"
#include "canvas/MapCanvas.h"
#include "reports/FakePageView.h"
#include "support/RecordingMessageSink.h"
#include "support/SampleMap.h"
#include "tools/MapToolbar.h"

namespace pelagon::test {

// The viewer on a private copy of the sample map, with fake page views and recorded messages.
class MapWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sample.isValid());
        savedCwd = QDir::currentPath();
    }
    void TearDown() override {
        controller.reset();
        QDir::setCurrent(savedCwd);
    }

    void open() { open(sample.definition()); }

    // Opens another definition, for example one written beside the sample's.
    void open(const QString& definition) {
        controller = std::make_unique<AppController>(messages, pages.factory());
        controller->setEndProgram([this](int code) { endedWith = code; });
        ASSERT_TRUE(controller->openMapFile(definition))
            << messages.texts().join("\n").toStdString();
        map = controller->mapform();
        canvas = map->theMap;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(canvas));
    }

    void writeFile(const QString& name, const QByteArray& bytes) {
        QFile f(sample.folder() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    // Clicks the toolbar button with this key.
    void click(const QString& key) {
        const int index = map->theToolbar->indexOfKey(key);
        ASSERT_GT(index, 0) << key.toStdString();
        QTest::mouseClick(map->theToolbar->button(index), Qt::LeftButton);
    }

    // The window position of a map point on the canvas.
    QPoint at(MapPoint p) const { return canvas->toWindowPoint(p).toPoint(); }

    SampleMapCopy sample;
    QString savedCwd;
    RecordingMessageSink messages;
    FakePageViews pages;
    std::unique_ptr<AppController> controller;
    Mapform* map = nullptr;
    MapCanvas* canvas = nullptr;
    int endedWith = -1;
};

}  // namespace pelagon::test
