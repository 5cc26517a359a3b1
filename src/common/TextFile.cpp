#include "common/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <array>

namespace pelagon {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. Unassigned codes map to themselves (C1).
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeWindows1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b <= 0x9F) {
            out.append(QChar(kCp1252High[b - 0x80]));
        } else {
            out.append(QChar(static_cast<char16_t>(b)));
        }
    }
    return out;
}

}  // namespace

QString decodeText(const QByteArray& bytes) {
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF")) {
        data.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError()) {
        return text;
    }
    return decodeWindows1252(bytes);
}

bool encodeWindows1252(const QString& text, QByteArray* out) {
    out->clear();
    out->reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out->append(static_cast<char>(u));
            continue;
        }
        bool found = false;
        for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
            if (kCp1252High[i] == u) {
                out->append(static_cast<char>(0x80 + i));
                found = true;
                break;
            }
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

QStringList splitLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
    }
    return lines;
}

TextFile readTextFile(const QString& path) {
    TextFile result;
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        result.error = QFileInfo::exists(path)
                           ? QStringLiteral("%1 is a folder, not a file.").arg(path)
                           : QStringLiteral("%1 does not exist.").arg(path);
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1 cannot be read: %2.").arg(path, file.errorString());
        return result;
    }
    result.lines = splitLines(decodeText(file.readAll()));
    result.ok = true;
    return result;
}

}  // namespace pelagon
