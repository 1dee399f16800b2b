#!/usr/bin/python3
"""Quorvane without a window against Modbus programs written by others, on two
pseudo-terminals joined by socat: `quorvane --answer` as the slave that
mbpoll (libmodbus) reads, and `quorvane --run` as the master of a pymodbus
slave. Usage: peers.py BIN_DIR"""

import os
import subprocess
import sys
import tempfile
import time

BIN = sys.argv[1]
DEADLINE = 20  # seconds any wait may take

# The Modbus RTU frame of the help: slave 1 in the start byte, CRC-16/Modbus
# low byte first; the rule answers a read of one register with 42, its frame
# and check built by the frame format.
SETUP = """[quorvane]
version=2
[frame]
StartByte=01
SlaveAddr=
CmdByte=03
EndByte=
LenOption=0
FcsOption=1
FcsMethod=2
FcsStart=0
FcsByteOrder=0
PreprocessOn=0
PreprocessKind=0
[receive]
RcvTimeoutMs=500
RcvMaxChars=150
CheckReply=1
ShowMillis=0
ContinueAfterTimeout=0
[send]
mode=0
format=2
interval=100
encoding=0
linebreak=0
text=00 00 00 0A
[port]
port=2
baud=9600
parity=n
databits=8
stopbits=1
handshake=0
dtr=1
rts=1
rs485=0
rs485rtshigh=1
rs485before=0
rs485after=0
[display]
send=2
receive=2
[sequence]
rounds=5
stoponfail=0
[chart]
response=1
histogram=0
throughput=0
values=1
fields=0
[commands]
count=2
1.name=读 0-9
1.text=00 00 00 0A
1.format=2
1.expect=1
1.pattern=
1.timeout=0
1.wait=0
2.name=读 5-6
2.text=00 05 00 02
2.format=2
2.expect=2
2.pattern=01 03 04 00 05 00 06 ?? ??
2.timeout=0
2.wait=0
[answers]
enabled=1
count=1
1.enabled=1
1.name=读寄存器
1.match=0
1.pattern=01 03 ?? ?? 00 01 ?? ??
1.reply=1
1.text=02 00 2A
1.delay=0
"""

SLAVE = """
import sys
from pymodbus.server import StartSerialServer
from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusSlaveContext,
                                ModbusServerContext)
from pymodbus.transaction import ModbusRtuFramer
store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, list(range(100))), zero_mode=True)
StartSerialServer(context=ModbusServerContext(slaves={1: store}, single=False),
                  framer=ModbusRtuFramer, port=sys.argv[1], baudrate=9600)
"""


def wait_for(what, condition):
    end = time.monotonic() + DEADLINE
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def mbpoll(port, count=1, timeout="1"):
    return subprocess.run(["mbpoll", "-m", "rtu", "-a", "1", "-b", "9600", "-P", "none", "-t",
                           "4", "-r", "1", "-c", str(count), "-1", "-o", timeout, port],
                          capture_output=True, text=True, timeout=DEADLINE)


class Line:
    """Two pseudo-terminals joined by socat, as two ends of a cable."""

    def __init__(self, folder):
        self.a = os.path.join(folder, "a")
        self.b = os.path.join(folder, "b")
        self.socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={self.a}",
                                       f"pty,raw,echo=0,link={self.b}"])
        wait_for("socat's ports", lambda: os.path.exists(self.a) and os.path.exists(self.b))

    def close(self):
        self.socat.terminate()
        self.socat.wait(DEADLINE)


def answers_mbpoll(folder, setup):
    """quorvane --answer is the slave: libmodbus reads register 1 as 42,
    five times, each answer's CRC right (mbpoll drops a wrong one)."""
    line = Line(folder)
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    slave = subprocess.Popen([os.path.join(BIN, "quorvane"), "--answer", setup, "--port", line.a,
                              "--for", "60"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True, env=env)
    try:
        wait_for("the first answer", lambda: "[1]: \t42" in mbpoll(line.b, timeout="0.2").stdout)
        for _ in range(5):
            polled = mbpoll(line.b)
            assert polled.returncode == 0, polled.stdout + polled.stderr
            assert "[1]: \t42" in polled.stdout, polled.stdout
    finally:
        slave.terminate()
        out, err = slave.communicate(timeout=DEADLINE)
        line.close()
    assert slave.returncode == 0, err
    count = int(out.split("读寄存器: ")[1].split()[0])
    assert count >= 6, out


def with_commands(setup, commands):
    """The setup with these commands (name, text, expect, pattern) instead of its own."""
    head, rest = setup.split("[commands]\n")
    lines = [f"count={len(commands)}"]
    for n, (name, text, expect, pattern) in enumerate(commands, 1):
        lines += [f"{n}.name={name}", f"{n}.text={text}", f"{n}.format=2", f"{n}.expect={expect}",
                  f"{n}.pattern={pattern}", f"{n}.timeout=0", f"{n}.wait=0"]
    return head + "[commands]\n" + "\n".join(lines) + "\n" + rest[rest.index("[answers]"):]


def runs_against_pymodbus(folder, setup):
    """quorvane --run is the master: each right answer of the pymodbus slave
    passes, by its check and by its bytes; a read past its 100 registers
    provokes exception 02, which passes a step that expects its bytes and
    fails one that expects a right answer (校验应答), by its name."""
    refusal = os.path.join(folder, "refusal.qvs")
    with open(refusal, "w", encoding="utf-8") as f:
        f.write(with_commands(open(setup, encoding="utf-8").read(),
                              [("读 0-9", "00 00 00 0A", 1, ""), ("越界", "00 C8 00 01", 2, "01 83 02 ?? ??"),
                               ("越界应答", "00 C8 00 01", 1, "")]))
    line = Line(folder)
    slave = subprocess.Popen(["/usr/bin/python3", "-c", SLAVE, line.b],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        wait_for("the pymodbus slave", lambda: mbpoll(line.a, timeout="0.2").returncode == 0)
        ran = subprocess.run([os.path.join(BIN, "quorvane"), "--run", setup, "--port", line.a],
                             capture_output=True, text=True, timeout=60)
        refused = subprocess.run([os.path.join(BIN, "quorvane"), "--run", refusal, "--port", line.a,
                                  "--rounds", "2"], capture_output=True, text=True, timeout=60)
    finally:
        slave.terminate()
        slave.wait(DEADLINE)
        line.close()
    assert ran.returncode == 0, ran.stdout + ran.stderr
    assert ran.stdout.startswith("通过 10 失败 0 超时 0"), ran.stdout
    assert refused.returncode == 1, refused.stdout + refused.stderr
    assert refused.stdout.startswith("通过 4 失败 2 超时 0"), refused.stdout
    assert refused.stderr.count("第 2 轮 第 3 步 越界应答: 失败 异常 02 非法数据地址") == 1, refused.stderr


def main():
    with tempfile.TemporaryDirectory() as folder:
        setup = os.path.join(folder, "modbus.qvs")
        with open(setup, "w", encoding="utf-8") as f:
            f.write(SETUP)
        for case in (answers_mbpoll, runs_against_pymodbus):
            case_folder = os.path.join(folder, case.__name__)
            os.mkdir(case_folder)
            case(case_folder, setup)
            print("passed:", case.__name__)


if __name__ == "__main__":
    main()
