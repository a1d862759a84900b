#!/usr/bin/env python3
"""Makes docs/screenshot.png: the window under Xvfb, showing a small page beside its source.

    python3 scripts/screenshot.py [path/to/ostrivel]
"""

import os
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
if len(sys.argv) > 1:
    os.environ["OSTRIVEL_BINARY"] = os.path.abspath(sys.argv[1])
else:
    os.environ.setdefault("OSTRIVEL_BINARY", os.path.join(root, "build", "ostrivel"))

import harness  # noqa: E402

PAGE = """<html>
<head>
<title>你好，Ostrivel</title>
<style>body { font-family: sans-serif; } h2 { color: #b0309a; }</style>
</head>
<body>
<h2>你好，世界！</h2>
<p>左边写代码，按 <b>F7</b>，右边就是浏览器看到的样子。</p>
<ul><li>打开 Ctrl+O</li><li>保存 Ctrl+S</li><li>浏览器静默 F1</li></ul>
</body>
</html>"""


def main():
    x = harness.XServer()
    app = harness.Ostrivel(x)
    try:
        app.wait_for_window()
        app.wait_for_title(harness.HELP_CAPTION)
        app.key("ctrl+a", "Delete")
        app.paste(PAGE)
        app.key("F7")
        app.wait_for_title("你好，Ostrivel" + harness.SUFFIX)
        out = os.path.join(root, "docs", "screenshot.png")
        x.run("import", "-window", app.window, out, check=True)
        print(out)
    finally:
        app.close()
        x.close()


if __name__ == "__main__":
    main()
