"""A private X display with Wine on it, for tests that look at real windows.

GuiSession starts Xvfb on a display number the server picks itself (-displayfd), runs the
Wine prefix's server for the session's lifetime, and stops both again. Every wait polls with
a deadline, so a test fails with a message instead of hanging or depending on luck.
"""

import os
import subprocess
import time

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768


class Shot:
    """A screenshot: pixels as (r, g, b), and the PNG kept for people to look at."""

    def __init__(self, path, width, height, rgb):
        self.path, self.width, self.height, self._rgb = path, width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self._rgb[i:i + 3])

    def region(self, left, top, width, height):
        return [[self.pixel(left + x, top + y) for x in range(width)] for y in range(height)]


def wait_for(what, probe, timeout=20.0, interval=0.1):
    """Calls probe() until it returns something true; fails naming `what` after `timeout`."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


CHINESE = "zh_CN.UTF-8"  # ANSI code page 936, the one the system's texts are compiled in


class GuiSession:
    def __init__(self, emulator, prefix, shots_dir, compositor=False, locale=CHINESE):
        """`emulator`: the command that runs a Windows program in a prefix (wine-run.sh); `locale`
        sets the prefix's ANSI code page (en_US.UTF-8: 1252)."""
        self.emulator = emulator + ["--locale", locale]
        self.prefix, self.shots_dir, self.locale = prefix, shots_dir, locale
        self.compositor = compositor
        self.display = None
        self._processes = []

    # -- lifetime ---------------------------------------------------------------------------

    def __enter__(self):
        try:
            return self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def _start(self):
        os.makedirs(self.shots_dir, exist_ok=True)
        self._start_x_server()
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix,
                        WINEDEBUG="-all", LC_ALL=self.locale)
        if self.compositor:
            self._spawn(["xcompmgr"])
        # The emulator makes the prefix on first use. The prefix's server would keep the display
        # of whoever started it: begin afresh, and keep one server for the whole session instead
        # of one per program.
        self._run_wine(self.emulator + [self.prefix, "cmd", "/c", "exit"], timeout=300)
        self._run_wine(["wineserver", "-k"], check=False)
        self._run_wine(["wineserver", "-w"], check=False)
        self._run_wine(["wineserver", "-p"])
        self._run_wine(self.emulator + [self.prefix, "cmd", "/c", "exit"], timeout=300)
        return self

    def __exit__(self, *exc):
        if hasattr(self, "env"):
            self._run_wine(["wineserver", "-k"], check=False)
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
        return False

    def _start_x_server(self):
        read_end, write_end = os.pipe()
        # -wr: a white root, so that what lies outside a window's shape is easy to tell.
        server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24", "-nolisten", "tcp", "-wr"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._processes.append(server)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.display = f":{number}"

    def _spawn(self, command):
        process = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._processes.append(process)
        return process

    def _run(self, command, check=True, timeout=60):
        return subprocess.run(command, env=self.env, check=check, timeout=timeout,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True)

    def _run_wine(self, command, check=True, timeout=60):
        # No pipes: the server and the processes it keeps would hold them open for good.
        return subprocess.run(command, env=self.env, check=check, timeout=timeout,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)

    # -- programs ---------------------------------------------------------------------------

    def start_windows_program(self, program, *args):
        """Starts a Windows program under Wine; the caller waits for it (or the session ends it)."""
        return self._spawn(self.emulator + [self.prefix, program, *map(str, args)])

    def run_windows_program(self, program, *args, timeout=300):
        command = self.emulator + [self.prefix, program, *map(str, args)]
        return subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, timeout=timeout)

    # -- looking and pointing ---------------------------------------------------------------

    def xdotool(self, *args):
        return self._run(["xdotool", *map(str, args)], check=False).stdout

    def window_named(self, title, timeout=30.0):
        """The X window whose name is exactly `title`, once it is mapped."""
        def probe():
            ids = self.xdotool("search", "--onlyvisible", "--name", f"^{title}$").split()
            return ids[0] if ids else None
        return wait_for(f"a window named {title}", probe, timeout)

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen."""
        values = {}
        for line in self.xdotool("getwindowgeometry", "--shell", window).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value) if value.lstrip("-").isdigit() else value
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def windows_of(self, class_name):
        return self.xdotool("search", "--onlyvisible", "--classname", class_name).split()

    def property(self, window, name):
        return self._run(["xprop", "-id", window, name], check=False).stdout.strip()

    def move_pointer(self, x, y):
        self.xdotool("mousemove", x, y)

    def screenshot(self, name):
        path = os.path.join(self.shots_dir, f"{name}.png")
        self._run(["import", "-display", self.display, "-window", "root", path])
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                             stdout=subprocess.PIPE).stdout
        return Shot(path, SCREEN_WIDTH, SCREEN_HEIGHT, rgb)

    def settled_shot(self, name, box, ready, timeout=20.0):
        """A screenshot taken once `ready(shot)` holds and `box` looks the same twice running."""
        previous = None

        def probe():
            nonlocal previous
            shot = self.screenshot(name)
            region = shot.region(*box)
            settled = previous is not None and region == previous and ready(shot)
            previous = region
            return shot if settled else None
        return wait_for(f"a settled picture of {name}", probe, timeout, interval=0.2)

