#!/usr/bin/env python3
"""Hostile input and failing streams.

Every prefix of the sample font, every single-byte change to each of its
packet headers, a header promising far more than there is, a million empty
packets, output whose pieces end at every offset near the output buffer's
end, bytes of 0xff only, a reader that goes away early, and output that
cannot be written at once or at all. Whatever comes in, the program ends with
the right status and one known message, keeps what it wrote, never
crashes, never grows with a packet length, and never loses output unsaid.

usage: hostile.py PROGRAM SAMPLE_FONT
"""
import array
import fcntl
import os
import resource
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import termios
import time

MESSAGES = {
    "first byte of packet not 0x80", "bad packet type", "end of file in packet header",
    "negative packet length", "end of file in binary packet", "end of file in text packet"}

program = sys.argv[1]
cases = failures = 0
work = tempfile.mkdtemp()


def run(data, timeout=60):
    r = subprocess.run([program], input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=timeout)
    return r.returncode, r.stdout, r.stderr.decode("latin-1")


def check(what, ok, detail=""):
    global cases, failures
    cases += 1
    if not ok:
        failures += 1
        print(f"FAIL: {what} {detail}")


def message(err):
    """The message of a one-line diagnostic, or None."""
    prefix = program + ": "
    if err.endswith("\n") and err.count("\n") == 1 and err.startswith(prefix):
        return err[len(prefix):-1]
    return None


def packets(font):
    """The (start, type, body start, end) of each packet of a well-formed font."""
    out, at = [], 0
    while font[at + 1] != 3:
        length = int.from_bytes(font[at + 2:at + 6], "little")
        out.append((at, font[at + 1], at + 6, at + 6 + length))
        at += 6 + length
    out.append((at, 3, at + 2, at + 2))
    return out


def expected_message(layout, cut):
    """What a font cut after cut bytes must be reported as."""
    for start, kind, body, end in layout:
        if cut <= start:
            return "first byte of packet not 0x80"
        if cut == start + 1:
            return "bad packet type"
        if kind != 3 and cut < body:
            return "end of file in packet header"
        if kind != 3 and cut < end:
            return "end of file in text packet" if kind == 1 else "end of file in binary packet"
    return None


def prefixes(font):
    """Every prefix of the font fails with the message for where it stops,
    and writes a prefix of the whole conversion."""
    layout = packets(font)
    status, full, _ = run(font)
    check("the whole sample font converts", status == 0)
    for cut in range(len(font) - 1):
        status, out, err = run(font[:cut])
        want = expected_message(layout, cut)
        check(f"prefix of {cut} bytes", status == 2 and message(err) == want and full.startswith(out),
              f"status {status}, stderr {err!r}, expected {want!r}")


def header_changes(font):
    """Any one header byte changed: status 0 or 2, nothing but a known
    message, and the packets before the change converted as before."""
    layout = packets(font)
    for start, kind, body, _ in layout:
        before = run(font[:start])[1]
        for offset in range(start, body):
            for value in range(256):
                if value == font[offset]:
                    continue
                damaged = font[:offset] + bytes([value]) + font[offset + 1:]
                status, out, err = run(damaged)
                good = (status == 0 and err == "") or (status == 2 and message(err) in MESSAGES)
                if not (good and out.startswith(before)):
                    check(f"header byte {offset} set to {value:#04x}", False,
                          f"status {status}, stderr {err!r}")
                    return
                check("", True)


def blocked_peak_kib(data):
    """The peak resident memory, in KiB, of a run that has read all of data
    and waits for more."""
    p = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    p.stdin.write(data)
    p.stdin.flush()
    unread = array.array("i", [1])
    for _ in range(3000):
        fcntl.ioctl(p.stdin.fileno(), termios.FIONREAD, unread)
        with open(f"/proc/{p.pid}/wchan") as f:
            waiting = "pipe" in f.read()
        if unread[0] == 0 and waiting:
            break
        time.sleep(0.01)
    with open(f"/proc/{p.pid}/status") as f:
        peak = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
    p.stdin.close()
    p.wait()
    return peak


