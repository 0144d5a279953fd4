"""shell_tests.py --emulator WINE_RUN --work DIR --dll DLL --standin EXE [...] TEST

The library as the file manager meets it, under Wine. Every TEST runs in a fresh Wine prefix of
its own (under DIR/TEST) on a private X display:

  registration  regsvr32 /s and /u: every key and value, twice, NoRemove keys, a quote in the path
  server        the server functions through LoadLibrary and through CoCreateInstance (GoogleTest)
  menu          the stand-in for the file manager: items, help texts, invocation, destinations
  menu_1252     the same on a Western Windows (ANSI code page 1252, --western-locale): Chinese
                items, help texts and messages, paths in that code page
  installer     the setup program: silent install, handler reachable, silent uninstall
  end_to_end    default certificate, encrypt and decrypt through the menu and the real dialogs

Drive D: of each prefix is DIR/TEST/drive-d, so that the folders are the ones users type.
"""

import argparse
import filecmp
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from gui_session import CHINESE, GuiSession, wait_for  # noqa: E402

SOURCE_ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def identifiers():
    """The four GUIDs, read where they are chosen."""
    text = open(os.path.join(SOURCE_ROOT, "shell", "CMakeLists.txt"), encoding="utf-8").read()
    found = dict(re.findall(r"set\(QZ_(CLSID|LIBID|APPID|IID)\s+([0-9A-F-]{36})\)", text))
    return {name: "{" + value + "}" for name, value in found.items()}


IDS = identifiers()
ENCRYPT, DECRYPT = "Orvel文件夹加密", "Orvel文件夹解密"
ERROR_CAPTION, NOT_DECRYPTABLE = "出错提示", "对不起,不支持此文件夹解密!"
# Controls of the dialog templates (resources/resource.h).
SOURCE_FOLDER, DEST_FOLDER, ENCRYPTED_FOLDER, PLAIN_FOLDER = 1001, 1003, 1023, 1025
INVALIDARG = "0x80070057"
SKIPPED = 77


