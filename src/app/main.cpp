#include <QApplication>
#include <QDir>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/AppController.h"
#include "app/QtMessageSink.h"
#include "app/SampleMapLocation.h"
#include "app/SingleInstance.h"
#include "app/StartArguments.h"
#include "app/ViewerApplication.h"
#include "reports/WebPageView.h"

namespace {

// Returns false when the text did not all reach the stream.
bool print(FILE* stream, const QString& text) {
    const bool written = std::fputs(text.toLocal8Bit().constData(), stream) >= 0;
    return std::fflush(stream) == 0 && written && !std::ferror(stream);
}

// Help and version on the standard output: 0, or 1 with the reason on the error stream when
// they could not be written (a full disk, /dev/full).
int printAnswer(const QString& text) {
    if (print(stdout, text)) {
        return 0;
    }
    const int code = errno;
    std::fprintf(stderr, "pelagon: cannot write standard output: %s\n", std::strerror(code));
    return 1;
}

// Help, version and usage errors are answered before Qt starts, so they need no display. Qt's
// own options (-platform, -style, ...) are only known once QApplication has taken them out, so a
// command line with those is read again afterwards.
int answerWithoutWindows(const pelagon::StartArguments& args) {
    switch (args.action) {
        case pelagon::StartArguments::Action::Help:
            return printAnswer(pelagon::startUsage());
        case pelagon::StartArguments::Action::Version:
            return printAnswer(pelagon::startVersion());
        case pelagon::StartArguments::Action::Error:
            print(stderr, QStringLiteral("pelagon: %1\nTry 'pelagon --help'.\n").arg(args.error));
            return 2;
        case pelagon::StartArguments::Action::Run:
            break;
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A write past the file-size limit fails (EFBIG) and is reported where it is made (a saved
    // view, a page, a table), instead of the signal ending the viewer.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw.append(QString::fromLocal8Bit(argv[i]));
    }
    const pelagon::StartArguments early = pelagon::parseStartArguments(raw);
    // Qt's options are words of one dash and several letters; without them an error is final.
    const bool qtOptions = std::any_of(raw.begin() + 1, raw.end(), [](const QString& word) {
        return word.size() > 2 && word.at(0) == QLatin1Char('-') && word.at(1).isLetter();
    });
    if (early.action != pelagon::StartArguments::Action::Run &&
        (early.action != pelagon::StartArguments::Action::Error || !qtOptions)) {
        return answerWithoutWindows(early);
    }

    QApplication app(argc, argv);
    pelagon::configureViewerApplication();

    const pelagon::StartArguments args = pelagon::parseStartArguments(QApplication::arguments());
    if (const int status = answerWithoutWindows(args); status >= 0) {
        return status;
    }
    QString map = args.file;
    if (args.sample) {
        map = pelagon::findSampleMap(QApplication::applicationDirPath());
        if (map.isEmpty()) {
            print(stderr,
                  QStringLiteral("pelagon: the sample map is not installed; looked for:\n  %1\n")
                      .arg(pelagon::sampleMapCandidates(QApplication::applicationDirPath())
                               .join(QStringLiteral("\n  "))));
            return 1;
        }
    }

    // A map for a viewer that is already running goes to it, unless a window of its own was
    // asked for; this viewer then listens for later ones when no other does.
    pelagon::SingleInstance instance(pelagon::SingleInstance::defaultSocketPath());
    const auto started = instance.start(args.newWindow ? QString() : map, 5000, args.positions);
    if (started == pelagon::SingleInstance::Start::HandedOff) {
        return 0;
    }
    if (started == pelagon::SingleInstance::Start::Alone && !instance.errorString().isEmpty()) {
        print(stderr, QStringLiteral("pelagon: other viewers cannot hand maps to this one (%1)\n")
                          .arg(instance.errorString()));
    }

    pelagon::QtMessageSink messages;
    pelagon::AppController controller(messages, pelagon::WebPageView::factory());
    QObject::connect(&instance, &pelagon::SingleInstance::openRequested, &controller,
                     &pelagon::AppController::requestOpen);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &instance,
                     &pelagon::SingleInstance::stop);

    if (!map.isEmpty()) {
        // pelagon PATH.mv opens that map directly, skipping the chooser.
        // --positions files open once the map has.
        QTimer::singleShot(0, &controller, [&controller, map, positions = args.positions] {
            if (controller.openMapFile(map)) {
                controller.openPositions(positions);
            }
        });
    } else {
        controller.showChooser();
    }
    return QApplication::exec();
}
