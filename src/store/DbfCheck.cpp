// The attribute table: its header and field list, its size against them, each row's deletion
// flag, values that contradict their field's type, and its record count against the .shp's.
#include <QByteArrayView>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>
#include <vector>

#include "store/ShapefileCheckImpl.h"

namespace pelagon {

using shpcheck::plural;
using shpcheck::recordText;

namespace {

constexpr std::uint8_t kFieldListEnd = 0x0D;
constexpr std::uint8_t kFileEnd = 0x1A;
constexpr std::int64_t kDescriptor = 32;
// Visual FoxPro keeps a 263-byte link to its database after the field list.
constexpr std::int64_t kBacklink = 263;


bool knownType(char t) {
    return QByteArrayView("CNFLDMBGPYTIV@O+0WQ").contains(t);
}

std::uint8_t byteAt(const shpcheck::Bytes& b, std::int64_t at) {
    return static_cast<std::uint8_t>(*b.at(at));
}

// Whether the bytes of a number field hold one number, as OGR would read it whole: blanks (or
// NULs) around an optional sign, digits with at most one decimal point, and an optional
// exponent; or nothing but blanks (no value); or nothing but stars (a value too wide for the
// field, as dBASE writes it). "3-21.96" or "4 1" are not numbers: OGR would read 3 and 4. Nor may
// it hold more decimals than its field gives: OGR rounds it to them, and reads a field of no
// decimals up to 18 digits wide as an integer, "1.75" or "15e2" as 1 and 15. Nor may its exponent
// take it past the range of a double.
bool numberFits(const char* v, std::int64_t n, std::int64_t decimals) {
    std::int64_t k = 0;
    auto blank = [&](std::int64_t i) { return v[i] == ' ' || v[i] == '\0'; };
    auto digit = [&](std::int64_t i) { return v[i] >= '0' && v[i] <= '9'; };
    while (k < n && blank(k)) {
        ++k;
    }
    if (k == n) {
        return true;
    }
    if (v[k] == '*') {
        while (k < n && v[k] == '*') {
            ++k;
        }
        return k == n;
    }
    const std::int64_t start = v[k] == '+' ? k + 1 : k;  // from_chars takes no plus sign
    if (v[k] == '-' || v[k] == '+') {
        ++k;
    }
    std::int64_t digits = 0;
    for (; k < n && digit(k); ++k) {
        ++digits;
    }
    std::int64_t fraction = 0;
    if (k < n && v[k] == '.') {
        for (++k; k < n && digit(k); ++k) {
            ++fraction;
        }
    }
    if (digits + fraction == 0 || fraction > decimals) {
        return false;
    }
    if (k < n && (v[k] == 'e' || v[k] == 'E')) {
        if (decimals == 0 && n <= 18) {
            return false;
        }
        ++k;
        if (k < n && (v[k] == '-' || v[k] == '+')) {
            ++k;
        }
        const std::int64_t from = k;
        while (k < n && digit(k)) {
            ++k;
        }
        if (k == from) {
            return false;
        }
        // Past the range of a double ("55.e400"), OGR reads infinity or 0.
        double value = 0;
        if (std::from_chars(v + start, v + k, value).ec != std::errc()) {
            return false;
        }
    }
    while (k < n && blank(k)) {
        ++k;
    }
    return k == n;
}

// Whether the bytes of a date field hold a date of the calendar as YYYYMMDD, or no value (only
// blanks or NULs, or "00000000", which OGR reads as none). OGR splits any number into year, month
// and day: it would give "20241345" as 2024/13/45 and "20230229" as 2023/02/29.
bool dateFits(const char* v, std::int64_t n) {
    if (std::all_of(v, v + n, [](char c) { return c == ' ' || c == '\0'; })) {
        return true;
    }
    if (n != 8 || !std::all_of(v, v + n, [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    auto number = [&](int from, int count) {
        int x = 0;
        for (int k = from; k < from + count; ++k) {
            x = 10 * x + (v[k] - '0');
        }
        return x;
    };
    const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
    if (year == 0 && month == 0 && day == 0) {
        return true;
    }
    if (month < 1 || month > 12 || day < 1) {
        return false;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// Whether these bytes could be a value of a field of this type. Text fields hold anything.
bool valueFits(const shpcheck::DbfField& f, const shpcheck::Bytes& b, std::int64_t at) {
    const std::int64_t n = f.length;
    switch (f.type) {
        case 'N':
        case 'F':
            return numberFits(reinterpret_cast<const char*>(b.at(at)), n, f.decimals);
        case 'D':
            return dateFits(reinterpret_cast<const char*>(b.at(at)), n);
        case 'L':
            return n == 1 &&
                   QByteArrayView("?YyNnTtFf \0", 11).contains(static_cast<char>(byteAt(b, at)));
        default:
            return true;
    }
}

QString quotedValue(const shpcheck::Bytes& b, std::int64_t at, std::int64_t n) {
    QString t = QString::fromLatin1(reinterpret_cast<const char*>(b.at(at)),
                                    static_cast<qsizetype>(std::min<std::int64_t>(n, 40)))
                    .trimmed();
    for (QChar& c : t) {
        if (c.unicode() < 0x20) {
            c = QLatin1Char('?');
        }
    }
    return t;
}

}  // namespace

void ShapefileChecker::Impl::checkDbf() {
    const std::int64_t records = result_.records;
    auto noAttributes = [&](const QString& why) {
        result_.attributesUsable = false;
        withoutAttributes(dbfName_, 0, records,
                          [&] { return why + QStringLiteral("; no attribute is read"); });
    };
    if (dbfMissing_) {
        noAttributes(QStringLiteral("the .dbf is missing"));
        return;
    }
    if (!dbf_.has(0, kDescriptor + 1)) {
        noAttributes(QStringLiteral("the .dbf is cut off inside its header (%1)")
                         .arg(plural(dbf_.size(), "byte", "bytes")));
        return;
    }
    const std::int64_t count = dbf_.ule32(4);
    const std::int64_t headerLength = dbf_.ule16(8);
    const std::int64_t rowLength = dbf_.ule16(10);

    // The field list: 32-byte descriptors up to the end mark.
    std::vector<DbfField> fields;
    std::int64_t end = -1;
    QString wrong;
    std::int64_t rowUsed = 1;
    for (std::int64_t at = kDescriptor; dbf_.has(at, 1); at += kDescriptor) {
        if (byteAt(dbf_, at) == kFieldListEnd) {
            end = at;
            break;
        }
        if (!dbf_.has(at, kDescriptor)) {
            break;
        }
        DbfField f;
        const char* name = reinterpret_cast<const char*>(dbf_.at(at));
        const qsizetype nameLength = static_cast<qsizetype>(qstrnlen(name, 11));
        f.name = QString::fromLatin1(name, nameLength);
        f.type = static_cast<char>(byteAt(dbf_, at + 11));
        f.length = f.type == 'C' ? dbf_.ule16(at + 16) : byteAt(dbf_, at + 16);
        f.decimals = f.type == 'C' ? 0 : byteAt(dbf_, at + 17);
        f.offset = rowUsed;
        rowUsed += f.length;
        const std::int64_t k = static_cast<std::int64_t>(fields.size()) + 1;
        const bool nameOk = nameLength > 0 && std::all_of(name, name + nameLength, [](char c) {
                                const auto u = static_cast<unsigned char>(c);
                                return u > 0x20 && u != 0x7f;
                            });
        if (wrong.isEmpty() && !nameOk) {
            wrong = QStringLiteral("field %1 has no valid name").arg(k);
        } else if (wrong.isEmpty() && !knownType(f.type)) {
            wrong = QStringLiteral(
                        "field %1 (%2) has the type byte %3, which is not one of the "
                        "format")
                        .arg(k)
                        .arg(f.name)
                        .arg(byteAt(dbf_, at + 11));
        } else if (wrong.isEmpty() && f.length == 0) {
            wrong = QStringLiteral("field %1 (%2) has a length of 0 bytes").arg(k).arg(f.name);
        }
        fields.push_back(std::move(f));
    }
    const std::int64_t fieldCount = static_cast<std::int64_t>(fields.size());
    if (wrong.isEmpty() && end < 0) {
        wrong = QStringLiteral("its field list has no end mark");
    } else if (wrong.isEmpty() && headerLength != end + 1 && headerLength != end + 1 + kBacklink) {
        wrong = QStringLiteral(
                    "its header gives a header length of %1 bytes, its %2 end at "
                    "byte %3")
                    .arg(headerLength)
                    .arg(plural(fieldCount, "field", "fields"))
                    .arg(end + 1);
    } else if (wrong.isEmpty() && rowLength != rowUsed) {
        wrong = QStringLiteral("its header gives a record length of %1 bytes, its %2 take %3")
                    .arg(rowLength)
                    .arg(plural(fieldCount, "field", "fields"))
                    .arg(rowUsed);
    }
    if (!wrong.isEmpty()) {
        noAttributes(wrong);
        return;
    }

    // A number field cannot hold as many decimals as it has bytes: OGR would give each of its
    // values with them all.
    for (const DbfField& f : fields) {
        if ((f.type == 'N' || f.type == 'F') && f.decimals >= f.length) {
            result_.unusableFields.append(f.name);
            problem(dbfName_, 0, -1, [&] {
                return QStringLiteral("field %1 gives %2 decimals in %3 bytes; the field is not read")
                    .arg(f.name)
                    .arg(f.decimals)
                    .arg(f.length);
            });
        }
    }

    // The rows: as many as the file holds whole, up to the count of its header.
    DbfRows& t = rows_;
    t = DbfRows{};
    t.headerLength = headerLength;
    t.rowLength = rowLength;
    t.count = count;
    const std::int64_t body = std::max<std::int64_t>(dbf_.size() - headerLength, 0);
    t.whole = body / rowLength;
    t.rest = body - t.whole * rowLength;
    const std::int64_t whole = t.whole;
    const bool endsWithMark = dbf_.size() > 0 && byteAt(dbf_, dbf_.size() - 1) == kFileEnd;
    // Whole rows fill the file, an end mark aside: a header that counts another number of rows
    // is wrong, and the rows the file holds are read. Otherwise bytes were cut out of a row or
    // put into one (or the file was cut off), and the end mark may stand inside the last row.
    t.rowsWhole = (t.rest == 0 && !(endsWithMark && whole > 0)) || (t.rest == 1 && endsWithMark);
    t.held = t.rowsWhole ? whole : std::min(count, whole);
    if (t.rowsWhole && whole != count) {
        result_.dbfRows = whole;
        problem(dbfName_, std::min(count, whole) + 1, 0, [&] {
            return QStringLiteral("the .dbf header counts %1, the file holds %2; the %2 are read")
                .arg(plural(count, "record", "records"))
                .arg(whole);
        });
    }
    t.fields = std::move(fields);
    for (std::size_t k = 0; k < t.fields.size(); ++k) {
        if (QByteArrayView("NFDL").contains(t.fields[k].type)) {
            t.typed.push_back(k);
        }
    }
    // Rows that fill the file are read as OGR reads them (each row's deletion flag and typed
    // values in the block OGR read it in), those it does not read at the end. Rows that do not
    // fill it are read now: where bytes went missing decides what OGR is to read.
    if (t.rowsWhole && !thorough_) {
        rowsPending_ = true;
    } else {
        checkDbfRows();
    }

    // OGR stops at the last row of the table.
    const std::int64_t rows = t.rowsWhole ? whole : std::max(count, whole);
    const std::int64_t read = std::min<std::int64_t>(readByOgr_, entryCount());
    if (rows < read && t.rowsWhole && whole == count) {
        // A table whole by its own header and size, of fewer rows than the .shp has records:
        // nothing shows which records' rows are missing (one cut out of the middle shifts every
        // row after it), so no row can be proven a record's own.
        result_.dbfRows = std::min(rows, t.held);
        withoutAttributes(dbfName_, 1, read, [&] {
            return recordText(1) + QStringLiteral(
                                       "the .dbf holds %1, the .shp %2, and nothing shows which "
                                       "records' rows are missing; every record is kept without "
                                       "attributes")
                                       .arg(plural(rows, "record", "records"))
                                       .arg(read);
        });
    } else if (rows < read) {
        // The header counts more rows than the file holds: it was cut off after them, and OGR
        // reads a copy with blank rows for the rest.
        result_.dbfRows = std::min(rows, t.held);
        withoutAttributes(dbfName_, rows + 1, read, [&] {
            return recordText(rows + 1) +
                   QStringLiteral(
                       "the .dbf holds %1, the .shp %2; the records past them are "
                       "kept without attributes")
                       .arg(plural(rows, "record", "records"))
                       .arg(read);
        });
    } else if (rows > records) {
        problem(dbfName_, 0, -1, [&] {
            return QStringLiteral("the .dbf holds %1, the .shp %2: %3 without a shape")
                .arg(plural(rows, "record", "records"))
                .arg(records)
                .arg(plural(rows - records, "attribute row", "attribute rows"));
        });
    }
}

void ShapefileChecker::Impl::readRow(std::int64_t r, const Bytes& row) {
    DbfRows& t = rows_;
    const std::uint8_t flag = byteAt(row, 0);
    if (flag == '*') {
        t.deleted.push_back(r);
    } else if (flag != ' ') {
        t.shifted = r;
        return;
    } else {
        for (const std::size_t k : t.typed) {
            const DbfField& f = t.fields[k];
            if (!valueFits(f, row, f.offset)) {
                t.misfits.push_back(r);
                break;
            }
        }
    }
    t.read = r + 1;
}

void ShapefileChecker::Impl::seenDbf(std::int64_t at, std::span<const std::byte> block) {
    DbfRows& t = rows_;
    // OGR reads one row at a time; a block that is not the next row is left to the end.
    if (!rowsPending_ || t.shifted >= 0 || t.read >= t.held ||
        static_cast<std::int64_t>(block.size()) != t.rowLength ||
        at != t.headerLength + t.read * t.rowLength) {
        return;
    }
    readRow(t.read, Bytes(block));
}

void ShapefileChecker::Impl::checkDbfRows() {
    rowsPending_ = false;
    DbfRows& t = rows_;
    const std::int64_t records = result_.records;
    const bool sizeWrong = !t.rowsWhole;
    const std::int64_t held = t.held;
    auto rowAt = [&](std::int64_t r) { return t.headerLength + r * t.rowLength; };
    // Every row's deletion flag is read: rows shifted by bytes cut out and put in further on
    // keep the file's size whole, and only a flag out of place shows them.
    while (t.shifted < 0 && t.read < held) {
        readRow(t.read, Bytes(std::span<const std::byte>(dbf_.at(rowAt(t.read)),
                                                         static_cast<std::size_t>(t.rowLength))));
    }
    std::int64_t shifted = t.shifted;
    std::vector<std::int64_t>& deleted = t.deleted;
    auto fits = [&](const DbfField& f, std::int64_t r) {
        return byteAt(dbf_, rowAt(r)) != ' ' ||
               valueFits(f, dbf_, rowAt(r) + f.offset);
    };
    auto rowFits = [&](std::int64_t r) {
        for (const DbfField& f : t.fields) {
            if (!valueFits(f, dbf_, rowAt(r) + f.offset)) {
                return false;
            }
        }
        return true;
    };
    if (shifted < 0 && sizeWrong) {
        for (std::int64_t r = 0; r < held && shifted < 0; ++r) {
            if (!rowFits(r)) {
                shifted = r;
            }
        }
    }
    // The file ends inside the rows its header counts, and none was found out of place: it
    // was cut off.
    const bool cutOff = sizeWrong && shifted < 0 && t.count > t.whole;
    if (shifted >= 0 || (sizeWrong && !cutOff)) {
        // The bytes went missing or came in at the row before the first one found out of
        // place, or anywhere when none is found.
        const std::int64_t from = shifted > 0 ? shifted : 1;
        deleted.erase(std::remove_if(deleted.begin(), deleted.end(),
                                     [&](std::int64_t r) { return r + 1 >= from; }),
                      deleted.end());
        withoutAttributes(dbfName_, from, records, [&] {
            return shifted >= 0 ? recordText(shifted + 1) +
                                      QStringLiteral(
                                          "its deletion flag or values are not where its "
                                          "fields put them: bytes were cut out or put in before "
                                          "it; records %1 to %2 are kept without attributes")
                                          .arg(from)
                                          .arg(records)
                                : QStringLiteral(
                                      "its %1 do not fill the file (%2 past them): bytes were "
                                      "cut out or put in; no attribute is read")
                                      .arg(plural(t.whole, "record", "records"))
                                      .arg(plural(t.rest, "byte", "bytes"));
        });
    }
    // The values of the typed fields in the rows read. A field most of whose values contradict
    // its type has a damaged type byte and is not read; a value that contradicts it otherwise
    // costs its own record's attributes, where OGR would read "1/4.11" as 1 and "-14.mb" as -14.
    // Only the rows found with such a value are looked at again.
    const std::int64_t readRows = shifted >= 0 || (sizeWrong && !cutOff)
                                      ? std::max<std::int64_t>(shifted - 1, 0)
                                      : held;
    std::vector<std::int64_t> misfits;
    for (const std::int64_t r : t.misfits) {
        if (r < readRows) {
            misfits.push_back(r);
        }
    }
    std::vector<const DbfField*> typed;
    for (const std::size_t k : t.typed) {
        const DbfField& f = t.fields[k];
        std::int64_t count = 0, first = -1;
        for (const std::int64_t r : misfits) {
            if (!fits(f, r)) {
                first = first < 0 ? r : first;
                ++count;
            }
        }
        if (count == 0) {
            continue;
        }
        if (2 * count <= readRows) {
            typed.push_back(&f);
            continue;
        }
        result_.unusableFields.append(f.name);
        problem(dbfName_, 0, -1, [&] {
            return QStringLiteral("field %1 is of type %2, but record %3 holds \"%4\"; the field is "
                                  "not read")
                .arg(f.name)
                .arg(QLatin1Char(f.type))
                .arg(first + 1)
                .arg(quotedValue(dbf_, rowAt(first) + f.offset, f.length));
        });
    }
    for (std::size_t m = 0; m < misfits.size() && !typed.empty(); ++m) {
        const std::int64_t r = misfits[m];
        for (const DbfField* f : typed) {
            if (!fits(*f, r)) {
                withoutAttributes(dbfName_, r + 1, r + 1, [&] {
                    return recordText(r + 1) +
                           QStringLiteral("field %1 is of type %2, but it holds \"%3\"; "
                                          "the record is kept without attributes")
                               .arg(f->name)
                               .arg(QLatin1Char(f->type))
                               .arg(quotedValue(dbf_, rowAt(r) + f->offset, f->length));
                });
                break;
            }
        }
    }
    for (const std::int64_t r : deleted) {
        problem(dbfName_, r + 1, r + 1,
                [&] { return recordText(r + 1) + QStringLiteral("the .dbf marks it deleted"); });
    }
    if (cutOff) {
        result_.dbfRows = held;  // OGR reads a copy that counts the rows the file holds whole
        withoutAttributes(dbfName_, held + 1, records, [&] {
            return recordText(held + 1) +
                   QStringLiteral(
                       "the .dbf is cut off after %1 of its %2; the records past "
                       "them are kept without attributes")
                       .arg(plural(held, "whole record", "whole records"))
                       .arg(t.count);
        });
    }
    // The rows before the first one found out of place, or before the end of a table cut off,
    // are read as their fields put them; that the table as a whole is damaged is said with
    // them, since where bytes went missing or came in is known only to lie after them.
    const std::int64_t readBefore = shifted > 0 ? shifted : cutOff ? held + 1 : 0;
    if (sizeWrong && readBefore > 1) {
        problem(dbfName_, 0, -1, [&] {
            return QStringLiteral(
                       "its %1 do not fill the file (%2 past them); the records before "
                       "record %3 are read as their fields put them")
                .arg(plural(t.whole, "record", "records"))
                .arg(plural(t.rest, "byte", "bytes"))
                .arg(readBefore);
        });
    }
}

}  // namespace pelagon
