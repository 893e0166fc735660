#!/usr/bin/env python3
"""Checks the dynamic symbols a shared library of the project exports.

sdk:      the SDK exports only Kelvra_* functions, each declared in the public header, and every
          declared function but those on the not-yet-exported list; a listed name that is
          exported fails too, so the list only shrinks.
platform: the platform library exports only functions declared in the Win32 headers and
          C++ symbols of namespace kelvra::platform.
"""
import argparse
import glob
import os
import re
import subprocess
import sys
import tempfile

# Made by the linker for every shared object, not by our code.
LINKER_SYMBOLS = {"_init", "_fini", "_edata", "_end", "__bss_start"}

# Symbols the compiler makes for a class or a static object: the entity they belong to follows.
CXX_SPECIAL_PREFIXES = (
    "typeinfo name for ",
    "typeinfo for ",
    "construction vtable for ",
    "vtable for ",
    "VTT for ",
    "guard variable for ",
    "non-virtual thunk to ",
    "virtual thunk to ",
)

PLATFORM_NAMESPACE = "kelvra::platform::"


def exported_symbols(nm, library):
    """(name, nm type letter) of every defined dynamic symbol of the library."""
    output = subprocess.run([nm, "-D", "--defined-only", "--format=posix", library],
                            check=True, capture_output=True, text=True).stdout
    symbols = []
    for line in output.splitlines():
        fields = line.split()
        if len(fields) >= 2 and fields[0] not in LINKER_SYMBOLS:
            symbols.append((fields[0], fields[1]))
    return symbols


def demangle(cxxfilt, names):
    if not names:
        return []
    output = subprocess.run([cxxfilt], input="\n".join(names) + "\n",
                            check=True, capture_output=True, text=True).stdout
    return output.splitlines()


def sdk_declarations(header):
    text = open(header, encoding="utf-8").read()
    return set(re.findall(r"KELVRA_API[^;(]*?\b(Kelvra_\w+)\s*\(", text))


def not_yet_exported(path):
    """The names of the list file: one per line; blank lines and # comments are skipped."""
    names = set()
    for line in open(path, encoding="utf-8"):
        name = line.split("#", 1)[0].strip()
        if name:
            names.add(name)
    return names


def check_sdk(args):
    declared = sdk_declarations(args.header)
    if not declared:
        return ["no KELVRA_API function found in " + args.header]
    pending = not_yet_exported(args.not_yet_exported)
    problems = []
    exported = []
    symbols = exported_symbols(args.nm, args.library)
    cxx = [name for name, _ in symbols if name.startswith("_Z")]
    readable = dict(zip(cxx, demangle(args.cxxfilt, cxx)))
    for name, kind in symbols:
        if name not in declared:
            problems.append(f"exported but not declared in the public header: {readable.get(name, name)}")
        elif kind not in "TW":
            problems.append(f"exported as a non-function (nm type {kind}): {name}")
        else:
            exported.append(name)
    for name in sorted(declared - set(exported) - pending):
        problems.append(f"declared in the public header but not exported: {name}")
    for name in sorted(pending & set(exported)):
        problems.append(f"exported, so take it off {args.not_yet_exported}: {name}")
    for name in sorted(pending - declared):
        problems.append(f"listed in {args.not_yet_exported} but not declared in the public header: {name}")
    print(f"{len(exported)} of the {len(declared)} declared Kelvra_* functions are exported, "
          f"{len(pending)} listed as not yet exported: " + " ".join(sorted(exported)))
    if not exported:
        problems.append("no Kelvra_* function is exported")
    return problems


def platform_declarations(cc, headers):
    """Functions the Win32 headers declare, as the C compiler sees them (-aux-info)."""
    headers = [os.path.abspath(h) for h in headers]
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "all_headers.c")
        aux = os.path.join(work, "declarations.txt")
        with open(source, "w", encoding="utf-8") as out:
            out.writelines(f'#include "{h}"\n' for h in headers)
        subprocess.run([cc, "-std=c11", "-fsyntax-only", "-aux-info", aux, source], check=True)
        declared = set()
        for line in open(aux, encoding="utf-8"):
            # /* <file>:<line>:<flags> */ extern HANDLE CreateEventA (...);
            match = re.match(r"/\* (.*?):\d+:\w+ \*/ (.*?)(\w+) \(", line)
            if match and os.path.abspath(match.group(1)) in headers:
                declared.add(match.group(3))
        return declared


def is_platform_cxx(demangled):
    for prefix in CXX_SPECIAL_PREFIXES:
        if demangled.startswith(prefix):
            demangled = demangled[len(prefix):]
            break
    # A function template's name comes after its return type.
    return re.match(r"^(\S+ )?" + re.escape(PLATFORM_NAMESPACE), demangled) is not None


def check_platform(args):
    headers = sorted(glob.glob(os.path.join(args.headers, "*.h")))
    declared = platform_declarations(args.cc, headers)
    problems = []
    symbols = exported_symbols(args.nm, args.library)
    cxx = [name for name, _ in symbols if name.startswith("_Z")]
    readable = dict(zip(cxx, demangle(args.cxxfilt, cxx)))
    win32_count = 0
    for name, _ in symbols:
        if name in readable:
            if not is_platform_cxx(readable[name]):
                problems.append(f"C++ symbol outside {PLATFORM_NAMESPACE[:-2]}: {readable[name]}")
        elif name in declared:
            win32_count += 1
        else:
            problems.append(f"exported but declared in no Win32 header: {name}")
    print(f"{win32_count} Win32 functions and {len(cxx)} C++ symbols exported; "
          f"{len(declared)} functions declared in {len(headers)} headers")
    if declared and not win32_count:
        problems.append("none of the functions the Win32 headers declare is exported")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--nm", default="nm")
    parser.add_argument("--cxxfilt", default="c++filt")
    commands = parser.add_subparsers(dest="command", required=True)
    sdk = commands.add_parser("sdk")
    sdk.add_argument("--library", required=True)
    sdk.add_argument("--header", required=True)
    sdk.add_argument("--not-yet-exported", required=True,
                     help="file of declared functions the library may still lack")
    platform = commands.add_parser("platform")
    platform.add_argument("--library", required=True)
    platform.add_argument("--headers", required=True, help="folder of the Win32 headers")
    platform.add_argument("--cc", default="cc")
    args = parser.parse_args()

    problems = check_sdk(args) if args.command == "sdk" else check_platform(args)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
