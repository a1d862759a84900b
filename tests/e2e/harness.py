"""Drives the real Ostrivel binary on an X server of its own, as a person would: keys through
xdotool, the window title, the files the program writes. Every wait has a generous bound and
ends as soon as the awaited event happens; nothing sleeps a fixed time."""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

BINARY = os.environ.get("OSTRIVEL_BINARY", os.path.join(os.path.dirname(__file__), "../../build/ostrivel"))
BOUND = float(os.environ.get("OSTRIVEL_E2E_BOUND", "90"))  # seconds for any one wait

STARTER_SKELETON = (b"<html>\r\n\r\n<head>\r\n<title></title>\r\n</head>\r\n\r\n<body>\r\n\r\n"
                    b"</body>\r\n\r\n</html>")
SUFFIX = "  —— OstrivelV1.0"
HELP_CAPTION = "Ostrivel说明" + SUFFIX


def wait_for(condition, what, bound=BOUND):
    """Polls `condition` until it gives a true value, which is returned."""
    deadline = time.monotonic() + bound
    delay = 0.01
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(delay)
        delay = min(delay * 2, 0.2)


class XServer:
    """An Xvfb of its own (1024 x 768), optionally with a window manager."""

    def __init__(self, width=1024, height=768, window_manager=False):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            # -noreset: by default the server resets whenever its last client leaves (a program
            # closed between tests, each xdotool run), and a program starting meanwhile cannot
            # open the display.
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = f":{number}"
        self.wm = None
        if window_manager:
            self.start_window_manager()

    def start_window_manager(self):
        for _ in range(3):  # a window manager that gave up at start is started again
            self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_for(lambda: self.wm.poll() is not None or "_NET_SUPPORTING_WM_CHECK" in self.run("xprop", "-root"),
                     "the window manager")
            if self.wm.poll() is None:
                return
        raise RuntimeError("the window manager does not start")

    def env(self, **extra):
        # A UTF-8 locale, so that xdotool matches and prints Chinese window names as they are.
        env = dict(os.environ, DISPLAY=self.display, LANG="C.UTF-8", LC_ALL="C.UTF-8")
        env.update(extra)
        return env

    def run(self, *args, check=False):
        result = subprocess.run(args, env=self.env(), capture_output=True, text=True)
        if check and result.returncode != 0:
            raise AssertionError(f"{args} failed: {result.stderr}")
        return result.stdout

    def close(self):
        for process in (self.wm, self.process):
            if process:
                process.terminate()
                process.wait(timeout=30)


