#include "cli/Csv.h"

namespace pelagon::cli {

namespace {

class CsvReader {
public:
    explicit CsvReader(const QString& text) : text_(text) {}

    QList<CsvRecord> readAll() {
        QList<CsvRecord> records;
        while (i_ < text_.size()) {
            records.append(readRecord());
        }
        return records;
    }

private:
    bool at(QChar c) const { return i_ < text_.size() && text_.at(i_) == c; }
    bool atLineEnd() const { return i_ >= text_.size() || at(u'\r') || at(u'\n'); }

    void endLine() {
        if (at(u'\r')) {
            ++i_;
        }
        if (at(u'\n')) {
            ++i_;
        }
        ++line_;
    }

    void skipRestOfLine() {
        while (!atLineEnd()) {
            ++i_;
        }
        endLine();
    }

    // A broken record is the line it starts on: a quote left open must not swallow the rows
    // after it. The reading resumes on the next line.
    CsvRecord skipBrokenRecord(CsvRecord& record, qsizetype recordStart) {
        i_ = recordStart;
        line_ = record.line;
        skipRestOfLine();
        record.fields.clear();
        return record;
    }

    CsvRecord readRecord() {
        CsvRecord record;
        record.line = line_;
        const qsizetype recordStart = i_;
        while (true) {
            QString field;
            if (at(u'"')) {
                ++i_;
                bool closed = false;
                while (i_ < text_.size()) {
                    const QChar c = text_.at(i_);
                    if (c == u'"') {
                        if (i_ + 1 < text_.size() && text_.at(i_ + 1) == u'"') {
                            field += c;
                            i_ += 2;
                            continue;
                        }
                        ++i_;
                        closed = true;
                        break;
                    }
                    if (c == u'\n' ||
                        (c == u'\r' && !(i_ + 1 < text_.size() && text_.at(i_ + 1) == u'\n'))) {
                        ++line_;
                    }
                    field += c;
                    ++i_;
                }
                if (!closed) {
                    record.error = QStringLiteral("the quote that opens field %1 is never closed")
                                       .arg(record.fields.size() + 1);
                    return skipBrokenRecord(record, recordStart);
                }
                if (!atLineEnd() && !at(u',')) {
                    record.error =
                        line_ == record.line
                            ? QStringLiteral("text follows the closing quote of field %1")
                                  .arg(record.fields.size() + 1)
                            : QStringLiteral(
                                  "the quote that opens field %1 is closed only on "
                                  "line %2, and text follows it")
                                  .arg(record.fields.size() + 1)
                                  .arg(line_);
                    return skipBrokenRecord(record, recordStart);
                }
            } else {
                while (!atLineEnd() && !at(u',')) {
                    field += text_.at(i_++);
                }
            }
            record.fields.append(field);
            if (at(u',')) {
                ++i_;
                continue;
            }
            endLine();
            return record;
        }
    }

    const QString& text_;
    qsizetype i_ = 0;
    int line_ = 1;
};

}  // namespace

QList<CsvRecord> parseCsv(const QString& text) {
    return CsvReader(text).readAll();
}

QString csvField(const QString& field) {
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\r') &&
        !field.contains(u'\n')) {
        return field;
    }
    QString quoted = field;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& f : fields) {
        out.append(csvField(f));
    }
    return out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

}  // namespace pelagon::cli
