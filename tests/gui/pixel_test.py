"""The skinned dialogs as a person sees them: qzpreview under Wine on a private X display,
screenshots, and checks of real pixels. The screenshots stay in --shots for people to open.

pixel_test.py --emulator WINE_RUN --prefix PREFIX --preview QZPREVIEW --shots DIR [unittest args]
"""

import argparse
import statistics
import sys
import unittest

from gui_session import GuiSession, wait_for

BODY, BORDER, BLACK, WHITE = (238,) * 3, (218,) * 3, (0,) * 3, (255,) * 3
ROOT = WHITE  # the session's X root
GRADIENT = [134, 118, 101, 84, 67, 51, 34, 17]
STRIP_ROWS = range(1, 25)
# Template: title, number of skinned buttons.
DIALOGS = {101: ("文件夹加密", 10), 103: ("设置默认数字证书", 2), 104: ("解密文件夹", 5)}
ENCRYPT, DEFAULT_CERT, DECRYPT, BUSY = 101, 103, 104, 105
IDOK, IDCANCEL = 1, 2

ARGS = None


def grey(value):
    return (value,) * 3


def is_white(p):
    return min(p) >= 245


def is_red(p):
    return p[0] >= 200 and p[1] <= 80 and p[2] <= 80


def is_face(p):
    # The dark faces are greys between the near-black bottom and the highlight on top.
    return p[0] == p[1] == p[2] and 8 <= p[0] <= 150


def face_boxes(shot, box):
    """Bounding boxes (x, y, w, h) of the dark button faces inside `box`, top to bottom."""
    left, top, width, height = box
    seen, boxes = set(), []
    for y0 in range(top, top + height):
        for x0 in range(left, left + width):
            if (x0, y0) in seen or not is_face(shot.pixel(x0, y0)):
                continue
            seen.add((x0, y0))
            stack, members = [(x0, y0)], []
            while stack:
                x, y = stack.pop()
                members.append((x, y))
                for n in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                    if (n not in seen and left <= n[0] < left + width and top <= n[1] < top + height
                            and is_face(shot.pixel(*n))):
                        seen.add(n)
                        stack.append(n)
            xs, ys = [m[0] for m in members], [m[1] for m in members]
            w, h = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
            # Static text and control borders are thin or small; a face is a filled block.
            if w >= 40 and h >= 16 and len(members) >= 0.6 * w * h:
                boxes.append((min(xs), min(ys), w, h))
    return sorted(boxes, key=lambda b: (b[1], b[0]))


def count(shot, box, test):
    x0, y0, w, h = box
    return sum(test(shot.pixel(x, y)) for y in range(y0, y0 + h) for x in range(x0, x0 + w))


def centre(box):
    return box[0] + box[2] // 2, box[1] + box[3] // 2


class Preview:
    """qzpreview showing one template at a given place, ended by the test or by its timeout."""

    def __init__(self, session, template, at, title):
        self.session = session
        self.process = session.start_windows_program(ARGS.preview, template, "--at", *at,
                                                     "--close-after", 60000)
        self.window = session.window_named(title)
        self.x, self.y, self.w, self.h = session.geometry(self.window)

    def box(self):
        return self.x, self.y, self.w, self.h

    def shot(self, name):
        """A settled screenshot, taken once the window has its frameless size for good."""
        def probe():
            before = self.session.geometry(self.window)
            self.x, self.y, self.w, self.h = before
            strip_black = lambda shot: shot.pixel(self.x + self.w - 40, self.y + 20) == BLACK
            shot = self.session.settled_shot(name, self.box(), strip_black)
            return shot if self.session.geometry(self.window) == before else None
        return wait_for(f"{name} with a steady geometry", probe)

    def exit_code(self, timeout=30):
        return self.process.wait(timeout=timeout)

    def end(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=30)


class SessionTest(unittest.TestCase):
    compositor = False

    @classmethod
    def setUpClass(cls):
        cls.session = GuiSession([ARGS.emulator], ARGS.prefix, ARGS.shots, cls.compositor)
        cls.session.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.session.__exit__(None, None, None)

    def open(self, template, at=(40, 30), title=None):
        preview = Preview(self.session, template, at, title or DIALOGS[template][0])
        self.addCleanup(preview.end)
        return preview


