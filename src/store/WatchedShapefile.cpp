#include "store/WatchedShapefile.h"

#include <QDir>
#include <QFileInfo>

#include <cpl_string.h>
#include <cpl_vsi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pelagon {

// The folder of a watched shapefile, by the name it has in our file system.
struct WatchedShapefile::Folder {
    std::string dir;  // the real folder, UTF-8
    Watcher watcher;
    std::atomic<bool> watching{true};
};

namespace {

constexpr char kWatchPrefix[] = "/vsipelagon_watch/";

std::mutex& foldersLock() {
    static std::mutex m;
    return m;
}

std::map<std::string, std::shared_ptr<WatchedShapefile::Folder>>& folders() {
    static std::map<std::string, std::shared_ptr<WatchedShapefile::Folder>> f;
    return f;
}

// "<token>/<name>" as the handler is given it: the folder and the real path of the name.
std::shared_ptr<WatchedShapefile::Folder> resolve(const char* name, std::string& real) {
    const std::string n(name);
    const std::size_t slash = n.find('/');
    const std::string token = n.substr(0, slash);
    std::shared_ptr<WatchedShapefile::Folder> folder;
    {
        const std::lock_guard<std::mutex> lock(foldersLock());
        const auto it = folders().find(token);
        if (it == folders().end()) {
            return nullptr;
        }
        folder = it->second;
    }
    real = slash == std::string::npos ? folder->dir : folder->dir + n.substr(slash);
    return folder;
}

// A file opened through our file system. The .shp and the .dbf are read by us, in blocks of
// kReadBlock bytes into a buffer of the handle's own: OGR reads the .shp a record at a time and
// the .dbf a row at a time, and GDAL's own handler makes about five times as many system calls
// for them. (A mapping of the file costs more still: its pages are faulted in a few at a time.)
// Other files, or one that cannot be opened so, are read through GDAL's own handler.
struct WatchedHandle {
    VSILFILE* file = nullptr;
    std::shared_ptr<WatchedShapefile::Folder> folder;
    bool watched = false;
    WatchedShapefile::File kind = WatchedShapefile::File::Shp;
    int fd = -1;  // the file, when read by us
    std::uint64_t size = 0;
    std::uint64_t at = 0;
    bool eof = false;
    std::unique_ptr<std::byte[]> buffer;  // bytes from bufferAt on, bufferLength of them
    std::uint64_t bufferAt = 0;
    std::size_t bufferLength = 0;
};

#if defined(__linux__)
// Opens the file at path to be read by us; false when it cannot be (it is then read through
// GDAL).
bool openFile(const std::string& path, WatchedHandle& h) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    h.fd = fd;
    h.size = static_cast<std::uint64_t>(st.st_size);
    h.buffer = std::make_unique_for_overwrite<std::byte[]>(WatchedShapefile::kReadBlock);
    return true;
}

// Reads n bytes from byte at into out, as many as the file holds; how many.
std::size_t readAt(int fd, std::byte* out, std::size_t n, std::uint64_t at) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, out + done, n - done, static_cast<off_t>(at + done));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        done += static_cast<std::size_t>(r);
    }
    return done;
}

// Copies n bytes from byte at of the file into out through the handle's buffer; how many.
std::size_t readBuffered(WatchedHandle& h, std::byte* out, std::size_t n, std::uint64_t at) {
    constexpr std::size_t capacity = WatchedShapefile::kReadBlock;
    if (n >= capacity / 2) {
        return readAt(h.fd, out, n, at);  // a large block is read straight into its place
    }
    const std::uint64_t bufferEnd = h.bufferAt + h.bufferLength;
    if (at < h.bufferAt || at + n > bufferEnd) {
        // A read that goes on from the buffer (OGR reading the records or rows in order) is
        // served a whole block; one elsewhere (the attributes of one feature looked up) a page,
        // as GDAL's handler would read it.
        const bool onward = at >= h.bufferAt && at <= bufferEnd;
        h.bufferAt = at;
        h.bufferLength =
            readAt(h.fd, h.buffer.get(), onward ? capacity : std::max<std::size_t>(n, 4096), at);
    }
    const std::size_t from = static_cast<std::size_t>(at - h.bufferAt);
    const std::size_t k = from < h.bufferLength ? std::min(n, h.bufferLength - from) : 0;
    std::memcpy(out, h.buffer.get() + from, k);
    return k;
}
#endif

int watchedStat(void*, const char* name, VSIStatBufL* buf, int flags) {
    std::string real;
    if (!resolve(name, real)) {
        return -1;
    }
    return VSIStatExL(real.c_str(), buf, flags);
}

char** watchedReadDir(void*, const char* name, int maxFiles) {
    std::string real;
    if (!resolve(name, real)) {
        return nullptr;
    }
    return VSIReadDirEx(real.c_str(), maxFiles);
}

