#!/usr/bin/env python3
"""scripts/make-update.sh as a maintainer runs it: the updater made for a Pelano5.exe of version
5.2.3.0, its refusals, the same bytes from the same input, and a signature made and verified with a
certificate of the test's own. Leaves the updaters it made in OUTDIR for the end-to-end tests.

usage: release_test.py i686|x86_64 BUILD_DIR OUTDIR PELANO5_5_2_3 PELANO5_UNVERSIONED A_DLL"""
import contextlib
import datetime
import hashlib
import http.server
import os
import pty
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import unittest
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from peimage import RT_RCDATA, RT_VERSION, PEImage, fixed_file_info  # noqa: E402
from updater_resources import Refusal, version_record  # noqa: E402

MAKE_UPDATE = os.path.join(ROOT, "scripts", "make-update.sh")
RT_MANIFEST = 24
MANIFEST_ARCH = {"i686": "x86", "x86_64": "amd64"}


class Inputs:
    arch = build = out = newer = unversioned = dll = None


def make_update(payload, out, *options, env=None):
    return subprocess.run([MAKE_UPDATE, payload, out, "--arch", Inputs.arch, *options],
                          capture_output=True, text=True, timeout=600, env=env)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def link_time_stamp(image: bytes):
    return struct.unpack_from("<I", image, struct.unpack_from("<I", image, 0x3C)[0] + 8)[0]


def with_product_version(executable: bytes, version):
    """The executable with another product version in its fixed version information."""
    block = PEImage(executable).resources()[(RT_VERSION, 1)]
    at = executable.index(block)
    fixed = at + 40  # after the block's header and its key "VS_VERSION_INFO"
    assert struct.unpack_from("<I", executable, fixed)[0] == 0xFEEF04BD
    major, minor, release, build = version
    patched = bytearray(executable)
    struct.pack_into("<II", patched, fixed + 16, major << 16 | minor, release << 16 | build)
    return bytes(patched)


def first_difference(a: bytes, b: bytes):
    """None when equal, else the offset of the first byte that differs (or the shorter length)."""
    if a == b:
        return None
    return next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))


class MadeUpdaterTest(unittest.TestCase):
    """The updater made from the 5.2.3.0 stand-in, twice."""

    @classmethod
    def setUpClass(cls):
        cls.path = os.path.join(Inputs.out, "PeUpdate.exe")
        cls.again = os.path.join(Inputs.out, "PeUpdate-again.exe")
        for path in (cls.path, cls.again):
            result = make_update(Inputs.newer, path)
            if result.returncode != 0:
                raise AssertionError(f"make-update.sh failed:\n{result.stdout}{result.stderr}")
        cls.bytes = read(cls.path)
        cls.resources = PEImage(cls.bytes).resources()

    def test_record_version_information_title_and_manifest_are_5_2_3_of_the_architecture(self):
        self.assertEqual(self.resources[(RT_RCDATA, "UPDATEVERSION")], bytes.fromhex("0500020003000000"))
        block = self.resources[(RT_VERSION, 1)]
        self.assertEqual(fixed_file_info(block), ((5, 2, 3, 0), (5, 2, 3, 0)))
        for text in ("ぺらの5.23アップデーター", "5.2.3.0"):
            self.assertIn(text.encode("utf-16-le"), block, text)
        self.assertNotIn("5.1.6".encode("utf-16-le"), block)
        manifest = self.resources[(RT_MANIFEST, 1)].decode("utf-8")
        self.assertIn(f'name="PeUpdate" version="5.2.3.0" processorArchitecture="{MANIFEST_ARCH[Inputs.arch]}"',
                      manifest)
        self.assertNotIn("@", manifest)

    def test_payload_is_the_given_file_packed_at_maximum_compression(self):
        container = self.resources[(RT_RCDATA, "UPDATEDATA")]
        payload = read(Inputs.newer)
        self.assertEqual(container[:13], b"ZLIBCompress\x1a")
        self.assertEqual(struct.unpack_from("<I", container, 13)[0], len(payload))
        self.assertEqual(container[17:19], b"\x78\xda")
        self.assertEqual(zlib.decompress(container[17:]), payload)

    def test_two_builds_are_equal_without_time_stamp_or_path(self):
        self.assertIsNone(first_difference(self.bytes, read(self.again)), "the second build differs at this offset")
        self.assertEqual(link_time_stamp(self.bytes), 0)
        for path in {ROOT, Inputs.build, os.path.dirname(Inputs.newer)}:
            for encoding in ("utf-8", "utf-16-le"):
                self.assertNotIn(path.encode(encoding), self.bytes, path)

    def test_the_record_beside_each_is_the_same_and_names_version_architecture_sizes_and_hashes(self):
        record = record_of(self.path)
        self.assertEqual(read(self.path + ".release.txt"), read(self.again + ".release.txt"))
        self.assertEqual(record, {
            "version": "5.2.3.0 (ぺらの5.23アップデーター)",
            "architecture": Inputs.arch,
            "payload": f"Pelano5.exe, {size_and_sha256(Inputs.newer)}",
            "updater": f"{size_and_sha256(self.path)}, unsigned"})

    def test_the_trees_own_updater_is_what_make_update_makes_of_the_standin(self):
        # The tree's PeUpdate.exe carries the 5.1.6.0 stand-in: made again from that file, it is the
        # same to the byte, so it is reproducible the same way.
        tree_updater = read(os.path.join(Inputs.build, "PeUpdate.exe"))
        standin = zlib.decompress(PEImage(tree_updater).resources()[(RT_RCDATA, "UPDATEDATA")][17:])
        with tempfile.TemporaryDirectory() as folder:
            result = made_from(standin, folder)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIsNone(first_difference(read(os.path.join(folder, "out", "PeUpdate.exe")), tree_updater),
                              "the tree's updater differs at this offset")
        self.assertEqual(link_time_stamp(tree_updater), 0)
        self.assertEqual(link_time_stamp(standin), 0, "the stand-in it carries has a link time stamp")


