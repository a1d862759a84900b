#!/usr/bin/env python3
"""Ostrivel against the bare engine and the bare toolkit, on an X server of its own.

Every figure is a ratio: the program's median over the baseline's median, both measured in
this run with the two sides alternating (the machine is shared; absolute times mean nothing
from one run to the next). The spread is the range of the per-run ratios (program run i over
baseline run i).

  python3 bench/run_bench.py [--build DIR] [--runs N] [--only startup,preview,own,open]

Caption changes are seen through `xprop -spy -id W _NET_WM_NAME`: xprop selects
PropertyNotify on the window and prints each new value as the X server delivers it; a thread
stamps every line as it arrives, so no fixed sleep or poll interval enters a figure.
"""

import argparse
import json
import os
import queue
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import harness  # noqa: E402  (the project's own X server and caption constants)

SUFFIX = harness.SUFFIX
HELP_CAPTION = harness.HELP_CAPTION
OPEN_TITLE = "请输入欲打开文档的文件名:"
BOUND = float(os.environ.get("OSTRIVEL_BENCH_BOUND", "300"))  # seconds for any one wait; megabyte pages take a while on a loaded machine
SIZES = {"1K": 1 << 10, "1M": 1 << 20, "10M": 10 << 20}


def wait_for(condition, what, bound=None):
    return harness.wait_for(condition, what, BOUND if bound is None else bound)


# --- documents ----------------------------------------------------------------------------

LINE_TEXT = "第{n}行：中文与ASCII混排 line {n} of the bench page, 汉字与English words 交替出现。"


def html_page(size, title, title_at_end=False):
    """A GBK page of about `size` bytes, CR LF line ends, paragraphs of mixed text."""
    head = f"<html>\r\n<head>\r\n<title>{title}</title>\r\n</head>\r\n<body>\r\n"
    tail = "</body>\r\n</html>\r\n"
    if title_at_end:  # the caption changes only once the whole page has been parsed
        head = "<html>\r\n<head>\r\n</head>\r\n<body>\r\n"
        tail = f"<title>{title}</title>\r\n</body>\r\n</html>\r\n"
    out = [head.encode("gbk")]
    total = len(out[0]) + len(tail.encode("gbk"))
    n = 0
    while total < size:
        line = f"<p>{LINE_TEXT.format(n=n)}</p>\r\n".encode("gbk")
        if total + len(line) > size and n > 0:
            break
        out.append(line)
        total += len(line)
        n += 1
    out.append(tail.encode("gbk"))
    return b"".join(out)


def text_document(size):
    lines, total, n = [], 0, 0
    while total < size:
        line = (LINE_TEXT.format(n=n) + "\r\n").encode("gbk")
        lines.append(line)
        total += len(line)
        n += 1
    return b"".join(lines)


def rtf_escape_gbk(text):
    out = []
    for ch in text:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ord(ch) < 0x80:
            out.append(ch)
        else:
            out.append("".join(f"\\'{b:02x}" for b in ch.encode("gbk")))
    return "".join(out)


def rtf_document(size):
    """An RTF of about `size` bytes: code page 936, a GB2312 font, Chinese as \\'hh, and bold,
    italic and coloured runs on every line."""
    head = ("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"
            "{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
            "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs20 ")
    parts, total, n = [head], len(head), 0
    while total < size:
        line = (rtf_escape_gbk(f"第{n}行：中文与ASCII混排 ") + "{\\b " + rtf_escape_gbk("粗体 bold") + "} "
                + "{\\i italic " + rtf_escape_gbk("斜体") + "} \\cf1 " + rtf_escape_gbk("红色 red") + "\\cf0 "
                + "\\f1 Arial words\\f0  " + rtf_escape_gbk("汉字与English words 交替出现。") + "\\par\r\n")
        parts.append(line)
        total += len(line)
        n += 1
    parts.append("}")
    return "".join(parts).encode("ascii")


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


# --- processes ----------------------------------------------------------------------------

