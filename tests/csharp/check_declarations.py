#!/usr/bin/env python3
"""Checks the C# declarations against the header and the export list.

usage: check_declarations.py NATIVEMETHODS_CS ZORENC_H EXPORTS_INC

For each of the 82 exported functions: NativeMethods.X64 and NativeMethods.X32
declare it with the header's result type and parameters (C# types that
marshal to the C types), X32 binds it to the exported name _Name@N with N the
bytes its parameters take on the 32-bit stack, bool results are marshalled as
one byte, and NativeMethods has a method of that name that calls both.
"""
import re
import sys

RESULTS = {"ZorEncResult": "uint", "ZorEncHandle": "IntPtr", "bool": "bool", "void": "void",
           "int32_t": "int", "double": "double"}
PARAMS = {
    "ZorEncHandle": {"IntPtr"},
    "int32_t": {"int"},
    "uint32_t": {"uint"},
    "unsigned char": {"byte"},
    "unsigned short": {"ushort"},
    "double": {"double"},
    "ZorEncEventCallback": {"ZorEncEventCallback"},
    "const char *": {"string"},
    "int32_t *": {"out int"},
    "uint32_t *": {"out uint"},
    "double *": {"out double"},
    "TriggerControls *": {"out TriggerControls"},
    "const TriggerControls *": {"ref TriggerControls"},
    "unsigned char *": {"byte[]"},
    "const volatile unsigned char *": {"IntPtr"},
}


def header_functions(path):
    text = re.sub(r"/\*.*?\*/", "", open(path).read(), flags=re.S)
    found = {}
    for result, name, params in re.findall(
            r"ZORENC_API\s+([\w\s\*]+?)\s+ZORENC_CALL\s+(\w+)\s*\(([^)]*)\)", text):
        types = []
        for p in params.split(","):
            p = " ".join(p.split())
            if p in ("", "void"):
                continue
            types.append(" ".join(re.sub(r"\w+$", "", p).replace("*", " *").split()))
        found[name] = (result.strip(), types)
    return found


def class_body(text, name):
    start = text.index(f"public static class {name}")
    depth, i = 0, text.index("{", start)
    for j in range(i, len(text)):
        depth += {"{": 1, "}": -1}.get(text[j], 0)
        if depth == 0:
            return text[i:j]
    raise ValueError(name)


def externs(body):
    """{name: (attributes, result, [parameter types])} of the extern declarations."""
    found = {}
    body = " ".join(body.split())
    for attrs, result, name, params in re.findall(
            r"((?:\[[^\]]*\]\s*)+)public static extern (\w+) (\w+) ?\((.*?)\);", body):
        types = []
        for p in params.split(","):
            p = re.sub(r"\[[A-Za-z][^\]]*\]", "", p).strip()
            p = p.replace("?", "")  # nullable annotations marshal as the plain type
            if p:
                types.append(" ".join(p.split()[:-1]))
        found[name] = (attrs, result, types)
    return found


def stack_bytes(cs_type):
    return 8 if cs_type == "double" else 4


def main():
    source, header, exports = sys.argv[1:4]
    text = open(source).read()
    listed = {n: int(b) for n, b in re.findall(r"^ZORENC_FN\((\w+),\s*(\d+)\)", open(exports).read(), re.M)}
    declared = header_functions(header)
    x64 = externs(class_body(text, "X64"))
    x32 = externs(class_body(text, "X32"))
    outer = " ".join(text[:text.index("public static class X64")].split())
    errors = []
    if len(listed) != 82:
        errors.append(f"the export list has {len(listed)} functions")
    for cls, table in (("X64", x64), ("X32", x32)):
        errors += [f"{cls}: declares {n}, which is not exported" for n in sorted(set(table) - set(listed))]
    for name, n in listed.items():
        if name not in declared:
            errors.append(f"{name}: not in the header")
            continue
        c_result, c_params = declared[name]
        for cls, table in (("X64", x64), ("X32", x32)):
            if name not in table:
                errors.append(f"{cls}: {name} not declared")
                continue
            attrs, result, params = table[name]
            if result != RESULTS[c_result]:
                errors.append(f"{cls}.{name}: result {result}, the header's is {c_result}")
            if result == "bool" and "UnmanagedType.U1" not in attrs:
                errors.append(f"{cls}.{name}: bool result not marshalled as one byte")
            if len(params) != len(c_params):
                errors.append(f"{cls}.{name}: {len(params)} parameters, the header has {len(c_params)}")
            for i, (cs, c) in enumerate(zip(params, c_params)):
                if cs not in PARAMS.get(c, ()):
                    errors.append(f"{cls}.{name}: parameter {i + 1} is {cs}, the header's {c}")
            entry = re.search(r'EntryPoint = "([^"]*)"', attrs)
            if cls == "X32":
                if not entry or entry.group(1) != f"_{name}@{n}":
                    errors.append(f"X32.{name}: not bound to _{name}@{n}")
                if sum(stack_bytes(p) for p in params) != n:
                    errors.append(f"X32.{name}: parameters take {sum(stack_bytes(p) for p in params)} bytes, "
                                  f"the export {n}")
            elif entry and entry.group(1) != name:
                errors.append(f"X64.{name}: bound to {entry.group(1)}")
        if not re.search(rf"public static \w+ {name} ?\(", outer):
            errors.append(f"NativeMethods.{name}: missing")
        elif not (re.search(rf"X64\.{name} ?\(", outer) and re.search(rf"X32\.{name} ?\(", outer)):
            errors.append(f"NativeMethods.{name}: does not call both libraries")
    for e in errors:
        print("FAIL:", e)
    print(f"{len(listed)} exports; X64 declares {len(x64)}, X32 {len(x32)}; {len(errors)} problems")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
