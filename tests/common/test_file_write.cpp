#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <optional>

#include "common/FileWrite.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

std::optional<QByteArray> contents(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return f.readAll();
}

TEST(FileWrite, ReplacesTheFileOnlyWhenAllIsWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("view.png");
    EXPECT_EQ(writeFileAtomically(path, "first"), QString());
    EXPECT_EQ(writeFileAtomically(path, "second"), QString());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("second"));

    const QString missing = dir.filePath("no/such/folder/view.png");
    const QString problem = writeFileAtomically(missing, "x");
    EXPECT_TRUE(problem.startsWith("Cannot write " + QDir::toNativeSeparators(missing) + ": ") ||
                problem.startsWith("Cannot write " + missing + ": "))
        << problem.toStdString();
    EXPECT_FALSE(QFile::exists(missing));
}

// What is at the path before, what is written, and what is there after: a write that succeeds
// leaves exactly the bytes written; one that fails names the file and leaves what was there.
TEST(FileWrite, WhatTheFileHoldsAfterwards) {
    enum class Before { Nothing, File, Folder };
    struct Case {
        const char* name;
        Before before;
        QByteArray earlier;  // the earlier file's bytes
        QByteArray bytes;    // what is written
        bool ok;
    };
    const Case cases[] = {
        {"a new file", Before::Nothing, {}, "rows\r\n", true},
        {"a longer earlier file", Before::File, "a much longer earlier table\r\n", "short", true},
        {"no bytes over an earlier file", Before::File, "earlier", {}, true},
        {"bytes that are not text", Before::File, "x", QByteArray("\0\xff\r\n\0", 5), true},
        {"a folder of that name", Before::Folder, {}, "page", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath("out.csv");
        if (c.before == Before::File) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(c.earlier), c.earlier.size());
        } else if (c.before == Before::Folder) {
            ASSERT_TRUE(QDir(dir.path()).mkdir("out.csv"));
        }

        const QString problem = writeFileAtomically(path, c.bytes);
        if (c.ok) {
            EXPECT_EQ(problem, QString());
            EXPECT_EQ(contents(path), std::optional<QByteArray>(c.bytes));
        } else {
            EXPECT_TRUE(problem.startsWith("Cannot write " + QDir::toNativeSeparators(path) + ": "))
                << problem.toStdString();
            EXPECT_EQ(QFileInfo(path).isDir(), c.before == Before::Folder);
        }
        // Nothing is left beside the file: no part-written copy under another name.
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"out.csv"});
    }
}

}  // namespace
