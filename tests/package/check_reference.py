#!/usr/bin/env python3
"""Checks the HTML reference that the docs target generated with Doxygen.

usage: check_reference.py --docs BUILD/docs --exports EXPORTS_INC [--doxygen doxygen]

- Doxygen's configuration is clean (doxygen -x reports no problem) and its
  warning log is empty;
- every function of the export list is documented in zorenc.h's reference:
  a description, each parameter by its declared name, and its result (unless
  void);
- each has its entry in the HTML page of zorenc.h.
"""
import argparse
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET


def text_of(element):
    return "".join(element.itertext()).strip() if element is not None else ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--docs", required=True)
    parser.add_argument("--exports", required=True)
    parser.add_argument("--doxygen", default="doxygen")
    args = parser.parse_args()
    errors = []

    config = subprocess.run([args.doxygen, "-x", os.path.join(args.docs, "Doxyfile")],
                            capture_output=True, text=True)
    if config.returncode != 0 or config.stderr.strip():
        errors.append("Doxyfile: " + (config.stderr.strip() or f"doxygen -x failed ({config.returncode})"))
    log = os.path.join(args.docs, "doxygen-warnings.log")
    if not os.path.exists(log):
        errors.append("no warning log: the reference was not generated")
    elif open(log).read().strip():
        errors.append("Doxygen warned:\n" + open(log).read().strip())

    listed = re.findall(r"^ZORENC_FN\((\w+),\s*\d+\)", open(args.exports).read(), re.M)
    tree = ET.parse(os.path.join(args.docs, "xml", "zorenc_8h.xml"))
    functions = {m.findtext("name"): m for m in tree.iter("memberdef") if m.get("kind") == "function"}
    html = open(os.path.join(args.docs, "html", "zorenc_8h.html"), encoding="utf-8").read()

    for name in listed:
        member = functions.get(name)
        if member is None:
            errors.append(f"{name}: not in the reference")
            continue
        detail = member.find("detaileddescription")
        if not text_of(member.find("briefdescription")):
            errors.append(f"{name}: no description")
        declared = [p.findtext("declname") for p in member.findall("param") if p.findtext("declname")]
        documented = {}
        for item in detail.iter("parameteritem"):
            description = text_of(item.find("parameterdescription"))
            for pname in item.iter("parametername"):
                documented[text_of(pname)] = description
        for pname in declared:
            if not documented.get(pname):
                errors.append(f"{name}: parameter {pname} not documented")
        for pname in sorted(set(documented) - set(declared)):
            errors.append(f"{name}: documents a parameter {pname} it does not have")
        returns = [s for s in detail.iter("simplesect") if s.get("kind") == "return"]
        if text_of(member.find("type")) != "void" and not any(text_of(s) for s in returns):
            errors.append(f"{name}: result not documented")
        if f">{name}()" not in html and f">{name}</a>" not in html:
            errors.append(f"{name}: not on the HTML page of zorenc.h")

    for e in errors:
        print("FAIL:", e)
    print(f"{len(listed)} exported functions, {len(functions)} in the reference, {len(errors)} problems")
    return 1 if errors or len(listed) != 82 else 0


if __name__ == "__main__":
    sys.exit(main())
