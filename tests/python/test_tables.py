"""The package's tables against the C sources: result codes, prototypes and
export byte counts, the trigger-control word layout, and the board's counts
and the simulated board's statuses (generated into the wheel at build time)."""

import ctypes
import os
import re
import sys
import unittest

from support import ROOT

import zorenc
from zorenc import _library, errors, sim

HEADER = os.path.join(ROOT, "include", "zorenc.h")
CODES_HEADER = os.path.join(ROOT, "include", "zorenc_codes.h")
EXPORTS = os.path.join(ROOT, "src", "exports.inc")


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


class ResultCodeTable(unittest.TestCase):
    def test_names_values_and_meanings_match_the_c_table(self):
        defines = re.findall(r"#define\s+(ZORENC_\w+)\s+0x([0-9A-Fa-f]+)u", read(HEADER))
        values = {name: int(value, 16) for name, value in defines}
        table = re.findall(r'X\((ZORENC_\w+),\s*"([^"]*)"\)', read(CODES_HEADER))
        self.assertGreaterEqual(len(table), 8)
        expected = {values[name]: (name, meaning) for name, meaning in table}
        self.assertEqual(errors.CODES, expected)
        for name, _ in table:
            with self.subTest(name=name):
                self.assertEqual(getattr(zorenc, name), values[name])

    def test_status_and_unknown_texts_match_the_c_describe(self):
        text = read(CODES_HEADER)
        status = re.search(r'"(ZORENC_STATUS)",\s*"([^"]*)"', text).groups()
        unknown = re.search(r'"(ZORENC_UNKNOWN)",\s*"([^"]*)"', text).groups()
        cases = [
            (0x05, status),
            (0xFF, status),
            (0xFA, ("ZORENC_ERR_CHECKSUM", errors.CODES[0xFA][1])),
            (0x100, unknown),
            (0xFFF0, unknown),
        ]
        for code, (name, meaning) in cases:
            with self.subTest(code=hex(code)):
                self.assertEqual(zorenc.describe(code), (code, name, meaning))

# C types of the header as ctypes types.
_SCALARS = {
    "ZorEncHandle": ctypes.c_ssize_t,
    "bool": ctypes.c_bool,
    "int32_t": ctypes.c_int32,
    "uint32_t": ctypes.c_uint32,
    "ZorEncResult": ctypes.c_uint32,
    "unsigned char": ctypes.c_ubyte,
    "unsigned short": ctypes.c_uint16,
    "double": ctypes.c_double,
    "TriggerControls": _library.TriggerControlsStruct,
    "ZorEncEventCallback": _library.EventCallback,
}


def ctype_of(declaration):
    """The ctypes type of a C type (without a parameter name)."""
    text = re.sub(r"\b(const|volatile)\b", "", declaration)
    pointers = text.count("*")
    base = " ".join(text.replace("*", " ").split())
    if base == "void" and pointers == 0:
        return None
    if base == "char" and pointers == 1:
        return ctypes.c_char_p
    result = _SCALARS[base]
    for _ in range(pointers):
        result = ctypes.POINTER(result)
    return result


def header_prototypes():
    """(name, result type, argument types) of every function the header declares."""
    text = re.sub(r"/\*.*?\*/", "", read(HEADER), flags=re.S)
    found = []
    for result, name, params in re.findall(
        r"ZORENC_API\s+([\w\s\*]+?)\s+ZORENC_CALL\s+(\w+)\s*\(([^)]*)\)", text
    ):
        args = []
        for param in params.split(","):
            param = param.strip()
            if param in ("", "void"):
                continue
            # Drop the parameter's name: the last identifier.
            args.append(ctype_of(re.sub(r"\w+\s*$", "", param)))
        found.append((name, ctype_of(result), tuple(args)))
    return found


class BoardFacts(unittest.TestCase):
    def test_counts_are_those_of_the_register_header(self):
        text = read(os.path.join(ROOT, "src", "device", "registers.h"))
        counts = {
            name: int(value, 0)
            for name, value in re.findall(r"\b(BOARD_\w+) = (0x[0-9A-Fa-f]+|\d+);", text)
        }
        self.assertEqual(
            (zorenc.CHANNELS, zorenc.DIGITAL_INPUTS, zorenc.INDEX_TRIGGERS),
            (counts["BOARD_CHANNELS"], counts["BOARD_DIGITAL_INPUTS"],
             counts["BOARD_INDEX_TRIGGERS"]),
        )

    def test_statuses_are_the_simulated_boards(self):
        rows = re.findall(r"^ZORSIM_STATUS\((\w+), (0x[0-9A-F]+),",
                          read(os.path.join(ROOT, "src", "device", "sim_statuses.inc")), re.M)
        self.assertGreaterEqual(len(rows), 9)
        expected = {re.sub(r"(?<!^)(?=[A-Z])", "_", name).upper(): int(code, 16)
                    for name, code in rows}
        self.assertEqual({s.name: s.value for s in sim.Status}, expected)
        self.assertEqual(sim.Status.NOT_RECORDED, 0x08)


class Prototypes(unittest.TestCase):
    def test_prototypes_match_the_header_declarations(self):
        declared = header_prototypes()
        self.assertEqual(len(declared), 82)
        self.assertEqual([p[0] for p in _library.PROTOTYPES], [d[0] for d in declared])
        for (name, restype, argtypes), (_, c_result, c_args) in zip(_library.PROTOTYPES, declared):
            with self.subTest(name=name):
                self.assertIs(restype, c_result)
                self.assertEqual(argtypes, c_args)

    def test_argument_bytes_match_the_32_bit_export_list(self):
        listed = re.findall(r"^ZORENC_FN\((\w+),\s*(\d+)\)", read(EXPORTS), re.M)
        self.assertEqual(len(listed), 82)
        ours = {name: argtypes for name, _, argtypes in _library.PROTOTYPES}
        self.assertEqual(sorted(ours), sorted(name for name, _ in listed))
        for name, count in listed:
            with self.subTest(name=name):
                # stdcall: 8 bytes for a double; handles, ints, pointers 4.
                sizes = [8 if t is ctypes.c_double else 4 for t in ours[name]]
                self.assertEqual(sum(sizes), int(count))
                self.assertEqual(_library.argument_bytes(ours[name]), int(count))


class TriggerControlsWord(unittest.TestCase):
    def test_fields_sit_where_the_c_struct_puts_them(self):
        # Each field set alone in the C struct must give the same word as
        # in the dataclass.
        cases = [
            ("nibble0", 0xF, 0x0000000F),
            ("nibble1", 0x2, 0x00000020),
            ("nibble2", 0x4, 0x00000400),
            ("nibble3", 0xA, 0x0000A000),
            ("nibble4", 0x1, 0x00010000),
            ("nibble5", 0x8, 0x00800000),
            ("nibble6", 0x3, 0x03000000),
            ("reserved", 0x3, 0x30000000),
            ("bit30", 1, 0x40000000),
            ("bit31", 1, 0x80000000),
        ]
        for field, value, word in cases:
            with self.subTest(field=field):
                c_word = _library.TriggerControlsStruct()
                setattr(c_word, field, value)
                self.assertEqual(int.from_bytes(bytes(c_word), sys.byteorder), word)
                self.assertEqual(zorenc.TriggerControls(**{field: value}).to_word(), word)
                self.assertEqual(getattr(zorenc.TriggerControls.from_word(word), field), value)
        self.assertEqual(ctypes.sizeof(_library.TriggerControlsStruct), 4)



if __name__ == "__main__":
    unittest.main()
