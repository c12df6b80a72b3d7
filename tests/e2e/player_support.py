"""What the Python tests of installed players share: waiting on a condition,
a generated tone, a free loopback port."""
import math, socket, time, wave


def wait_until(condition, timeout=30.0):
    """The condition's first true value within `timeout` seconds, else its last."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    return condition()


def tone(path, seconds, rate=8000, pitch=440):
    """A mono 16-bit WAV file of a sine tone."""
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(
            int(6000 * math.sin(2 * math.pi * pitch * i / rate)).to_bytes(2, "little", signed=True)
            for i in range(seconds * rate)))


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]
