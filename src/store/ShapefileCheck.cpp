#include "store/ShapefileCheck.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "store/ShapefileCheckImpl.h"

namespace pelagon {

using shpcheck::kFileCode;
using shpcheck::kHeader;
using shpcheck::recordText;

bool ShapefileChecker::Impl::readHeaders() {
    if (!shpHeader_.has(0, kHeader) || shpHeader_.be32(0) != kFileCode) {
        problem(shpName_, 1, 0, [&] { return QStringLiteral("its header is damaged"); });
        return false;
    }
    shxHeaderOk_ = !shxMissing_ && shx_.has(0, kHeader) && shx_.be32(0) == kFileCode;
    fileType_ = shpHeader_.le32(32);
    checkShapeType();
    shpDeclared_ = static_cast<std::int64_t>(shpHeader_.ube32(24)) * 2;
    const double box[4] = {shpHeader_.leDouble(36), shpHeader_.leDouble(44),
                           shpHeader_.leDouble(52), shpHeader_.leDouble(60)};
    if (std::isfinite(box[0]) && std::isfinite(box[1]) && std::isfinite(box[2]) &&
        std::isfinite(box[3]) && box[0] <= box[2] && box[1] <= box[3]) {
        result_.box = std::array<double, 4>{box[0], box[1], box[2], box[3]};
    }
    return true;
}

// OGR takes the layer's shape type from the .shx header and reads each record as its own type
// gives it. Where the two headers disagree, the first records of the .shp tell which is wrong: a
// wrong .shp header costs nothing, a wrong .shx header has the index rebuilt from the .shp.
void ShapefileChecker::Impl::checkShapeType() {
    const std::int32_t shxType = shxHeaderOk_ ? shx_.le32(32) : fileType_;
    std::int32_t recordType = 0;
    if (shxType != fileType_ || shxMissing_ || !shxHeaderOk_) {
        // The type of the first three records laid end to end, when they agree.
        std::int64_t at = kHeader;
        for (int k = 0; k < 3 && at >= kHeader && shpSize_ >= at + shpcheck::kRecordHeader + 4;
             ++k) {
            const std::int32_t t = shp().le32(at + shpcheck::kRecordHeader);
            if (t != 0 && recordType != 0 && t != recordType) {
                recordType = -1;
                break;
            }
            recordType = t != 0 ? t : recordType;
            at += shpcheck::kRecordHeader + static_cast<std::int64_t>(shp().ube32(at + 4)) * 2;
        }
    }
    if (recordType > 0 && recordType != fileType_ && (recordType == shxType || !shxHeaderOk_)) {
        problem(shpName_, 0, -1, [&] {
            return QStringLiteral(
                       "its header gives the shape type %1, its records are of type %2; they "
                       "are read as such")
                .arg(fileType_)
                .arg(recordType);
        });
        fileType_ = recordType;
    } else if (shxType != fileType_) {
        shxHeaderOk_ = false;
        shxTypeWrong_ = QStringLiteral("its header gives the shape type %1, the .shp %2")
                            .arg(shxType)
                            .arg(fileType_);
    }
}

void ShapefileChecker::Impl::start(bool thorough) {
    thorough_ = thorough;
    headersOk_ = readHeaders();
    if (!headersOk_) {
        checkDbf();
        return;
    }
    readIndex();
    if (shpLoaded_) {
        determineNumbering();  // the records were read for their type before the index
    }
    // An index that does not lay the records end to end over the whole .shp is replaced by a
    // walk of the .shp's records. Otherwise record i is entry i, and records are read only
    // where OGR's shape disagrees with its entry.
    const bool endToEnd = indexLaysRecords();
    if (!endToEnd) {
        restoreIndex();
    }
    const std::int64_t count = entryCount();
    checkable_ = std::min(count, readByOgr_);
    marks_.assign(static_cast<std::size_t>(checkable_), 0);
    // Records laid end to end over the whole .shp leave no entry suspicious and no record past
    // the last: the index need not be read again.
    if (!endToEnd) {
        markSuspicious();
        if (!restored_) {
            walkTail();
        }
    }
    checkDbf();
}

void ShapefileChecker::Impl::examineRecord(std::int64_t i) {
    if ((marks_[static_cast<std::size_t>(i)] & kExamined) != 0) {
        return;
    }
    marks_[static_cast<std::size_t>(i)] |= kExamined;
    if (result_.bad[static_cast<std::size_t>(i)] == ShapefileCheck::kLeftOut) {
        return;  // its problem is told already
    }
    examineEntry(i);
}

void ShapefileChecker::Impl::examine(std::int64_t index) {
    if (index >= 0 && index < checkable_) {
        marks_[static_cast<std::size_t>(index)] |= kChecked;
        examineRecord(index);
    }
}

void ShapefileChecker::Impl::checkRecord(std::int64_t index, const RecordSeen* seen) {
    if (index < 0 || index >= checkable_ ||
        (marks_[static_cast<std::size_t>(index)] & kChecked) != 0) {
        return;
    }
    marks_[static_cast<std::size_t>(index)] |= kChecked;
    const Entry e = entry(index);
    const std::uint8_t m = marks_[static_cast<std::size_t>(index)];
    if (wholeFile_ || unseen_ || (m & kSuspicious) != 0 || seen == nullptr ||
        ((m & kProven) == 0 && !lengthFits(e.length, *seen))) {
        examineRecord(index);
    }
}

void ShapefileChecker::Impl::finish(bool thorough) {
    if (rowsPending_) {
        checkDbfRows();
    }
    if (!headersOk_) {
        return;
    }
    const bool all = thorough || wholeFile_;
    // The record headers lie a page or more apart: asking for those a few records ahead hides
    // the memory's latency.
    constexpr std::int64_t kAhead = 8;
    for (std::int64_t i = 0; i < checkable_; ++i) {
        if ((marks_[static_cast<std::size_t>(i)] & kChecked) != 0 ||
            (!all && (marks_[static_cast<std::size_t>(i)] & kSuspicious) == 0)) {
            continue;  // records OGR did not give are deleted ones, unless the index says else
        }
        if (i + kAhead < checkable_) {
            const std::int64_t ahead = entry(i + kAhead).offset;
            if (shp().has(ahead, 64)) {
                __builtin_prefetch(shp().at(ahead));
                __builtin_prefetch(shp().at(ahead + 63));
            }
        }
        marks_[static_cast<std::size_t>(i)] |= kChecked;
        examineRecord(i);
    }
    declareNumbering();
}

void ShapefileChecker::Impl::seenShp(std::int64_t at, std::span<const std::byte> block) {
    // Where the index lays the records end to end, OGR reads them in order, each in one block
    // that begins with its header: its number and length are checked there, and the record is
    // read from the .shp only when they disagree with its place. This finds records swapped
    // with each other, which OGR reads whole.
    if (!headersOk_ || restored_ || wholeFile_ || block.size() < shpcheck::kRecordHeader) {
        return;
    }
    std::int64_t i = seenCursor_;
    if (i >= checkable_ || entry(i).offset != at) {
        // Entries in order of their offsets: where OGR went elsewhere, the entry at its block.
        std::int64_t lo = 0, hi = checkable_;
        while (lo < hi) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            (entry(mid).offset < at ? lo : hi) = mid + (entry(mid).offset < at ? 1 : 0);
        }
        if (lo == checkable_ || entry(lo).offset != at) {
            return;
        }
        i = lo;
    }
    seenCursor_ = i + 1;
    if ((marks_[static_cast<std::size_t>(i)] & kExamined) != 0) {
        return;
    }
    const Bytes header(block);
    const std::int64_t number = header.be32(0);
    const std::int64_t length = static_cast<std::int64_t>(header.ube32(4)) * 2;
    // Until the .shp is read the writer is taken to number from 1, as the format says.
    const bool numberOk =
        shpLoaded_ ? numbering_ == Numbering::None || number == expectedNumber(i) : number == i + 1;
    if (!numberOk || !lengthsAgree(entry(i).length, length)) {
        examineRecord(i);
        return;
    }
    // The whole record in the block: its content is checked there as it would be in the .shp,
    // and what OGR makes of it need not be compared with its length.
    if (at >= kHeader &&
        static_cast<std::int64_t>(block.size()) >= shpcheck::kRecordHeader + length &&
        shpcheck::contentProblem(header, shpcheck::kRecordHeader, length, fileType_).isEmpty()) {
        marks_[static_cast<std::size_t>(i)] |= kProven;
    }
}