class Ostrivel:
    """One run of the program, with a temporary directory and home of its own."""

    def __init__(self, xserver, env=None):
        self.x = xserver
        self.root = tempfile.mkdtemp(prefix="ostrivel-e2e-")
        self.tmpdir = os.path.join(self.root, "tmp")
        self.home = os.path.join(self.root, "home")
        os.makedirs(self.tmpdir)
        os.makedirs(self.home)
        run_env = xserver.env(TMPDIR=self.tmpdir, HOME=self.home,
                              XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                              XDG_CONFIG_DIRS=os.path.join(self.root, "etc-xdg"),
                              XDG_DATA_HOME=os.path.join(self.home, ".local/share"),
                              XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                              NO_AT_BRIDGE="1", GTK_A11Y="none", GSETTINGS_BACKEND="memory")
        run_env.update(env or {})
        self.log = open(os.path.join(self.root, "ostrivel.log"), "w")
        self.started = time.monotonic()
        self.process = subprocess.Popen([BINARY], env=run_env, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.window = None
        self.clipboard_owners = []

    # --- the window ---------------------------------------------------------------------
    def find_window(self, visible=True):
        # --all: a window of this process AND with that name (xdotool joins them with OR otherwise).
        args = ["xdotool", "search", "--all"] + (["--onlyvisible"] if visible else []) + [
            "--pid", str(self.process.pid), "--name", "Ostrivel"]
        ids = self.x.run(*args).split()
        return ids[-1] if ids else None

    def wait_for_window(self):
        # A program that ended at start (no display, say) is reported at once, with its output.
        self.window = wait_for(lambda: self.find_window() or self.exited(), "the main window")
        self.assert_running()
        return self.window

    def title(self):
        return self.x.run("xdotool", "getwindowname", self.window).rstrip("\n")

    def wait_for_title(self, expected):
        try:
            wait_for(lambda: self.title() == expected or self.exited(), f"the caption {expected!r}")
        except AssertionError as error:
            raise AssertionError(f"{error}; the caption is {self.title()!r}") from None
        self.assert_running()
        return expected

    def geometry(self):
        info = self.x.run("xwininfo", "-id", self.window)
        values = {}
        for line in info.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                if line.startswith(key + ":"):
                    values[key] = int(line.split(":")[1])
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"], values["Height"])

    def find_dialog(self, title):
        # Only real windows of the program: its pop-ups (a name completion list) have no class.
        # xdotool's name patterns do not match Chinese reliably: compare the names here.
        ids = self.x.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                         "--name", "").split()
        ids = [i for i in ids if i != self.window
               and self.x.run("xdotool", "getwindowname", i).rstrip("\n") == title
               and '"ostrivel"' in self.x.run("xprop", "-id", i, "WM_CLASS")]
        return ids[-1] if ids else None

    def wait_for_dialog(self, title):
        return wait_for(lambda: self.find_dialog(title) or self.exited(), f"the dialog {title!r}")

    def wait_for_dialog_gone(self, title):
        wait_for(lambda: not self.find_dialog(title), f"the dialog {title!r} to close")

    def confirm_dialog(self, window, title, key="Return", until=()):
        """Presses the key in the dialog until it closes or a dialog titled in `until` opens: a
        file dialog may still be completing a typed name when the first press comes, and then
        only takes the completion."""
        deadline = time.monotonic() + BOUND

        def settled():
            return self.find_dialog(title) != window or any(self.find_dialog(t) for t in until)

        while not settled():
            if time.monotonic() > deadline:
                raise AssertionError(f"the dialog {title!r} did not close")
            self.key_to(window, key)
            try:
                wait_for(settled, "", bound=3)
            except AssertionError:
                pass

    def key_to(self, window, *keys):
        self.x.run("xdotool", "windowfocus", "--sync", window)
        self.x.run("xdotool", "key", "--clearmodifiers", "--delay", "30", *keys, check=True)

    def type_to(self, window, text):
        self.x.run("xdotool", "windowfocus", "--sync", window)
        self.x.run("xdotool", "type", "--delay", "20", text, check=True)

    def focus(self):
        self.x.run("xdotool", "windowfocus", "--sync", self.window)

    def key(self, *keys):
        self.focus()
        self.x.run("xdotool", "key", "--clearmodifiers", "--delay", "30", *keys, check=True)

    def type(self, text):
        self.focus()
        self.x.run("xdotool", "type", "--delay", "20", text, check=True)

    def paste(self, text):
        """Puts text on the clipboard and pastes it with Ctrl+V, as a person pastes text that
        the keyboard cannot type."""
        # -quiet keeps xclip in the foreground, serving the clipboard until it is ended.
        clip = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], env=self.x.env(),
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.clipboard_owners.append(clip)
        clip.stdin.write(text.encode("utf-8"))
        clip.stdin.close()
        wait_for(lambda: self.x.run("xclip", "-selection", "clipboard", "-o") == text, "the clipboard")
        self.key("ctrl+v")

    def pixel(self, x, y):
        """The colour at a point of the screen, as '#rrggbb'."""
        shot = os.path.join(self.root, "pixel.png")
        self.x.run("import", "-window", "root", "-crop", f"1x1+{x}+{y}", shot, check=True)
        text = subprocess.run(["convert", shot, "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
        return re.search(r"#[0-9A-Fa-f]{6}\b", text.split("\n", 1)[1]).group(0).lower()

    def screenshot(self, path):
        self.x.run("import", "-window", "root", path, check=True)

    # --- files --------------------------------------------------------------------------
    def preview_files(self):
        names = [n for n in os.listdir(self.tmpdir) if n.endswith(".tmp")]
        return sorted((os.path.join(self.tmpdir, n) for n in names), key=os.path.getmtime)

    def wait_for_preview_count(self, count):
        return wait_for(lambda: len(self.preview_files()) >= count and self.preview_files(),
                        f"{count} preview files")

    # --- the process --------------------------------------------------------------------
    def exited(self):
        return self.process.poll() is not None

    def assert_running(self):
        if self.exited():
            raise AssertionError(f"the program ended with {self.process.returncode}:\n{self.output()}")

    def wait_for_exit(self):
        wait_for(self.exited, "the program to end")
        return self.process.returncode

    def output(self):
        self.log.flush()
        with open(self.log.name, errors="replace") as log:
            return log.read()

    def close(self):
        for clip in self.clipboard_owners:
            clip.kill()
            clip.wait(timeout=30)
        if not self.exited():
            self.process.kill()
            self.process.wait(timeout=30)
        self.log.close()
        shutil.rmtree(self.root, ignore_errors=True)


class OstrivelTestCase(unittest.TestCase):
    """Starts an X server per test class and a program per test."""
    window_manager = False

    @classmethod
    def setUpClass(cls):
        cls.x = XServer(window_manager=cls.window_manager)

    @classmethod
    def tearDownClass(cls):
        cls.x.close()

    def start(self, **kwargs):
        app = Ostrivel(self.x, **kwargs)
        self.addCleanup(app.close)
        app.wait_for_window()
        return app

    def start_and_wait_for_help_page(self, **kwargs):
        app = self.start(**kwargs)
        app.wait_for_title(HELP_CAPTION)
        return app


def main():
    unittest.main(verbosity=2)