def descendants(pid):
    """The process and every process below it."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(entry))
            except (OSError, IndexError, ValueError):
                pass
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo.extend(children.get(p, []))
    return found


def cpu_ticks(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])  # utime, stime
        except (OSError, IndexError):
            pass
    return total


def wait_until_quiet(pid, window=0.3):
    """Until the process tree has used at most one clock tick in `window` seconds: whatever
    it was doing (loading, laying out, the engine settling) is over."""
    deadline = time.monotonic() + BOUND
    before = cpu_ticks(descendants(pid))
    while time.monotonic() < deadline:
        time.sleep(window)
        now = cpu_ticks(descendants(pid))
        if now - before <= 1:
            return
        before = now
    raise AssertionError(f"process {pid} never went quiet")


def memory_kb(pid):
    """VmRSS and Pss of one process, in kB."""
    rss = pss = 0
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
    except OSError:
        pass
    return rss, pss


class TitleWatch:
    """Every value the window's _NET_WM_NAME takes, stamped on arrival."""

    def __init__(self, x, window):
        self.process = subprocess.Popen(["xprop", "-spy", "-id", window, "_NET_WM_NAME"], env=x.env(),
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            stamp = time.monotonic()
            self.lines.put((stamp, raw.decode("utf-8", "replace").rstrip("\n")))

    def next_value(self, bound=BOUND):
        stamp, line = self.lines.get(timeout=bound)
        value = line.split(" = ", 1)[1] if " = " in line else ""
        return stamp, value.strip('"')

    def wait_for(self, caption, bound=BOUND):
        """The moment the caption became `caption` (a change still queued counts)."""
        deadline = time.monotonic() + bound
        while True:
            try:
                stamp, value = self.next_value(max(deadline - time.monotonic(), 0.001))
            except queue.Empty:
                raise AssertionError(f"the caption never became {caption!r}") from None
            if value == caption:
                return stamp

    def close(self):
        self.process.kill()
        self.process.wait()


class Run:
    """One process of the program or the baseline, with a home and temporary folder of its
    own (the same environment for both)."""

    def __init__(self, x, argv, stdin=subprocess.DEVNULL):
        self.x = x
        self.root = tempfile.mkdtemp(prefix="ostrivel-bench-")
        self.tmpdir = os.path.join(self.root, "tmp")
        home = os.path.join(self.root, "home")
        os.makedirs(self.tmpdir)
        os.makedirs(home)
        env = x.env(TMPDIR=self.tmpdir, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                    XDG_CONFIG_DIRS=os.path.join(self.root, "etc-xdg"),
                    XDG_DATA_HOME=os.path.join(home, ".local/share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
                    NO_AT_BRIDGE="1", GTK_A11Y="none", LANG="C.UTF-8")
        self.log = open(os.path.join(self.root, "log"), "w")
        self.started = time.monotonic()
        self.process = subprocess.Popen(argv, env=env, stdin=stdin, stdout=subprocess.PIPE if stdin ==
                                        subprocess.PIPE else self.log, stderr=self.log)
        self.window = None
        self.watch = None

    def find_window(self):
        ids = self.x.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                         "--name", "Ostrivel").split()
        return ids[-1] if ids else None

    def attach(self):
        """Finds the main window and watches its caption; gives the caption it had then."""
        def found():
            if self.process.poll() is not None:
                self.log.flush()
                with open(self.log.name, errors="replace") as log:
                    raise AssertionError(f"{self.process.args[0]} ended with {self.process.returncode}:\n{log.read()}")
            time.sleep(0.01)
            return self.find_window()
        self.window = wait_for(found, "the main window")
        self.watch = TitleWatch(self.x, self.window)
        return self.watch.next_value()[1]

    def press(self, *keys, window=None):
        self.x.run("xdotool", "windowfocus", "--sync", window or self.window, check=True)
        self.x.run("xdotool", "key", "--clearmodifiers", "--delay", "30", *keys, check=True)

    def timed_key(self, key, caption):
        """Seconds from sending the key to the caption `caption`."""
        self.x.run("xdotool", "windowfocus", "--sync", self.window, check=True)
        start = time.monotonic()
        self.x.run("xdotool", "key", key, check=True)
        return self.watch.wait_for(caption) - start

    def quiet(self):
        wait_until_quiet(self.process.pid)

    def memory(self):
        own = memory_kb(self.process.pid)
        tree = [memory_kb(p) for p in descendants(self.process.pid)]
        return {"rss": own[0], "pss": own[1], "tree_rss": sum(m[0] for m in tree),
                "tree_pss": sum(m[1] for m in tree)}

    def close(self):
        if self.watch:
            self.watch.close()
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=30)
        self.log.close()
        shutil.rmtree(self.root, ignore_errors=True)


