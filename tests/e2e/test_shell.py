"""The window, its layout, its keys and the ways the program ends."""

import harness
from harness import OstrivelTestCase, wait_for, SUFFIX, HELP_CAPTION

MAGENTA = "#ffaaff"
WHITE = "#ffffff"


class ShellTest(OstrivelTestCase):
    def test_window_is_centred_with_the_help_page_caption(self):
        app = self.start_and_wait_for_help_page()
        self.assertEqual(app.geometry(), (112, 84, 800, 600))

    def test_panes_follow_a_resize(self):
        app = self.start_and_wait_for_help_page()
        left, top, _, _ = app.geometry()
        for width, height in ((500, 400), (801, 500)):
            self.x.run("xdotool", "windowsize", app.window, str(width), str(height), check=True)
            wait_for(lambda: app.geometry()[2:] == (width, height), "the new size")
            half = width // 2
            y = top + height // 2
            # The editor ends at half the width, where the page begins.
            wait_for(lambda: app.pixel(left + half - 6, y) == MAGENTA, "the editor to reach the middle")
            wait_for(lambda: app.pixel(left + half + 6, y) == WHITE, "the page to start in the middle")

    def test_ctrl_q_ends_at_once_with_exit_code_0(self):
        app = self.start_and_wait_for_help_page()
        app.type("changed")
        app.key("ctrl+q")
        self.assertEqual(app.wait_for_exit(), 0)

    def test_key_pressed_during_start_up_is_dropped(self):
        app = harness.Ostrivel(self.x)
        self.addCleanup(app.close)
        hidden = wait_for(lambda: app.find_window(visible=False) or app.exited(), "the window to be created")
        sent = 0
        while not app.find_window(visible=True) and not app.exited():
            self.x.run("xdotool", "key", "--window", hidden, "F7")
            sent += 1
        if sent == 0:
            self.skipTest("the window was shown before a key could be sent")
        app.wait_for_window()
        app.wait_for_title(HELP_CAPTION)
        # A key of our own after start-up: anything delayed from start-up would come first.
        app.key("F7")
        app.wait_for_title(SUFFIX)
        self.assertEqual(len(app.preview_files()), 2, f"{sent} keys were sent during start-up")


class ShellWithWindowManagerTest(OstrivelTestCase):
    window_manager = True

    def test_frame_included_in_the_centred_800_by_600(self):
        app = self.start_and_wait_for_help_page()

        def frame():
            extents = self.x.run("xprop", "-id", app.window, "_NET_FRAME_EXTENTS").partition("=")[2]
            if not extents.strip():
                return None
            left, right, top, bottom = (int(v) for v in extents.split(","))
            x, y, width, height = app.geometry()
            return [x - left, y - top, width + left + right, height + top + bottom]

        try:
            wait_for(lambda: frame() == [112, 84, 800, 600], "the frame at (112, 84), 800 x 600", bound=20)
        except AssertionError as error:
            raise AssertionError(f"{error}: {frame()}") from None

    def test_closing_the_window_ends_with_exit_code_0(self):
        app = self.start_and_wait_for_help_page()
        app.type("unsaved")

        def close_with_alt_f4():
            # The window manager may not have given the window the focus yet: press again.
            self.x.run("xdotool", "windowactivate", "--sync", app.window)
            self.x.run("xdotool", "key", "alt+F4")
            try:
                wait_for(app.exited, "", bound=3)
            except AssertionError:
                pass
            return app.exited()

        wait_for(close_with_alt_f4, "the window to close")
        self.assertEqual(app.process.returncode, 0)


if __name__ == "__main__":
    harness.main()