def made_from(payload_bytes, folder, name="Pelano5.exe"):
    """make-update.sh run on payload_bytes saved as FOLDER/given/NAME, to make FOLDER/out/PeUpdate.exe."""
    for sub in ("given", "out"):
        os.mkdir(os.path.join(folder, sub))
    with open(os.path.join(folder, "given", name), "wb") as f:
        f.write(payload_bytes)
    return make_update(os.path.join(folder, "given", name), os.path.join(folder, "out", "PeUpdate.exe"))


class RefusalTest(unittest.TestCase):
    def test_what_is_no_updatable_executable_is_refused_leaving_no_file(self):
        newer = read(Inputs.newer)
        cases = [
            (b"#!/bin/sh\necho Pelano 5\n", "not a Windows executable (no MZ header)"),
            (newer[:0x200], "not a Windows executable"),
            (read(Inputs.dll), "not a Windows executable (a library", "Pelano5.dll"),
            (read(Inputs.unversioned), "no version information"),
            (with_product_version(newer, (5, 10, 0, 0)), "the minor number 10 is above 9"),
            (with_product_version(newer, (5, 1, 12, 0)), "the release number 12 is above 9"),
        ]
        for payload, message, *name in cases:
            with self.subTest(message=message), tempfile.TemporaryDirectory() as folder:
                result = made_from(payload, folder, *name)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(message, result.stderr)
                self.assertEqual(os.listdir(os.path.join(folder, "out")), [], "a refused updater left a file")

    def test_nine_is_the_highest_minor_and_release_taken(self):
        with tempfile.TemporaryDirectory() as folder:
            result = made_from(with_product_version(read(Inputs.newer), (65535, 9, 9, 65535)), folder)
            self.assertEqual(result.returncode, 0, result.stderr)
            resources = PEImage(read(os.path.join(folder, "out", "PeUpdate.exe"))).resources()
            self.assertEqual(resources[(RT_RCDATA, "UPDATEVERSION")], bytes.fromhex("FFFF090009000000"))
            self.assertIn("ぺらの65535.99アップデーター".encode("utf-16-le"), resources[(RT_VERSION, 1)])

    def test_a_number_beyond_a_16_bit_word_is_refused(self):
        # A file's fixed version information holds 16-bit words; the record's writer checks anyway.
        for version in ((65536, 1, 6), (-1, 1, 6), (5, 65536, 0), (5, 0, 65536)):
            with self.subTest(version=version):
                with self.assertRaisesRegex(Refusal, "does not fit a 16-bit word"):
                    version_record(*version)


