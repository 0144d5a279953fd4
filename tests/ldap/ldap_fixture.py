#!/usr/bin/env python3
"""ldap_fixture.py COMMAND [ARG...]

Runs COMMAND against a directory of its own: an OpenLDAP slapd on 127.0.0.1 (a free port, a
configuration generated into a temporary folder, the test entries loaded with ldapadd), a port
on 127.0.0.1 that refuses connections and a listener on 127.0.0.1 that accepts connections and
never answers. COMMAND finds them in its environment:

  QZ_LDAP_PORT          the directory's port
  QZ_LDAP_BIND_DN       the bind name, which is also where the test entries live
  QZ_LDAP_PASSWORD      its password
  QZ_LDAP_CLOSED_PORT   nothing listens there
  QZ_LDAP_SILENT_PORT   accepts, never answers

Everything is stopped and removed afterwards; the exit code is COMMAND's.

The entries (mail, then the certificates' serials, subjects and key usage), all issued by
"ZaDizuvOzar Directory CA":
  ann@example.com        5A0001 "Ann Encryption" key encipherment, 5A0002 "Ann Signing" signing only
  team1@example.com      5A0101 "张三" key encipherment
  team2@example.com      5A0102 "Team 2" data encipherment
  team3@example.com      5A0103 "Team 3" key encipherment
  odd@example.com        a value that is no certificate, then 5A0201 "Odd Valid"
  twin1/twin2@example.com  the same certificate 5A0301 "Twin" in both entries
  bulk@example.com       160 certificates 5B0000 to 5B009F "Bulk", in that order
"""
import base64
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SUFFIX = "dc=example,dc=com"
BIND_DN = "ou=people," + SUFFIX
PASSWORD = "directory-secret"
MANAGER_DN = "cn=manager," + SUFFIX
MANAGER_PASSWORD = "manager-secret"
SCHEMAS = ("core", "cosine", "inetorgperson")
BULK_COUNT = 160
LOOPBACK = "127.0.0.1"


def free_port():
    with socket.socket() as s:
        s.bind((LOOPBACK, 0))
        return s.getsockname()[1]


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificate(folder, name, serial, cn, usage):
    """A certificate issued by the test CA, as DER bytes."""
    openssl("req", "-x509", "-key", "user.key", "-CA", "ca.crt", "-CAkey", "ca.key", "-days", "3650",
            "-set_serial", serial, "-subj", f"/O=ZaDizuvOzar Test/CN={cn}", "-utf8",
            "-addext", f"keyUsage=critical,{usage}", "-outform", "DER", "-out", f"{name}.der", cwd=folder)
    with open(os.path.join(folder, f"{name}.der"), "rb") as f:
        return f.read()


def der_children(der, start, end):
    """(tag, content start, content end, element end) of each DER element in der[start:end]."""
    children = []
    pos = start
    while pos < end:
        tag, length_byte = der[pos], der[pos + 1]
        pos += 2
        length = length_byte
        if length_byte & 0x80:
            count = length_byte & 0x7F
            length = int.from_bytes(der[pos:pos + count], "big")
            pos += count
        children.append((tag, pos, pos + length))
        pos += length
    return children


def tbs_fields(der):
    (_, cert_start, cert_end), = der_children(der, 0, len(der))
    tbs = der_children(der, cert_start, cert_end)[0]
    return der_children(der, tbs[1], tbs[2])


def with_serial(der, serial):
    """The certificate with another serial of the same length. Its signature no longer fits,
    which nothing here checks: it stands for one more distinct certificate."""
    fields = tbs_fields(der)
    _, start, end = fields[1] if fields[0][0] == 0xA0 else fields[0]
    return der[:start] + serial.to_bytes(end - start, "big") + der[end:]


def not_a_certificate(der):
    """The certificate with its validity times turned into octet strings: its outline still
    passes the directory's syntax check, no certificate decoder takes it."""
    fields = tbs_fields(der)
    validity = fields[4] if fields[0][0] == 0xA0 else fields[3]
    broken = bytearray(der)
    for _, start, _ in der_children(der, validity[1], validity[2]):
        broken[start - 2] = 0x04
    return bytes(broken)


def person(uid, mail, certificates):
    lines = [f"dn: uid={uid},{BIND_DN}", "objectClass: inetOrgPerson", f"uid: {uid}", f"cn: {uid}", f"sn: {uid}",
             f"mail: {mail}"]
    lines += ["userCertificate;binary:: " + base64.b64encode(c).decode() for c in certificates]
    return "\n".join(lines) + "\n"


