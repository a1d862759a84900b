"""The preview keeps going: a thousand F7 presses in a row, pages that never end, and a browser
engine killed from outside. The program runs its pages in a web process of the engine's own (a
child of the program); these tests watch that process and the program's memory through /proc."""

import os
import signal
import sys
import time

import harness
from harness import OstrivelTestCase, wait_for, SUFFIX

# Two pages with different titles; each is pasted once and undo / redo switch between them.
PAGE_A = "<html><head><title>Alpha 甲</title></head><body><p>第一页</p></body></html>"
PAGE_B = "<html><head><title>Beta 乙</title></head><body><p>第二页</p><b>bold</b></body></html>"
PRESSES = 1000
WARM_UP = 50  # presses before the first memory reading: caches and pools have filled by then
ALLOWED_GROWTH_KB = 10 * 1024

# What the user is promised: after a page that hangs the engine, the next F7 shows the new page
# within this many seconds. Measured from the key press (xdotool's own start-up included) to
# the caption, so the check is generous; the program takes two to four seconds even on a
# machine busy with other work.
RECOVERY_SECONDS = 5.0

# Pages that never hand the engine back, and a sign that each is running.
NEVER_ENDING_PAGES = {
    "a script that never ends": ("<title>hang</title><script>while(true){}</script>", "cpu"),
    # Paced (1 MB each 20 ms), so that the test machine keeps its memory for others while the
    # page grows for the few seconds it is given; the loop still never yields.
    "a script that allocates without end": (
        "<title>hog</title><script>var kept=[];for(;;){kept.push(new Float64Array(131072).fill(kept.length));"
        "for(var t=Date.now();Date.now()-t<20;){}}</script>", "memory"),
}
# Typed in front of a never-ending page: a title of its own and a comment that runs to the end
# of the page, so that the page's own script is never run again. The page stays in the editor.
DEFUSING_PREFIX = "<title>typed</title><!--"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def proc_status_kb(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise AssertionError(f"no {field} for process {pid}")


def proc_stat(pid):
    """(state, parent, user + system CPU ticks) of a process, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            text = f.read()
    except (FileNotFoundError, ProcessLookupError):
        return None
    fields = text[text.rindex(")") + 2:].split()  # the name in parentheses may hold spaces
    return fields[0], int(fields[1]), int(fields[11]) + int(fields[12])


def is_gone(pid):
    stat = proc_stat(pid)
    return stat is None or stat[0] in ("Z", "X")


def web_processes(app):
    """The engine's web processes the program runs (its children named WebKitWebProcess)."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/comm") as f:
                command = f.read().strip()
        except OSError:
            continue
        stat = proc_stat(int(name))
        # The kernel keeps 15 characters of a command name.
        if command == "WebKitWebProcess"[:15] and stat and stat[1] == app.process.pid and stat[0] not in "ZX":
            found.append(int(name))
    return found


def the_web_process(app):
    return wait_for(lambda: (lambda found: found[0] if len(found) == 1 else None)(web_processes(app)),
                    "exactly one web process")


def open_menus(app):
    """The program's menus that are open now."""
    ids = app.x.run("xdotool", "search", "--onlyvisible", "--pid", str(app.process.pid), "--name", "").split()
    return [i for i in ids if "_NET_WM_WINDOW_TYPE_POPUP_MENU" in app.x.run("xprop", "-id", i, "_NET_WM_WINDOW_TYPE")]


class NewFiles:
    """The preview files the program writes from now on, one at a time."""

    def __init__(self, app):
        self.app = app
        self.seen = set(self.names())

    def names(self):
        return {n for n in os.listdir(self.app.tmpdir) if n.endswith(".tmp")}

    def next(self):
        new = wait_for(lambda: self.names() - self.seen, "a new preview file")
        if len(new) != 1:
            raise AssertionError(f"{len(new)} preview files appeared for one press: {sorted(new)}")
        self.seen |= new
        # The program writes the whole file before it sends the engine there: read it only
        # after the caption shows that page.
        return os.path.join(self.app.tmpdir, new.pop())


class ResilienceTest(OstrivelTestCase):
    def test_a_thousand_previews_in_a_row_keep_every_caption_and_the_programs_memory(self):
        app = self.start_and_wait_for_help_page()
        files = NewFiles(app)
        app.key("ctrl+a", "Delete")
        app.paste(PAGE_A)
        app.key("ctrl+a")
        app.paste(PAGE_B)  # one step over A: undo brings A back, redo B
        steps = [("ctrl+z", "Alpha 甲", PAGE_A), ("ctrl+shift+z", "Beta 乙", PAGE_B)]
        early_kb = None
        for press in range(PRESSES):
            step, title, page = steps[press % 2]
            app.key(step, "F7")
            app.wait_for_title(title + SUFFIX)
            self.assertEqual(read(files.next()), page.encode("gbk"), f"the page of press {press + 1}")
            if press + 1 == WARM_UP:
                early_kb = proc_status_kb(app.process.pid, "VmRSS")
                early_engine = web_processes(app)
        late_kb = proc_status_kb(app.process.pid, "VmRSS")
        # For the record only: on a starved machine the pane may rightly start a new engine.
        print(f"\nthe program's VmRSS: {early_kb} kB after {WARM_UP} presses, {late_kb} kB after {PRESSES}; "
              f"web process {early_engine} then {web_processes(app)}", file=sys.stderr)
        self.assertLess(late_kb - early_kb, ALLOWED_GROWTH_KB)

    def check_recovery_from(self, app, page, sign):
        files = NewFiles(app)
        app.key("ctrl+a", "Delete")
        app.paste(page)
        app.key("F7")
        files.next()
        stuck = the_web_process(app)
        _, _, ticks = proc_stat(stuck)
        rss_kb = proc_status_kb(stuck, "VmRSS")
        # Wait until the page is seen at work: a second of CPU time, or 100 MB more memory.
        if sign == "cpu":
            wait_for(lambda: proc_stat(stuck)[2] - ticks >= os.sysconf("SC_CLK_TCK"), "the script to run")
        else:
            wait_for(lambda: proc_status_kb(stuck, "VmRSS") - rss_kb >= 100 * 1024, "the script to allocate")

        # Meanwhile the editor takes typing and the menus open and close.
        app.key("ctrl+Home")
        app.type(DEFUSING_PREFIX)
        app.key("alt+f")
        wait_for(lambda: open_menus(app), "the 程序 menu to open")
        app.key("Escape")
        wait_for(lambda: not open_menus(app), "the menu to close")

        pressed = time.monotonic()
        app.key("F7")
        app.wait_for_title("typed" + SUFFIX)
        took = time.monotonic() - pressed
        self.assertEqual(read(files.next()), (DEFUSING_PREFIX + page).encode("gbk"))
        print(f"\nfrom F7 to the new page's caption: {took:.2f} s", file=sys.stderr)
        self.assertLess(took, RECOVERY_SECONDS, "seconds from F7 to the new page's caption")
        # The stuck process was ended, and what it held with it.
        wait_for(lambda: is_gone(stuck), "the stuck web process to end")

    def test_a_page_that_never_ends_holds_neither_the_editor_nor_the_next_preview(self):
        for name, (page, sign) in NEVER_ENDING_PAGES.items():
            with self.subTest(name):
                app = self.start_and_wait_for_help_page()
                try:
                    self.check_recovery_from(app, page, sign)
                finally:
                    app.close()  # one program at a time on the X server

    def test_a_web_process_killed_from_outside_is_replaced_and_the_next_preview_shows(self):
        app = self.start_and_wait_for_help_page()
        files = NewFiles(app)
        app.key("ctrl+a", "Delete")
        app.paste("<title>first</title>")
        app.key("F7")
        app.wait_for_title("first" + SUFFIX)
        files.next()
        killed = the_web_process(app)
        os.kill(killed, signal.SIGKILL)
        # The pane shows the page again in a new process of its own.
        wait_for(lambda: [p for p in web_processes(app) if p != killed], "a new web process")
        app.wait_for_title("first" + SUFFIX)

        app.key("ctrl+a")
        app.paste("<title>second</title>")
        pressed = time.monotonic()
        app.key("F7")
        app.wait_for_title("second" + SUFFIX)
        took = time.monotonic() - pressed
        self.assertEqual(read(files.next()), b"<title>second</title>")
        print(f"\nfrom F7 to the new page's caption: {took:.2f} s", file=sys.stderr)
        self.assertLess(took, RECOVERY_SECONDS, "seconds from F7 to the new page's caption")


if __name__ == "__main__":
    harness.main()
