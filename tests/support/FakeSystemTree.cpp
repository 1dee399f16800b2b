#include "FakeSystemTree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace quorvane::test
{

namespace fs = std::filesystem;

FakeSystemTree::FakeSystemTree()
{
    char pattern[] = "/tmp/quorvane-system-XXXXXX";
    if (mkdtemp(pattern) != nullptr) {
        root_ = pattern;
        // Readable by every user, like the folders it stands for.
        chmod(pattern, 0755);
    }
    makeFolder("sys/class/tty");
    makeFolder("dev/serial/by-id");
}

FakeSystemTree::~FakeSystemTree()
{
    std::error_code ignored;
    if (!root_.empty()) {
        fs::remove_all(root_, ignored);
    }
}

void FakeSystemTree::addUart(int k, const std::string& type)
{
    write("sys/class/tty/ttyS" + std::to_string(k) + "/type", type + "\n");
}

void FakeSystemTree::addUsbAdapter(const std::string& kernelName, const std::string& manufacturer,
                                   const std::string& product)
{
    // ttyUSB: tty -> usb-serial port -> interface -> USB device;
    // ttyACM: tty -> interface -> USB device.
    const std::string usb = "sys/devices/usb1/1-" + std::to_string(++usbDevices_);
    const std::string interface = usb + "/" + usb.substr(usb.rfind('/') + 1) + ":1.0";
    const bool acm = kernelName.starts_with("ttyACM");
    const std::string device = acm ? interface : interface + "/" + kernelName;
    makeFolder(device);
    if (!manufacturer.empty()) {
        write(usb + "/manufacturer", manufacturer + "\n");
    }
    if (!product.empty()) {
        write(usb + "/product", product + "\n");
    }
    makeFolder("sys/class/tty/" + kernelName);
    fs::create_symlink("../../../" + device.substr(4),
                       root_ + "/sys/class/tty/" + kernelName + "/device");
}

void FakeSystemTree::linkById(const std::string& link, const std::string& kernelName)
{
    remove("dev/serial/by-id/" + link);
    fs::create_symlink("../../" + kernelName, byId(link));
}

void FakeSystemTree::plug(const std::string& kernelName, const std::string& device)
{
    remove("dev/" + kernelName);
    fs::create_symlink(device, dev(kernelName));
}

void FakeSystemTree::remove(const std::string& relative)
{
    std::error_code ignored;
    fs::remove_all(root_ + "/" + relative, ignored);
}

void FakeSystemTree::write(const std::string& relative, const std::string& text)
{
    const fs::path file = root_ + "/" + relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void FakeSystemTree::makeFolder(const std::string& relative)
{
    fs::create_directories(root_ + "/" + relative);
}

} // namespace quorvane::test
