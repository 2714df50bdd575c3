#!/usr/bin/env python3
"""Writes the resources that make an updater for one Pelano5.exe, all taken from that file's
product version (its fixed version information, as the updater itself reads an installed copy):

  UPDATEVERSION.bin  the 8-byte update version record: major, minor, release, 0 (16-bit LE words)
  UPDATEDATA.bin     the executable packed into the payload container
  UpdateVersion.h    the updater's own version and title for its version information
  PeUpdate.manifest  the manifest, its identity carrying the same version

Refuses, writing nothing, a file that is not a Windows executable, one without version
information, and a version the record cannot carry: the updater shows and compares
minor x 10 + release, so minor and release must each be 0 to 9.

usage: updater_resources.py Pelano5.exe OUTDIR --manifest PeUpdate.manifest.in"""
import argparse
import os
import re
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pack import pack  # noqa: E402
from peimage import RT_VERSION, PEError, PEImage, fixed_file_info  # noqa: E402

IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_DLL = 0x2000
# The title format of the updater's catalogue (msgTitleFormat), here for its version information.
TITLE_FORMAT = "ぺらの%d.%d%dアップデーター"
VERSION_PLACEHOLDER = "@PEUPDATE_VERSION@"


class Refusal(Exception):
    pass


def product_version(data: bytes):
    """The product version (four numbers) of an executable image's version information."""
    try:
        image = PEImage(data)
    except PEError as error:
        raise Refusal(f"not a Windows executable ({error})")
    if not image.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE or image.characteristics & IMAGE_FILE_DLL:
        raise Refusal("not a Windows executable (a library or an object file)")
    try:
        # The version functions read the version resource with id 1, as an installed copy is read.
        block = image.resources().get((RT_VERSION, 1))
        if block is None:
            raise Refusal("no version information")
        return fixed_file_info(block)[1]
    except PEError as error:
        raise Refusal(f"no readable version information ({error})")


def version_record(major: int, minor: int, release: int) -> bytes:
    for name, value in (("major", major), ("minor", minor), ("release", release)):
        if not 0 <= value <= 0xFFFF:
            raise Refusal(f"the {name} number {value} does not fit a 16-bit word")
    for name, value in (("minor", minor), ("release", release)):
        if value > 9:
            raise Refusal(f"the {name} number {value} is above 9: the updater shows and compares "
                          "minor x 10 + release, which would then be wrong")
    return struct.pack("<4H", major, minor, release, 0)


def title(major: int, minor: int, release: int) -> str:
    minor_release = minor * 10 + release
    return TITLE_FORMAT % (major, minor_release // 10, minor_release % 10)


def manifest(template: str, version: str) -> str:
    if VERSION_PLACEHOLDER not in template:
        raise Refusal(f"the manifest template has no {VERSION_PLACEHOLDER}")
    text = template.replace(VERSION_PLACEHOLDER, version)
    left = re.search(r"@[A-Za-z_]+@", text)
    if left:
        raise Refusal(f"the manifest template leaves {left.group(0)} unfilled")
    return text


def updater_resources(payload: bytes, template: str):
    """{file name: bytes} of the resources for this payload, or Refusal."""
    major, minor, release, _ = product_version(payload)
    record = version_record(major, minor, release)
    version = f"{major}.{minor}.{release}.0"
    header = ("// The updater's own version, from its payload's product version.\n"
              f"#define PEUPDATE_VERSION {major},{minor},{release},0\n"
              f'#define PEUPDATE_VERSION_TEXT "{version}"\n'
              f'#define PEUPDATE_TITLE "{title(major, minor, release)}"\n')
    return {
        "UPDATEVERSION.bin": record,
        "UPDATEDATA.bin": pack(payload),
        "UpdateVersion.h": header.encode("utf-8"),
        "PeUpdate.manifest": manifest(template, version).encode("utf-8"),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("payload")
    parser.add_argument("folder")
    parser.add_argument("--manifest", required=True, help="the manifest template, configured for the architecture")
    args = parser.parse_args()
    try:
        with open(args.payload, "rb") as f:
            payload = f.read()
        with open(args.manifest, encoding="utf-8") as f:
            template = f.read()
        files = updater_resources(payload, template)
    except (OSError, Refusal, ValueError) as error:
        sys.exit(f"{args.payload}: {error}")
    os.makedirs(args.folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(args.folder, name), "wb") as f:
            f.write(data)
    major, minor, release, _ = struct.unpack("<4H", files["UPDATEVERSION.bin"])
    print(f"{args.payload}: product version {major}.{minor}.{release}, updater {title(major, minor, release)}")


if __name__ == "__main__":
    main()