std::int64_t ShapefileCheck::badCount() const {
    return static_cast<std::int64_t>(std::count(bad.begin(), bad.end(), kLeftOut));
}

std::int64_t ShapefileCheck::withoutAttributesCount() const {
    return static_cast<std::int64_t>(std::count(bad.begin(), bad.end(), kNoAttributes));
}

std::int64_t ShapefileCheck::markBad(std::int64_t first, std::int64_t last) {
    const std::int64_t from = std::max<std::int64_t>(first, 1);
    const std::int64_t to = std::min<std::int64_t>(last, static_cast<std::int64_t>(bad.size()));
    std::int64_t marked = 0;
    for (std::int64_t r = from; r <= to; ++r) {
        std::uint8_t& b = bad[static_cast<std::size_t>(r - 1)];
        marked += b != kLeftOut;
        b = kLeftOut;
    }
    return marked;
}

std::int64_t ShapefileCheck::markWithoutAttributes(std::int64_t first, std::int64_t last) {
    const std::int64_t from = std::max<std::int64_t>(first, 1);
    const std::int64_t to = std::min<std::int64_t>(last, static_cast<std::int64_t>(bad.size()));
    std::int64_t marked = 0;
    for (std::int64_t r = from; r <= to; ++r) {
        std::uint8_t& b = bad[static_cast<std::size_t>(r - 1)];
        if (b == 0) {
            b = kNoAttributes;
            ++marked;
        }
    }
    return marked;
}

