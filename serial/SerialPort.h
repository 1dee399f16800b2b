#pragma once

#include "ByteList.h"

#include <QObject>
#include <cstddef>
#include <string>

namespace quorvane {

// The serial-port component the windows talk to: configured while closed,
// opened by the send cycle, and raising OnComm on the window's thread for
// every received chunk (CommEvent 2) and every break (CommEvent 1001).
class SerialPort : public QObject {
    Q_OBJECT
public:
    static constexpr int comEvReceive = 2;
    static constexpr int comEventBreak = 1001;

    enum class InputModes { Text, Binary };

    explicit SerialPort(QObject* parent = nullptr) : QObject(parent) {}
    ~SerialPort() override = default;

    virtual int CommPort() const = 0;
    virtual void setCommPort(int port) = 0; // 1 = COM1; used at the next opening
    virtual std::string Settings() const = 0;
    virtual void setSettings(const std::string& settings) = 0; // "9600,n,8,1"
    virtual void setInputMode(InputModes mode) = 0;
    virtual void setRThreshold(int threshold) = 0;
    virtual void setInputLen(int length) = 0;
    // 0 discards the bytes waiting to go out, in the program and in the driver.
    virtual void setOutBufferCount(int count) = 0;
    virtual void setInBufferCount(int count) = 0; // 0 discards bytes waiting to be read
    // Bytes handed to Output that still wait in the program: the driver has
    // not taken them yet.
    virtual std::size_t OutBufferCount() const = 0;

    virtual bool PortOpen() const = 0;
    // Opening fails (returns false, nothing held) when the device is missing,
    // not a serial terminal, held by another opener, or cannot take the
    // settings. Closing discards the bytes waiting to go out.
    virtual bool setPortOpen(bool open) = 0;

    // Queues bytes for writing; never blocks.
    virtual void Output(const ByteList& bytes) = 0;
    // Every byte received and not yet read, oldest first; consumes them.
    virtual ByteList Input() = 0;
    // The code of the event being raised: 2 bytes received, 1001 break.
    virtual int CommEvent() const = 0;
    // While held, nothing more is read from the device: what it sends waits in
    // the driver, and then at the device, until reading goes on. Nothing is lost.
    virtual void setInputHeld(bool held) = 0;

signals:
    // One per event, on the thread that owns the port.
    void OnComm();
    // The device went away (hang-up); the port has closed itself.
    void closedByHangUp();
    // The port was opened or closed, by anyone, for any reason.
    void openChanged(bool open);
};

} // namespace quorvane
