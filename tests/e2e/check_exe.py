#!/usr/bin/env python3
"""Checks of the built PeUpdate.exe read straight from its bytes: a Windows GUI executable of the
build's architecture (i686: PE32 for i386, what is shipped; x86_64: PE32+ for AMD64) that imports
statically only KnownDLLs and nothing a Windows 7 SP1 without updates lacks, asks to run as an
administrator on the Windows versions it names as supported, and carries the update version record
and the payload container of the stand-in Pelano5.exe; and the packer that made its payload container.

usage: check_exe.py PeUpdate.exe Pelano5.exe pack.py i686|x86_64"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from peimage import RT_RCDATA, RT_VERSION, PEImage, fixed_file_info  # noqa: E402

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

# What a Windows 7 SP1 without updates lacks, of what a program like this one could come to import:
# a static import of any of these stops the program before it starts ("entry point not found").
# The DLL search functions came with KB2533623; the others with Windows 8 and later.
WINDOWS_7_LACKS = {
    "SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory",
    "GetSystemTimePreciseAsFileTime", "CreateFile2", "CopyFile2", "GetCurrentThreadStackLimits",
    "PrefetchVirtualMemory", "SetThreadInformation", "GetThreadInformation", "GetOverlappedResultEx",
    "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll", "GetFirmwareType",
    "SetProcessMitigationPolicy", "GetProcessMitigationPolicy", "CreateFileMappingFromApp",
    "MapViewOfFileFromApp", "GetCurrentPackageId", "GetCurrentPackageFullName", "SetThreadDescription",
    "GetThreadDescription", "DiscardVirtualMemory", "OfferVirtualMemory", "ReclaimVirtualMemory",
    "GetDpiForWindow", "GetDpiForSystem", "SetProcessDpiAwarenessContext", "SetThreadDpiAwarenessContext",
    "AdjustWindowRectExForDpi", "GetSystemMetricsForDpi", "SystemParametersInfoForDpi",
    "EnableNonClientDpiScaling", "GetPointerType", "GetPointerInfo", "EnableMouseInPointer",
    "SetProcessDpiAwareness", "GetDpiForMonitor",
}
# A KnownDLL of later Windows versions that Windows 7 does not have at all. (The API sets,
# api-ms-win-*, are no KnownDLLs, so the import check refuses them already.)
WINDOWS_7_LACKS_DLLS = {"shcore.dll"}

# The supportedOS identifiers of the manifest's compatibility section.
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


def check_container(test, container, data):
    """The payload container holds data whole: header, size, one zlib stream at maximum compression."""
    test.assertEqual(container[:13], b"ZLIBCompress\x1a")
    test.assertEqual(struct.unpack_from("<I", container, 13)[0], len(data))
    test.assertEqual(container[17:19], b"\x78\xda")
    inflater = zlib.decompressobj()
    test.assertEqual(inflater.decompress(container[17:]), data)
    test.assertTrue(inflater.eof, "zlib stream does not end")
    test.assertEqual(inflater.unused_data, b"", "bytes after the zlib stream")


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

    def test_imports_statically_only_known_dlls_and_nothing_windows_7_sp1_lacks_without_updates(self):
        imports = self.updater.imports()
        self.assertIn("kernel32.dll", [dll.lower() for dll, _ in imports])
        for dll, functions in imports:
            self.assertIn(dll.lower(), STATIC_IMPORTS_ALLOWED, f"{dll} is no KnownDLL: load it from the system folder")
            self.assertNotIn(dll.lower(), WINDOWS_7_LACKS_DLLS, f"{dll} is not on Windows 7")
            lacking = sorted(WINDOWS_7_LACKS.intersection(functions))
            self.assertEqual(lacking, [], f"{dll}: look these up at run time")

    def test_manifest_requires_an_administrator_on_windows_7_to_11(self):
        manifest = self.resources.get((RT_MANIFEST, 1))
        self.assertIsNotNone(manifest, "no manifest")
        levels = re.findall(rb'<requestedExecutionLevel\s+level="([^"]*)"', manifest)
        self.assertEqual(levels, [b"requireAdministrator"])
        manifest = ElementTree.fromstring(manifest)
        compatibility = "{urn:schemas-microsoft-com:compatibility.v1}"
        applications = manifest.findall(f"{compatibility}compatibility/{compatibility}application")
        self.assertEqual(len(applications), 1, "no single compatibility section")
        named = [entry.get("Id").lower() for entry in applications[0].findall(f"{compatibility}supportedOS")]
        self.assertEqual(sorted(named), sorted(SUPPORTED_OS), [SUPPORTED_OS.get(i, i) for i in named])

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
        check_container(self, container, self.standin_bytes)

    def test_standin_carries_product_version_5_1_6_0_and_file_version_5_2_0_0(self):
        self.assertEqual(self.standin.machine, ARCHITECTURES[self.architecture][0])
        self.assertEqual(self.standin.subsystem, 2)
        file_version, product_version = fixed_file_info(self.standin.resources()[(RT_VERSION, 1)])
        self.assertEqual(product_version, (5, 1, 6, 0))
        self.assertEqual(file_version, (5, 2, 0, 0))


class PackerTest(unittest.TestCase):
    def pack(self, data: bytes):
        with tempfile.TemporaryDirectory() as folder:
            source_path = os.path.join(folder, "Pelano5.exe")
            container_path = os.path.join(folder, "UPDATEDATA.bin")
            with open(source_path, "wb") as f:
                f.write(data)
            result = subprocess.run([sys.executable, UpdaterExecutableTest.packer_path, source_path, container_path],
                                    capture_output=True, timeout=60)
            container = None
            if os.path.exists(container_path):
                with open(container_path, "rb") as f:
                    container = f.read()
            return result.returncode, container

    def test_a_file_is_packed_whole_at_maximum_compression(self):
        with open(UpdaterExecutableTest.standin_path, "rb") as f:
            standin = f.read()
        for data in (b"M", standin):
            with self.subTest(size=len(data)):
                code, container = self.pack(data)
                self.assertEqual(code, 0)
                check_container(self, container, data)

    def test_an_empty_file_is_refused(self):
        # A size of 0 cannot be read back: the reader would ask the inflating stream for its size.
        code, container = self.pack(b"")
        self.assertNotEqual(code, 0)
        self.assertIsNone(container, "a refused payload was written")


def main():
    if len(sys.argv) < 5 or sys.argv[4] not in ARCHITECTURES:
        sys.exit(__doc__)
    (UpdaterExecutableTest.updater_path, UpdaterExecutableTest.standin_path, UpdaterExecutableTest.packer_path,
     UpdaterExecutableTest.architecture) = sys.argv[1:5]
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[5:])


if __name__ == "__main__":
    main()