FileDamage& ShapefileCheck::fileDamage(const QString& file) {
    for (FileDamage& d : files) {
        if (d.file == file) {
            return d;
        }
    }
    files.push_back(FileDamage{file, 0, 0, 0, 0, {}});
    return files.back();
}

namespace {

std::int64_t orderOf(std::int64_t record) {
    return record > 0 ? record : std::numeric_limits<std::int64_t>::max();
}

}  // namespace

bool ShapefileCheck::keeps(std::int64_t first) const {
    return problems.size() < kKeptProblems || orderOf(first) < orderOf(problems.back().record);
}

void ShapefileCheck::keep(LayerProblem p) {
    // Equal records keep the order in which they were found.
    const auto at = std::upper_bound(problems.begin(), problems.end(), p,
                                     [](const LayerProblem& a, const LayerProblem& b) {
                                         return orderOf(a.record) < orderOf(b.record);
                                     });
    problems.insert(at, std::move(p));
    if (problems.size() > kKeptProblems) {
        problems.pop_back();
    }
}

ShapefileCheck checkShapefileBytes(std::span<const std::byte> shp, std::span<const std::byte> shx,
                                   std::span<const std::byte> dbf, std::int64_t dbfSize,
                                   const QString& baseName) {
    ShapefileChecker checker(shp, shx, dbf, dbfSize, baseName, true);
    return checker.finish(true);
}

namespace {

// A file's bytes, mapped into memory where the system allows it. populate: on Linux the mapping
// is filled at once, for a file read whole (the index), where a fault every few pages would cost
// more than the reading.
class FileBytes {
public:
    explicit FileBytes(const QString& path, [[maybe_unused]] bool populate = false) : file_(path) {
        if (!file_.open(QIODevice::ReadOnly)) {
            error_ = file_.errorString();
            return;
        }
        const qint64 size = file_.size();
        if (size <= 0) {
            return;
        }
#if defined(__linux__)
        void* p = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ,
                       MAP_PRIVATE | (populate ? MAP_POPULATE : 0), file_.handle(), 0);
        if (p != MAP_FAILED) {
            mapped_ = p;
            bytes_ = {static_cast<const std::byte*>(p), static_cast<std::size_t>(size)};
            return;
        }
#endif
        if (uchar* q = file_.map(0, size)) {
            bytes_ = {reinterpret_cast<const std::byte*>(q), static_cast<std::size_t>(size)};
            return;
        }
        copy_ = file_.readAll();
        bytes_ = std::as_bytes(std::span<const char>(copy_.constData(), copy_.size()));
    }
    ~FileBytes() {
#if defined(__linux__)
        if (mapped_ != nullptr) {
            munmap(mapped_, bytes_.size());
        }
#endif
    }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool ok() const {
        return error_.isEmpty();
    }
    const QString& error() const {
        return error_;
    }
    std::span<const std::byte> bytes() const {
        return bytes_;
    }

private:
    QFile file_;
    void* mapped_ = nullptr;
    QByteArray copy_;
    QString error_;
    std::span<const std::byte> bytes_;
};

}  // namespace

