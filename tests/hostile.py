#!/usr/bin/env python3
"""Hostile input and failing streams.

The sample font cut at and around every header and inside each body, each
field of its headers at its edges, a header promising far more than there
is, output whose pieces end at every offset near the output buffer's end, a
reader that goes away early, and output that cannot be written at once or
at all. Whatever comes in, the program ends with the right status and one
known message, keeps what it wrote, never crashes, never grows with a packet
length, and never loses output unsaid. It reads the program's state in
/proc, and skips without it.

usage: hostile.py PROGRAM SAMPLE_FONT
"""
import array
import ctypes
import fcntl
import os
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


def run(data, timeout=60, preexec_fn=None):
    try:
        r = subprocess.run([program], input=data, capture_output=True, timeout=timeout, preexec_fn=preexec_fn)
    except subprocess.TimeoutExpired:
        return None, b"", f"no end in {timeout} s"
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


def damaged(font):
    """Cuts at and around every header and inside each body, and each header
    field at its edges: the status and message for where the damage is, and
    the packets before it converted as before."""
    layout = packets(font)
    status, full, _ = run(font)
    check("the whole sample font converts", status == 0)
    for start, kind, body, end in layout:
        for cut in sorted({*range(start, body + 1), body + 1, (body + end) // 2, end - 1} & {*range(len(font))}):
            status, out, err = run(font[:cut])
            want = expected_message(layout, cut)
            check(f"a cut after {cut} bytes", status == 2 and message(err) == want and full.startswith(out),
                  f"status {status}, stderr {err!r}, expected {want!r}")
        # Where, the new bytes, and the message they must give, or None for any known one or none.
        edges = [(start, bytes([v]), "first byte of packet not 0x80") for v in (0, 0x7f, 0x81, 0xff)]
        edges += [(start + 1, bytes([v]), {1: None, 2: None, 3: ""}.get(v, "bad packet type"))
                  for v in (0, 1, 2, 3, 4, 0x7f, 0x80, 0xff)]
        short = "end of file in text packet" if kind == 1 else "end of file in binary packet"
        edges += [(start + 2, n.to_bytes(4, "little"), "negative packet length" if n >> 31 else short if n >> 30 else None)
                  for n in (0, 1, 255, 256, 0x7fffffff, 0x80000000, 0xffffffff) if kind != 3]
        before = run(font[:start])[1]
        for at, new, want in edges:
            if font[at:at + len(new)] == new:
                continue
            status, out, err = run(font[:at] + new + font[at + len(new):])
            if want is None:
                good = (status == 0 and err == "") or (status == 2 and message(err) in MESSAGES)
            else:
                good = status == (2 if want else 0) and (message(err) == want or err == want == "") \
                    and (out == before or want == short)
            check(f"{new.hex()} at byte {at}", good and out.startswith(before), f"status {status}, stderr {err!r}")


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


# The numbers of the system calls that refused_calls answers, where known.
CALLS = {"x86_64": {"write": 1, "close": 3}, "aarch64": {"write": 64, "close": 57}}


def refused_calls(font):
    """A write that writes nothing is a write error, as is a failed close of
    standard output, as NFS reports a write error it deferred; nothing is
    written after either. A seccomp filter answers the call in the system's
    place, whatever library makes it."""
    calls = CALLS.get(os.uname().machine)
    if calls is None:
        return print(f"skipped the refused system calls: their numbers on {os.uname().machine} are not known here")
    for what, call, answer, data in [("a write that writes nothing", "write", 0, font),
                                     ("a close of standard output that fails with EIO", "close", 5, b"\x80\x03")]:
        # Load the call's number; not the call: allow; load its first argument;
        # not 1: allow; answer; allow.
        code = [(0x20, 0, 0, 0), (0x15, 0, 3, calls[call]), (0x20, 0, 0, 16), (0x15, 0, 1, 1),
                (0x06, 0, 0, 0x50000 | answer), (0x06, 0, 0, 0x7fff0000)]

        def install(code=code):
            filters, prctl = ctypes.create_string_buffer(struct.pack("HBBI" * len(code), *sum(code, ()))), ctypes.CDLL(None).prctl
            if prctl(38, 1, 0, 0, 0) or prctl(22, 2, struct.pack("HP", len(code), ctypes.addressof(filters)), 0, 0):
                os._exit(99)  # PR_SET_NO_NEW_PRIVS, PR_SET_SECCOMP with a filter
        status, out, err = run(data, 10, install)
        check(what, status == 1 and (message(err) or "").startswith("write error: ") and out == b"",
              f"status {status}, {len(out)} bytes, stderr {err!r}")


def main():
    if not os.path.exists("/proc/self/wchan"):
        print("skipped: there is no /proc, where cases read what the program waits for")
        return 77
    with open(sys.argv[2], "rb") as f:
        font = f.read()
    damaged(font)
    huge_claims()
    buffer_edges()
    reader_goes_away()
    output_path()
    refused_calls(font)
    shutil.rmtree(work)
    print(f"{cases - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