SOFTHSM = "/usr/lib/softhsm/libsofthsm2.so"
PIN = "4711-peupdate"
TOKEN_URI = "pkcs11:token=peupdate;object=signer"
# The test's certificate authority (openssl ca) and time-stamp authority (openssl ts).
OPENSSL_CONFIG = """[ca]
default_ca = issuer
[issuer]
database = {0}/index.txt
new_certs_dir = {0}
default_md = sha256
default_days = 30
policy = any
rand_serial = yes
copy_extensions = copy
[any]
commonName = supplied
[tsa]
default_tsa = authority
[authority]
serial = {0}/tsa-serial
signer_digest = sha256
default_policy = 1.2.3.4
digests = sha256
"""


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, capture_output=True, timeout=60)


def record_of(out):
    """OUT.release.txt as {field: value}."""
    with open(out + ".release.txt", encoding="utf-8") as f:
        return dict(line.rstrip("\n").split(": ", 1) for line in f)


def size_and_sha256(path):
    return f"{os.path.getsize(path)} bytes, sha256 {hashlib.sha256(read(path)).hexdigest()}"


class TimeStampAuthority(http.server.BaseHTTPRequestHandler):
    """An RFC 3161 authority on this machine: openssl ts (the server's reply command) answers each query."""

    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.end_headers()
        self.wfile.write(subprocess.run(self.server.reply, input=query, capture_output=True, timeout=60).stdout)

    def log_message(self, *_):
        pass


