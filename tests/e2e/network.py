#!/usr/bin/python3
"""Quorvane on ports served over the network by ser2net (RFC 2217 and raw
TCP), with quorvane-device on a pseudo-terminal behind it, and a pymodbus
master reading registers over TCP from `quorvane --answer` on socket://.
Usage: network.py BIN_DIR"""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from peers import BIN, DEADLINE, SETUP, wait_for, with_commands  # noqa: E402

QUORVANE = os.path.join(BIN, "quorvane")
DEVICE = os.path.join(BIN, "quorvane-device")
READ_ONE = "01 03 00 01 00 01 D5 CA"  # read register 1 of slave 1


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    """Whether something listens on 127.0.0.1:port, seen without connecting."""
    with open("/proc/net/tcp", encoding="ascii") as table:
        for row in table.readlines()[1:]:
            local, state = row.split()[1], row.split()[3]
            if state == "0A" and int(local.split(":")[1], 16) == port:
                return True
    return False


class Device:
    """quorvane-device on a pty, kept at a fixed link, logging to a file."""

    def __init__(self, folder, *mode):
        self.link = os.path.join(folder, "device")
        self.log = os.path.join(folder, "device.log")
        self.process = subprocess.Popen([DEVICE, "--link", self.link, *mode],
                                        stdout=open(self.log, "w"), stderr=subprocess.STDOUT)
        wait_for("the device", lambda: os.path.exists(self.link))

    def said(self):
        with open(self.log, encoding="utf-8") as f:
            return f.read()

    def close(self):
        self.process.terminate()
        self.process.wait(DEADLINE)


def readme_ser2net_config():
    """The ser2net configuration the README prints."""
    readme = open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md"), encoding="utf-8").read()
    return readme.split("```yaml\n")[1].split("```")[0]