def windows_path(path):
    """Wine maps the Linux root to Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class ShellSession(GuiSession):
    """A fresh prefix with drive D:, and the tools the tests use in it."""

    def __init__(self, args, name, locale=CHINESE):
        self.args = args
        self.root = os.path.join(args.work, name)
        shutil.rmtree(self.root, ignore_errors=True)
        self.drive_d = os.path.join(self.root, "drive-d")
        os.makedirs(self.drive_d)
        prefix = os.path.join(self.root, "prefix")
        shots = args.shots or os.path.join(self.root, "screenshots")
        super().__init__([args.emulator], prefix, shots, locale=locale)

    def _start(self):
        super()._start()
        link = os.path.join(self.prefix, "dosdevices", "d:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(self.drive_d, link)
        return self

    def wine(self, *args, timeout=300):
        return self.run_windows_program(*args, timeout=timeout).returncode

    def regsvr32(self, *args):
        return self.wine("regsvr32", *args)

    def folder(self, *parts):
        """Makes a folder on drive D: and returns its Windows path."""
        os.makedirs(os.path.join(self.drive_d, *parts), exist_ok=True)
        return "D:\\" + "\\".join(parts)

    def export(self, key):
        """{subkey: {value name: text}} of HKCR\\key and below; None when the key is missing."""
        out = os.path.join(self.root, "export.reg")
        if os.path.exists(out):
            os.remove(out)
        if self.wine("reg", "export", "HKCR\\" + key, windows_path(out), "/y") != 0:
            return None
        return parse_reg(open(out, encoding="utf-16").read(), "HKEY_CLASSES_ROOT\\")

    def key_exists(self, key):
        return self.wine("reg", "query", "HKCR\\" + key) == 0

    def standin(self, *args, background=False):
        """Runs the stand-in with a log of its own; returns its exit code and log lines."""
        log = os.path.join(self.root, "standin.log")
        if os.path.exists(log):
            os.remove(log)
        command = [self.args.standin, "--log", windows_path(log), *args]
        if background:
            return self.start_windows_program(*command), log
        code = self.wine(*command)
        return code, read_log(log)


def read_log(path):
    if not os.path.exists(path):
        return []
    return open(path, encoding="utf-8", errors="replace").read().splitlines()


def parse_reg(text, root):
    keys, current = {}, None
    for line in text.splitlines():
        if line.startswith("["):
            current = keys.setdefault(line.strip("[]")[len(root):], {})
        elif current is not None and "=" in line:
            name, _, value = line.partition("=")
            name = "" if name == "@" else name.strip('"').replace("\\\\", "\\")
            current[name] = value.strip('"').replace('\\"', '"').replace("\\\\", "\\")
    return keys


class Checks:
    """Collects failed checks so that one run reports all of them."""

    def __init__(self):
        self.failures = []

    def equal(self, what, expected, actual):
        if expected != actual:
            self.failures.append(f"{what}:\n  expected {expected!r}\n  actual   {actual!r}")

    def true(self, what, condition):
        if not condition:
            self.failures.append(what)

    def result(self):
        for failure in self.failures:
            print("FAILED", failure)
        print("ok" if not self.failures else f"{len(self.failures)} check(s) failed")
        return 1 if self.failures else 0


# -- registration ----------------------------------------------------------------------------

def expected_scripts(dll):
    clsid, appid, libid = IDS["CLSID"], IDS["APPID"], IDS["LIBID"]
    return {
        f"AppID\\{appid}": {"": "ZaDizuvOzar"},
        "AppID\\ZaDizuvOzar.DLL": {"AppID": appid},
        "ZaDizuvOzar.SimpleFolde.1": {"": "SimpleFolde Class"},
        "ZaDizuvOzar.SimpleFolde.1\\CLSID": {"": clsid},
        "ZaDizuvOzar.SimpleFolde": {"": "SimpleFolde Class"},
        "ZaDizuvOzar.SimpleFolde\\CLSID": {"": clsid},
        "ZaDizuvOzar.SimpleFolde\\CurVer": {"": "ZaDizuvOzar.SimpleFolde.1"},
        f"CLSID\\{clsid}": {"": "SimpleFolde Class", "AppID": appid},
        f"CLSID\\{clsid}\\ProgID": {"": "ZaDizuvOzar.SimpleFolde.1"},
        f"CLSID\\{clsid}\\VersionIndependentProgID": {"": "ZaDizuvOzar.SimpleFolde"},
        f"CLSID\\{clsid}\\Programmable": {},
        f"CLSID\\{clsid}\\InprocServer32": {"": dll, "ThreadingModel": "Apartment"},
        f"CLSID\\{clsid}\\TypeLib": {"": libid},
        "Folder\\ShellEx\\ContextMenuHandlers\\SimpleFolde": {"": clsid},
    }


def our_keys():
    clsid, appid = IDS["CLSID"], IDS["APPID"]
    return [f"AppID\\{appid}", "AppID\\ZaDizuvOzar.DLL", "ZaDizuvOzar.SimpleFolde.1",
            "ZaDizuvOzar.SimpleFolde", f"CLSID\\{clsid}", "Folder\\ShellEx\\ContextMenuHandlers\\SimpleFolde"]


def type_library_keys():
    return [f"TypeLib\\{IDS['LIBID']}", f"Interface\\{IDS['IID']}"]


NO_REMOVE_KEYS = ["AppID", "CLSID", "Folder", "Folder\\ShellEx", "Folder\\ShellEx\\ContextMenuHandlers"]


def registered_scripts(session):
    found = {}
    for key in our_keys():
        found.update(session.export(key) or {})
    return found


def test_registration(args):
    checks = Checks()
    with ShellSession(args, "registration") as session:
        # A folder name with a single quote: the script quotes with it, the registry must not. And
        # with a letter the ANSI code page lacks: the library's path is no ANSI text.
        folder = os.path.join(session.prefix, "drive_c", "Program Files", "Orvel's Ďata")
        os.makedirs(folder)
        shutil.copy(args.dll, folder)
        dll = "C:\\Program Files\\Orvel's Ďata\\ZaDizuvOzar.dll"

        checks.equal("regsvr32 /s", 0, session.regsvr32("/s", dll))
        first = registered_scripts(session)
        checks.equal("keys and values of both scripts", expected_scripts(dll), first)
        typelib = session.export(type_library_keys()[0]) or {}
        checks.equal("type library", {"": "ZaDizuvOzar 1.0 Type Library"}, typelib.get(type_library_keys()[0] + "\\1.0"))
        checks.equal("type library file", {"": dll}, typelib.get(type_library_keys()[0] + "\\1.0\\0\\win64"))
        interface = session.export(type_library_keys()[1]) or {}
        checks.equal("dual interface", "ISimpleFolde", interface.get(type_library_keys()[1], {}).get(""))

        # A second registration rebuilds the ForceRemove keys and leaves one set.
        stale = f"HKCR\\CLSID\\{IDS['CLSID']}\\Stale"
        session.wine("reg", "add", stale, "/f")
        checks.equal("second regsvr32 /s", 0, session.regsvr32("/s", dll))
        checks.equal("keys after registering twice", first, registered_scripts(session))

        checks.equal("regsvr32 /u /s", 0, session.regsvr32("/u", "/s", dll))
        for key in our_keys() + type_library_keys():
            checks.true(f"{key} removed", not session.key_exists(key))
        for key in NO_REMOVE_KEYS:
            checks.true(f"NoRemove key {key} kept", session.key_exists(key))
        checks.equal("regsvr32 of a missing library", 3, session.regsvr32("/s", "C:\\nowhere\\ZaDizuvOzar.dll"))
    return checks.result()


# -- server functions ------------------------------------------------------------------------

def test_server(args):
    with ShellSession(args, "server") as session:
        dll = windows_path(args.dll)
        if session.regsvr32("/s", dll) != 0:
            print("FAILED registering", dll)
            return 1
        session.env["QZ_SHELL_DLL"] = dll
        return session.wine(args.server_test)


# -- the menu through the stand-in -----------------------------------------------------------

def lines_with(log, prefix):
    return [line[len(prefix):] for line in log if line.startswith(prefix)]


def fields(log):
    found = {}
    for line in lines_with(log, "field "):
        ident, _, text = line.partition("\t")
        found[int(ident)] = text
    return found


def check_clean_end(checks, what, log):
    checks.equal(f"{what}: dialogs left", ["0"], lines_with(log, "dialogs left "))
    checks.equal(f"{what}: library unloaded at the end", ["no"], lines_with(log, "library loaded at exit: "))


def check_menu(checks, session, folder):
    code, log = session.standin("menu", folder)
    checks.equal("menu: exit code", 0, code)
    checks.equal("menu: result", ["0x00000002"], lines_with(log, "query "))
    checks.equal("menu: items in order", ["0 1 Open", f"1 101 {DECRYPT}", f"2 100 {ENCRYPT}", "3 2 Properties"],
                 lines_with(log, "item "))
    code, log = session.standin("menu", "--flags", "1", folder)
    checks.equal("CMF_DEFAULTONLY: result", ["0x00000000"], lines_with(log, "query "))
    checks.equal("CMF_DEFAULTONLY: no items added", ["0 1 Open", "1 2 Properties"], lines_with(log, "item "))


CODECS = {"936": "gbk", "1252": "cp1252"}


def check_long_path(checks, session):
    """Paths in code page 936 of MAX_PATH bytes and one less: the longer one, shortened to fit,
    would name another folder, so the handler declines it."""
    cases = [  # last folder, bytes of the path, items shown
        ("料" * 62 + "ab", 260, []),
        ("料" * 62 + "a", 259, [f"1 101 {DECRYPT}", f"2 100 {ENCRYPT}"]),
    ]
    for last, length, items in cases:
        folder = session.folder("资" * 65, last)
        checks.equal(f"path of {length} bytes", length, len(folder.encode("gbk")))
        code, log = session.standin("menu", folder)
        checks.equal(f"path of {length} bytes: items", items, [i for i in lines_with(log, "item ") if "Orvel" in i])


def check_help_texts(checks, session, code_page="936"):
    # The narrow help text is in the caller's ANSI code page: 936 holds our texts, 1252 has a '?'
    # for every Chinese character. Both are cut at cchMax bytes, the terminator included.
    cases = [  # offset, cchMax, wide text, {ANSI code page: narrow text}
        (0, 64, ENCRYPT, {"936": ENCRYPT, "1252": "Orvel?????"}),
        (1, 64, DECRYPT, {"936": DECRYPT, "1252": "Orvel?????"}),
        (0, 8, "Orvel文件", {"936": "Orvel文", "1252": "Orvel??"}),
        (1, 6, "Orvel", {"936": "Orvel", "1252": "Orvel"}),
        (0, 1, "", {"936": "", "1252": ""}),
    ]
    for offset, chars, wide, narrow_texts in cases:
        narrow = narrow_texts[code_page].encode(CODECS[code_page]).hex() or "-"
        code, log = session.standin("help", str(offset), str(chars))
        checks.equal(f"help {offset}/{chars} A", [f"0x00000000 {narrow}"], lines_with(log, "helpA "))
        checks.equal(f"help {offset}/{chars} W", [f"0x00000000 {wide}"], lines_with(log, "helpW "))
        checks.equal(f"help {offset}/{chars}: verbs and validation succeed untouched",
                     [f"{t} 0x00000000 untouched" for t in (0, 4, 2, 6)], lines_with(log, "type "))
    code, log = session.standin("help", "2", "64")
    checks.equal("help for offset 2", [f"{INVALIDARG} -", f"{INVALIDARG} -"],
                 lines_with(log, "helpA ") + lines_with(log, "helpW "))


# Folders whose names only the ANSI code page holds, and the dialogs the commands open on them.
CHINESE_FOLDERS = {
    "folders": [("资料.qz", "亃"), ("资料",)],  # the trail byte of 亃 is a 'z'
    "opened": [
        (["D:\\资料"], "0", {SOURCE_FOLDER: "D:\\资料", DEST_FOLDER: "D:\\资料.qz"}),
        (["D:\\资料.qz\\亃"], "1", {ENCRYPTED_FOLDER: "D:\\资料.qz\\亃", PLAIN_FOLDER: "D:\\资料"}),
    ],
}
# In code page 1252 'é' is 0xE9, a lead byte in 936: read with the wrong rule it swallows the
# '.' or '\' after it. 'Ď' and 'Ŝ' are not in 1252: they come as '?', which names no folder,
# never as the look-alike 'D' or 'S' of another one.
WESTERN_FOLDERS = {
    "folders": [("Café",), ("Café.qz", "sub"), ("Ďocs",), ("Docs",), ("Ŝafe.qz",), ("Safe.qz",)],
    "opened": [
        (["D:\\Café"], "0", {SOURCE_FOLDER: "D:\\Café", DEST_FOLDER: "D:\\Café.qz"}),
        (["D:\\Café.qz"], "1", {ENCRYPTED_FOLDER: "D:\\Café.qz", PLAIN_FOLDER: "D:\\Café"}),
        (["D:\\Café.qz\\sub"], "1", {ENCRYPTED_FOLDER: "D:\\Café.qz\\sub", PLAIN_FOLDER: "D:\\Café"}),
        (["D:\\Ďocs"], "0", {SOURCE_FOLDER: "D:\\?ocs", DEST_FOLDER: "D:\\?ocs.qz"}),
        (["D:\\Ŝafe.qz"], "1", {ENCRYPTED_FOLDER: "D:\\?afe.qz", PLAIN_FOLDER: "D:\\?afe"}),
    ],
}


def check_invocations(checks, session, native_folders):
    docs = session.folder("docs")
    session.folder("docsqz")
    session.folder("docs.qz", "sub")
    session.folder("a.qz", "zone")
    for parts in native_folders["folders"]:
        session.folder(*parts)
    opened = [  # folders, verb, {control: text} of the dialog it opens
        ([docs], "0", {SOURCE_FOLDER: "D:\\docs", DEST_FOLDER: "D:\\docs.qz"}),
        (["D:\\docs.qz"], "1", {ENCRYPTED_FOLDER: "D:\\docs.qz", PLAIN_FOLDER: "D:\\docs"}),
        (["D:\\docs.qz\\sub"], "1", {ENCRYPTED_FOLDER: "D:\\docs.qz\\sub", PLAIN_FOLDER: "D:\\docs"}),
        (["D:\\a.qz\\zone"], "1", {ENCRYPTED_FOLDER: "D:\\a.qz\\zone", PLAIN_FOLDER: "D:\\a.q"}),
        (["D:\\docs", "D:\\docsqz"], "0", {SOURCE_FOLDER: "D:\\docs", DEST_FOLDER: "D:\\docs.qz"}),
    ] + native_folders["opened"]
    for folders, verb, expected in opened:
        what = f"invoke {verb} on {' + '.join(folders)}"
        code, log = session.standin("invoke", *folders, verb)
        checks.equal(f"{what}: result", ["0x00000000"], lines_with(log, "invoke "))
        # The decryption dialog's own scan may speak (an empty folder); the command must not refuse.
        checks.equal(f"{what}: not refused", [], [b for b in lines_with(log, "box ") if NOT_DECRYPTABLE in b])
        checks.equal(f"{what}: one dialog, library kept meanwhile", ["1, library loaded yes"],
                     lines_with(log, "dialogs open "))
        shown = fields(log)
        checks.equal(f"{what}: folders in the dialog", expected, {k: shown.get(k) for k in expected})
        check_clean_end(checks, what, log)

    refused = [  # folders, verb, result, message
        (["D:\\docs"], "1", "0x00000000", [f"{ERROR_CAPTION}\t{NOT_DECRYPTABLE}"]),
        (["D:\\docsqz"], "1", "0x00000000", [f"{ERROR_CAPTION}\t{NOT_DECRYPTABLE}"]),
        (["D:\\docs"], "2", INVALIDARG, []),
        (["D:\\docs"], "s:open", INVALIDARG, []),
    ]
    for folders, verb, result, boxes in refused:
        what = f"invoke {verb} on {' + '.join(folders)}"
        code, log = session.standin("invoke", *folders, verb)
        checks.equal(f"{what}: result", [result], lines_with(log, "invoke "))
        checks.equal(f"{what}: message", boxes, lines_with(log, "box "))
        checks.equal(f"{what}: no dialog", [], lines_with(log, "dialog "))
        check_clean_end(checks, what, log)


def check_popup(checks, session, folder, shot="menu"):
    process, log = session.standin("popup", folder, background=True)
    wait_for("the popup menu", lambda: "popup shown" in read_log(log), timeout=60)
    time.sleep(1.0)
    session.screenshot(shot)
    session.xdotool("key", "Escape")
    process.wait(timeout=60)
    checks.equal("popup dismissed without a command", ["0"], lines_with(read_log(log), "popup chosen "))


def test_menu(args):
    checks = Checks()
    with ShellSession(args, "menu") as session:
        checks.equal("regsvr32 /s", 0, session.regsvr32("/s", windows_path(args.dll)))
        code, log = session.standin("handlers")
        checks.equal("the prefix's ANSI code page", ["936"], lines_with(log, "ansi code page "))
        checks.equal("registered handlers", [f"SimpleFolde {IDS['CLSID']}"], lines_with(log, "handler "))
        check_menu(checks, session, session.folder("docs"))
        check_long_path(checks, session)
        check_help_texts(checks, session)
        check_invocations(checks, session, CHINESE_FOLDERS)
        check_popup(checks, session, session.folder("docs"))
    return checks.result()


def test_menu_1252(args):
    checks = Checks()
    if not args.western_locale:
        print("FAILED: menu_1252 needs --western-locale")
        return 1
    with ShellSession(args, "menu_1252", locale=args.western_locale) as session:
        code, log = session.standin("handlers")
        checks.equal("the prefix's ANSI code page", ["1252"], lines_with(log, "ansi code page "))
        checks.equal("regsvr32 /s", 0, session.regsvr32("/s", windows_path(args.dll)))
        check_menu(checks, session, session.folder("docs"))
        check_help_texts(checks, session, "1252")
        check_invocations(checks, session, WESTERN_FOLDERS)
        check_popup(checks, session, session.folder("docs"), shot="menu-1252")
    return checks.result()


# -- installer -------------------------------------------------------------------------------

PENDING_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZaDizuvOzar"


def pending_file_operations(session):
    """The paths of PendingFileRenameOperations (a multi-string, exported as UTF-16 hex bytes)."""
    out = os.path.join(session.root, "pending.reg")
    if session.wine("reg", "export", PENDING_KEY, windows_path(out), "/y") != 0:
        return []
    text = open(out, encoding="utf-16").read().replace("\\\n", "")
    found = re.search(r'"PendingFileRenameOperations"=hex\(7\):([0-9a-f, ]*)', text)
    if not found:
        return []
    data = bytes(int(byte, 16) for byte in found.group(1).replace(" ", "").split(",") if byte)
    return data.decode("utf-16-le").split("\0")


def test_installer(args):
    checks = Checks()
    if not os.path.exists(args.setup):
        print("FAILED: no setup program at", args.setup)
        return 1
    with ShellSession(args, "installer") as session:
        install_dir = os.path.join(session.prefix, "drive_c", "Program Files", "ZaDizuvOzar")
        dll = "C:\\Program Files\\ZaDizuvOzar\\ZaDizuvOzar.dll"
        checks.equal("silent install", 0, session.wine(windows_path(args.setup), "/S"))
        checks.true("library installed", os.path.exists(os.path.join(install_dir, "ZaDizuvOzar.dll")))
        checks.true("uninstaller installed", os.path.exists(os.path.join(install_dir, "uninstall.exe")))
        checks.equal("registration keys", expected_scripts(dll), registered_scripts(session))
        checks.true("type library registered", session.key_exists(type_library_keys()[0]))
        checks.equal("Add or remove programs entry", 0, session.wine("reg", "query", UNINSTALL_KEY, "/v", "UninstallString"))

        code, log = session.standin("menu", session.folder("docs"))
        checks.equal("handler reachable: items", [f"1 101 {DECRYPT}", f"2 100 {ENCRYPT}"],
                     [line for line in lines_with(log, "item ") if "Orvel" in line])

        checks.equal("silent uninstall", 0,
                     session.wine("C:\\Program Files\\ZaDizuvOzar\\uninstall.exe", "/S"))
        # The uninstaller runs on from a copy of itself: wait for it to finish its work.
        wait_for("the uninstaller", lambda: not os.path.exists(install_dir), timeout=120)
        for key in our_keys() + type_library_keys():
            checks.true(f"{key} removed", not session.key_exists(key))
        checks.true("uninstall entry removed", session.wine("reg", "query", UNINSTALL_KEY) != 0)

        # Again, with the library loaded by the file manager meanwhile: unregistered at once, the
        # file removed at the next restart.
        checks.equal("second silent install", 0, session.wine(windows_path(args.setup), "/S"))
        holder, log = session.standin("popup", session.folder("docs"), background=True)
        wait_for("the library loaded by the stand-in", lambda: "popup shown" in read_log(log), timeout=60)
        checks.equal("silent uninstall while loaded", 0,
                     session.wine("C:\\Program Files\\ZaDizuvOzar\\uninstall.exe", "/S"))
        wait_for("the uninstaller", lambda: session.wine("reg", "query", UNINSTALL_KEY) != 0, timeout=120)
        for key in our_keys() + type_library_keys():
            checks.true(f"{key} removed while loaded", not session.key_exists(key))
        if os.path.exists(os.path.join(install_dir, "ZaDizuvOzar.dll")):
            checks.true("removal of the loaded library at the next restart",
                        "\\??\\" + dll in pending_file_operations(session))
        session.xdotool("key", "Escape")
        holder.wait(timeout=60)
    return checks.result()


# -- end to end ------------------------------------------------------------------------------

ENCRYPT_SCRIPT = """\
wait 文件夹加密
shot 1-encryption-dialog
click 文件夹加密 1007
wait 设置默认数字证书
row 设置默认数字证书 1020 0
shot 2-default-certificate
click 设置默认数字证书 1
gone 设置默认数字证书
read 文件夹加密
shot 3-default-certificate-set
click 文件夹加密 1015
box 加密成功!
gone 文件夹加密
"""

DECRYPT_SCRIPT = """\
wait 解密文件夹
read 解密文件夹
item 解密文件夹 1027 0
shot 5-decryption-dialog
click 解密文件夹 1
box 解密成功!
gone 解密文件夹
"""


def run_scripted(session, folder, verb, script_text, name):
    """Invokes a command and drives its dialogs with a script, taking the screenshots it asks."""
    script = os.path.join(session.root, f"{name}.script")
    with open(script, "w", encoding="utf-8") as out:
        out.write(script_text)
    process, log = session.standin("invoke", "--script", windows_path(script), folder, verb, background=True)
    log_dir = os.path.dirname(log)
    deadline = time.monotonic() + 300
    while process.poll() is None and time.monotonic() < deadline:
        for entry in os.listdir(log_dir):
            if entry.endswith(".request"):
                time.sleep(0.5)
                session.screenshot(entry[:-len(".request")])
                os.remove(os.path.join(log_dir, entry))
        time.sleep(0.2)
    if process.poll() is None:
        process.kill()
    lines = read_log(log)
    print("\n".join(f"  {name}: {line}" for line in lines))
    return process.returncode, lines


def sample_folder(root):
    os.makedirs(os.path.join(root, "subfolder"))
    with open(os.path.join(root, "说明.txt"), "w", encoding="utf-8") as out:
        out.write("Orvel文件夹加密: a sample file of ZaDizuvOzar.\n")
    with open(os.path.join(root, "random.bin"), "wb") as out:
        out.write(os.urandom(300000))
    open(os.path.join(root, "empty"), "wb").close()
    with open(os.path.join(root, "subfolder", "left-alone.txt"), "w") as out:
        out.write("subfolders are not entered\n")


def same_files(left, right):
    names = sorted(n for n in os.listdir(left) if os.path.isfile(os.path.join(left, n)))
    match, mismatch, errors = filecmp.cmpfiles(left, right, names, shallow=False)
    return names and not mismatch and not errors, mismatch + errors


def check_linux_reads(checks, args, work, sample, encrypted):
    """The Linux build decrypts what the library wrote, with the same certificate."""
    home, copy = os.path.join(work, "linux-home"), os.path.join(work, "linux-decrypted")
    os.makedirs(home)
    subprocess.run([args.native_qzfolder, "--home", home, "import", os.path.join(args.certs, "alice1024.p12"),
                    "--password", "test"], check=False, capture_output=True)
    result = subprocess.run([args.native_qzfolder, "--home", home, "decrypt", encrypted, "--dest", copy],
                            capture_output=True, text=True)
    checks.equal(f"Linux build decrypts the folder ({result.stdout}{result.stderr})", 0, result.returncode)
    checks.true("Linux build reads the files back", same_files(sample, copy)[0])


def test_end_to_end(args):
    checks = Checks()
    if not (args.native_qzfolder and os.path.exists(args.native_qzfolder)):
        print(f"SKIPPED: no native qzfolder at {args.native_qzfolder} (build the native preset first)")
        return SKIPPED
    with ShellSession(args, "end_to_end") as session:
        sample = os.path.join(session.drive_d, "sample")
        sample_folder(sample)
        checks.equal("regsvr32 /s", 0, session.regsvr32("/s", windows_path(args.dll)))
        qzfolder_exe = os.path.join(os.path.dirname(args.dll), "qzfolder.exe")
        checks.equal("certificate imported into MY", 0,
                     session.wine(qzfolder_exe, "import", windows_path(os.path.join(args.certs, "alice1024.p12")),
                                  "--password", "test"))

        check_popup(checks, session, "D:\\sample", shot="0-menu")
        code, log = run_scripted(session, "D:\\sample", "0", ENCRYPT_SCRIPT, "encrypt")
        checks.equal("encrypt: script done", 0, code)
        if code != 0:
            return checks.result()
        checks.equal("encrypt: default certificate shown", "Alice", fields(log).get(1005, "")[:5])
        encrypted = os.path.join(session.drive_d, "sample.qz")
        checks.true("encrypted folder written", os.path.isdir(encrypted) and len(os.listdir(encrypted)) == 3)
        session.screenshot("4-encrypted")

        check_linux_reads(checks, args, session.root, sample, encrypted)

        # The decryption goes to the proposed destination, the original folder's name: move the
        # original aside, as a user who got the encrypted folder elsewhere would not have it.
        original = os.path.join(session.drive_d, "original")
        os.rename(sample, original)
        code, log = run_scripted(session, "D:\\sample.qz", "1", DECRYPT_SCRIPT, "decrypt")
        checks.equal("decrypt: script done", 0, code)
        checks.equal("decrypt: proposed destination", "D:\\sample", fields(log).get(PLAIN_FOLDER))
        identical, differing = same_files(original, sample)
        checks.true(f"decrypted files identical to the originals (differing: {differing})", identical)
        checks.equal("library unloaded afterwards", ["no"], lines_with(log, "library loaded at exit: "))
        session.screenshot("6-done")
    print("screenshots in", session.shots_dir)
    return checks.result()


TESTS = {"registration": test_registration, "server": test_server, "menu": test_menu, "menu_1252": test_menu_1252,
         "installer": test_installer, "end_to_end": test_end_to_end}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--server-test")
    parser.add_argument("--setup")
    parser.add_argument("--native-qzfolder")
    parser.add_argument("--certs", default=os.path.join(SOURCE_ROOT, "tests", "data", "certs"))
    parser.add_argument("--shots", help="where the screenshots go (default: under the test's folder)")
    parser.add_argument("--western-locale", help="the locale of menu_1252, one of ANSI code page 1252")
    parser.add_argument("test", choices=sorted(TESTS))
    args = parser.parse_args()
    for name in ("emulator", "work", "dll", "standin", "server_test", "setup", "native_qzfolder", "certs", "shots"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    return TESTS[args.test](args)


if __name__ == "__main__":
    sys.exit(main())
