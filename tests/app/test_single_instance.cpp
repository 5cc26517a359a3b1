#include <gtest/gtest.h>

#include <QDataStream>
#include <QDir>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <future>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/SingleInstance.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

// The viewer that listens runs on this thread's event loop; the later viewer's hand-off blocks,
// so it runs on a thread of its own while the test turns the event loop.
bool handOffWhileServing(const QString& socket, const QString& map, int timeoutMs = 5000,
                         const QStringList& positions = {}) {
    auto result = std::async(std::launch::async, [socket, map, timeoutMs, positions] {
        return SingleInstance::handOff(socket, map, timeoutMs, positions);
    });
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        QTest::qWait(5);
    }
    return result.get();
}

// A socket file with nothing listening: what a viewer that crashed leaves behind.
bool makeStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (fd < 0 || bytes.size() >= int(sizeof(address.sun_path))) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        socket = dir.filePath("viewer.socket");
    }

    QTemporaryDir dir;
    QString socket;
};

TEST_F(SingleInstanceTest, TheFirstListensAndTakesTheMapsOfLaterOnes) {
    SingleInstance first(socket);
    ASSERT_EQ(first.start(QString()), SingleInstance::Start::Listening)
        << first.errorString().toStdString();
    QSignalSpy opened(&first, &SingleInstance::openRequested);

    // Paths as they come: spaces, non-ASCII letters, a line break, a very long one.
    const QStringList maps = {"/maps/Alaska.mv", "/home/me/My maps/Øresund #1/Sjø.mv",
                              "/maps/odd\nname.mv", "/maps/" + QString(3000, 'x') + ".mv"};
    // The positions files to open with each map: none, one, two.
    const auto positionsOf = [](int i) {
        QStringList files;
        for (int k = 0; k < i % 3; ++k) {
            files.append(QStringLiteral("/tracks/vessel %1 #%2.csv").arg(i).arg(k));
        }
        return files;
    };
    for (int i = 0; i < maps.size(); ++i) {
        EXPECT_TRUE(handOffWhileServing(socket, maps.at(i), 5000, positionsOf(i)));
    }
    QTRY_COMPARE(opened.count(), int(maps.size()));
    for (int i = 0; i < maps.size(); ++i) {
        EXPECT_EQ(opened.at(i).at(0).toString(), maps.at(i));
        EXPECT_EQ(opened.at(i).at(1).toStringList(), positionsOf(i));
    }
}

TEST_F(SingleInstanceTest, ALaterViewerHandsOverOrRunsAlone) {
    SingleInstance first(socket);
    ASSERT_EQ(first.start(QString()), SingleInstance::Start::Listening);
    QSignalSpy opened(&first, &SingleInstance::openRequested);

    // A later viewer, started on a thread of its own (its start blocks while this one answers).
    auto later = [this](const QString& map) {
        auto started = std::async(std::launch::async, [this, map] {
            SingleInstance viewer(socket);
            const SingleInstance::Start how = viewer.start(map);
            return std::make_pair(how, viewer.errorString());
        });
        while (started.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            QTest::qWait(5);
        }
        return started.get();
    };

    // Without a map (the chooser, or --new-window) the later one runs alone, quietly.
    const auto alone = later(QString());
    EXPECT_EQ(alone.first, SingleInstance::Start::Alone);
    EXPECT_TRUE(alone.second.isEmpty()) << alone.second.toStdString();
    EXPECT_TRUE(first.isListening());

    EXPECT_EQ(later("/maps/Alaska.mv").first, SingleInstance::Start::HandedOff);
    QTRY_COMPARE(opened.count(), 1);
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashIsReplaced) {
    ASSERT_TRUE(makeStaleSocket(socket));
    EXPECT_FALSE(SingleInstance::handOff(socket, "/maps/Alaska.mv", 1000));

    SingleInstance viewer(socket);
    EXPECT_EQ(viewer.start("/maps/Alaska.mv", 1000), SingleInstance::Start::Listening)
        << viewer.errorString().toStdString();
    QSignalSpy opened(&viewer, &SingleInstance::openRequested);
    EXPECT_TRUE(handOffWhileServing(socket, "/maps/Other.mv"));
    QTRY_COMPARE(opened.count(), 1);

    // Stopping removes the socket: the next viewer starts cleanly.
    viewer.stop();
    EXPECT_FALSE(QFileInfo::exists(socket));
}

TEST_F(SingleInstanceTest, NothingListeningMeansNoHandOff) {
    EXPECT_FALSE(SingleInstance::handOff(socket, "/maps/Alaska.mv", 1000));
}

struct ForeignCase {
    const char* name;
    QByteArray bytes;
};

QByteArray request(quint32 magic, quint16 version, const QString& command, const QString& map) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << magic << version << command << map;
    return bytes;
}

class ForeignRequestTest : public SingleInstanceTest,
                           public ::testing::WithParamInterface<ForeignCase> {};

TEST_P(ForeignRequestTest, IsRefusedAndTheViewerGoesOn) {
    SingleInstance viewer(socket);
    ASSERT_EQ(viewer.start(QString()), SingleInstance::Start::Listening);
    QSignalSpy opened(&viewer, &SingleInstance::openRequested);

    QLocalSocket peer;
    peer.connectToServer(socket);
    ASSERT_TRUE(peer.waitForConnected(1000));
    peer.write(GetParam().bytes);
    peer.flush();
    // The viewer drops the peer without an answer.
    QTRY_COMPARE(peer.state(), QLocalSocket::UnconnectedState);
    EXPECT_EQ(peer.bytesAvailable(), 0);
    EXPECT_EQ(opened.count(), 0);

    EXPECT_TRUE(handOffWhileServing(socket, "/maps/Alaska.mv"));
    QTRY_COMPARE(opened.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForeignRequestTest,
    ::testing::Values(ForeignCase{"text", QByteArray("GET / HTTP/1.0\r\n\r\n")},
                      ForeignCase{"wrong_magic", request(0x12345678, 1, "open", "/maps/A.mv")},
                      ForeignCase{"newer_version", request(0x504C474E, 2, "open", "/maps/A.mv")},
                      ForeignCase{"other_command", request(0x504C474E, 1, "quit", "/maps/A.mv")},
                      ForeignCase{"relative_path", request(0x504C474E, 1, "open", "A.mv")},
                      ForeignCase{"empty_path", request(0x504C474E, 1, "open", "")},
                      ForeignCase{"endless", QByteArray(200 * 1024, 'x')},
                      ForeignCase{"claims_a_huge_map",
                                  [] {
                                      // A sound header, then a path said to be 2 GB long that never
                                      // ends.
                                      QByteArray bytes = request(0x504C474E, 1, "open", "");
                                      bytes.chop(4);
                                      QDataStream out(&bytes, QIODevice::Append);
                                      out << quint32(0x7FFFFFFE);
                                      return bytes + QByteArray(200 * 1024, 'y');
                                  }()}),
    [](const ::testing::TestParamInfo<ForeignCase>& info) { return std::string(info.param.name); });

}  // namespace
