#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace pelagon {

// One viewer per user and display: the first viewer listens on a local socket in the user's
// runtime folder; a later `pelagon MAP.mv` hands the map to it and ends.
//
// The exchange: the new viewer sends a header (magic, version), the word "open", the map's
// absolute path and the absolute paths of the positions files to open with it through a
// QDataStream; the running viewer answers one byte, 1, once it has taken
// the request, and opens the map afterwards. A socket left behind by a viewer that crashed is
// noticed (nothing answers on it) and replaced. A lock file keeps two viewers that start at the
// same moment from both deciding to listen.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Start {
        HandedOff,  // a running viewer took the map: this process should end
        Listening,  // this viewer now answers later ones
        Alone,      // neither: another viewer holds the socket but did not take the map, or the
                    // socket cannot be made; this viewer runs on its own
    };

    // socketPath: a file path; defaultSocketPath() in the program, a scratch folder in tests.
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of this user on this display: in the user's runtime folder (XDG_RUNTIME_DIR),
    // named after the program and the display.
    static QString defaultSocketPath();

    // Hands map (an absolute path; empty: nothing to hand over) to a running viewer, and when none
    // takes it, starts listening. timeoutMs bounds each wait for the running viewer.
    Start start(const QString& map, int timeoutMs = 5000, const QStringList& positions = {});

    // Sends map (and positions files to open with it) to the viewer listening on socketPath;
    // true when it answered that it took it.
    static bool handOff(const QString& socketPath, const QString& map, int timeoutMs,
                        const QStringList& positions = {});

    bool isListening() const;
    QString socketPath() const { return socketPath_; }
    // Why start() could not listen, for a message; empty when it listens or another viewer does.
    QString errorString() const { return error_; }

    // Stops answering: later viewers run on their own. Called when the program ends.
    void stop();

signals:
    // A later viewer asked to open map (absolute path) and, with it, positions files.
    void openRequested(const QString& map, const QStringList& positions);

private:
    bool listen();
    void accept();
    void read(QLocalSocket* socket);

    QString socketPath_;
    QLocalServer* server_ = nullptr;
    QString error_;
};

}  // namespace pelagon
