#!/usr/bin/env python3
"""scripts/make-update.sh as a maintainer runs it: the updater made for a Pelano5.exe of version
5.2.3.0, its refusals, the same bytes from the same input, and a signature made and verified with a
certificate of the test's own. Leaves the updaters it made in OUTDIR for the end-to-end tests.

usage: release_test.py i686|x86_64 BUILD_DIR OUTDIR PELANO5_5_2_3 PELANO5_UNVERSIONED A_DLL"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
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


def make_update(payload, out, *options):
    return subprocess.run([MAKE_UPDATE, payload, out, "--arch", Inputs.arch, *options],
                          capture_output=True, text=True, timeout=600)


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
        cls.image = PEImage(cls.bytes)
        cls.resources = cls.image.resources()

    def test_record_is_5_2_3_with_reserved_zero(self):
        self.assertEqual(self.resources[(RT_RCDATA, "UPDATEVERSION")], bytes.fromhex("0500020003000000"))

    def test_version_information_and_title_are_5_2_3(self):
        block = self.resources[(RT_VERSION, 1)]
        self.assertEqual(fixed_file_info(block), ((5, 2, 3, 0), (5, 2, 3, 0)))
        for text in ("ぺらの5.23アップデーター", "5.2.3.0"):
            self.assertIn(text.encode("utf-16-le"), block, text)
        self.assertNotIn("5.1.6".encode("utf-16-le"), block)

    def test_manifest_identity_is_5_2_3_of_the_architecture(self):
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

    def test_the_trees_own_updater_is_what_make_update_makes_of_the_standin(self):
        # The tree's PeUpdate.exe carries the 5.1.6.0 stand-in: made again from that file, it is the
        # same to the byte, so it is reproducible the same way.
        tree_updater = read(os.path.join(Inputs.build, "PeUpdate.exe"))
        standin = zlib.decompress(PEImage(tree_updater).resources()[(RT_RCDATA, "UPDATEDATA")][17:])
        with tempfile.TemporaryDirectory() as folder:
            given = os.path.join(folder, "Pelano5.exe")
            with open(given, "wb") as f:
                f.write(standin)
            result = make_update(given, os.path.join(folder, "PeUpdate.exe"))
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIsNone(first_difference(read(os.path.join(folder, "PeUpdate.exe")), tree_updater),
                              "the tree's updater differs at this offset")
        self.assertEqual(link_time_stamp(tree_updater), 0)
        self.assertEqual(link_time_stamp(standin), 0, "the stand-in it carries has a link time stamp")


class RefusalTest(unittest.TestCase):
    def assertRefused(self, payload_bytes, message, name="Pelano5.exe"):
        with tempfile.TemporaryDirectory() as folder:
            given = os.path.join(folder, "given")
            os.mkdir(given)
            with open(os.path.join(given, name), "wb") as f:
                f.write(payload_bytes)
            out = os.path.join(folder, "out")
            os.mkdir(out)
            result = make_update(os.path.join(given, name), os.path.join(out, "PeUpdate.exe"))
            self.assertNotEqual(result.returncode, 0)
            self.assertIn(message, result.stderr)
            self.assertEqual(os.listdir(out), [], "a refused updater left a file")

    def test_a_file_that_is_no_windows_executable_is_refused(self):
        newer = read(Inputs.newer)
        self.assertRefused(b"#!/bin/sh\necho Pelano 5\n", "not a Windows executable (no MZ header)")
        self.assertRefused(newer[:0x200], "not a Windows executable")
        self.assertRefused(read(Inputs.dll), "not a Windows executable (a library", name="Pelano5.dll")

    def test_an_executable_without_version_information_is_refused(self):
        self.assertRefused(read(Inputs.unversioned), "no version information")

    def test_a_minor_or_release_above_9_is_refused(self):
        newer = read(Inputs.newer)
        self.assertRefused(with_product_version(newer, (5, 10, 0, 0)), "the minor number 10 is above 9")
        self.assertRefused(with_product_version(newer, (5, 1, 12, 0)), "the release number 12 is above 9")

    def test_nine_is_the_highest_minor_and_release_taken(self):
        with tempfile.TemporaryDirectory() as folder:
            given = os.path.join(folder, "Pelano5.exe")
            with open(given, "wb") as f:
                f.write(with_product_version(read(Inputs.newer), (65535, 9, 9, 65535)))
            result = make_update(given, os.path.join(folder, "PeUpdate.exe"))
            self.assertEqual(result.returncode, 0, result.stderr)
            resources = PEImage(read(os.path.join(folder, "PeUpdate.exe"))).resources()
            self.assertEqual(resources[(RT_RCDATA, "UPDATEVERSION")], bytes.fromhex("FFFF090009000000"))
            self.assertIn("ぺらの65535.99アップデーター".encode("utf-16-le"), resources[(RT_VERSION, 1)])

    def test_a_number_beyond_a_16_bit_word_is_refused(self):
        # A file's fixed version information holds 16-bit words; the record's writer checks anyway.
        for version in ((65536, 1, 6), (-1, 1, 6), (5, 65536, 0), (5, 0, 65536)):
            with self.subTest(version=version):
                with self.assertRaisesRegex(Refusal, "does not fit a 16-bit word"):
                    version_record(*version)


class SigningTest(unittest.TestCase):
    """A code-signing certificate of the test's own, as a maintainer's would be used."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()
        cls.cert, cls.key = cls.certificate("PeUpdate test signer")
        cls.signed = os.path.join(Inputs.out, "PeUpdate-signed.exe")
        result = make_update(Inputs.newer, cls.signed, "--sign", cls.cert, cls.key)
        if result.returncode != 0:
            raise AssertionError(f"signing failed:\n{result.stdout}{result.stderr}")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    @classmethod
    def certificate(cls, name, issuer=None):
        """A code-signing certificate and its key, self-signed or issued by the (cert, key) issuer."""
        cert, key = (os.path.join(cls.folder, f"{name}.{kind}.pem") for kind in ("cert", "key"))
        extensions = ["-addext", "keyUsage=critical,digitalSignature", "-addext", "extendedKeyUsage=codeSigning"]
        if issuer:
            extensions += ["-CA", issuer[0], "-CAkey", issuer[1]]
        cls.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30", "-subj", f"/CN={name}",
                    "-keyout", key, "-out", cert, *extensions)
        return cert, key

    @classmethod
    def authority(cls, name):
        cert, key = (os.path.join(cls.folder, f"{name}.{kind}.pem") for kind in ("cert", "key"))
        cls.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30", "-subj", f"/CN={name}",
                    "-keyout", key, "-out", cert, "-addext", "basicConstraints=critical,CA:TRUE",
                    "-addext", "keyUsage=critical,keyCertSign")
        return cert, key

    @staticmethod
    def openssl(*arguments):
        subprocess.run(["openssl", *arguments], check=True, capture_output=True, timeout=60)

    def verify(self, path, cert=None):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", cert or self.cert, "-ignore-cdp", "-in", path],
                              capture_output=True, text=True, timeout=60)

    def test_the_signed_updater_verifies_with_sha256(self):
        result = self.verify(self.signed)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("SHA256", result.stdout.upper().replace("-", ""))

    def test_the_signature_is_over_the_unsigned_updater(self):
        unsigned = os.path.join(self.folder, "unsigned.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", self.signed, "-out", unsigned],
                       check=True, capture_output=True, timeout=60)
        self.assertIsNone(first_difference(read(unsigned), read(os.path.join(Inputs.out, "PeUpdate.exe"))))

    def test_one_changed_byte_fails_verification(self):
        changed = os.path.join(self.folder, "changed.exe")
        data = bytearray(read(self.signed))
        data[len(data) // 3] ^= 0x01
        with open(changed, "wb") as f:
            f.write(data)
        self.assertNotEqual(self.verify(changed).returncode, 0)

    def test_another_certificate_does_not_verify_it(self):
        other, _ = self.certificate("someone else")
        self.assertNotEqual(self.verify(self.signed, other).returncode, 0)

    def test_a_certificate_without_its_chain_does_not_verify_and_leaves_no_file(self):
        authority = self.authority("test authority")
        leaf, leaf_key = self.certificate("issued signer", authority)
        out = os.path.join(self.folder, "without-chain")
        os.mkdir(out)
        result = make_update(Inputs.newer, os.path.join(out, "PeUpdate.exe"), "--sign", leaf, leaf_key)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("the signature does not verify", result.stderr)
        self.assertEqual(os.listdir(out), [])
        # With the chain up to the root beside it, the same certificate signs.
        chain = os.path.join(self.folder, "chain.pem")
        with open(chain, "wb") as f:
            f.write(read(leaf) + read(authority[0]))
        result = make_update(Inputs.newer, os.path.join(out, "PeUpdate.exe"), "--sign", chain, leaf_key)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.verify(os.path.join(out, "PeUpdate.exe"), authority[0]).returncode, 0)

    def test_a_key_that_does_not_match_the_certificate_is_refused(self):
        _, other_key = self.certificate("another key")
        out = os.path.join(self.folder, "mismatched")
        os.mkdir(out)
        result = make_update(Inputs.newer, os.path.join(out, "PeUpdate.exe"), "--sign", self.cert, other_key)
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(os.listdir(out), [])


def main():
    if len(sys.argv) < 7:
        sys.exit(__doc__)
    (Inputs.arch, Inputs.build, Inputs.out, Inputs.newer, Inputs.unversioned, Inputs.dll) = sys.argv[1:7]
    os.makedirs(Inputs.out, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[7:])


if __name__ == "__main__":
    main()
