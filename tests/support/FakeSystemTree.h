#pragma once

#include "SystemFolders.h"

#include <string>

namespace quorvane::test
{

// A temporary folder that looks like the parts of a machine serial devices
// are found in: root/sys/class/tty, root/sys/devices (USB devices with their
// manufacturer and product), root/dev and root/dev/serial/by-id. Removed with
// the object.
class FakeSystemTree
{
public:
    FakeSystemTree();
    ~FakeSystemTree();
    FakeSystemTree(const FakeSystemTree&) = delete;
    FakeSystemTree& operator=(const FakeSystemTree&) = delete;

    const std::string& root() const { return root_; }
    SystemFolders folders() const { return SystemFolders::Under(root_); }
    std::string dev(const std::string& name) const { return root_ + "/dev/" + name; }
    std::string byId(const std::string& link) const { return root_ + "/dev/serial/by-id/" + link; }

    // An on-board UART ttyS<k> whose type file holds type ("0": no hardware).
    void addUart(int k, const std::string& type);
    // A USB adapter (ttyUSB<k> or ttyACM<k>) on a USB device of its own; an
    // empty manufacturer or product leaves that file out.
    void addUsbAdapter(const std::string& kernelName, const std::string& manufacturer,
                       const std::string& product);
    // dev/serial/by-id/link pointing at ../../kernelName, as udev makes it.
    void linkById(const std::string& link, const std::string& kernelName);
    // dev/kernelName as a link to a real device (a pty slave, /dev/null).
    void plug(const std::string& kernelName, const std::string& device);
    // Removes what path names under the root: a node, a link, a folder.
    void remove(const std::string& relative);
    // A file under the root with this text, its folders made as needed.
    void write(const std::string& relative, const std::string& text);
    // A folder under the root (also to stand where a file is expected).
    void makeFolder(const std::string& relative);

private:
    std::string root_;
    int usbDevices_ = 0;
};

} // namespace quorvane::test
