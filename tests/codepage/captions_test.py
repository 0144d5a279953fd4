"""The skinned dialogs on a Western Windows look exactly as on a Chinese one: qzpreview shows each
template in a prefix of code page 936 and in one of code page 1252, and the two screenshots of
each dialog must agree pixel for pixel: title strip, labels and the buttons' Chinese captions. The
screenshots stay in --shots for people to open.

captions_test.py --emulator WINE_RUN --preview QZPREVIEW --shots DIR
                 --chinese-prefix PREFIX --western-prefix PREFIX --western-locale LOCALE
"""

import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from gui_session import CHINESE, GuiSession, wait_for  # noqa: E402

DIALOGS = {101: "文件夹加密", 103: "设置默认数字证书", 104: "解密文件夹"}
AT = (40, 30)
BLACK = (0, 0, 0)
ARGS = None


def dialog_shots(prefix, locale, tag):
    """{template: (geometry, pixels)} of every dialog as qzpreview shows it under `locale`."""
    shots = {}
    with GuiSession([ARGS.emulator], prefix, ARGS.shots, locale=locale) as session:
        for template, title in DIALOGS.items():
            process = session.start_windows_program(ARGS.preview, template, "--at", *AT, "--close-after", 60000)
            try:
                window = session.window_named(title)

                def settled():
                    # The first paint drops the frame and shrinks the window: wait for the final size.
                    before = session.geometry(window)
                    x, y, w, h = before
                    strip_black = lambda shot: shot.pixel(x + w - 40, y + 20) == BLACK
                    shot = session.settled_shot(f"{template}-{tag}", before, strip_black)
                    return (before, shot.region(*before)) if session.geometry(window) == before else None

                shots[template] = wait_for(f"dialog {template} with a steady geometry", settled)
            finally:
                process.terminate()
                process.wait(timeout=30)
    return shots


class CaptionsTest(unittest.TestCase):
    def test_dialogs_under_code_page_1252_look_as_under_936(self):
        chinese = dialog_shots(ARGS.chinese_prefix, CHINESE, "936")
        western = dialog_shots(ARGS.western_prefix, ARGS.western_locale, "1252")
        for template in DIALOGS:
            with self.subTest(template=template):
                (geometry, pixels), (western_geometry, western_pixels) = chinese[template], western[template]
                self.assertEqual(western_geometry, geometry)
                differing = sum(a != b for row, other in zip(pixels, western_pixels) for a, b in zip(row, other))
                self.assertEqual(differing, 0, f"pixels that differ from the Chinese look, see {ARGS.shots}/"
                                               f"{template}-936.png and {template}-1252.png")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--emulator", "--preview", "--shots", "--chinese-prefix", "--western-prefix", "--western-locale"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
