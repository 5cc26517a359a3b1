#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace pelagon::cli {

// One record of a CSV text.
struct CsvRecord {
    int line = 0;  // 1-based line on which the record begins
    QStringList fields;
    QString error;  // why the record cannot be read; empty when it can

    bool isBlank() const { return error.isEmpty() && fields.size() == 1 && fields[0].isEmpty(); }
};

// Splits a CSV text into records: fields separated by commas, records ended by CR LF, LF or CR,
// a field in double quotes may hold commas, line breaks and doubled quotes. A quote inside an
// unquoted field is taken as it is. A record with text after a closing quote, or a quote that is
// never closed, gets an error; it is the line it starts on, and the reading resumes on the next
// line. An empty line is a blank record.
QList<CsvRecord> parseCsv(const QString& text);

// A field as RFC 4180 writes it: in double quotes, with its quotes doubled, when it holds a
// comma, a quote or a line break; as it is otherwise.
QString csvField(const QString& field);
// The fields joined by commas and ended by CR LF.
QString csvLine(const QStringList& fields);

}  // namespace pelagon::cli
