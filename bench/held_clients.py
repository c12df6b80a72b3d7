#!/usr/bin/env python3
"""Holds many client connections to a server on 127.0.0.1, then runs a command.

  held_clients.py idle PORT COUNT COOKIE PID [CMD...]
      COUNT keep-alive connections spread over loopback addresses 127.1.x.y
      (20 to an address, as one host may hold only a few), each served one
      "getvolume" and then left idle.
  held_clients.py slow PORT COUNT COOKIE PID TARGET [CMD...]
      COUNT connections from 127.0.0.2, each asking for TARGET (a download)
      with a small receive buffer, then reading one byte every 10 s.

Prints the answers the held connections got by status, the server's (process
PID) resident memory and threads before and while they are held, and the
median time a new client from 127.0.0.1 waits for its first "getvolume"
answer (connect, ask, read), and how many of the held connections are still
open (the server may close idle ones to make room). Then runs CMD (if any) while the connections are
held, and closes them. Only 127.0.0.0/8 is used.
"""
import resource
import socket
import statistics
import subprocess
import sys
import threading
import time


def status_field(pid, name):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(name + ":"):
                return int(line.split()[1])
    return -1


def read_head(sock):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def read_answer(sock):
    data = read_head(sock)
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value)
    while len(body) < length:
        chunk = sock.recv(4096)
        if not chunk:
            break
        body += chunk
    status = head.split(b" ")[1].decode() if head.count(b" ") else "none"
    return status


def still_open(sock):
    try:
        return sock.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT) != b""
    except BlockingIOError:
        return True
    except OSError:
        return False


def request(target, cookie):
    return f"GET {target} HTTP/1.1\r\nHost: bench\r\nCookie: {cookie}\r\n\r\n".encode()


def connect(port, source, receive_buffer=0):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if receive_buffer:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    sock.bind((source, 0))
    sock.connect(("127.0.0.1", port))
    return sock


def first_answer_ms(port, cookie, tries=21):
    times = []
    for _ in range(tries):
        start = time.perf_counter()
        with connect(port, "127.0.0.1") as sock:
            sock.sendall(request("/getvolume", cookie))
            status = read_answer(sock)
        times.append((time.perf_counter() - start) * 1000)
        if status != "200":
            print(f"  a new client got {status}")
    return statistics.median(times)


def main():
    mode, port, count, cookie, pid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
    rest = sys.argv[6:]
    target = rest.pop(0) if mode == "slow" else None
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))

    rss_before, threads_before = status_field(pid, "VmRSS"), status_field(pid, "Threads")
    first_before = first_answer_ms(port, cookie)
    held, statuses = [], {}
    start = time.perf_counter()
    for i in range(count):
        try:
            if mode == "idle":
                sock = connect(port, f"127.1.{i // 20 // 250}.{i // 20 % 250 + 1}")
                sock.sendall(request("/getvolume", cookie))
                status = read_answer(sock)
            else:
                sock = connect(port, "127.0.0.2", 4096)
                sock.sendall(request(target, cookie))
                status = read_head(sock).split(b" ")[1].decode() or "none"
        except (OSError, IndexError) as error:
            status = type(error).__name__
            sock = None
        statuses[status] = statuses.get(status, 0) + 1
        if sock is not None:
            held.append(sock)
    opened = time.perf_counter() - start

    stop = threading.Event()
    def trickle():  # one byte per connection every 10 s
        while not stop.wait(10):
            for sock in held:
                try:
                    sock.recv(1, socket.MSG_DONTWAIT)
                except OSError:
                    pass
    if mode == "slow":
        threading.Thread(target=trickle, daemon=True).start()

    time.sleep(1)
    rss_after, threads_after = status_field(pid, "VmRSS"), status_field(pid, "Threads")
    first_after = first_answer_ms(port, cookie)
    open_now = sum(1 for sock in held if still_open(sock))
    print(f"{mode} connections: {count} opened in {opened:.1f} s; answers by status: {statuses};"
          f" {open_now} still open")
    print(f"server VmRSS {rss_before} kB -> {rss_after} kB"
          + (f" ({(rss_after - rss_before) / count:.2f} kB per connection)" if count else "")
          + f"; threads {threads_before} -> {threads_after}")
    print(f"a new client's first answer: median {first_before:.2f} ms without them, {first_after:.2f} ms beside them")
    sys.stdout.flush()
    if rest:
        subprocess.run(rest, check=False)
    stop.set()
    for sock in held:
        sock.close()


if __name__ == "__main__":
    main()
