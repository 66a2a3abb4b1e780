#pragma once

// Whole-file reads and writes for tests that look at what a download left on disk.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace lectoria::testing_support {

// The file's bytes; empty when it cannot be read (absent, a folder, ...).
inline QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << path.toStdString();
}

} // namespace lectoria::testing_support