def entries_ldif(folder):
    openssl("req", "-x509", "-newkey", "rsa:1024", "-nodes", "-keyout", "ca.key", "-out", "ca.crt", "-days", "3650",
            "-subj", "/O=ZaDizuvOzar Test/CN=ZaDizuvOzar Directory CA", cwd=folder)
    openssl("genrsa", "-out", "user.key", "1024", cwd=folder)
    cert = lambda name, serial, cn, usage="keyEncipherment": make_certificate(folder, name, serial, cn, usage)
    twin = cert("twin", "0x5A0301", "Twin")
    bulk = cert("bulk", "0x5B0000", "Bulk")
    parts = [
        f"dn: {SUFFIX}\nobjectClass: dcObject\nobjectClass: organization\ndc: example\no: Example\n",
        f"dn: {BIND_DN}\nobjectClass: organizationalUnit\nou: people\nuserPassword: {PASSWORD}\n",
        person("ann", "ann@example.com", [cert("ann-enc", "0x5A0001", "Ann Encryption"),
                                          cert("ann-sign", "0x5A0002", "Ann Signing", "digitalSignature")]),
        person("team1", "team1@example.com", [cert("team1", "0x5A0101", "张三")]),
        person("team2", "team2@example.com", [cert("team2", "0x5A0102", "Team 2", "dataEncipherment")]),
        person("team3", "team3@example.com", [cert("team3", "0x5A0103", "Team 3")]),
        person("odd", "odd@example.com", [not_a_certificate(twin), cert("odd", "0x5A0201", "Odd Valid")]),
        person("twin1", "twin1@example.com", [twin]),
        person("twin2", "twin2@example.com", [twin]),
        person("bulk", "bulk@example.com", [with_serial(bulk, 0x5B0000 + i) for i in range(BULK_COUNT)]),
    ]
    return "\n".join(parts)


def slapd_config(folder):
    lines = [f"include /etc/ldap/schema/{s}.schema" for s in SCHEMAS]
    lines += [
        f"pidfile {folder}/slapd.pid",
        f"argsfile {folder}/slapd.args",
        "modulepath /usr/lib/ldap",
        "moduleload back_mdb",
        "database mdb",
        "maxsize 16777216",
        f"suffix \"{SUFFIX}\"",
        f"rootdn \"{MANAGER_DN}\"",
        f"rootpw {MANAGER_PASSWORD}",
        f"directory {folder}/db",
    ]
    path = os.path.join(folder, "slapd.conf")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    os.makedirs(os.path.join(folder, "db"))
    return path


def start_slapd(folder, port):
    url = f"ldap://{LOOPBACK}:{port}/"
    # In the foreground (-d 0), in this process's group: it ends with this process even when the
    # test runner kills the group. The system's own slapd service, if any, is never involved.
    slapd = subprocess.Popen(["/usr/sbin/slapd", "-f", slapd_config(folder), "-h", url, "-d", "0"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        if slapd.poll() is not None:
            raise RuntimeError("slapd ended: " + slapd.stderr.read().decode(errors="replace"))
        probe = subprocess.run(["ldapwhoami", "-x", "-H", url, "-D", MANAGER_DN, "-w", MANAGER_PASSWORD],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if probe.returncode == 0:
            return slapd, url
        time.sleep(0.1)
    slapd.kill()
    raise RuntimeError("slapd did not answer within 30 s")


def load_entries(folder, url):
    ldif = os.path.join(folder, "entries.ldif")
    with open(ldif, "w", encoding="utf-8") as f:
        f.write(entries_ldif(folder))
    subprocess.run(["ldapadd", "-x", "-H", url, "-D", MANAGER_DN, "-w", MANAGER_PASSWORD, "-f", ldif],
                   check=True, stdout=subprocess.DEVNULL)


def silent_listener():
    """Accepts connections on 127.0.0.1 and never reads nor answers; the connections stay open
    until this process ends."""
    server = socket.socket()
    server.bind((LOOPBACK, 0))
    server.listen(16)
    held = []

    def accept_forever():
        while True:
            connection, _ = server.accept()
            held.append(connection)

    threading.Thread(target=accept_forever, daemon=True).start()
    return server.getsockname()[1]


def stop(slapd):
    if slapd.poll() is None:
        slapd.send_signal(signal.SIGTERM)
        try:
            slapd.wait(10)
        except subprocess.TimeoutExpired:
            slapd.kill()
            slapd.wait()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    # A test runner that gives up sends SIGTERM: clean up as on any other end.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    folder = tempfile.mkdtemp(prefix="qz-ldap-")
    slapd = None
    try:
        slapd, url = start_slapd(folder, free_port())
        load_entries(folder, url)
        env = dict(os.environ, QZ_LDAP_PORT=url.rsplit(":", 1)[1].strip("/"), QZ_LDAP_BIND_DN=BIND_DN,
                   QZ_LDAP_PASSWORD=PASSWORD, QZ_LDAP_CLOSED_PORT=str(free_port()),
                   QZ_LDAP_SILENT_PORT=str(silent_listener()))
        return subprocess.run(sys.argv[1:], env=env).returncode
    finally:
        if slapd:
            stop(slapd)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
