#include "DeviceWatch.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include <filesystem>
#include <sys/stat.h>

namespace quorvane {

namespace {

namespace fs = std::filesystem;

bool IsDevice(const std::string& path)
{
    struct stat status = {};
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode);
}

// The folder path stands in, or the nearest one above it that exists.
QString NearestFolder(const std::string& path)
{
    std::error_code error;
    fs::path folder = fs::path(path).parent_path();
    while (!folder.empty() && !fs::is_directory(folder, error)) {
        if (folder == folder.parent_path()) {
            break;
        }
        folder = folder.parent_path();
    }
    return QString::fromStdString(folder.string());
}

} // namespace

std::string DeviceIdentity::presentPath() const
{
    const std::string& wanted = byId.empty() ? path : byId;
    return IsDevice(wanted) ? wanted : std::string();
}

DeviceIdentity IdentifyDevice(const std::string& path, const SystemFolders& folders)
{
    DeviceIdentity identity{path, {}};
    if (fs::path(path).parent_path() == fs::path(folders.serialById)) {
        identity.byId = path;
        return identity;
    }
    std::error_code error;
    const fs::path real = fs::canonical(path, error);
    if (error) {
        return identity;
    }
    for (fs::directory_iterator it(folders.serialById, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code broken;
        if (fs::canonical(it->path(), broken) == real && !broken) {
            identity.byId = it->path().string();
            break;
        }
    }
    return identity;
}

DeviceWatch::DeviceWatch(QObject* parent)
    : QObject(parent), watcher_(new QFileSystemWatcher(this))
{
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        rewatch();
        look();
    });
}

DeviceWatch::~DeviceWatch() = default;

void DeviceWatch::watch(const DeviceIdentity& identity)
{
    identity_ = identity;
    watching_ = true;
    rewatch();
    // It may be back already; told from the event loop, like any change.
    QTimer::singleShot(0, this, &DeviceWatch::look);
}

void DeviceWatch::stop()
{
    watching_ = false;
    if (!watcher_->directories().isEmpty()) {
        watcher_->removePaths(watcher_->directories());
    }
}

// A folder that appears (by-id, when the first adapter comes) is watched
// from then on; one that went is dropped by the watcher itself.
void DeviceWatch::rewatch()
{
    if (!watching_) {
        return;
    }
    QStringList wanted;
    for (const std::string& path : {identity_.path, identity_.byId}) {
        if (path.empty()) {
            continue;
        }
        const QString folder = NearestFolder(path);
        if (!folder.isEmpty() && !wanted.contains(folder)) {
            wanted << folder;
        }
    }
    const QStringList watched = watcher_->directories();
    for (const QString& folder : watched) {
        if (!wanted.contains(folder)) {
            watcher_->removePath(folder);
        }
    }
    for (const QString& folder : wanted) {
        if (!watched.contains(folder)) {
            watcher_->addPath(folder);
        }
    }
}

void DeviceWatch::look()
{
    if (!watching_) {
        return;
    }
    const std::string path = identity_.presentPath();
    if (!path.empty()) {
        emit present(QString::fromStdString(path));
    }
}

} // namespace quorvane