class Bench:
    def __init__(self, args, x, work):
        self.args = args
        self.x = x
        self.work = work
        self.program = os.path.join(args.build, "ostrivel")
        self.baseline = os.path.join(args.build, "bench", "ostrivel_baseline_browser")
        self.help_page = os.path.join(work, "help.html")
        self.results = []

    # --- reporting -----------------------------------------------------------------------
    def report(self, name, program, baseline, target, unit="ms"):
        ratios = [p / b for p, b in zip(program, baseline)]
        ratio = statistics.median(program) / statistics.median(baseline)
        met = "met" if ratio <= target else "MISSED"
        print(f"{name:<34} {ratio:5.2f}x  (runs {min(ratios):.2f}-{max(ratios):.2f}x; medians "
              f"{statistics.median(program):.0f} / {statistics.median(baseline):.0f} {unit})  "
              f"target <= {target:.2f}x  {met}", flush=True)
        self.results.append({"figure": name, "ratio": ratio, "min": min(ratios), "max": max(ratios),
                             "target": target, "program": program, "baseline": baseline})

    def alternate(self, run, measure_program, measure_baseline):
        """Both sides of one run, the order swapped on every other run."""
        if run % 2 == 0:
            return measure_program(), measure_baseline()
        b = measure_baseline()
        return measure_program(), b

    # --- start-up and memory -------------------------------------------------------------
    def start_program(self):
        return Run(self.x, [self.program])

    def start_baseline(self, stdin=subprocess.DEVNULL):
        return Run(self.x, [self.baseline, self.help_page], stdin=stdin)

    def shown_help(self, run):
        """Seconds from process start to the help page's caption, or None when the window
        appeared with that caption already (nothing to time then; the run is repeated)."""
        first = run.attach()
        if first == HELP_CAPTION:
            return None
        return run.watch.wait_for(HELP_CAPTION) - run.started

    def startup_once(self, start):
        for _ in range(5):
            run = start()
            try:
                seconds = self.shown_help(run)
                if seconds is None:
                    continue
                run.quiet()
                return seconds * 1000, run.memory()
            finally:
                run.close()
        raise AssertionError("the caption changed before its window could be watched, five times")

    @staticmethod
    def wait_for_help(run):
        if run.attach() != HELP_CAPTION:
            run.watch.wait_for(HELP_CAPTION)

    def prepare_help_page(self):
        """The program's own help page file, copied with a name the engine reads as HTML."""
        run = self.start_program()
        try:
            self.wait_for_help(run)
            first = sorted((os.path.join(run.tmpdir, n) for n in os.listdir(run.tmpdir) if n.endswith(".tmp")),
                           key=os.path.getmtime)[0]
            shutil.copyfile(first, self.help_page)
        finally:
            run.close()

    def startup_and_memory(self):
        # One untimed start of each warms the page cache and the font cache alike.
        self.startup_once(self.start_baseline)
        self.startup_once(self.start_program)
        times, memory = ([], []), ([], [])
        for i in range(self.args.runs):
            p, b = self.alternate(i, lambda: self.startup_once(self.start_program),
                                  lambda: self.startup_once(self.start_baseline))
            times[0].append(p[0])
            times[1].append(b[0])
            memory[0].append(p[1])
            memory[1].append(b[1])
        self.report("start-up to help caption", *times, 1.10)
        for key, label in (("rss", "memory VmRSS, program alone"), ("pss", "memory Pss, program alone"),
                           ("tree_rss", "memory VmRSS, with engine procs"),
                           ("tree_pss", "memory Pss, with engine procs")):
            self.report(label, [m[key] / 1024 for m in memory[0]], [m[key] / 1024 for m in memory[1]], 1.10, "MB")

    # --- preview ---------------------------------------------------------------------------
    def open_in_editor(self, run, path):
        """Ctrl+O, the path typed into the dialog, Return. The dialog's location field now and
        then loses a typed character to its completion; then the dialog is dismissed and the
        whole is done again."""
        def visible_dialogs():
            return run.x.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(run.process.pid),
                             "--name", OPEN_TITLE).split()
        for _ in range(5):
            run.press("ctrl+o")
            dialog = wait_for(lambda: (visible_dialogs() or [None])[-1], "the open dialog")
            run.x.run("xdotool", "windowfocus", "--sync", dialog, check=True)
            run.x.run("xdotool", "type", "--delay", "20", path, check=True)
            run.press("Return", window=dialog)
            try:
                wait_for(lambda: dialog not in visible_dialogs(), "the open dialog to close", bound=60)
                return
            except AssertionError:
                while dialog in visible_dialogs():
                    run.press("Escape", window=dialog)
        raise AssertionError(f"{path} could not be opened")

    def queue_in_baseline(self, run, path):
        run.process.stdin.write(path.encode() + b"\n")
        run.process.stdin.flush()
        if run.process.stdout.readline().strip() != b"queued":
            raise AssertionError("the baseline did not take the path")

    def preview_program(self, run, size, tag, at_end):
        title = f"页{tag}"
        path = os.path.join(self.work, f"{tag}.htm")
        write(path, html_page(size, title, at_end))
        self.open_in_editor(run, path)
        run.quiet()
        seconds = run.timed_key("F7", title + SUFFIX)
        run.quiet()  # the engine done with it before anything else is measured
        os.unlink(path)
        for name in os.listdir(run.tmpdir):  # earlier preview files are of no more use
            os.unlink(os.path.join(run.tmpdir, name))
        return seconds * 1000

    def preview_baseline(self, run, size, tag, at_end):
        title = f"页{tag}"
        path = os.path.join(self.work, f"{tag}.html")
        write(path, html_page(size, title, at_end))
        self.queue_in_baseline(run, path)
        run.quiet()
        seconds = run.timed_key("F7", title + SUFFIX)
        run.quiet()
        os.unlink(path)
        return seconds * 1000

    def started_pair(self):
        program = self.start_program()
        baseline = self.start_baseline(stdin=subprocess.PIPE)
        for run in (program, baseline):
            self.wait_for_help(run)
            run.quiet()
        return program, baseline

    def preview(self):
        variants = [(name, False) for name in self.args.sizes] + [("10M", True)]
        program, baseline = self.started_pair()
        try:
            for name, at_end in variants:
                size = SIZES[name]
                where = "title at end" if at_end else "title in head"
                times = ([], [])
                for i in range(self.args.runs):
                    tag = f"{name}{'e' if at_end else 'h'}{i}"
                    p, b = self.alternate(i, lambda: self.preview_program(program, size, tag + "p", at_end),
                                          lambda: self.preview_baseline(baseline, size, tag + "b", at_end))
                    times[0].append(p)
                    times[1].append(b)
                self.report(f"preview F7 {name}, {where}", *times, 1.05)
        finally:
            program.close()
            baseline.close()

    # --- the program's own part against the engine's load ------------------------------------
    def own_part(self):
        page = os.path.join(self.work, "own.htm")
        write(page, html_page(SIZES["10M"], "own"))
        root = tempfile.mkdtemp(prefix="ostrivel-bench-own-")
        own = subprocess.Popen([os.path.join(self.args.build, "bench", "ostrivel_bench_preview_own_part"), page],
                               env=self.x.env(TMPDIR=root, NO_AT_BRIDGE="1", GTK_A11Y="none"),
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        baseline = self.start_baseline(stdin=subprocess.PIPE)
        try:
            self.wait_for_help(baseline)

            def measure_own():
                wait_until_quiet(own.pid)
                own.stdin.write(b"measure\n")
                own.stdin.flush()
                return float(own.stdout.readline())

            times = ([], [])
            for i in range(self.args.runs):
                p, b = self.alternate(i, measure_own, lambda: self.preview_baseline(
                    baseline, SIZES["10M"], f"load{i}", True))
                times[0].append(p)
                times[1].append(b)
            self.report("own part / engine load, 10M", *times, 0.10)
        finally:
            own.stdin.close()
            own.wait(timeout=60)
            baseline.close()
            shutil.rmtree(root, ignore_errors=True)

    # --- opening documents -------------------------------------------------------------------
    def open_documents(self):
        text = os.path.join(self.work, "doc.txt")
        rtf = os.path.join(self.work, "doc.rtf")
        write(text, text_document(SIZES["10M"]))
        write(rtf, rtf_document(SIZES["1M"]))
        argv = [os.path.join(self.args.build, "bench", "ostrivel_bench_open"), "--runs", str(self.args.runs)]
        if self.args.layout:
            argv.append("--layout")
        out = subprocess.run(argv + [text, rtf], env=self.x.env(NO_AT_BRIDGE="1", GTK_A11Y="none"),
                             capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            figures = json.loads(line)
            name = {"text": "open 10M plain text", "rtf": "open 1M RTF"}[figures["document"]]
            self.report(f"{name}, until drawn", figures["program_drawn_ms"], figures["bare_drawn_ms"], 1.5)
            if figures["program_idle_ms"]:
                self.report(f"{name}, all laid out", figures["program_idle_ms"], figures["bare_idle_ms"], 1.5)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"), help="the build directory")
    parser.add_argument("--runs", type=int, default=7, help="alternating runs per figure (default 7)")
    parser.add_argument("--only", default="startup,preview,own,open", help="which figures")
    parser.add_argument("--sizes", default="1K,1M,10M", help="preview page sizes")
    parser.add_argument("--layout", action="store_true", help="open: also time the layout of every line")
    parser.add_argument("--json", help="write every figure and run to this file")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    args.sizes = args.sizes.split(",")
    only = set(args.only.split(","))

    x = harness.XServer()
    work = tempfile.mkdtemp(prefix="ostrivel-bench-work-")
    bench = Bench(args, x, work)
    try:
        print(f"{args.runs} alternating runs; ratio = program median / baseline median", flush=True)
        if only & {"startup", "preview", "own"}:
            bench.prepare_help_page()
        if "startup" in only:
            bench.startup_and_memory()
        if "preview" in only:
            bench.preview()
        if "own" in only:
            bench.own_part()
        if "open" in only:
            bench.open_documents()
    finally:
        x.close()
        shutil.rmtree(work, ignore_errors=True)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(bench.results, f, indent=1)
    return 0 if all(r["ratio"] <= r["target"] for r in bench.results) else 1


if __name__ == "__main__":
    sys.exit(main())
