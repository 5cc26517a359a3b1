#include "store/WatchedShapefile.h"

#include <QDir>
#include <QFileInfo>

#include <cpl_string.h>
#include <cpl_vsi.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

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

struct WatchedHandle {
    VSILFILE* file = nullptr;
    std::shared_ptr<WatchedShapefile::Folder> folder;
    bool watched = false;
    WatchedShapefile::File kind = WatchedShapefile::File::Shp;
};

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
    if (access == nullptr || access[0] != 'r' || std::string(access).find('+') != std::string::npos) {
        return nullptr;  // read only
    }
    std::string real;
    std::shared_ptr<WatchedShapefile::Folder> folder = resolve(name, real);
    if (!folder) {
        return nullptr;
    }
    VSILFILE* f = VSIFOpenL(real.c_str(), "rb");
    if (f == nullptr) {
        return nullptr;
    }
    auto* h = new WatchedHandle{f, std::move(folder)};
    const std::string extension = real.size() >= 4 ? real.substr(real.size() - 4) : std::string();
    if (EQUAL(extension.c_str(), ".shp")) {
        h->watched = true;
        h->kind = WatchedShapefile::File::Shp;
    } else if (EQUAL(extension.c_str(), ".dbf")) {
        h->watched = true;
        h->kind = WatchedShapefile::File::Dbf;
    }
    return h;
}

vsi_l_offset watchedTell(void* p) {
    return VSIFTellL(static_cast<WatchedHandle*>(p)->file);
}

int watchedSeek(void* p, vsi_l_offset offset, int whence) {
    return VSIFSeekL(static_cast<WatchedHandle*>(p)->file, offset, whence);
}

size_t watchedRead(void* p, void* buffer, size_t size, size_t count) {
    auto* h = static_cast<WatchedHandle*>(p);
    const vsi_l_offset at = h->watched ? VSIFTellL(h->file) : 0;
    const size_t n = VSIFReadL(buffer, size, count, h->file);
    if (h->watched && n > 0 && h->folder->watching.load(std::memory_order_relaxed)) {
        h->folder->watcher(h->kind, static_cast<std::int64_t>(at),
                           std::span<const std::byte>(static_cast<const std::byte*>(buffer),
                                                      n * size));
    }
    return n;
}

int watchedEof(void* p) {
    return VSIFEofL(static_cast<WatchedHandle*>(p)->file);
}

int watchedClose(void* p) {
    auto* h = static_cast<WatchedHandle*>(p);
    const int r = VSIFCloseL(h->file);
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