class Ser2net:
    """ser2net on 127.0.0.1 in front of the device, configured as the README
    shows: RFC 2217 on one port, raw TCP on another."""

    def __init__(self, folder, device, port=None):
        self.port = port or free_port()
        self.raw_port = free_port()
        config = os.path.join(folder, "ser2net.yaml")
        text = readme_ser2net_config()
        assert "/dev/ttyUSB0" in text and "tcp,2001" in text and "tcp,2002" in text, text
        with open(config, "w", encoding="utf-8") as f:
            f.write(text.replace("/dev/ttyUSB0", device).replace("tcp,2001", f"tcp,127.0.0.1,{self.port}")
                    .replace("tcp,2002", f"tcp,127.0.0.1,{self.raw_port}"))
        self.process = subprocess.Popen(["ser2net", "-n", "-d", "-c", config,
                                         "-P", os.path.join(folder, "ser2net.pid")],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("ser2net", lambda: listening(self.port) and listening(self.raw_port))

    def url(self, scheme="rfc2217"):
        return f"{scheme}://127.0.0.1:{self.port if scheme == 'rfc2217' else self.raw_port}"

    def close(self):
        self.process.terminate()
        self.process.wait(DEADLINE)


def setup_file(folder, text):
    path = os.path.join(folder, "setup.qvs")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def runs_over_rfc2217(folder):
    """A --run sequence passes over rfc2217://; its rate and framing reach
    the pty (the device logs its client's settings) and the record's port
    line names the host. A run whose server goes away fails, naming it."""
    device = Device(folder, "modbus")
    server = Ser2net(folder, device.link)
    setup = setup_file(folder, SETUP.replace("baud=9600", "baud=57600").replace("stopbits=1", "stopbits=2"))
    record = os.path.join(folder, "record.txt")
    try:
        ran = subprocess.run([QUORVANE, "--run", setup, "--port", server.url(), "--log", record],
                             capture_output=True, text=True, timeout=60)
        endless = subprocess.Popen([QUORVANE, "--run", setup, "--port", server.url(), "--rounds", "0"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        wait_for("the endless run", lambda: device.said().count("RX") >= 25)
        server.close()  # the server goes away under the run
        out, err = endless.communicate(timeout=DEADLINE)
    finally:
        server.close()
        device.close()
    assert endless.returncode == 1, out + err
    assert f"串口已断开: 与 127.0.0.1:{server.port} 的连接已断开" in err, err
    assert ran.returncode == 0, ran.stdout + ran.stderr
    assert ran.stdout.startswith("通过 10 失败 0 超时 0"), ran.stdout
    assert "settings 57600 8N2" in device.said(), device.said()
    with open(record, encoding="utf-8") as f:
        assert f"串口打开 {server.url()} 57600,n,8,2" in f.read()


def carries_every_byte_value(folder):
    """All 256 byte values, runs of 0xFF among them, go out and come back
    through ser2net as sent: the echoed frame's length and CRC are right."""
    device = Device(folder, "echo")
    server = Ser2net(folder, device.link)
    data = " ".join(f"{v:02X}" for v in list(range(256)) + [0xFF] * 6 + [0, 0xFF, 0xFF])
    setup = setup_file(folder, with_commands(SETUP.replace("RcvMaxChars=150", "RcvMaxChars=1000"),
                                             [("全部字节", data, 1, "")]))
    try:
        ran = subprocess.run([QUORVANE, "--run", setup, "--port", server.url(), "--rounds", "3"],
                             capture_output=True, text=True, timeout=60)
    finally:
        server.close()
        device.close()
    assert ran.returncode == 0, ran.stdout + ran.stderr
    assert ran.stdout.startswith("通过 3 失败 0 超时 0"), ran.stdout


def says_why_it_cannot_connect(folder):
    """Nothing listening, or the port served to another client: the run
    cannot open its port (exit 3) and says why under the port message;
    --list-ports opens nothing, --probe does."""
    device = Device(folder, "echo")
    server = Ser2net(folder, device.link)
    closed = free_port()
    setup = setup_file(folder, SETUP)
    env = dict(os.environ, QUORVANE_COM5=f"rfc2217://127.0.0.1:{closed}", QUORVANE_COM6=server.url("socket"))
    try:
        refused = subprocess.run([QUORVANE, "--run", setup, "--port", f"rfc2217://127.0.0.1:{closed}"],
                                 capture_output=True, text=True, timeout=60)
        with socket.create_connection(("127.0.0.1", server.port)) as first:  # served one at a time
            first.recv(100)
            taken = subprocess.run([QUORVANE, "--run", setup, "--port", server.url()],
                                   capture_output=True, text=True, timeout=60)
        listed = subprocess.run([QUORVANE, "--list-ports"], capture_output=True, text=True, env=env, timeout=60)
        probed = subprocess.run([QUORVANE, "--list-ports", "--probe"], capture_output=True, text=True,
                                env=env, timeout=60)
    finally:
        server.close()
        device.close()
    assert refused.returncode == 3, refused.stdout + refused.stderr
    assert refused.stderr.splitlines()[1] == f"无法连接 127.0.0.1:{closed}: 拒绝连接", refused.stderr
    assert taken.returncode == 3, taken.stdout + taken.stderr
    assert f"无法连接 127.0.0.1:{server.port}: 端口正被另一个客户端使用" in taken.stderr, taken.stderr
    assert f"COM5\trfc2217://127.0.0.1:{closed}\t环境变量\tRFC 2217 127.0.0.1:{closed}\t网络端口\n" in listed.stdout
    assert "网络端口 拒绝连接\n" in probed.stdout and "网络端口 可连接\n" in probed.stdout, probed.stdout


def reconnects_while_listening(folder):
    """--answer --reconnect over rfc2217:// answers a master behind ser2net;
    ser2net stopped and started again on the same port is connected to
    again, and the answers go on."""
    device = Device(folder, "master", *READ_ONE.split(), "--every", "50")
    server = Ser2net(folder, device.link)
    setup = setup_file(folder, SETUP)
    answering = subprocess.Popen([QUORVANE, "--answer", setup, "--port", server.url(), "--reconnect",
                                  "--for", "60"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        wait_for("answers", lambda: device.said().count("ANSWER") >= 5)
        server.close()
        time.sleep(0.5)  # the server is away a while: the pause between tries grows
        before = device.said().count("ANSWER")
        server = Ser2net(folder, device.link, port=server.port)
        wait_for("answers after the server came back", lambda: device.said().count("ANSWER") >= before + 5)
    finally:
        answering.send_signal(signal.SIGTERM)
        out, err = answering.communicate(timeout=DEADLINE)
        server.close()
        device.close()
    assert answering.returncode == 0, out + err


def answers_pymodbus_over_socket(folder):
    """A pymodbus master (RTU framing over TCP) reads register 1 as 42 from
    `quorvane --answer` on socket://; socat joins the two TCP clients."""
    master_port, quorvane_port = free_port(), free_port()
    joint = subprocess.Popen(["socat", f"TCP-LISTEN:{master_port},bind=127.0.0.1,reuseaddr",
                              f"TCP-LISTEN:{quorvane_port},bind=127.0.0.1,reuseaddr"])
    setup = setup_file(folder, SETUP)
    answering = None
    try:
        from pymodbus.client import ModbusTcpClient
        from pymodbus.transaction import ModbusRtuFramer
        wait_for("socat", lambda: listening(master_port))
        client = ModbusTcpClient("127.0.0.1", port=master_port, framer=ModbusRtuFramer, timeout=2)
        assert client.connect()
        wait_for("socat's second end", lambda: listening(quorvane_port))
        answering = subprocess.Popen([QUORVANE, "--answer", setup, "--port", f"socket://127.0.0.1:{quorvane_port}",
                                      "--for", "60"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        for _ in range(5):
            read = client.read_holding_registers(1, 1, slave=1)
            assert not read.isError(), read
            assert read.registers == [42], read.registers
        client.close()
    finally:
        if answering:
            answering.send_signal(signal.SIGTERM)
            out, err = answering.communicate(timeout=DEADLINE)
        joint.terminate()
        joint.wait(DEADLINE)
    assert "读寄存器: 5" in out, out + err
    assert "原始 TCP 连接" in err, err


def main():
    with tempfile.TemporaryDirectory() as folder:
        for case in (runs_over_rfc2217, carries_every_byte_value, says_why_it_cannot_connect,
                     reconnects_while_listening, answers_pymodbus_over_socket):
            case_folder = os.path.join(folder, case.__name__)
            os.mkdir(case_folder)
            case(case_folder)
            print("passed:", case.__name__)


if __name__ == "__main__":
    main()
