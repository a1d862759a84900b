"""F7 and the instructions page: the exact bytes written, the caption, silent mode."""

import harness
from harness import OstrivelTestCase, wait_for, SUFFIX, HELP_CAPTION, STARTER_SKELETON

HELP_PAGE = "\r\n".join([
    "<html>",
    "",
    "<head>",
    "<title>Ostrivel说明</title>",
    "</head>",
    "",
    "<body>",
    "<h3>Ostrivel说明</h3>",
    "<p>请先将要测试的代码复制到左边的编辑框中，再选择“程序”中的“测试”开始测试代码，或者直接按快捷键“F7”。</p>",
    "<p>当然啦，您也可以直接打开一个文档，也可以保存编辑框的源代码哦！</p>",
    '<p><a href="mailto:feedback@ostrivel.example.org">提交BUG/建议</a></p>',
    '<p align="right"><a href="https://ostrivel.example.org/" target="_Blank" ><b>作者：Ostrivel 开发组</b></a></p>',
    "</body>",
    "",
    "</html>",
]).encode("gbk")

# The engine reports a title set while the page is parsed only once parsing ends, so the alert
# comes a moment later.
ALERT_PAGE = "<script>document.title='before';setTimeout(function(){alert('x');document.title='after'},100)</script>"


def read(path):
    with open(path, "rb") as f:
        return f.read()


class PreviewTest(OstrivelTestCase):
    def test_start_up_writes_the_help_page_and_f7_the_untouched_skeleton(self):
        app = self.start_and_wait_for_help_page()
        (help_file,) = app.preview_files()
        self.assertEqual(read(help_file), HELP_PAGE)
        app.key("F7")
        app.wait_for_title(SUFFIX)  # the skeleton's title is empty
        files = app.wait_for_preview_count(2)
        self.assertEqual(read(files[1]), STARTER_SKELETON)

    def test_f7_writes_the_editors_exact_bytes_to_a_new_file_each_time(self):
        app = self.start_and_wait_for_help_page()
        app.key("ctrl+a", "Delete")
        app.paste("<title>中文😀</title>")
        app.key("Return")
        app.paste("한 글")
        expected = "<title>中文".encode("gbk") + "😀".encode("gb18030") + b"</title>\r\n" + "한 글".encode("gb18030")
        for presses in (2, 3):
            app.key("F7")
            files = app.wait_for_preview_count(presses)
            app.wait_for_title("中文😀" + SUFFIX)
            self.assertEqual(read(files[-1]), expected)
        self.assertEqual(len(set(app.preview_files())), 3)

    def test_a_fragment_is_rendered_as_html(self):
        app = self.start_and_wait_for_help_page()
        app.key("ctrl+a", "Delete")
        app.type("hello <b>world</b><script>document.title=document.getElementsByTagName('b').length+'b'</script>")
        app.key("F7")
        app.wait_for_title("1b" + SUFFIX)

    def test_silent_mode_keeps_alerts_away_and_f1_twice_brings_them_back(self):
        app = self.start_and_wait_for_help_page()
        app.key("ctrl+a", "Delete")
        app.type(ALERT_PAGE)
        app.key("F1")  # silent
        app.key("F7")
        app.wait_for_title("after" + SUFFIX)

        app.key("F1")  # not silent any more: the alert holds the script until it is answered
        app.key("F7")
        app.wait_for_title("before" + SUFFIX)
        left, top, width, _ = app.geometry()
        # The engine's dialog dims the page while it waits; it has the focus, and Return answers it.
        wait_for(lambda: app.pixel(left + 3 * width // 4, top + 60) != "#ffffff", "the alert to be shown")
        app.key("Return")
        app.wait_for_title("after" + SUFFIX)

    def test_the_window_shows_the_editor_left_and_the_page_right(self):
        app = self.start_and_wait_for_help_page()
        left, top, width, height = app.geometry()
        wait_for(lambda: app.pixel(left + width // 4, top + height - 40) == "#ffaaff", "the magenta editor")
        wait_for(lambda: app.pixel(left + 3 * width // 4, top + height - 40) == "#ffffff", "the page")


if __name__ == "__main__":
    harness.main()
