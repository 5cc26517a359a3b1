#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace pelagon {

// A shapefile as OGR reads it through a file system of ours: the files on disk as they are, and
// each block OGR reads of the .shp and the .dbf shown to a watcher the moment it is read, while
// it is still in the processor's cache. The shapefile check looks at the record headers and
// attribute rows in these blocks instead of reading the files a second time. The files are found
// for as long as the object lives, so it must outlive the dataset opened on it; the watcher is
// called until stop().
class WatchedShapefile {
public:
    enum class File { Shp, Dbf };
    // The file, the byte the block begins at, and the block.
    using Watcher = std::function<void(File, std::int64_t, std::span<const std::byte>)>;

    WatchedShapefile(const QString& shpPath, Watcher watcher);
    ~WatchedShapefile();
    WatchedShapefile(const WatchedShapefile&) = delete;
    WatchedShapefile& operator=(const WatchedShapefile&) = delete;

    // The .shp and the .dbf are read in blocks of this many bytes, each read of OGR served from
    // the block that holds it; a read of half a block or more is made on its own.
    static constexpr std::size_t kReadBlock = 64 * 1024;

    // The .shp to open.
    const QString& path() const { return path_; }
    // No block is shown after this.
    void stop();

    struct Folder;

private:
    std::shared_ptr<Folder> folder_;
    QString token_, path_;
};

}  // namespace pelagon
