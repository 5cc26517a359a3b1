#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace pelagon::test {

// A private copy of the bundled sample map, so a test may write into the map folder. The query
// page a viewer run on the sample may have left there is not copied: every copy starts as the
// sample is shipped.
class SampleMapCopy {
public:
    SampleMapCopy() {
        const QString source = QStringLiteral(PELAGON_SAMPLE_DIR);
        folder_ = QDir(dir_.path()).canonicalPath() + QStringLiteral("/alaska");
        QDirIterator it(source, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            if (it.fileName() == QStringLiteral("drillID_results.htm")) {
                continue;
            }
            const QString to = folder_ + from.mid(source.size());
            QDir().mkpath(QFileInfo(to).absolutePath());
            QFile::copy(from, to);
        }
    }

    bool isValid() const { return dir_.isValid() && QFileInfo(definition()).isFile(); }
    QString folder() const { return folder_; }
    QString definition() const { return folder_ + QStringLiteral("/Alaska.mv"); }

private:
    QTemporaryDir dir_;
    QString folder_;
};

}  // namespace pelagon::test
