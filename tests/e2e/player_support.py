"""What the Python tests of installed players share: waiting on a condition,
a generated tone, a free loopback port, an installed player."""
import math, os, signal, socket, subprocess, time, urllib.request, wave


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


# What makes the player show its window.
DISPLAY_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")


def get(port, route):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/{route}", timeout=10) as answer:
        return answer.read().decode()


class InstalledPlayer:
    """A player installed from BUILD (`cmake --install`) into STAGE/NAME, sharing
    MUSIC, started on a port with the null audio output and stopped by a signal."""
    def __init__(self, cmake, build, stage, name, music):
        self.dist = os.path.join(stage, name)
        self.music = music
        self.process = None
        self.log = os.path.join(stage, name + ".log")
        result = subprocess.run([cmake, "--install", build, "--prefix", self.dist],
                                capture_output=True, text=True)
        assert result.returncode == 0, result.stdout + result.stderr

    def ini(self):
        return os.path.join(self.dist, "Plugins", "gen_Tunelet.ini")

    def start(self, port, extra="", args=(), window=False):
        """Headless unless `window`: without it the display is hidden from the
        player, so that a desktop's display does not change what is tested."""
        self.port = port
        with open(self.ini(), "w") as ini:
            ini.write(f"[Tunelet Remote Control Plugin v1.0]\nlistenPort={port}\nShared Dirs={self.music};\n{extra}")
        environment = dict(os.environ, TUNELET_AUDIO="null")
        if not window:
            for name in DISPLAY_VARIABLES:
                environment.pop(name, None)
        with open(self.log, "a") as log:
            self.process = subprocess.Popen([os.path.join(self.dist, "tunelet-player"), *args],
                                            env=environment,
                                            stdout=log, stderr=subprocess.STDOUT)

        def reachable():
            try:
                return get(port, "getvolume") != ""
            except OSError:
                return False
        assert wait_until(reachable, 60), open(self.log).read()

    def stop(self, how=signal.SIGTERM):
        process, self.process = self.process, None
        if process and process.poll() is None:
            process.send_signal(how)
            status = process.wait(30)
            if how == signal.SIGTERM:
                assert status == 0, open(self.log).read()
        elif process:
            # A player that ended before it was stopped fails with its log.
            assert process.returncode == 0, f"ended by itself, status {process.returncode}:\n" + open(self.log).read()
