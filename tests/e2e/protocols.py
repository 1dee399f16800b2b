#!/usr/bin/python3
"""Protocols chosen by one setting, against programs written by others, on
two pseudo-terminals joined by socat: mbpoll (libmodbus) and a pymodbus RTU
master reading and writing the simulated slave of `quorvane --answer`;
`quorvane --run` as the master of a pymodbus Modbus ASCII slave; and a
DL/T 645-2007 meter (quorvane-device dlt645) read by `quorvane --run`, and
played by `quorvane --answer`. Usage: protocols.py BIN_DIR"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from peers import DEADLINE, SETUP, Line, wait_for, with_commands  # noqa: E402

BIN = sys.argv[1]


def protocol_setup(kind, commands, table="", slave=1, meter="000000001234"):
    """The peers' setup under a protocol (its send texts the function code or
    control code and data), with these commands and 模拟从站 tables."""
    text = with_commands(SETUP, commands).replace("version=2", "version=3")
    return text + (f"[protocol]\nkind={kind}\nslave={slave}\nmeter={meter}\npreamble=1\n"
                   f"simulate=1\n{table}")


def write(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


def quiet_env():
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    return env


def answering(setup, port):
    return subprocess.Popen([os.path.join(BIN, "quorvane"), "--answer", setup, "--port", port,
                             "--for", "60"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, env=quiet_env())


def stop(process):
    process.terminate()
    return process.communicate(timeout=DEADLINE)


def mbpoll(port, *arguments, timeout="1", values=()):
    return subprocess.run(["mbpoll", "-m", "rtu", "-a", "1", "-b", "9600", "-P", "none", "-1",
                           "-o", timeout, *arguments, port, *values],
                          capture_output=True, text=True, timeout=DEADLINE)


REGISTERS = "".join(f"register.{i}={100 + i}\n" for i in range(10)) + "coil.0=1\ncoil.1=0\ncoil.2=1\n"


def mbpoll_reads_and_writes_the_simulated_slave(folder):
    """libmodbus reads registers 0-9 of 模拟从站, writes register 3 and reads it
    back, reads its coils, and is refused (exception 02) past the table."""
    setup = write(folder, "slave.qvs", protocol_setup(1, [("读", "03 00 00 00 0A", 1, "")], REGISTERS))
    line = Line(folder)
    slave = answering(setup, line.a)
    try:
        wait_for("the first answer", lambda: mbpoll(line.b, "-t", "4", "-r", "1", "-c", "10",
                                                    timeout="0.2").returncode == 0)
        read = mbpoll(line.b, "-t", "4", "-r", "1", "-c", "10")
        assert read.returncode == 0, read.stdout + read.stderr
        for i in range(10):
            assert f"[{i + 1}]: \t{100 + i}" in read.stdout, read.stdout
        wrote = mbpoll(line.b, "-t", "4", "-r", "4", values=["1234"])
        assert wrote.returncode == 0, wrote.stdout + wrote.stderr
        back = mbpoll(line.b, "-t", "4", "-r", "4", "-c", "1")
        assert "[4]: \t1234" in back.stdout, back.stdout
        coils = mbpoll(line.b, "-t", "0", "-r", "1", "-c", "3")
        assert "[1]: \t1" in coils.stdout and "[2]: \t0" in coils.stdout, coils.stdout
        outside = mbpoll(line.b, "-t", "4", "-r", "20", "-c", "1")
        assert outside.returncode != 0 and "Illegal data address" in outside.stdout + outside.stderr, \
            outside.stdout + outside.stderr
    finally:
        out, err = stop(slave)
        line.close()
    assert slave.returncode == 0, err
    assert int(out.split("模拟从站: ")[1].split()[0]) >= 5, out


PYMODBUS_MASTER = """
import sys
from pymodbus.client import ModbusSerialClient
client = ModbusSerialClient(method="rtu", port=sys.argv[1], baudrate=9600, timeout=1)
assert client.connect()
read = client.read_holding_registers(0, 10, slave=1)
assert not read.isError(), read
assert read.registers == [100 + i for i in range(10)], read.registers
assert not client.write_registers(5, [7, 8], slave=1).isError()
assert client.read_holding_registers(5, 2, slave=1).registers == [7, 8]
assert not client.write_coil(1, True, slave=1).isError()
assert client.read_coils(0, 3, slave=1).bits[:3] == [True, True, True]
refused = client.read_input_registers(40, 1, slave=1)
assert refused.isError() and refused.exception_code == 2, refused
print("ok")
"""


def pymodbus_master_reads_and_writes_the_simulated_slave(folder):
    setup = write(folder, "slave.qvs", protocol_setup(1, [("读", "03 00 00 00 0A", 1, "")], REGISTERS))
    line = Line(folder)
    slave = answering(setup, line.a)
    try:
        wait_for("the slave", lambda: mbpoll(line.b, "-t", "4", "-r", "1", timeout="0.2").returncode == 0)
        master = subprocess.run(["/usr/bin/python3", "-c", PYMODBUS_MASTER, line.b],
                                capture_output=True, text=True, timeout=DEADLINE)
    finally:
        stop(slave)
        line.close()
    assert master.stdout.strip() == "ok", master.stdout + master.stderr


ASCII_SLAVE = """
import sys
from pymodbus.server import StartSerialServer
from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusSlaveContext,
                                ModbusServerContext)