void* watchedOpen(void*, const char* name, const char* access) {
    if (access == nullptr || access[0] != 'r' ||
        std::string(access).find('+') != std::string::npos) {
        return nullptr;  // read only
    }
    std::string real;
    std::shared_ptr<WatchedShapefile::Folder> folder = resolve(name, real);
    if (!folder) {
        return nullptr;
    }
    auto h = std::make_unique<WatchedHandle>();
    h->folder = std::move(folder);
    const std::string extension = real.size() >= 4 ? real.substr(real.size() - 4) : std::string();
    if (EQUAL(extension.c_str(), ".shp")) {
        h->watched = true;
        h->kind = WatchedShapefile::File::Shp;
    } else if (EQUAL(extension.c_str(), ".dbf")) {
        h->watched = true;
        h->kind = WatchedShapefile::File::Dbf;
    }
#if defined(__linux__)
    if (h->watched && openFile(real, *h)) {
        return h.release();
    }
#endif
    h->file = VSIFOpenL(real.c_str(), "rb");
    if (h->file == nullptr) {
        return nullptr;
    }
    return h.release();
}

vsi_l_offset watchedTell(void* p) {
    auto* h = static_cast<WatchedHandle*>(p);
    return h->fd >= 0 ? h->at : VSIFTellL(h->file);
}

int watchedSeek(void* p, vsi_l_offset offset, int whence) {
    auto* h = static_cast<WatchedHandle*>(p);
    if (h->fd < 0) {
        return VSIFSeekL(h->file, offset, whence);
    }
    switch (whence) {
        case SEEK_SET:
            h->at = offset;
            break;
        case SEEK_CUR:
            h->at += offset;
            break;
        case SEEK_END:
            h->at = h->size + offset;
            break;
        default:
            return -1;
    }
    h->eof = false;
    return 0;
}

size_t watchedRead(void* p, void* buffer, size_t size, size_t count) {
    auto* h = static_cast<WatchedHandle*>(p);
    std::int64_t at = 0;
    size_t n = 0;
#if defined(__linux__)
    if (h->fd >= 0) {
        at = static_cast<std::int64_t>(h->at);
        const std::size_t wanted = size * count;
        const std::size_t got =
            wanted == 0 ? 0 : readBuffered(*h, static_cast<std::byte*>(buffer), wanted, h->at);
        // As a file does, a short read delivers the whole elements it holds and moves on by the
        // bytes it read.
        h->at += got;
        n = size == 0 ? 0 : got / size;
        h->eof = got < wanted;
    } else
#endif
    {
        at = h->watched ? static_cast<std::int64_t>(VSIFTellL(h->file)) : 0;
        n = VSIFReadL(buffer, size, count, h->file);
    }
    if (h->watched && n > 0 && h->folder->watching.load(std::memory_order_relaxed)) {
        h->folder->watcher(
            h->kind, at,
            std::span<const std::byte>(static_cast<const std::byte*>(buffer), n * size));
    }
    return n;
}

int watchedEof(void* p) {
    auto* h = static_cast<WatchedHandle*>(p);
    return h->fd >= 0 ? (h->eof ? 1 : 0) : VSIFEofL(h->file);
}

int watchedClose(void* p) {
    auto* h = static_cast<WatchedHandle*>(p);
    int r = 0;
    if (h->file != nullptr) {
        r = VSIFCloseL(h->file);
    }
#if defined(__linux__)
    if (h->fd >= 0) {
        ::close(h->fd);
    }
#endif
    delete h;
    return r;
}

void installHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        // GDAL keeps a copy of the callbacks for as long as it runs.
        VSIFilesystemPluginCallbacksStruct* cb = VSIAllocFilesystemPluginCallbacksStruct();
        cb->stat = watchedStat;
        cb->read_dir = watchedReadDir;
        cb->open = watchedOpen;
        cb->tell = watchedTell;
        cb->seek = watchedSeek;
        cb->read = watchedRead;
        cb->eof = watchedEof;
        cb->close = watchedClose;
        VSIInstallPluginHandler(kWatchPrefix, cb);
        VSIFreeFilesystemPluginCallbacksStruct(cb);
    });
}

}  // namespace

WatchedShapefile::WatchedShapefile(const QString& shpPath, Watcher watcher)
    : folder_(std::make_shared<Folder>()) {
    installHandler();
    static std::atomic<std::uint64_t> made{0};
    token_ = QString::number(made++);
    const QFileInfo info(shpPath);
    folder_->dir = QDir::cleanPath(info.absolutePath()).toStdString();
    folder_->watcher = std::move(watcher);
    {
        const std::lock_guard<std::mutex> lock(foldersLock());
        folders()[token_.toStdString()] = folder_;
    }
    path_ = QLatin1String(kWatchPrefix) + token_ + QLatin1Char('/') + info.fileName();
}

WatchedShapefile::~WatchedShapefile() {
    const std::lock_guard<std::mutex> lock(foldersLock());
    folders().erase(token_.toStdString());
}

void WatchedShapefile::stop() {
    folder_->watching.store(false);
    folder_->watcher = nullptr;
}

}  // namespace pelagon
