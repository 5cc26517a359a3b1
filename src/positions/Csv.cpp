#include "positions/Csv.h"

#include <QIODevice>

#include <algorithm>

#include "common/TextFile.h"

namespace pelagon::positions {

namespace {

constexpr qsizetype kBlockBytes = qsizetype(1) << 16;

bool isAscii(QByteArrayView bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

QString megabytes(qsizetype bytes) {
    return QString::number(static_cast<double>(bytes) / (1 << 20), 'g', 3);
}

}  // namespace

QString CsvRawRecord::text(int i) const {
    const QByteArrayView bytes = field(i);
    if (isAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    return decodeText(bytes.toByteArray());
}

CsvReader::CsvReader(QIODevice& device, qsizetype maxRecordBytes)
    : device_(&device), maxRecordBytes_(std::max<qsizetype>(16, maxRecordBytes)) {}

CsvReader::CsvReader(QByteArray bytes, qsizetype maxRecordBytes)
    : buffer_(std::move(bytes)),
      atEnd_(true),
      maxRecordBytes_(std::max<qsizetype>(16, maxRecordBytes)) {}

bool CsvReader::readFailed(QString* why) const {
    if (why != nullptr) {
        *why = readError_;
    }
    return !readError_.isEmpty();
}

bool CsvReader::fill() {
    if (atEnd_) {
        return false;
    }
    // Drop what has been read; read at least as much again as is held, so that a record that
    // needs many reads is parsed anew only a logarithmic number of times.
    if (pos_ > 0) {
        buffer_.remove(0, pos_);
        consumed_ += pos_;
        pos_ = 0;
    }
    const qsizetype want = std::max(kBlockBytes, buffer_.size());
    const qsizetype old = buffer_.size();
    buffer_.resize(old + want);
    const qint64 got = device_->read(buffer_.data() + old, want);
    if (got <= 0) {
        buffer_.resize(old);
        atEnd_ = true;
        if (got < 0) {
            readError_ = device_->errorString();
        }
        return false;
    }
    buffer_.resize(old + got);
    return true;
}

bool CsvReader::next(CsvRawRecord& record) {
    if (!started_) {
        started_ = true;
        while (buffer_.size() - pos_ < 3 && fill()) {
        }
        if (QByteArrayView(buffer_).sliced(pos_).startsWith("\xEF\xBB\xBF")) {
            pos_ += 3;
        }
    }
    for (;;) {
        if (pos_ >= buffer_.size() && !fill()) {
            return false;
        }
        if (parseRecord(record) == Step::Done) {
            return true;
        }
        fill();
    }
}

// A broken record is the line it starts on: a quote left open must not swallow the rows after
// it. The reading resumes on the next line.
void CsvReader::skipBrokenRecord(CsvRawRecord& record, qsizetype start) {
    pos_ = start;
    line_ = record.line;
    record.data_.clear();
    record.ends_.clear();
    for (;;) {
        const char* d = buffer_.constData();
        const qsizetype n = buffer_.size();
        while (pos_ < n && d[pos_] != '\r' && d[pos_] != '\n') {
            ++pos_;
        }
        if (pos_ < n) {
            break;
        }
        if (!fill()) {
            ++line_;
            return;
        }
    }
    if (buffer_[pos_] == '\r') {
        ++pos_;
        if (pos_ >= buffer_.size()) {
            fill();
        }
    }
    if (pos_ < buffer_.size() && buffer_[pos_] == '\n') {
        ++pos_;
    }
    ++line_;
}

CsvReader::Step CsvReader::parseRecord(CsvRawRecord& record) {
    record.clear();
    record.line = line_;
    const char* d = buffer_.constData();
    const qsizetype n = buffer_.size();
    const qsizetype start = pos_;
    // Past this many bytes a record is not waited for any longer: the buffer's end counts as
    // the input's end.
    const bool capped = n - start > maxRecordBytes_;
    const bool end = atEnd_ || capped;
    qsizetype i = pos_;
    qint64 line = line_;
    for (;;) {
        const int fieldNumber = static_cast<int>(record.ends_.size()) + 1;
        if (i < n && d[i] == '"') {
            ++i;
            bool closed = false;
            qsizetype run = i;  // start of the bytes not yet copied
            for (;;) {
                if (i >= n) {
                    if (!end) {
                        return Step::NeedMore;
                    }
                    break;
                }
                const char c = d[i];
                if (c == '"') {
                    if (i + 1 >= n && !end) {
                        return Step::NeedMore;
                    }
                    record.data_.append(d + run, static_cast<std::size_t>(i - run));
                    if (i + 1 < n && d[i + 1] == '"') {
                        record.data_.push_back('"');
                        i += 2;
                        run = i;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (c == '\n') {
                    ++line;
                } else if (c == '\r') {
                    if (i + 1 >= n && !end) {
                        return Step::NeedMore;
                    }
                    if (!(i + 1 < n && d[i + 1] == '\n')) {
                        ++line;
                    }
                }
                ++i;
            }
            if (!closed) {
                record.error = capped
                                   ? QStringLiteral(
                                         "the quote that opens field %1 is not closed within "
                                         "%2 MB")
                                         .arg(fieldNumber)
                                         .arg(megabytes(maxRecordBytes_))
                                   : QStringLiteral("the quote that opens field %1 is never closed")
                                         .arg(fieldNumber);
                skipBrokenRecord(record, start);
                return Step::Done;
            }
            if (i >= n && !end) {
                return Step::NeedMore;
            }
            if (i < n && d[i] != '\r' && d[i] != '\n' && d[i] != ',') {
                record.error =
                    line == record.line
                        ? QStringLiteral("text follows the closing quote of field %1")
                              .arg(fieldNumber)
                        : QStringLiteral(
                              "the quote that opens field %1 is closed only on line %2, and "
                              "text follows it")
                              .arg(fieldNumber)
                              .arg(line);
                skipBrokenRecord(record, start);
                return Step::Done;
            }
        } else {
            const qsizetype s = i;
            while (i < n && d[i] != ',' && d[i] != '\r' && d[i] != '\n') {
                ++i;
            }
            if (i >= n && !end) {
                return Step::NeedMore;
            }
            if (i >= n && capped) {
                record.error =
                    QStringLiteral("the line is longer than %1 MB").arg(megabytes(maxRecordBytes_));
                skipBrokenRecord(record, start);
                return Step::Done;
            }
            record.data_.append(d + s, static_cast<std::size_t>(i - s));
        }
        record.ends_.push_back(static_cast<int>(record.data_.size()));
        if (i < n && d[i] == ',') {
            ++i;
            continue;
        }
        // The record's end: CR LF, LF or CR.
        if (i < n && d[i] == '\r') {
            if (i + 1 >= n && !end) {
                return Step::NeedMore;
            }
            ++i;
        }
        if (i < n && d[i] == '\n') {
            ++i;
        }
        pos_ = i;
        line_ = line + 1;
        return Step::Done;
    }
}

QList<CsvRecord> parseCsv(const QString& text) {
    QList<CsvRecord> records;
    CsvReader reader(text.toUtf8());
    CsvRawRecord raw;
    while (reader.next(raw)) {
        CsvRecord record;
        record.line = static_cast<int>(raw.line);
        record.error = raw.error;
        if (raw.error.isEmpty()) {
            for (int i = 0; i < raw.size(); ++i) {
                record.fields.append(QString::fromUtf8(raw.field(i)));
            }
        }
        records.append(std::move(record));
    }
    return records;
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

void appendCsvField(QByteArray& out, QByteArrayView utf8) {
    const bool quote = std::any_of(utf8.begin(), utf8.end(), [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n';
    });
    if (!quote) {
        out.append(utf8);
        return;
    }
    out.append('"');
    for (const char c : utf8) {
        if (c == '"') {
            out.append('"');
        }
        out.append(c);
    }
    out.append('"');
}

}  // namespace pelagon::positions
