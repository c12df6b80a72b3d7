#!/usr/bin/env python3
"""The run command's failures said plainly: tools/deps.sh waiting for a package
manager lock another program holds (a stand-in apt-get), and ./run.sh refusing
to print an address nobody of its own listens on, while a first instance runs
on untouched.
   run_command.py SOURCE_DIR BUILD_DIR
Inside tools/netns.sh only: run.sh makes a namespace of its own within it."""
import os, shutil, signal, stat, subprocess, sys, tempfile, unittest, urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from player_support import DISPLAY_VARIABLES, free_port, tone, wait_until  # noqa: E402

SOURCE, BUILD = sys.argv[1], sys.argv[2]
LOCKED = "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)"


def script(path, text):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + text)
    os.chmod(path, stat.S_IRWXU)


class DepsWaitsForTheLock(unittest.TestCase):
    def test_cases(self):
        # (apt-get calls that find the lock held, TUNELET_APT_WAIT, other failure,
        #  exit status, words expected on stderr)
        cases = [
            (2, "60", False, 0, ["Waiting for another program", "process 4242 (unattended-upgr)"]),
            (99, "2", False, 1, ["Waiting for another program", "still busy after 2 seconds", LOCKED]),
            (0, "60", True, 1, ["E: Unable to locate package"]),
        ]
        for held, limit, broken, status, words in cases:
            with self.subTest(held=held, broken=broken), tempfile.TemporaryDirectory() as fake:
                count = os.path.join(fake, "count")
                script(os.path.join(fake, "id"), "echo 0\n")  # as root
                script(os.path.join(fake, "dpkg-query"), "exit 1\n")  # nothing installed
                script(os.path.join(fake, "apt-get"), f"""echo x >>"{count}"
[ "$(wc -l <"{count}")" -le {held} ] && {{ echo "{LOCKED}" >&2; exit 100; }}
{'echo "E: Unable to locate package pkg" >&2; exit 100' if broken else 'exit 0'}
""")
                env = dict(os.environ, PATH=fake + ":" + os.environ["PATH"], TUNELET_APT_WAIT=limit)
                done = subprocess.run([os.path.join(SOURCE, "tools", "deps.sh"), "pkg"], env=env,
                                      capture_output=True, text=True, timeout=60)
                self.assertEqual(done.returncode, status, done.stderr)
                for word in words:
                    self.assertIn(word, done.stderr)
                self.assertEqual(done.stderr.count("Waiting"), 1 if held else 0, done.stderr)


def read(path):
    with open(path) as f:
        return f.read()


def answers(port):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/getplaylistlength", timeout=5) as answer:
            return answer.status == 200
    except OSError:
        return False


class RunSaysWhatFailed(unittest.TestCase):
    def run_script(self, name, settings=None):
        """./run.sh on the install folder `name`, given `settings` when it has none yet."""
        dist = os.path.join(self.stage, name)
        if settings is not None:
            os.makedirs(os.path.join(dist, "Plugins"))
            with open(os.path.join(dist, "Plugins", "gen_Tunelet.ini"), "w") as f:
                f.write("[Tunelet Remote Control Plugin v1.0]\n" + settings)
        env = dict(os.environ, TUNELET_DIST=dist, TUNELET_BUILD_DIR=BUILD, TMPDIR=self.stage, TUNELET_AUDIO="null")
        for variable in DISPLAY_VARIABLES:
            env.pop(variable, None)
        log = os.path.join(self.stage, f"{name}.{len(os.listdir(self.stage))}.log")
        with open(log, "w") as out:
            run = subprocess.Popen([os.path.join(SOURCE, "run.sh")], env=env, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True,
                                   preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        self.addCleanup(lambda: run.poll() is None and os.killpg(run.pid, signal.SIGKILL))
        return run, log

    def test_a_second_run_and_an_address_not_here_fail_with_a_message(self):
        self.stage = tempfile.mkdtemp(prefix="tunelet-run-command.")
        self.addCleanup(shutil.rmtree, self.stage, True)
        music = os.path.join(self.stage, "music")
        os.makedirs(music)
        tone(os.path.join(music, "a.wav"), 1)
        port, other = free_port(), free_port()
        first, first_log = self.run_script("first", f"listenPort={port}\nShared Dirs={music};\nNeedsIndex=1\n")
        self.assertTrue(wait_until(lambda: "Tunelet is running" in read(first_log) and answers(port), 120),
                        read(first_log))
        # A first start builds the index without asking about one cut short.
        self.assertTrue(wait_until(lambda: "building the search index" in read(first_log), 60), read(first_log))
        self.assertNotIn("shutdown while indexing", read(first_log))

        for name, settings, message in [
            ("first", None, f"port {port} is taken"),  # ./run.sh again
            ("elsewhere", f"listenPort={other}\nlistenIP=10.255.0.1\n",
             f"cannot listen on 10.255.0.1:{other}: address not available on this machine"),
        ]:
            with self.subTest(name):
                second, log = self.run_script(name, settings)
                self.assertNotEqual(second.wait(60), 0, read(log))
                self.assertIn(message, read(log))
                self.assertNotIn("Open http://", read(log))
                self.assertTrue(answers(port), "the first instance runs on")

        os.killpg(first.pid, signal.SIGINT)
        self.assertEqual(first.wait(60), 0, read(first_log))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
