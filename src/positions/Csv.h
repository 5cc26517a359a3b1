#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

class QIODevice;

namespace pelagon::positions {

// One record of a CSV text.
struct CsvRecord {
    int line = 0;  // 1-based line on which the record begins
    QStringList fields;
    QString error;  // why the record cannot be read; empty when it can

    bool isBlank() const { return error.isEmpty() && fields.size() == 1 && fields[0].isEmpty(); }
};

// One record as the bytes of its fields, quotes taken off. Reused from record to record, so that
// a long file is read without an allocation per row.
class CsvRawRecord {
public:
    qint64 line = 0;  // 1-based line on which the record begins
    QString error;    // why the record cannot be read; empty when it can

    int size() const { return static_cast<int>(ends_.size()); }
    QByteArrayView field(int i) const {
        const int begin = i == 0 ? 0 : ends_[static_cast<std::size_t>(i - 1)];
        return QByteArrayView(data_.data() + begin, ends_[static_cast<std::size_t>(i)] - begin);
    }
    // The field's text: UTF-8 when its bytes are valid UTF-8, Windows-1252 otherwise.
    QString text(int i) const;
    bool isBlank() const { return error.isEmpty() && ends_.size() == 1 && ends_[0] == 0; }

private:
    friend class CsvReader;
    void clear() {
        error.clear();
        data_.clear();  // keeps the bytes reserved
        ends_.clear();
    }
    std::string data_;
    std::vector<int> ends_;
};

// Reads CSV records one by one, from a device in blocks or from bytes held in memory: fields
// separated by commas, records ended by CR LF, LF or CR, a field in double quotes may hold
// commas, line breaks and doubled quotes. A quote inside an unquoted field is taken as it is.
// A record with text after a closing quote, or a quote that is never closed, gets an error; it
// is the line it starts on, and the reading resumes on the next line. An empty line is a blank
// record. A byte order mark at the start is skipped.
//
// Memory stays bounded whatever the input's size: only the record being read is held, and a
// quoted field may span at most maxRecordBytes; a quote still open after that many bytes is
// reported as not closed within them (the record is its first line, as for a quote never
// closed).
class CsvReader {
public:
    static constexpr qsizetype kDefaultMaxRecordBytes = qsizetype(64) << 20;

    explicit CsvReader(QIODevice& device, qsizetype maxRecordBytes = kDefaultMaxRecordBytes);
    explicit CsvReader(QByteArray bytes, qsizetype maxRecordBytes = kDefaultMaxRecordBytes);

    // The next record; false at the end of the input.
    bool next(CsvRawRecord& record);
    // Whether the device reported an error while it was read (its text in *why).
    bool readFailed(QString* why = nullptr) const;
    // Bytes taken from the input so far.
    qint64 bytesRead() const { return consumed_ + pos_; }

private:
    enum class Step { Done, NeedMore };
    Step parseRecord(CsvRawRecord& record);
    // Reads more input after the buffer's end; false when there is no more.
    bool fill();
    void skipBrokenRecord(CsvRawRecord& record, qsizetype start);

    QIODevice* device_ = nullptr;
    QByteArray buffer_;
    qsizetype pos_ = 0;     // next byte to read in buffer_
    qint64 consumed_ = 0;   // bytes dropped from the front of buffer_
    qint64 line_ = 1;       // line of buffer_[pos_]
    bool atEnd_ = false;    // nothing more to read after buffer_
    bool started_ = false;  // the byte order mark has been looked for
    qsizetype maxRecordBytes_;
    QString readError_;
};

// Splits a whole CSV text into records (see CsvReader).
QList<CsvRecord> parseCsv(const QString& text);

// A field as RFC 4180 writes it: in double quotes, with its quotes doubled, when it holds a
// comma, a quote or a line break; as it is otherwise.
QString csvField(const QString& field);
// The fields joined by commas and ended by CR LF.
QString csvLine(const QStringList& fields);
// The same for UTF-8 bytes, appended to out.
void appendCsvField(QByteArray& out, QByteArrayView utf8);

}  // namespace pelagon::positions
