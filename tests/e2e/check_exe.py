#!/usr/bin/env python3
"""Checks of the built PeUpdate.exe read straight from its bytes: a Windows GUI executable of the
build's architecture (i686: PE32 for i386, what is shipped; x86_64: PE32+ for AMD64) that imports
statically only KnownDLLs, asks to run as an administrator, and carries the update version record
and the payload container of the stand-in Pelano5.exe; and the packer's refusal of a payload its
record would misdescribe.

usage: check_exe.py PeUpdate.exe Pelano5.exe pack.py i686|x86_64"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

RT_RCDATA = 10
RT_VERSION = 16
RT_MANIFEST = 24
# The machine field and optional-header magic of each architecture the tree builds for.
ARCHITECTURES = {"i686": (0x14C, 0x10B), "x86_64": (0x8664, 0x20B)}

# The KnownDLLs of Windows (Session Manager\KnownDLLs): the loader maps these from the system folder
# whatever lies beside the program. Any other DLL in the static import table is looked for in the
# program's own folder first, where a planted copy would run inside it. comctl32 is bound side by
# side by the manifest, which names the system's assembly.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "gdi32.dll", "gdiplus.dll",
    "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll",
    "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll",
    "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll", "ntdll.dll",
}
STATIC_IMPORTS_ALLOWED = KNOWN_DLLS | {"comctl32.dll"}
FOREIGN_DLL_MARKS = ("libstdc++", "libgcc", "libwinpthread", "zlib", "libz", "libjpeg", "libturbojpeg")


class PEError(Exception):
    pass


class PEImage:
    """The parts of a PE32 image these checks need, every read bounds-checked."""

    def __init__(self, data: bytes):
        self.data = data
        if self.u16(0) != 0x5A4D:
            raise PEError("no MZ header")
        pe = self.u32(0x3C)
        if self.bytes(pe, 4) != b"PE\0\0":
            raise PEError("no PE signature")
        (self.machine, section_count, _, _, _, optional_size, self.characteristics) = struct.unpack(
            "<HHIIIHH", self.bytes(pe + 4, 20))
        optional = pe + 24
        self.magic = self.u16(optional)
        if self.magic not in (0x10B, 0x20B):
            raise PEError(f"optional header magic {self.magic:#x} is neither PE32 nor PE32+")
        self.subsystem = self.u16(optional + 68)
        # PE32+ holds the stack and heap sizes in 64 bits: its data directories start 16 bytes later.
        directories = optional + (96 if self.magic == 0x10B else 112)
        directory_count = self.u32(directories - 4)
        self.directories = [struct.unpack("<II", self.bytes(directories + 8 * i, 8))
                            for i in range(min(directory_count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            name, vsize, vaddr, rawsize, rawptr = struct.unpack("<8sIIII", self.bytes(table + 40 * i, 24))
            self.sections.append((name.rstrip(b"\0"), vaddr, max(vsize, rawsize), rawptr, rawsize))

    def bytes(self, offset, count):
        if offset < 0 or count < 0 or offset > len(self.data) or len(self.data) - offset < count:
            raise PEError(f"read of {count} bytes at {offset:#x} beyond the file")
        return self.data[offset:offset + count]

    def u16(self, offset):
        return struct.unpack("<H", self.bytes(offset, 2))[0]

    def u32(self, offset):
        return struct.unpack("<I", self.bytes(offset, 4))[0]

    def offset_of(self, rva):
        for _, vaddr, vsize, rawptr, rawsize in self.sections:
            if vaddr <= rva < vaddr + vsize:
                if rva - vaddr >= rawsize:
                    raise PEError(f"RVA {rva:#x} has no bytes in the file")
                return rawptr + (rva - vaddr)
        raise PEError(f"RVA {rva:#x} in no section")

    def at_rva(self, rva, count):
        return self.bytes(self.offset_of(rva), count)

    def c_string(self, rva):
        start = self.offset_of(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PEError("unterminated string")
        return self.data[start:end].decode("ascii")

    def imported_dlls(self):
        names = []
        rva, size = self.directories[1]
        if rva:
            for i in range(0x10000):
                first, _, _, name, thunk = struct.unpack("<IIIII", self.at_rva(rva + 20 * i, 20))
                if first == 0 and name == 0 and thunk == 0:
                    break
                names.append(self.c_string(name))
        if len(self.directories) > 13 and self.directories[13][0]:
            rva = self.directories[13][0]
            for i in range(0x10000):
                fields = struct.unpack("<8I", self.at_rva(rva + 32 * i, 32))
                if not any(fields):
                    break
                names.append(self.c_string(fields[1]))
        return names

    def resources(self):
        """{(type, name): bytes} with the first language of each; ids are ints, names upper-case."""
        root_rva, root_size = self.directories[2]
        if not root_rva:
            return {}
        root = self.offset_of(root_rva)

        def entries(directory_offset):
            named, ids = struct.unpack("<HH", self.bytes(root + directory_offset + 12, 4))
            for i in range(named + ids):
                key, value = struct.unpack("<II", self.bytes(root + directory_offset + 16 + 8 * i, 8))
                if key & 0x80000000:
                    at = root + (key & 0x7FFFFFFF)
                    length = self.u16(at)
                    key = self.bytes(at + 2, 2 * length).decode("utf-16-le").upper()
                yield key, value

        found = {}
        for type_key, type_value in entries(0):
            if not type_value & 0x80000000:
                raise PEError("resource type without a directory")
            for name_key, name_value in entries(type_value & 0x7FFFFFFF):
                if not name_value & 0x80000000:
                    raise PEError("resource name without a directory")
                for _, language_value in entries(name_value & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack("<II", self.bytes(root + language_value, 8))
                    found[(type_key, name_key)] = self.at_rva(data_rva, data_size)
                    break
        return found


def fixed_file_info(version_resource: bytes):
    """(file version, product version) as 4-tuples from a VS_VERSIONINFO block."""
    length, value_length, _ = struct.unpack_from("<HHH", version_resource, 0)
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    if version_resource[6:6 + len(key)] != key:
        raise PEError("no VS_VERSION_INFO key")
    value = (6 + len(key) + 3) & ~3
    if value_length < 52 or len(version_resource) - value < 52 or length > len(version_resource):
        raise PEError("no VS_FIXEDFILEINFO")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", version_resource, value)
    if signature != 0xFEEF04BD:
        raise PEError("bad VS_FIXEDFILEINFO signature")

    def words(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    return words(file_ms, file_ls), words(product_ms, product_ls)


class UpdaterExecutableTest(unittest.TestCase):
    updater_path = None
    standin_path = None
    packer_path = None
    architecture = None

    @classmethod
    def setUpClass(cls):
        with open(cls.updater_path, "rb") as f:
            cls.updater = PEImage(f.read())
        with open(cls.standin_path, "rb") as f:
            cls.standin_bytes = f.read()
        cls.standin = PEImage(cls.standin_bytes)
        cls.resources = cls.updater.resources()

    def test_is_a_windows_gui_executable_of_the_builds_architecture(self):
        machine, magic = ARCHITECTURES[self.architecture]
        self.assertEqual(self.updater.machine, machine)
        self.assertEqual(self.updater.magic, magic)
        self.assertEqual(self.updater.subsystem, 2)
        self.assertTrue(self.updater.characteristics & 0x0002, "not marked executable")
        self.assertFalse(self.updater.characteristics & 0x2000, "marked as a DLL")

    def test_imports_statically_only_known_dlls(self):
        imported = [name.lower() for name in self.updater.imported_dlls()]
        self.assertIn("kernel32.dll", imported)
        for name in imported:
            self.assertFalse(any(mark in name for mark in FOREIGN_DLL_MARKS), f"{name} is not the system's")
            self.assertIn(name, STATIC_IMPORTS_ALLOWED, f"{name} is no KnownDLL: load it from the system folder")

    def test_manifest_requires_an_administrator(self):
        manifest = self.resources.get((RT_MANIFEST, 1))
        self.assertIsNotNone(manifest, "no manifest")
        levels = re.findall(rb'<requestedExecutionLevel\s+level="([^"]*)"', manifest)
        self.assertEqual(levels, [b"requireAdministrator"])

    def test_update_version_record_is_the_shipped_one(self):
        self.assertEqual(self.resources.get((RT_RCDATA, "UPDATEVERSION")), bytes.fromhex("0500010006000000"))

    def test_carries_the_folder_browser_layout_and_list_glyphs(self):
        for name in ("OPENFOLDER", "CURRENTFOLDER", "CLOSEDFOLDER", "FLOPPY", "HARD", "NETWORK", "CDROM", "RAM"):
            bitmap = self.resources.get((2, name))
            self.assertIsNotNone(bitmap, f"no BITMAP {name}")
            self.assertEqual(struct.unpack_from("<Iii", bitmap, 0), (40, 16, 16), name)
        layout = self.resources.get(("LAYOUT", "TFRMSELDIR"))
        self.assertIsNotNone(layout, "no LAYOUT TfrmSelDir")
        self.assertTrue(layout.decode("utf-8").startswith("object frmSelDir: TfrmSelDir"))

    def test_payload_container_inflates_to_the_standin(self):
        container = self.resources.get((RT_RCDATA, "UPDATEDATA"))
        self.assertIsNotNone(container, "no RCDATA UPDATEDATA")
        self.assertEqual(container[:13], b"ZLIBCompress\x1a")
        size = struct.unpack_from("<I", container, 13)[0]
        self.assertEqual(container[17:19], b"\x78\xda")
        inflater = zlib.decompressobj()
        inflated = inflater.decompress(container[17:])
        self.assertTrue(inflater.eof, "zlib stream does not end")
        self.assertEqual(inflater.unused_data, b"", "bytes after the zlib stream")
        self.assertEqual(len(inflated), size)
        self.assertEqual(inflated, self.standin_bytes)

    def test_standin_carries_product_version_5_1_6_0_and_file_version_5_2_0_0(self):
        self.assertEqual(self.standin.machine, ARCHITECTURES[self.architecture][0])
        self.assertEqual(self.standin.subsystem, 2)
        file_version, product_version = fixed_file_info(self.standin.resources()[(RT_VERSION, 1)])
        self.assertEqual(product_version, (5, 1, 6, 0))
        self.assertEqual(file_version, (5, 2, 0, 0))


class PackerTest(unittest.TestCase):
    def pack(self, record: bytes, executable=None):
        with tempfile.TemporaryDirectory() as folder:
            record_path = os.path.join(folder, "UPDATEVERSION.bin")
            container_path = os.path.join(folder, "UPDATEDATA.bin")
            with open(record_path, "wb") as f:
                f.write(record)
            result = subprocess.run(
                [sys.executable, UpdaterExecutableTest.packer_path, executable or UpdaterExecutableTest.standin_path,
                 container_path, "--version-record", record_path],
                capture_output=True, timeout=60)
            container = None
            if os.path.exists(container_path):
                with open(container_path, "rb") as f:
                    container = f.read()
            return result.returncode, container

    def assertRefused(self, record, executable=None):
        code, container = self.pack(record, executable)
        self.assertNotEqual(code, 0)
        self.assertIsNone(container, "a refused payload was written")

    def test_matching_record_is_packed(self):
        code, container = self.pack(bytes.fromhex("0500010006000000"))
        self.assertEqual(code, 0)
        with open(UpdaterExecutableTest.standin_path, "rb") as f:
            self.assertEqual(zlib.decompress(container[17:]), f.read())

    def test_reserved_word_is_not_compared(self):
        self.assertEqual(self.pack(bytes.fromhex("050001000600FFFF"))[0], 0)

    def test_other_release_minor_or_major_is_refused(self):
        for record in ("0500010007000000", "0500010005000000", "0500020006000000", "0600010006000000",
                       "0500000010000000"):
            with self.subTest(record=record):
                self.assertRefused(bytes.fromhex(record))

    def test_record_of_wrong_length_is_refused(self):
        self.assertRefused(bytes.fromhex("05000100060000"))
        self.assertRefused(bytes.fromhex("050001000600000000"))

    def test_signature_value_outside_the_version_resource_is_not_taken(self):
        # A stray VS_FIXEDFILEINFO signature with a product version of 0.0.0.0 before the real one.
        with open(UpdaterExecutableTest.standin_path, "rb") as f:
            standin = f.read()
        with tempfile.TemporaryDirectory() as folder:
            decoyed = os.path.join(folder, "Pelano5.exe")
            with open(decoyed, "wb") as f:
                f.write(struct.pack("<I", 0xFEEF04BD) + bytes(60) + standin)
            self.assertEqual(self.pack(bytes.fromhex("0500010006000000"), decoyed)[0], 0)

    def test_executable_without_version_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            plain = os.path.join(folder, "Pelano5.exe")
            with open(plain, "wb") as f:
                f.write(b"MZ" + bytes(200))
            self.assertRefused(bytes.fromhex("0500010006000000"), plain)


def main():
    if len(sys.argv) < 5 or sys.argv[4] not in ARCHITECTURES:
        sys.exit(__doc__)
    (UpdaterExecutableTest.updater_path, UpdaterExecutableTest.standin_path, UpdaterExecutableTest.packer_path,
     UpdaterExecutableTest.architecture) = sys.argv[1:5]
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[5:])


if __name__ == "__main__":
    main()
