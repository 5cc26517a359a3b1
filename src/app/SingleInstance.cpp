#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace pelagon {

namespace {

constexpr quint32 kMagic = 0x504C474E;  // "PLGN"
constexpr quint16 kProtocolVersion = 2;  // 2: positions files follow the map
const QString kOpen = QStringLiteral("open");
// A request is a few hundred bytes; more than this is not one of ours.
constexpr qint64 kMaxRequest = 64 * 1024;
// A peer that connects and never finishes its request is dropped after this long.
constexpr int kPeerTimeoutMs = 10000;
constexpr char kTaken = 1;

QDataStream& withVersion(QDataStream& stream) {
    stream.setVersion(QDataStream::Qt_6_0);
    return stream;
}

}  // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    stop();
}

QString SingleInstance::defaultSocketPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    // Viewers on different displays of the same user stay apart: a map opened on one screen
    // does not appear on another.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
    }
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    display.replace(unsafe, QStringLiteral("_"));
    QString name = QStringLiteral("org.dudadiruz.Pelagon");
    if (!display.isEmpty()) {
        name += QLatin1Char('-') + display;
    }
    return folder + QLatin1Char('/') + name + QStringLiteral(".socket");
}

SingleInstance::Start SingleInstance::start(const QString& map, int timeoutMs,
                                            const QStringList& positions) {
    // Two viewers started together take turns: the second one finds the first listening.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    const bool locked = lock.tryLock(timeoutMs);
    if (!map.isEmpty() && handOff(socketPath_, map, timeoutMs, positions)) {
        return Start::HandedOff;
    }
    const bool listening = listen();
    if (locked) {
        lock.unlock();
    }
    return listening ? Start::Listening : Start::Alone;
}

bool SingleInstance::handOff(const QString& socketPath, const QString& map, int timeoutMs,
                             const QStringList& positions) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    withVersion(out) << kMagic << kProtocolVersion << kOpen << map << positions;
    if (request.size() > kMaxRequest) {
        return false;  // too many files to hand over: this viewer opens them itself
    }
    socket.write(request);
    const QDeadlineTimer deadline(timeoutMs);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) {
            return false;
        }
    }
    // The answer may already be here when the viewer has closed the connection.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) {
            break;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
}

bool SingleInstance::listen() {
    error_.clear();
    // A live viewer answers on the socket: run alongside it (it did not take the map, or there
    // was none to give). Anything else there was left by a viewer that ended without removing
    // it. The check comes first because a server with access options replaces whatever file is
    // in its place; the lock file keeps another viewer from listening in between.
    QLocalSocket probe;
    probe.connectToServer(socketPath_);
    if (probe.waitForConnected(1000)) {
        return false;
    }
    QLocalServer::removeServer(socketPath_);
    auto server = std::make_unique<QLocalServer>(this);
    // Only this user may connect (the runtime folder is private as well).
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath_)) {
        error_ = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(socketPath_),
                                              server->errorString());
        return false;
    }
    connect(server.get(), &QLocalServer::newConnection, this, [this] { accept(); });
    server_ = server.release();
    return true;
}

bool SingleInstance::isListening() const {
    return server_ != nullptr && server_->isListening();
}

void SingleInstance::stop() {
    if (server_ != nullptr) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kPeerTimeoutMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0) {
            read(socket);
        }
    }
}

void SingleInstance::read(QLocalSocket* socket) {
    if (socket->bytesAvailable() > kMaxRequest) {
        socket->abort();
        return;
    }
    QDataStream in(socket);
    withVersion(in);
    in.startTransaction();
    quint32 magic = 0;
    quint16 version = 0;
    in >> magic >> version;
    if (in.status() == QDataStream::Ok && (magic != kMagic || version != kProtocolVersion)) {
        in.abortTransaction();
        socket->abort();
        return;
    }
    QString command;
    QString map;
    QStringList positions;
    in >> command >> map >> positions;
    if (!in.commitTransaction()) {
        return;  // the rest has not arrived yet
    }
    const bool absolute = std::all_of(positions.begin(), positions.end(), [](const QString& p) {
        return !p.isEmpty() && QDir::isAbsolutePath(p);
    });
    if (command != kOpen || map.isEmpty() || !QDir::isAbsolutePath(map) || !absolute) {
        socket->abort();
        return;
    }
    socket->putChar(kTaken);
    socket->flush();
    socket->disconnectFromServer();
    // Opened from the event loop, not from inside the socket's signal.
    QMetaObject::invokeMethod(
        this, [this, map, positions] { emit openRequested(map, positions); },
        Qt::QueuedConnection);
}

}  // namespace pelagon
