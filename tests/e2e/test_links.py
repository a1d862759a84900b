"""Links the pane does not show itself go to the desktop's default handler."""

import os

import harness
from harness import OstrivelTestCase, wait_for, SUFFIX


class LinkTest(OstrivelTestCase):
    def start_with_handlers(self):
        """A program whose desktop sends mailto: and https: addresses to a recording handler."""
        app = harness.Ostrivel(self.x)
        self.addCleanup(app.close)
        self.opened = os.path.join(app.root, "opened")
        applications = os.path.join(app.home, ".local/share/applications")
        os.makedirs(applications)
        with open(os.path.join(applications, "record-uri.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Record\n"
                    f"Exec=sh -c 'echo \"$1\" >> {self.opened}' sh %u\n"
                    "MimeType=x-scheme-handler/mailto;x-scheme-handler/https;\n")
        config = os.path.join(app.home, ".config")
        os.makedirs(config)
        with open(os.path.join(config, "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\nx-scheme-handler/mailto=record-uri.desktop\n"
                    "x-scheme-handler/https=record-uri.desktop\n")
        app.wait_for_window()
        app.wait_for_title(harness.HELP_CAPTION)
        return app

    def opened_uris(self):
        if not os.path.exists(self.opened):
            return []
        with open(self.opened) as f:
            return f.read().split()

    def test_mailto_and_a_clicked_blank_link_go_to_the_desktop(self):
        app = self.start_with_handlers()
        app.key("ctrl+a", "Delete")
        app.type("<title>links</title><a href='https://ostrivel.example.org/new' target='_blank' "
                 "style='position:fixed;left:0;top:0;width:100%;height:100%'>x</a>"
                 "<script>location.href='mailto:someone@example.org'</script>")
        app.key("F7")
        app.wait_for_title("links" + SUFFIX)
        wait_for(lambda: "mailto:someone@example.org" in self.opened_uris(), "the mail link at the desktop")

        left, top, width, height = app.geometry()
        self.x.run("xdotool", "mousemove", str(left + 3 * width // 4), str(top + height // 2), "click", "1", check=True)
        wait_for(lambda: "https://ostrivel.example.org/new" in self.opened_uris(), "the new-window link at the desktop")
        self.assertEqual(app.title(), "links" + SUFFIX)  # the pane stayed on the page


if __name__ == "__main__":
    harness.main()
