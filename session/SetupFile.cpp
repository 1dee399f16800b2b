#include "SetupFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

std::optional<QByteArray> ReadRegularFile(const QString& path, std::size_t most)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    QByteArray bytes;
    bool read = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    while (read && static_cast<std::size_t>(bytes.size()) < most) {
        char chunk[64 * 1024];
        const std::size_t want =
            std::min(sizeof chunk, most - static_cast<std::size_t>(bytes.size()));
        const ssize_t got = ::read(fd, chunk, want);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        read = got >= 0;
        if (got <= 0) {
            break;
        }
        bytes.append(chunk, got);
    }
    ::close(fd);
    return read ? std::optional<QByteArray>(std::move(bytes)) : std::nullopt;
}

SetupReading ReadSetupFile(const QString& path)
{
    const std::optional<QByteArray> bytes = ReadRegularFile(path, kSetupMaxFileBytes + 1);
    if (!bytes) {
        return {std::nullopt, "无法读取文件"};
    }
    return ReadSetupText(std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())));
}

} // namespace quorvane
