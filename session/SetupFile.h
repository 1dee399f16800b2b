#pragma once

#include "SetupText.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

namespace quorvane {

// Up to `most` bytes of a regular file. The file is opened without waiting
// and judged once open, so a path that is (or has just become) a pipe or a
// device never keeps the program waiting for a writer.
std::optional<QByteArray> ReadRegularFile(const QString& path, std::size_t most);

// A setup file read and checked whole: the record, or the first problem
// ("无法读取文件" when it cannot be read as a regular file).
SetupReading ReadSetupFile(const QString& path);

} // namespace quorvane
