"""The few PE header fields the corpus is labelled against.

Read with struct from the MZ header, the PE signature, the file header and
the optional header's subsystem and data directories; nothing else of the
file is looked at.
"""
import struct

MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664
FILE_DLL = 0x2000
SUBSYSTEM_NATIVE, SUBSYSTEM_GUI, SUBSYSTEM_CONSOLE = 1, 2, 3
DIR_SECURITY, DIR_CLR = 4, 14


def read_pe(path):
    """Header fields of a PE file as a dict, or None where it is not one."""
    with open(path, "rb") as f:
        head = f.read(4096)
    if len(head) < 64 or head[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", head, 0x3C)[0]
    if offset + 24 > len(head) or head[offset:offset + 4] != b"PE\0\0":
        return None
    machine, _, _, _, _, optional_size, characteristics = struct.unpack_from("<HHIIIHH", head, offset + 4)
    optional = offset + 24
    if optional_size < 70 or optional + optional_size > len(head):
        return None
    magic = struct.unpack_from("<H", head, optional)[0]
    if magic == 0x10B:
        subsystem_at, directories_at = optional + 68, optional + 96
    elif magic == 0x20B:
        subsystem_at, directories_at = optional + 68, optional + 112
    else:
        return None
    subsystem = struct.unpack_from("<H", head, subsystem_at)[0]
    count = struct.unpack_from("<I", head, directories_at - 4)[0]

    def directory(index):
        at = directories_at + 8 * index
        if index >= count or at + 8 > optional + optional_size:
            return (0, 0)
        return struct.unpack_from("<II", head, at)

    return {
        "machine": machine,
        "pe32plus": magic == 0x20B,
        "dll": bool(characteristics & FILE_DLL),
        "subsystem": subsystem,
        "clr": directory(DIR_CLR)[1] != 0,
        "signed": directory(DIR_SECURITY)[1] != 0,
    }


def header_kind(info):
    """The kind the headers point to: driver, library, console or gui."""
    if info["subsystem"] == SUBSYSTEM_NATIVE:
        return "driver"
    if info["dll"]:
        return "library"
    return {SUBSYSTEM_CONSOLE: "console", SUBSYSTEM_GUI: "gui"}.get(info["subsystem"])


def header_bits(info):
    if info["machine"] == MACHINE_I386 and not info["pe32plus"]:
        return "32"
    if info["machine"] == MACHINE_AMD64 and info["pe32plus"]:
        return "64"
    return None