struct ShapefileChecker::Files {
    Files(const QString& shpPath, const QString& shxPath, const QString& dbfPath)
        : shpPath(shpPath), shpFile(shpPath) {
        if (shpFile.open(QIODevice::ReadOnly)) {
            shpHeader = shpFile.read(kHeader);
            shpSize = shpFile.size();
        }
        if (!shxPath.isEmpty()) {
            shx = std::make_unique<FileBytes>(shxPath, true);
        }
        if (!dbfPath.isEmpty()) {
            dbf = std::make_unique<FileBytes>(dbfPath);
        }
    }
    std::span<const std::byte> shpBytes() {
        if (!shpMap) {
            shpMap = std::make_unique<FileBytes>(shpPath);
        }
        return shpMap->bytes();
    }
    QString shpPath;
    QFile shpFile;
    QByteArray shpHeader;
    std::int64_t shpSize = 0;
    std::unique_ptr<FileBytes> shpMap;  // made when a record must be read
    std::unique_ptr<FileBytes> shx;     // null when there is none
    std::unique_ptr<FileBytes> dbf;     // null when there is none
};

namespace {

std::span<const std::byte> bytesOf(const QByteArray& b) {
    return std::as_bytes(std::span<const char>(b.constData(), static_cast<std::size_t>(b.size())));
}

}  // namespace

ShapefileChecker::ShapefileChecker(const QString& shpPath, const QString& shxPath,
                                   const QString& dbfPath, bool thorough)
    : files_(std::make_unique<Files>(shpPath, shxPath, dbfPath)) {
    Files& f = *files_;
    const FileBytes* unopened = f.shx && !f.shx->ok()   ? f.shx.get()
                                : f.dbf && !f.dbf->ok() ? f.dbf.get()
                                                        : nullptr;
    if (!f.shpFile.isOpen() || unopened != nullptr) {
        const QString& path = !f.shpFile.isOpen()       ? shpPath
                              : unopened == f.shx.get() ? shxPath
                                                        : dbfPath;
        const QString why = !f.shpFile.isOpen() ? f.shpFile.errorString() : unopened->error();
        unopened_.unreadable =
            QStringLiteral("%1 cannot be opened (%2)").arg(QFileInfo(path).fileName(), why);
        return;
    }
    const std::span<const std::byte> none;
    impl_ = std::make_unique<Impl>(
        bytesOf(f.shpHeader), f.shpSize, [&f] { return f.shpBytes(); },
        f.shx ? f.shx->bytes() : none, f.dbf ? f.dbf->bytes() : none,
        f.dbf ? static_cast<std::int64_t>(f.dbf->bytes().size()) : 0,
        QFileInfo(shpPath).completeBaseName(), !f.shx, !f.dbf);
    impl_->start(thorough);
}

std::span<const std::byte> ShapefileChecker::shpBytes() {
    return files_ ? files_->shpBytes() : std::span<const std::byte>();
}

std::span<const std::byte> ShapefileChecker::dbfBytes() const {
    return files_ && files_->dbf ? files_->dbf->bytes() : std::span<const std::byte>();
}

ShapefileChecker::ShapefileChecker(std::span<const std::byte> shp, std::span<const std::byte> shx,
                                   std::span<const std::byte> dbf, std::int64_t dbfSize,
                                   const QString& baseName, bool thorough)
    : impl_(std::make_unique<Impl>(
          shp.first(std::min<std::size_t>(shp.size(), kHeader)),
          static_cast<std::int64_t>(shp.size()), [shp] { return shp; }, shx, dbf, dbfSize,
          baseName)) {
    impl_->start(thorough);
}

ShapefileChecker::~ShapefileChecker() = default;

void ShapefileChecker::checkRecord(std::int64_t index, const RecordSeen* seen) {
    if (impl_) {
        impl_->checkRecord(index, seen);
    }
}

bool ShapefileChecker::proven(std::int64_t index) const {
    return impl_ && impl_->proven(index);
}

ShapefileCheck& ShapefileChecker::finish(bool thorough) {
    if (impl_) {
        impl_->finish(thorough);
    }
    return result();
}

void ShapefileChecker::readsUnseen() {
    if (impl_) {
        impl_->readsUnseen();
    }
}

void ShapefileChecker::seenShp(std::int64_t at, std::span<const std::byte> block) {
    if (impl_) {
        impl_->seenShp(at, block);
    }
}

void ShapefileChecker::seenDbf(std::int64_t at, std::span<const std::byte> block) {
    if (impl_) {
        impl_->seenDbf(at, block);
    }
}

ShapefileCheck& ShapefileChecker::examine(std::int64_t index) {
    if (impl_) {
        impl_->examine(index);
    }
    return result();
}

ShapefileCheck& ShapefileChecker::result() {
    return impl_ ? impl_->result() : unopened_;
}

ShapefileCheck checkShapefile(const QString& shpPath, const QString& shxPath,
                              const QString& dbfPath) {
    ShapefileChecker checker(shpPath, shxPath, dbfPath, true);
    return checker.finish(true);
}

}  // namespace pelagon
