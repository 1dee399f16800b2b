#pragma once

#include "SystemFolders.h"

#include <QObject>
#include <QString>
#include <string>

class QFileSystemWatcher;

namespace quorvane {

// The device a port had open, as it can be found again: its path, and the
// /dev/serial/by-id link that names the same adapter, when it has one. A
// board that resets may come back as ttyACM1 instead of ttyACM0; its by-id
// name stays the same.
struct DeviceIdentity {
    std::string path;
    std::string byId; // the link's full path, or empty

    // The path to open when the device is there now, else empty: the by-id
    // link when the adapter has one (any other adapter at the old path is
    // not this one), else the path.
    std::string presentPath() const;
};

// Works out the identity of the device at path while it is there.
DeviceIdentity IdentifyDevice(const std::string& path, const SystemFolders& folders);

// Waits for a device to be there, on the file system's notifications
// (inotify) of the folders its path and link stand in, and of the nearest
// folder above that exists while they do not (udev removes an empty
// /dev/serial). Never polls.
class DeviceWatch : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatch(QObject* parent = nullptr);
    ~DeviceWatch() override;

    void watch(const DeviceIdentity& identity);
    void stop();
    bool watching() const { return watching_; }
    const DeviceIdentity& identity() const { return identity_; }

signals:
    // The device is there, at path; raised at each change of its folders
    // that finds it there, and at once by watch() when it already is.
    void present(const QString& path);

private:
    void rewatch();
    void look();

    QFileSystemWatcher* watcher_;
    DeviceIdentity identity_;
    bool watching_ = false;
};

} // namespace quorvane
