"""The parts of a Windows executable image that the build's tools and checks read: headers,
sections, imported DLLs, resources and the fixed version information."""
import struct

RT_RCDATA = 10
RT_VERSION = 16


class PEError(Exception):
    pass


class PEImage:
    """A PE32 or PE32+ image as far as the tools and checks read it, every read bounds-checked."""

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
        return [dll for dll, _ in self.imports()]

    def imports(self):
        """[(dll, [function names])] of the import and delay-import tables; an import by ordinal is
        named "#n"."""
        found = []
        rva, _ = self.directories[1]
        if rva:
            for i in range(0x10000):
                first, _, _, name, thunk = struct.unpack("<IIIII", self.at_rva(rva + 20 * i, 20))
                if first == 0 and name == 0 and thunk == 0:
                    break
                found.append((self.c_string(name), self.thunk_names(first or thunk)))
        if len(self.directories) > 13 and self.directories[13][0]:
            rva = self.directories[13][0]
            for i in range(0x10000):
                fields = struct.unpack("<8I", self.at_rva(rva + 32 * i, 32))
                if not any(fields):
                    break
                found.append((self.c_string(fields[1]), self.thunk_names(fields[4])))
        return found

    def thunk_names(self, rva):
        size, ordinal_flag = (4, 1 << 31) if self.magic == 0x10B else (8, 1 << 63)
        names = []
        for i in range(0x10000):
            entry = int.from_bytes(self.at_rva(rva + size * i, size), "little")
            if entry == 0:
                break
            # A name is a 16-bit hint followed by the name itself.
            names.append(f"#{entry & 0xFFFF}" if entry & ordinal_flag else self.c_string((entry & 0x7FFFFFFF) + 2))
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
    if len(version_resource) < 6:
        raise PEError("version resource shorter than its header")
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