class SigningTest(unittest.TestCase):
    """A publisher's root of the test's own and a signer it issued, whose key is on a SoftHSM token or in a
    PEM file, time-stamped by an authority under another root: all on this machine."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()
        with open(os.path.join(cls.folder, "openssl.cnf"), "w") as f:
            f.write(OPENSSL_CONFIG.format(cls.folder))
        open(os.path.join(cls.folder, "index.txt"), "w").close()
        cls.root = cls.authority("test root")
        cls.cert, cls.key = cls.issue("PeUpdate test signer", cls.root, "clientAuth,codeSigning")  # not first
        cls.tsa_root = cls.authority("test time-stamp root")
        tsa_cert, tsa_key = cls.issue("time stamps", cls.tsa_root, "critical,timeStamping")
        cls.tsa = http.server.ThreadingHTTPServer(("127.0.0.1", 0), TimeStampAuthority)
        cls.tsa.reply = ["openssl", "ts", "-reply", "-config", os.path.join(cls.folder, "openssl.cnf"),
                         "-queryfile", "/dev/stdin", "-inkey", tsa_key, "-signer", tsa_cert]
        threading.Thread(target=cls.tsa.serve_forever, daemon=True).start()
        cls.url = f"http://127.0.0.1:{cls.tsa.server_port}/"
        cls.stamped = ["--ca", cls.root[0], "--timestamp", cls.url, "--timestamp-ca", cls.tsa_root[0]]
        cls.token = cls.make_token()
        # Through the token, time-stamped: the updater that the end-to-end tests run.
        cls.signed = os.path.join(Inputs.out, "PeUpdate-signed.exe")
        cls.signing = cls.sign(cls.signed, TOKEN_URI, TOKEN_URI, *cls.stamped)

    @classmethod
    def tearDownClass(cls):
        cls.tsa.shutdown()
        shutil.rmtree(cls.folder)

    @classmethod
    def authority(cls, name):
        cert, key = (os.path.join(cls.folder, f"{name}.{kind}.pem") for kind in ("cert", "key"))
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30", "-subj", f"/CN={name}",
                "-keyout", key, "-out", cert, "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign")
        return cert, key

    @classmethod
    def issue(cls, name, issuer, usage="codeSigning", dates=()):
        """A certificate and its key issued by the (cert, key) issuer, valid for 30 days from now or between
        dates (YYYYMMDDHHMMSSZ)."""
        cert, key, request = (os.path.join(cls.folder, f"{name}.{kind}.pem") for kind in ("cert", "key", "csr"))
        openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", f"/CN={name}", "-keyout", key,
                "-out", request, "-addext", "keyUsage=critical,digitalSignature", "-addext", f"extendedKeyUsage={usage}")
        openssl("ca", "-batch", "-config", os.path.join(cls.folder, "openssl.cnf"), "-cert", issuer[0],
                "-keyfile", issuer[1], "-in", request, "-out", cert, "-notext",
                *(["-startdate", dates[0], "-enddate", dates[1]] if dates else []))
        return cert, key

    @classmethod
    def make_token(cls):
        """A SoftHSM token holding the signer's key and certificate, and the environment that signs through
        it, where the programs that use the token log their command lines."""
        conf, tokens, shims = (os.path.join(cls.folder, name) for name in ("softhsm2.conf", "tokens", "shims"))
        os.mkdir(tokens)
        os.mkdir(shims)
        with open(conf, "w") as f:
            f.write(f"directories.tokendir = {tokens}\nobjectstore.backend = file\n")
        env = dict(os.environ, SOFTHSM2_CONF=conf, GNUTLS_PIN=PIN)
        for command in (["softhsm2-util", "--init-token", "--free", "--label", "peupdate", "--so-pin", "0000", "--pin", PIN],
                        *(["p11tool", "--provider", SOFTHSM, "--login", "--write", f"--load-{kind}", path, "--label",
                           "signer", "--id", "01", "pkcs11:token=peupdate"]
                          for kind, path in (("privkey", cls.key), ("certificate", cls.cert)))):
            subprocess.run(command, env=env, check=True, capture_output=True, timeout=60)
        for program in ("osslsigncode", "p11tool", "openssl"):
            with open(os.path.join(shims, program), "w") as f:
                f.write(f'#!/bin/sh\necho "$0 $*" >>{cls.folder}/command-lines\nexec {shutil.which(program)} "$@"\n')
            os.chmod(os.path.join(shims, program), 0o755)
        del env["GNUTLS_PIN"]
        return dict(env, PEUPDATE_PKCS11_PIN=PIN, PATH=shims + os.pathsep + env["PATH"])

    @classmethod
    def sign(cls, out, cert, key, *options, pin=PIN):
        return make_update(Inputs.newer, out, "--sign", cert, key, *options, "--pkcs11-module", SOFTHSM,
                           env=dict(cls.token, PEUPDATE_PKCS11_PIN=pin))

    def verify(self, path, root=None):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", root or self.root[0], "-TSA-CAfile",
                               self.tsa_root[0], "-ignore-cdp", "-in", path], capture_output=True, text=True, timeout=60)

    def assertSignedAndStamped(self, out, made):
        """OUT verifies against the root alone, with its time stamp, whose time make-update named and recorded;
        returns the record."""
        self.assertEqual(made.returncode, 0, made.stderr)
        verified = self.verify(out)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertIn("Timestamp Server Signature verification: ok", verified.stdout)
        stamped = datetime.datetime.strptime(re.search(r"Timestamp time: (.*)", verified.stdout)[1], "%b %d %H:%M:%S %Y GMT")
        record = record_of(out)
        self.assertEqual(record["time stamp"], f"{stamped:%Y-%m-%d %H:%M:%S} UTC from {self.url}")
        self.assertIn(f"time-stamped at {record['time stamp']}", made.stdout)
        self.assertNotIn("stops accepting", made.stdout)
        self.assertEqual(record["updater"].split(", signed")[0], size_and_sha256(out))
        return record

    def test_through_the_token_or_a_pem_key_the_same_record_apart_from_the_signing_times(self):
        records = [self.assertSignedAndStamped(self.signed, self.signing)]
        pem = os.path.join(self.folder, "pem.exe")
        records.append(self.assertSignedAndStamped(pem, make_update(Inputs.newer, pem, "--sign", self.cert, self.key,
                                                                    *self.stamped)))
        self.assertEqual(records[0]["unsigned updater"], size_and_sha256(os.path.join(Inputs.out, "PeUpdate.exe")))
        self.assertEqual(records[0]["signer"], "CN=PeUpdate test signer")
        for record in records:
            del record["updater"], record["time stamp"]  # the signed bytes hold the signing time
        self.assertEqual(records[0], records[1])

    def test_the_pin_is_on_no_command_line_and_in_no_output(self):
        self.assertNotIn(PIN, self.signing.stdout + self.signing.stderr + read(self.signed + ".release.txt").decode())
        command_lines = read(os.path.join(self.folder, "command-lines")).decode()
        for program in ("osslsigncode sign", "p11tool", "openssl x509"):
            self.assertIn(program, command_lines)
        self.assertNotIn(PIN, command_lines)

    def test_the_pin_typed_at_the_prompt_signs_and_is_not_echoed(self):
        out = os.path.join(self.folder, "prompted.exe")
        pid, terminal = pty.fork()
        if pid == 0:
            env = dict(self.token)
            del env["PEUPDATE_PKCS11_PIN"]
            os.execve(MAKE_UPDATE, [MAKE_UPDATE, Inputs.newer, out, "--arch", Inputs.arch, "--sign", TOKEN_URI,
                                    TOKEN_URI, "--ca", self.root[0], "--pkcs11-module", SOFTHSM], env)
        shown = b""
        while b"PIN of the token: " not in shown:
            shown += os.read(terminal, 1024)
        os.write(terminal, PIN.encode() + b"\n")
        with contextlib.suppress(OSError):  # the terminal's end, once make-update has closed it
            while chunk := os.read(terminal, 1024):
                shown += chunk
        self.assertEqual(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]), 0, shown.decode())
        self.assertNotIn(PIN.encode(), shown)
        self.assertEqual(self.verify(out).returncode, 0)

    def test_without_a_time_stamp_it_says_once_when_the_signature_stops_being_accepted(self):
        out = os.path.join(self.folder, "unstamped.exe")
        made = make_update(Inputs.newer, out, "--sign", self.cert, self.key, "--ca", self.root[0])
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertEqual(made.stdout.count("stops accepting this signature when the certificate expires"), 1)
        verified = self.verify(out)
        self.assertEqual(verified.returncode, 0)
        self.assertNotIn("Timestamp time", verified.stdout)
        self.assertRegex(record_of(out)["time stamp"], "^none: the signature is accepted until 20")

    def test_the_signature_is_over_the_unsigned_updater(self):
        unsigned = os.path.join(self.folder, "unsigned.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", self.signed, "-out", unsigned],
                       check=True, capture_output=True, timeout=60)
        self.assertIsNone(first_difference(read(unsigned), read(os.path.join(Inputs.out, "PeUpdate.exe"))))

    def test_one_changed_byte_or_another_root_fails_verification(self):
        changed = os.path.join(self.folder, "changed.exe")
        data = bytearray(read(self.signed))
        data[len(data) // 3] ^= 0x01
        with open(changed, "wb") as f:
            f.write(data)
        self.assertNotEqual(self.verify(changed).returncode, 0)
        self.assertNotEqual(self.verify(self.signed, self.authority("someone else")[0]).returncode, 0)

    def test_what_cannot_make_a_lasting_signature_is_refused_in_one_line_leaving_no_file(self):
        other = self.issue("another signer", self.authority("another root"))
        signer = (self.cert, self.key)
        cases = [
            (signer, [], "--sign needs --ca ROOT.pem"),
            (self.issue("expired", self.root, dates=("20190101000000Z", "20200101000000Z")), self.stamped,
             "the certificate expired on 2020-01-01 00:00:00 UTC"),
            (self.issue("not yet valid", self.root, dates=("20400101000000Z", "20410101000000Z")), self.stamped,
             "the certificate is not valid before 2040-01-01 00:00:00 UTC"),
            (self.issue("mail only", self.root, usage="emailProtection"), self.stamped,
             "the certificate lacks the code-signing extended key usage"),
            ((self.cert, other[1]), self.stamped, "the key does not match the certificate CN=PeUpdate test signer"),
            ((other[0], TOKEN_URI), self.stamped, "the key does not match the certificate CN=another signer"),
            (other, self.stamped, f"the certificate does not chain to {self.root[0]}"),
            (signer, self.stamped[:-2], "does not verify against the trusted roots of the system"),
            ((TOKEN_URI, TOKEN_URI), self.stamped, "the token: Cannot continue with a wrong password", "0000"),
        ]
        for (cert, key), options, message, *pin in cases:
            with self.subTest(message=message), tempfile.TemporaryDirectory() as out:
                made = self.sign(os.path.join(out, "PeUpdate.exe"), cert, key, *options, pin=pin[0] if pin else PIN)
                self.assertNotEqual(made.returncode, 0)
                self.assertIn(message, made.stderr)
                self.assertEqual(len(made.stderr.splitlines()), 1, made.stderr)
                self.assertEqual(os.listdir(out), [])


def main():
    if len(sys.argv) < 7:
        sys.exit(__doc__)
    (Inputs.arch, Inputs.build, Inputs.out, Inputs.newer, Inputs.unversioned, Inputs.dll) = sys.argv[1:7]
    os.makedirs(Inputs.out, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[7:])


if __name__ == "__main__":
    main()
