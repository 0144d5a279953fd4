"""run_on_display.py --emulator WINE_RUN --prefix PREFIX --shots DIR [--locale LOCALE] -- PROGRAM [ARG...]

Runs a Windows program under Wine on a private X display and exits with its exit code. LOCALE
(zh_CN.UTF-8 unless given) sets the prefix's ANSI code page.
"""

import argparse
import sys

from gui_session import CHINESE, GuiSession


def main():
    parser = argparse.ArgumentParser()
    for option in ("--emulator", "--prefix", "--shots"):
        parser.add_argument(option, required=True)
    parser.add_argument("--locale", default=CHINESE)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    with GuiSession([args.emulator], args.prefix, args.shots, locale=args.locale) as session:
        return session.run_windows_program(*command).returncode


if __name__ == "__main__":
    sys.exit(main())
