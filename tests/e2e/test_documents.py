"""Saving the source and opening documents through the real file dialogs."""

import os

import harness
from harness import OstrivelTestCase, wait_for, SUFFIX

SAVE_TITLE = "保存源代码："
OPEN_TITLE = "请输入欲打开文档的文件名:"
CONFIRM_TITLE = "确认另存为"
ERROR_TITLE = "保存失败"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


class DocumentTest(OstrivelTestCase):
    def folder(self, app):
        folder = os.path.join(app.root, "documents")
        os.makedirs(folder, exist_ok=True)
        return folder

    def save_as(self, app, typed_name, until=()):
        app.key("ctrl+s")
        dialog = app.wait_for_dialog(SAVE_TITLE)
        app.key_to(dialog, "ctrl+a")
        app.type_to(dialog, typed_name)
        app.confirm_dialog(dialog, SAVE_TITLE, until=until)

    def open_document(self, app, path):
        app.key("ctrl+o")
        dialog = app.wait_for_dialog(OPEN_TITLE)
        app.key_to(dialog, "ctrl+l")  # the location field, with its text selected
        app.type_to(dialog, path)
        app.confirm_dialog(dialog, OPEN_TITLE)

    def preview_bytes(self, app, title):
        count = len(app.preview_files()) + 1
        app.key("F7")
        files = app.wait_for_preview_count(count)
        app.wait_for_title(title + SUFFIX)
        return read(files[-1])

    def test_save_completes_the_name_and_asks_before_overwriting(self):
        app = self.start_and_wait_for_help_page()
        folder = self.folder(app)
        app.key("ctrl+a", "Delete")
        app.paste("<title>保存</title>")
        page = os.path.join(folder, "page")
        self.save_as(app, page)
        wait_for(lambda: os.path.exists(page + ".htm"), "page.htm")
        self.assertEqual(read(page + ".htm"), "<title>保存</title>".encode("gbk"))

        # The second save offers the same path and asks before replacing it.
        app.key("End", "Return")
        app.type("x")
        app.key("ctrl+s")
        dialog = app.wait_for_dialog(SAVE_TITLE)
        app.confirm_dialog(dialog, SAVE_TITLE, until=[CONFIRM_TITLE])
        confirm = app.wait_for_dialog(CONFIRM_TITLE)
        app.confirm_dialog(confirm, CONFIRM_TITLE, key="alt+r")
        wait_for(lambda: read(page + ".htm").endswith(b"\r\nx"), "the replaced file")
        self.assertEqual(read(page + ".htm"), "<title>保存</title>\r\nx".encode("gbk"))

    def test_saving_to_a_read_only_file_shows_an_error_and_keeps_it(self):
        app = self.start_and_wait_for_help_page()
        target = os.path.join(self.folder(app), "locked.htm")
        write(target, b"old content")
        os.chmod(target, 0o444)
        self.save_as(app, target, until=[CONFIRM_TITLE])
        confirm = app.wait_for_dialog(CONFIRM_TITLE)
        app.confirm_dialog(confirm, CONFIRM_TITLE, key="alt+r", until=[ERROR_TITLE])
        error = app.wait_for_dialog(ERROR_TITLE)
        self.assertEqual(read(target), b"old content")
        app.confirm_dialog(error, ERROR_TITLE)
        self.assertEqual(sorted(os.listdir(os.path.dirname(target))), ["locked.htm"])

    def test_open_then_f7_previews_the_documents_text(self):
        app = self.start_and_wait_for_help_page()
        folder = self.folder(app)
        cases = [
            ("gbk.txt", "<title>甲</title>\r\n中文\r\n".encode("gbk"), "甲", None),
            ("utf8.html", '<meta charset="utf-8"><title>乙</title>\r\nü'.encode("utf-8"), "乙", None),
            ("chinese.rtf", rb"{\rtf1\ansi\ansicpg936{\fonttbl{\f0\fcharset134 SimSun;}}\f0 "
                            rb"<title>\'b1\'fb</title>\par \b \'d6\'d0\'ce\'c4\b0}",
             "丙", "<title>丙</title>\r\n中文".encode("gbk")),
        ]
        for name, content, title, expected in cases:
            with self.subTest(name):
                path = os.path.join(folder, name)
                write(path, content)
                self.open_document(app, path)
                self.assertEqual(self.preview_bytes(app, title), expected or content)

    def test_cancel_leaves_the_editor_as_it_was(self):
        app = self.start_and_wait_for_help_page()
        app.key("ctrl+a", "Delete")
        app.type("<title>kept</title>")
        app.key("ctrl+o")
        dialog = app.wait_for_dialog(OPEN_TITLE)
        app.key_to(dialog, "Escape")
        app.wait_for_dialog_gone(OPEN_TITLE)
        self.assertEqual(self.preview_bytes(app, "kept"), b"<title>kept</title>")

    def test_open_goes_through_an_installed_converter(self):
        converters = os.environ.get("OSTRIVEL_TEST_CONVERTER_DIR", "")
        converter = os.path.join(converters, "lines.cnv")
        if not os.path.exists(converter):
            self.skipTest("the test converters are not built")
        app = harness.Ostrivel(self.x)
        self.addCleanup(app.close)
        config = os.path.join(app.home, ".config", "ostrivel")
        os.makedirs(config)
        with open(os.path.join(config, "text-converters.conf"), "w", encoding="utf-8") as f:
            f.write(f"[Import/lines]\nName=行文档\nExtensions=lines\nPath={converter}\n")
        app.wait_for_window()
        app.wait_for_title(harness.HELP_CAPTION)
        path = os.path.join(self.folder(app), "doc.lines")
        write(path, "OSTRIVEL-LINES\n<title>丁</title>\n第二行\n".encode("gbk"))
        self.open_document(app, path)
        self.assertEqual(self.preview_bytes(app, "丁"), "<title>丁</title>\r\n第二行\r\n".encode("gbk"))


if __name__ == "__main__":
    harness.main()