class SkinnedDialogTest(SessionTest):
    def test_every_dialog_has_the_skinned_look(self):
        for template, (title, buttons) in DIALOGS.items():
            with self.subTest(template=template):
                preview = self.open(template)
                shot = preview.shot(f"{template}-look")
                self.assertEqual((preview.x, preview.y), (40, 30), "the frame removal moved the window")
                self.check_frame(shot, preview)
                self.check_title_strip(shot, preview)
                self.check_buttons(shot, preview, buttons)
                preview.end()

    def check_frame(self, shot, p):
        w, h = p.w, p.h
        at = lambda x, y: shot.pixel(p.x + x, p.y + y)
        expected = [
            ("upper left corner, outside the rounded shape", (0, 0), ROOT),
            ("upper right corner, outside the rounded shape", (w - 1, 0), ROOT),
            ("top border beside the rounded corner", (10, 0), BORDER),
            ("lower left corner, square", (0, h - 1), BORDER),
            ("lower right corner, square", (w - 1, h - 1), BORDER),
            ("top border", (w // 2, 0), BORDER),
            ("left border", (0, h // 2), BORDER),
            ("right border", (w - 1, h // 2), BORDER),
            ("bottom border", (w // 2, h - 1), BORDER),
            ("right of the window", (w, h // 2), ROOT),
            ("below the window", (w // 2, h), ROOT),
            ("body below the strip", (2, 26), BODY),
            ("body in the lower right corner", (w - 3, h - 3), BODY),
        ]
        for name, (x, y), colour in expected:
            self.assertEqual(at(x, y), colour, f"{name} at ({x}, {y}) in {shot.path}")

    def check_title_strip(self, shot, p):
        at = lambda x, y: shot.pixel(p.x + x, p.y + y)
        probe_x = p.w - 40  # right of the title, left of the cross
        for row in STRIP_ROWS:
            colour = grey(GRADIENT[row - 1]) if row <= len(GRADIENT) else BLACK
            self.assertEqual(at(probe_x, row), colour, f"strip row {row} in {shot.path}")
        self.assertEqual(at(3, 24), BLACK, "the strip's last row")
        self.assertEqual(at(3, 25), BODY, "the strip is 24 rows high")
        self.assertEqual(at(1, 12), BLACK, "the strip starts one pixel in from the left")
        self.assertEqual(at(p.w - 2, 12), BLACK, "the strip ends one pixel in from the right")
        # The cross: two white diagonals of the box (w-18, 9)-(w-9, 17), black between them.
        for fx, fy in ((-15.75, 11), (-11.25, 11), (-13.5, 13), (-15.75, 15), (-11.25, 15)):
            x, y = int(p.w + fx), int(fy)
            near = [at(x + dx, y + dy) for dx in (0, 1) for dy in (0, 1)]
            self.assertTrue(any(map(is_white, near)), f"cross near ({x}, {y}) in {shot.path}")
        self.assertEqual(at(p.w - 14, 9), BLACK, "between the arms of the cross")
        title_box = (p.x + 6, p.y + 5, 80, 16)
        self.assertGreater(count(shot, title_box, is_white), 20, "the title is drawn in white")
        self.assertEqual(count(shot, (p.x + 1, p.y + 9, 5, 16), is_white), 0,
                         "the title starts 6 pixels in")

    def check_buttons(self, shot, p, expected):
        faces = face_boxes(shot, (p.x + 1, p.y + 26, p.w - 2, p.h - 27))
        self.assertEqual(len(faces), expected, f"button faces {faces} in {shot.path}")
        for face in faces:
            self.assertGreater(count(shot, face, is_white), 8, f"white caption on {face}")
            self.assertEqual(count(shot, face, is_red), 0, f"no red caption on {face}")

    def test_caption_is_red_under_the_pointer_and_gone_while_pressed(self):
        preview = self.open(DEFAULT_CERT)
        face = face_boxes(preview.shot("103-before-hover"), preview.box())[0]
        self.session.move_pointer(*centre(face))
        hovered = self.session.settled_shot("103-hover", face, lambda s: count(s, face, is_red) > 8)
        self.assertEqual(count(hovered, face, is_white), 0, "the hover caption is red only")

        self.session.move_pointer(5, 5)
        self.session.settled_shot("103-after-hover", face, lambda s: count(s, face, is_white) > 8)

        self.session.move_pointer(*centre(face))
        self.session.xdotool("mousedown", 1)
        pressed = self.session.settled_shot(
            "103-pressed", face, lambda s: count(s, face, is_face) > 0.8 * face[2] * face[3])
        self.assertEqual(count(pressed, face, is_white) + count(pressed, face, is_red), 0,
                         "no caption on a pressed button")
        # Released away from the button, so that it is not clicked.
        self.session.move_pointer(5, 5)
        self.session.xdotool("mouseup", 1)

    def test_close_box_ends_the_dialog_as_cancel(self):
        preview = self.open(DEFAULT_CERT, at=(60, 80))
        preview.shot("103-before-close")
        self.session.move_pointer(preview.x + preview.w - 14, preview.y + 13)
        self.session.xdotool("click", 1)
        self.assertEqual(preview.exit_code(), IDCANCEL)

    def test_dragging_the_title_strip_moves_the_window(self):
        preview = self.open(DECRYPT)
        preview.shot("104-before-drag")
        self.session.move_pointer(preview.x + 100, preview.y + 12)
        self.session.xdotool("mousedown", 1)
        for _ in range(10):
            self.session.xdotool("mousemove_relative", "--", 15, 9)
        self.session.xdotool("mouseup", 1)
        wait_for("the window at its new place",
                 lambda: self.session.geometry(preview.window)[:2] == (190, 120))
        preview.x, preview.y = 190, 120
        preview.shot("104-after-drag")


class BusyWindowTest(SessionTest):
    compositor = True  # shows the layered window's alpha in the screenshots

    def test_busy_window_is_centred_over_its_owner_and_translucent(self):
        owner_alone = self.open(ENCRYPT, at=(100, 50))
        under = owner_alone.shot("busy-owner-alone")
        owner_alone.end()

        preview = self.open(BUSY, at=(100, 50), title=DIALOGS[ENCRYPT][0])
        preview.shot("busy-owner")  # settles the owner's frameless geometry
        def layered_windows():
            return [w for w in self.session.windows_of("qzpreview.exe")
                    if "CARDINAL" in self.session.property(w, "_NET_WM_WINDOW_OPACITY")]
        layered = wait_for("the layered busy window", layered_windows)
        self.assertEqual(len(layered), 1, "one layered window")
        self.assertTrue(self.session.property(layered[0], "_NET_WM_WINDOW_OPACITY").endswith(
            str(200 * 0x01010101)), "alpha 200 of 255")
        bx, by, bw, bh = self.session.geometry(layered[0])
        self.assertEqual((bx, by), (preview.x + (preview.w - bw) // 2, preview.y + (preview.h - bh) // 2),
                         "centred over the owner")

        busy_box = (bx, by, bw, bh)
        shot = self.session.settled_shot("busy", busy_box,
                                         lambda s: s.pixel(bx + 2, by + 2) != under.pixel(bx + 2, by + 2))
        # Where the owner is dark the translucent face is darker too: the slope between the
        # owner's pixels and the composed ones is 1 - alpha.
        pairs = [(under.pixel(x, y)[0], shot.pixel(x, y)[0])
                 for y in range(by, by + bh) for x in range(bx, bx + bw)]
        dark = [p for p in pairs if p[0] < 100]
        light = [p for p in pairs if p[0] > 200]
        self.assertTrue(dark and light, "the busy window covers dark and light parts of its owner")
        slope = ((statistics.median(s for _, s in light) - statistics.median(s for _, s in dark)) /
                 (statistics.median(u for u, _ in light) - statistics.median(u for u, _ in dark)))
        self.assertAlmostEqual(1 - slope, 200 / 255, delta=0.02)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--emulator", "--prefix", "--preview", "--shots"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
