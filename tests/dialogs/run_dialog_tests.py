"""run_dialog_tests.py --emulator WINE_RUN --prefix PREFIX --shots DIR -- PROGRAM [ARG...]

Runs the dialog tests under Wine on a private X display and answers their screenshot requests:
the program writes NAME.request into the shots folder (named to it in QZ_SHOTS) and waits,
pumping its messages, until NAME.png has appeared. Exits with the program's exit code.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from gui_session import GuiSession  # noqa: E402


def answer_requests(session, shots_dir):
    for entry in sorted(os.listdir(shots_dir)):
        if not entry.endswith(".request"):
            continue
        name = entry[: -len(".request")]
        # Written aside and renamed, so that the program never sees half a file.
        partial = os.path.join(shots_dir, f"{name}.partial.png")
        subprocess.run(["import", "-display", session.display, "-window", "root", partial],
                       check=True, stdin=subprocess.DEVNULL, capture_output=True)
        os.replace(partial, os.path.join(shots_dir, f"{name}.png"))
        os.remove(os.path.join(shots_dir, entry))


def main():
    parser = argparse.ArgumentParser()
    for option in ("--emulator", "--prefix", "--shots"):
        parser.add_argument(option, required=True)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    shots = os.path.abspath(args.shots)
    with GuiSession([args.emulator], args.prefix, shots) as session:
        for stale in os.listdir(shots):
            os.remove(os.path.join(shots, stale))
        # A crash ends the program with its backtrace instead of waiting behind a crash dialog.
        session._run_wine(session.emulator + [session.prefix, "reg", "add", r"HKCU\Software\Wine\WineDbg",
                                              "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f"])
        session.env["QZ_SHOTS"] = "Z:" + shots.replace("/", "\\")
        # The program's output goes where ours goes.
        program = subprocess.Popen(session.emulator + [session.prefix, *command], env=session.env,
                                   stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 900
        while program.poll() is None:
            answer_requests(session, shots)
            if time.monotonic() > deadline:
                program.kill()
                raise AssertionError("the dialog tests did not end within 900 s")
            time.sleep(0.1)
        return program.returncode


if __name__ == "__main__":
    sys.exit(main())
