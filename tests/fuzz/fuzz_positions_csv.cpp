// The positions table of `pelagon-cli query --csv` on any bytes, against the sample map: rows
// that cannot be read are reported and left out, and the output is a table of whole rows.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzCheck.h"
#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/Csv.h"
#include "cli/HeadlessMap.h"
#include "cli/QueryCommand.h"

namespace {

struct Session {
    QBuffer in, out, err;
    std::unique_ptr<pelagon::cli::CliContext> context;
    std::unique_ptr<pelagon::cli::HeadlessMap> map;
    int columns = 0;
};

Session* session = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    session = new Session;
    session->out.open(QIODevice::WriteOnly);
    session->err.open(QIODevice::WriteOnly);
    session->context = std::make_unique<pelagon::cli::CliContext>(
        pelagon::cli::CliContext{session->out, session->err, &session->in, QString()});
    session->map = std::make_unique<pelagon::cli::HeadlessMap>(*session->context);
    session->map->open(QStringLiteral(PELAGON_SAMPLE_DIR "/Alaska.mv"));
    session->map->loadLayers();
    session->map->readProjection();
    session->columns = 5;
    for (const pelagon::LayerInfo& r : session->map->LayerInfos) {
        session->columns += r.QueryMode > 0 ? 1 : 0;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The bytes arrive as standard input ("-"), the table leaves as standard output.
    session->in.close();
    session->in.setData(bytes);
    session->in.open(QIODevice::ReadOnly);
    for (QBuffer* b : {&session->out, &session->err}) {
        b->close();
        b->setData(QByteArray());
        b->open(QIODevice::WriteOnly);
    }
    pelagon::cli::BatchSettings settings;
    settings.tolerance = 5000.0;
    settings.threads = 1;
    try {
        pelagon::cli::queryPositions(*session->map, QStringLiteral("-"), QStringLiteral("-"),
                                     settings, *session->context);
    } catch (const pelagon::cli::InputError& e) {
        // One line that names the input.
        FUZZ_CHECK(e.message().contains(QStringLiteral("standard input")));
        FUZZ_CHECK(!e.message().contains(QLatin1Char('\n')));
        return 0;
    }
    const QByteArray table = session->out.data();
    // Every row of the table has every column; every message names the input and a line.
    const QList<pelagon::cli::CsvRecord> rows = pelagon::cli::parseCsv(QString::fromUtf8(table));
    FUZZ_CHECK(!rows.isEmpty());
    for (const pelagon::cli::CsvRecord& row : rows) {
        if (row.isBlank() && &row == &rows.back()) {
            continue;  // the line break after the last row
        }
        FUZZ_CHECK(row.error.isEmpty());
        FUZZ_CHECK(row.fields.size() == session->columns);
    }
    // The last message counts the rows: those read are the table's rows below its header.
    QStringList messages =
        QString::fromUtf8(session->err.buffer()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    FUZZ_CHECK(!messages.isEmpty());
    static const QRegularExpression count(
        QStringLiteral("^([0-9,]+) rows? read, ([0-9,]+) left out$"));
    const QRegularExpressionMatch counted = count.match(messages.takeLast());
    FUZZ_CHECK(counted.hasMatch());
    qsizetype tableRows = 0;
    for (const pelagon::cli::CsvRecord& row : rows) {
        tableRows += row.isBlank() ? 0 : 1;
    }
    FUZZ_CHECK(counted.captured(1).remove(QLatin1Char(',')).toLongLong() == tableRows - 1);
    // A row's message names the input and its line; a notice about the whole table (columns
    // that look like degrees) names the input.
    for (const QString& m : messages) {
        FUZZ_CHECK(m.startsWith(QStringLiteral("standard input, line ")) ||
                   m.startsWith(QStringLiteral("standard input: ")));
    }
    return 0;
}