from pymodbus.transaction import ModbusAsciiFramer
store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, list(range(100))), zero_mode=True)
StartSerialServer(context=ModbusServerContext(slaves={1: store}, single=False),
                  framer=ModbusAsciiFramer, port=sys.argv[1], baudrate=9600)
"""


def runs_against_a_pymodbus_ascii_slave(folder):
    """Modbus ASCII frames built from `03 00 00 00 0A`: the answers read as
    registers 0-9 and pass; a read past the slave's registers is refused
    by exception 02 and fails its step by that name."""
    setup = write(folder, "ascii.qvs", protocol_setup(
        2, [("读 0-9", "03 00 00 00 0A", 1, ""), ("越界", "03 00 C8 00 01", 1, "")]))
    log = os.path.join(folder, "ascii.log")
    line = Line(folder)
    slave = subprocess.Popen(["/usr/bin/python3", "-c", ASCII_SLAVE, line.b],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        def answered():
            probe = subprocess.run([os.path.join(BIN, "quorvane"), "--run", setup, "--port", line.a,
                                    "--rounds", "1"], capture_output=True, text=True, timeout=60)
            return probe.stdout.startswith("通过 1 ")
        wait_for("the pymodbus slave", answered)
        ran = subprocess.run([os.path.join(BIN, "quorvane"), "--run", setup, "--port", line.a,
                              "--rounds", "2", "--log", log], capture_output=True, text=True,
                             timeout=60)
    finally:
        slave.terminate()
        slave.wait(DEADLINE)
        line.close()
    assert ran.returncode == 1, ran.stdout + ran.stderr
    assert ran.stdout.startswith("通过 2 失败 2 超时 0"), ran.stdout
    assert "第 1 轮 第 2 步 越界: 失败 异常 02 非法数据地址" in ran.stderr, ran.stderr
    record = open(log, encoding="utf-8").read()
    assert "[校验正确 读保持寄存器 10 个: 0 1 2 3 4 5 6 7 8 9] [通过]" in record, record


def reads_a_dlt645_meter(folder):
    """quorvane-device plays a meter: the energy read by `11 00 01 00 00`
    reads as 1234.56 kWh and passes; an identifier the meter lacks is
    answered abnormally and fails by its error word."""
    setup = write(folder, "meter.qvs", protocol_setup(
        3, [("正向有功", "11 00 01 00 00", 1, ""), ("缺", "11 04 00 0C 01", 1, "")]))
    log = os.path.join(folder, "meter.log")
    meter = subprocess.Popen([os.path.join(BIN, "quorvane-device"), "--quiet", "dlt645"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        path = meter.stdout.readline().strip()
        ran = subprocess.run([os.path.join(BIN, "quorvane"), "--run", setup, "--port", path,
                              "--rounds", "1", "--log", log], capture_output=True, text=True,
                             timeout=60)
    finally:
        meter.terminate()
        meter.wait(DEADLINE)
    assert ran.returncode == 1, ran.stdout + ran.stderr
    assert ran.stdout.startswith("通过 1 失败 1 超时 0"), ran.stdout + ran.stderr
    assert "缺: 失败 异常应答 无请求数据" in ran.stderr, ran.stderr
    record = open(log, encoding="utf-8").read()
    assert "[校验正确 表 000000001234 正向有功总电能 1234.56 kWh] [通过]" in record, record


def plays_a_dlt645_meter(folder):
    """`quorvane --answer` as the meter of its setup: a read of the energy
    gets the frame a meter sends, byte for byte."""
    setup = write(folder, "meter.qvs", protocol_setup(
        3, [("正向有功", "11 00 01 00 00", 1, "")], "meter.00010000=1234.56\n"))
    line = Line(folder)
    slave = answering(setup, line.a)
    request = bytes.fromhex("FEFEFEFE 683412000000006811043333343 3F816".replace(" ", ""))
    body = bytes.fromhex("68341200000000689108333334338967453 3".replace(" ", ""))
    expected = b"\xFE" * 4 + body + bytes([sum(body) % 256, 0x16])
    try:
        import serial  # pyserial, from Debian
        with serial.Serial(line.b, 9600, timeout=0.3) as port:
            def answered():
                port.reset_input_buffer()
                port.write(request)
                return port.read(len(expected)) == expected
            wait_for("the meter's answer", answered)
    finally:
        stop(slave)
        line.close()


def main():
    with tempfile.TemporaryDirectory() as folder:
        for case in (mbpoll_reads_and_writes_the_simulated_slave,
                     pymodbus_master_reads_and_writes_the_simulated_slave,
                     runs_against_a_pymodbus_ascii_slave, reads_a_dlt645_meter,
                     plays_a_dlt645_meter):
            case_folder = os.path.join(folder, case.__name__)
            os.mkdir(case_folder)
            case(case_folder)
            print("passed:", case.__name__)


if __name__ == "__main__":
    main()