def huge_claims():
    """A header promising 2,147,483,647 bytes with ten behind it fails at once,
    and, waiting for more, holds no more memory than one promising eleven."""
    ten = bytes(range(16, 26))
    for kind, msg, out in [(2, "end of file in binary packet", ten.hex().encode()),
                           (1, "end of file in text packet", ten)]:
        data = bytes([0x80, kind, 0xff, 0xff, 0xff, 0x7f]) + ten
        status, got, err = run(data)
        check(f"a type {kind} header promising 2147483647 bytes",
              status == 2 and got == out and message(err) == msg, f"status {status}, stderr {err!r}")
        small = blocked_peak_kib(bytes([0x80, kind, 11, 0, 0, 0]) + ten)
        large = blocked_peak_kib(data)
        check(f"memory of a type {kind} header promising 2147483647 bytes", large - small <= 1024,
              f"{large} KiB against {small} KiB")


def many_packets():
    """A million empty packets make a million empty lines."""
    status, out, err = run(b"\x80\x01\x00\x00\x00\x00" * 1_000_000 + b"\x80\x03")
    check("a million empty packets", status == 0 and out == b"\n" * 1_000_000 and err == "")


def buffer_edges():
    """The end of a text run, or of a hex piece, at each offset near the end
    of the output buffer, read from a file and from a pipe: nothing is lost,
    and nothing written past the buffer, which the program checks."""
    for what, packet, out in [("text runs", b"\x80\x01\x41\0\0\0" + b"a" * 65, b"a" * 65 + b"\n"),
                              ("hex pieces", b"\x80\x02\x01\0\0\0\xab", b"ab\n")]:
        count = 140_000 // len(out)  # a buffer's worth and more
        for pad in range(len(out)):
            data = b"\x80\x01\0\0\0\0" * pad + packet * count + b"\x80\x03"
            with open(os.path.join(work, "edge.pfb"), "wb") as f:
                f.write(data)
            with open(os.path.join(work, "edge.pfb"), "rb") as f:
                r = subprocess.run([program], stdin=f, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            for how, (status, got, err) in [("a file", (r.returncode, r.stdout, r.stderr)), ("a pipe", run(data))]:
                check(f"{what} after {pad} empty packets from {how}", status == 0 and not err and
                      got == b"\n" * pad + out * count, f"status {status}, stderr {err!r}")


def all_ff():
    status, out, err = run(b"\xff" * 100_000)
    check("input of 0xff bytes only", status == 2 and out == b"" and
          message(err) == "first byte of packet not 0x80", f"status {status}, stderr {err!r}")


def reader_goes_away():
    """A reader that exits early ends the program quietly, as it does cat."""
    body = os.urandom(4 << 20)
    with open(os.path.join(work, "big.pfb"), "wb") as f:
        f.write(bytes([0x80, 2]) + len(body).to_bytes(4, "little") + body + b"\x80\x03")
    with open(os.path.join(work, "big.pfb"), "rb") as source:
        p = subprocess.Popen([program], stdin=source, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    p.stdout.read(10)
    p.stdout.close()
    err = p.stderr.read()
    p.wait(60)
    check("a reader that exits early", p.returncode == -signal.SIGPIPE and err == b"",
          f"status {p.returncode}, stderr {err!r}")


def state(p):
    """The program's state, Z once it has ended, reaped or not."""
    if p.returncode is not None:
        return "Z"
    with open(f"/proc/{p.pid}/stat") as f:
        return f.read().rpartition(")")[2].split()[0]


def stop_and_continue(p, fd, reading=False):
    """Once the program sleeps with output queued on fd that nobody reads,
    or, reading, with all its input on fd taken, stops it and lets it go on."""
    queued, before = array.array("i", [0]), -1
    while state(p) != "Z" and not (state(p) == "S" and before == queued[0] and (queued[0] == 0) == reading):
        before = queued[0]
        time.sleep(0.05)
        fcntl.ioctl(fd, termios.FIONREAD, queued)
    p.send_signal(signal.SIGSTOP)
    while state(p) not in ("T", "Z"):
        time.sleep(0.01)
    p.send_signal(signal.SIGCONT)


def packet_pair():
    """The two ends of a socket that sends a packet of a few bytes, but none
    of a buffer's size."""
    ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
    theirs.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 16384)
    return ours.detach(), theirs.detach()


def tcp_pair():
    """The two ends of a TCP connection on the loopback."""
    with socket.create_server(("127.0.0.1", 0)) as server:
        client = socket.create_connection(server.getsockname())
        return client, server.accept()[0]


def output_path():
    """Output taken late and input that comes late. A non-blocking pipe's
    reader that comes only at the end gets a write error; one that comes
    while the program waits for input, that or all the output. Stops while
    it waits on a pipe, on a socket with a send timeout, or on a read from a
    socket with a receive timeout, which then fails with EINTR, lose nothing.
    Input cut by a reset TCP peer is a read error, also when the output
    pending then cannot be written either. A failed write is the last: what
    comes out is a prefix of the whole, even where a later one could go."""
    body = os.urandom(150_000)
    font = bytes([0x80, 2]) + len(body).to_bytes(4, "little") + body + b"\x80\x03"
    path = os.path.join(work, "binary.pfb")
    with open(path, "wb") as f:
        f.write(font)
    want = run(font)[1]
    sock = socket.socketpair()
    sock[1].setsockopt(socket.SOL_SOCKET, socket.SO_SNDTIMEO, struct.pack("ll", 60, 0))
    # With a cut, the input comes on a socket: that many bytes, then the
    # rest once the program waits for it, past its second write here, or a
    # reset from a TCP peer.
    for what, (ours, theirs), nonblocking, stops, cut, reset in [
            ("a non-blocking pipe whose reader is late", os.pipe(), True, 0, 0, False),
            ("a non-blocking pipe whose reader comes before the end", os.pipe(), True, 0, 140_006, False),
            ("a write that fails, then one that would not", packet_pair(), True, 0, 0, False),
            ("a stop and a continue while blocked on a pipe", os.pipe(), False, 1, 0, False),
            ("stops and continues while blocked on a socket with a send timeout",
             (sock[0].detach(), sock[1].detach()), False, 2, 0, False),
            ("a stop and a continue while a read waits", os.pipe(), False, 0, 1000, False),
            ("a reset while a read waits, into a full disk", (None, os.open("/dev/full", os.O_WRONLY)),
             False, 0, 1000, True)]:
        os.set_blocking(theirs, not nonblocking)
        source, sink = tcp_pair() if reset else socket.socketpair()
        sink.setsockopt(socket.SOL_SOCKET, socket.SO_RCVTIMEO, struct.pack("ll", 60, 0))
        p = subprocess.Popen([program] if cut else [program, path], stdin=sink, stdout=theirs,
                             stderr=subprocess.PIPE)
        os.close(theirs)
        for _ in range(stops):
            stop_and_continue(p, ours)
        out = b""
        if cut:
            source.sendall(font[:cut])
            stop_and_continue(p, sink.fileno(), reading=True)
            if nonblocking:
                out = os.read(ours, 1 << 20)
            if reset:
                source.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            else:
                source.sendall(font[cut:])
            source.close()
        elif nonblocking:
            p.wait()
        if ours is not None:
            with os.fdopen(ours, "rb") as f:
                out += f.read()
        err = p.stderr.read().decode("latin-1")
        p.wait()
        whole = p.returncode == 0 and out == want and err == ""
        failed = p.returncode == 1 and (message(err) or "").startswith("read error: " if reset else "write error: ") \
            and want.startswith(out)
        check(what, failed if reset or nonblocking and not cut else whole or nonblocking and failed,
              f"status {p.returncode}, {len(out)} bytes of {len(want)}, stderr {err!r}")


def main():
    with open(sys.argv[2], "rb") as f:
        font = f.read()
    prefixes(font)
    header_changes(font)
    huge_claims()
    many_packets()
    buffer_edges()
    all_ff()
    reader_goes_away()
    output_path()
    shutil.rmtree(work)
    print(f"{cases - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
