#!/usr/bin/python3
"""Checks a built ZelCnvSdk.dll without running it, as a machine that cannot run its code can:
its machine type, exactly the exports the public headers declare and the .def file lists
(undecorated), cdecl returns of every export
(x86: no export pops its arguments), only system DLLs imported, the dialog templates and the
version resource.

Usage: check_dll.py DLL PUBLIC_HEADER DEF_FILE DIALOG_IDS_HEADER x86|x64
Prints one line per check; exits 1 when one fails.
"""
import os
import re
import subprocess
import sys

import pefile

SYSTEM_DLLS = re.compile(
    r"^(kernel32|user32|gdi32|advapi32|msvcrt|winmm|comctl32|comdlg32|shell32|ole32|oleaut32|"
    r"ntdll|ucrtbase|api-ms-win-.*)\.dll$")
MACHINES = {"x86": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], "i686"),
            "x64": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], "x86_64")}
RT_DIALOG, RT_VERSION = 5, 16
LANG_JAPANESE, LANG_ENGLISH = 0x11, 0x09
VERSION = "4.5.20"

dll_path, header_path, def_path, ids_path, arch = sys.argv[1:6]
machine, triplet = MACHINES[arch]
failures = []


def check(ok, passed, failed):
    print(f"{arch}: {passed if ok else 'FAILED: ' + failed}")
    if not ok:
        failures.append(failed)


def def_exports():
    names, in_exports = [], False
    for line in open(def_path):
        word = line.split(";")[0].strip()
        if word == "EXPORTS":
            in_exports = True
        elif in_exports and word:
            names.append(word.split()[0])
    return names


def declared_exports(path, prefix):
    """The functions a public header declares for export."""
    return re.findall(rf"ZELCNV_API\s+[^;]*?\b({prefix}_\w+)\s*\(", open(path).read())


def dialog_ids():
    """IDD_* numbers of the header, with the language their suffix names."""
    ids = {}
    for name, suffix, number in re.findall(r"#define\s+(IDD_\w+_(JA|EN))\s+(\d+)", open(ids_path).read()):
        ids[int(number)] = (name, LANG_JAPANESE if suffix == "JA" else LANG_ENGLISH)
    return ids


def disassembly():
    """The DLL's code as {address: (symbol, [instruction text])}, one entry per symbol."""
    text = subprocess.run([f"{triplet}-w64-mingw32-objdump", "-d", "--no-show-raw-insn", dll_path],
                          check=True, capture_output=True, text=True).stdout
    functions, current = {}, None
    for line in text.splitlines():
        label = re.match(r"^([0-9a-f]+) <(.+)>:$", line)
        if label:
            current = []
            functions[int(label.group(1), 16)] = (label.group(2), current)
        elif current is not None:
            instruction = re.match(r"^\s*[0-9a-f]+:\s+(.*)$", line)
            if instruction:
                current.append(instruction.group(1).strip())
    return functions


def returns(start, functions, seen):
    """How the function at `start`, and those it ends in a jump to, return: the `ret N`
    instructions found (callee pops its arguments) and whether a plain `ret` was found."""
    if start in seen or start not in functions:
        return [], False
    seen.add(start)
    name, body = functions[start]
    popping, plain = [], False
    for instruction in body:
        if re.match(r"^ret[lw]?\s+\$0x", instruction):
            popping.append(f"{name}: {instruction}")
        elif re.match(r"^ret[lw]?$", instruction):
            plain = True
        tail = re.match(r"^jmp\s+([0-9a-f]+) <([^>+]+)>$", instruction)
        if tail and int(tail.group(1), 16) != start:
            more, more_plain = returns(int(tail.group(1), 16), functions, seen)
            popping += more
            plain = plain or more_plain
    return popping, plain


pe = pefile.PE(dll_path)
check(pe.FILE_HEADER.Machine == machine, f"machine type {arch}",
      f"machine type {pe.FILE_HEADER.Machine:#x}, not {arch}")
check(pe.FILE_HEADER.Characteristics & 0x2000 != 0, "a DLL", "the image is not marked as a DLL")

expected = def_exports()
# The 116 of the main header and the extension interface's, declared in the header beside it.
classic = declared_exports(header_path, "ZelCam")
extension = declared_exports(os.path.join(os.path.dirname(header_path), "ZelCnvSdkEx.h"), "ZelCnvEx")
declared = classic + extension
check(len(classic) == 116 and len(extension) == 6 and sorted(declared) == sorted(expected),
      f"the headers declare the {len(declared)} functions the .def file lists",
      f"the headers declare {len(declared)} functions and the .def file lists {len(expected)}; "
      f"only declared {sorted(set(declared) - set(expected))}, "
      f"only listed {sorted(set(expected) - set(declared))}")
exported = {e.name.decode(): e for e in pe.DIRECTORY_ENTRY_EXPORT.symbols if e.name}
unnamed = [e.ordinal for e in pe.DIRECTORY_ENTRY_EXPORT.symbols if not e.name]
missing = sorted(set(declared) - set(exported))
extra = sorted(set(exported) - set(declared))
check(len(exported) == len(declared) and not missing and not extra and not unnamed,
      f"exports exactly the {len(exported)} undecorated names the headers declare",
      f"{len(exported)} exports: missing {missing}, not declared {extra}, unnamed ordinals {unnamed}")
forwarded = [n for n, e in exported.items() if e.forwarder]
check(not forwarded, "no export is forwarded", f"forwarded exports {forwarded}")

imports = [entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
foreign = [name for name in imports if not SYSTEM_DLLS.match(name)]
check(not foreign, f"imports only system DLLs ({', '.join(sorted(imports))})",
      f"imports {foreign}")

resources = {}
kinds = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
for kind in kinds:
    for entry in kind.directory.entries:
        languages = [leaf.id & 0x3FF for leaf in entry.directory.entries]
        resources.setdefault(kind.id, {})[entry.id] = languages
dialogs = resources.get(RT_DIALOG, {})
wanted = dialog_ids()
absent = [f"{name} ({number})" for number, (name, language) in sorted(wanted.items())
          if language not in dialogs.get(number, [])]
check(len(wanted) == 6 and not absent,
      f"the {len(wanted)} dialog templates, each in its language",
      f"dialog templates missing: {absent or 'the header names ' + str(len(wanted))}")

strings = {}
for info in getattr(pe, "FileInfo", []):
    for block in info:
        for table in getattr(block, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
major, minor, patch = (int(part) for part in VERSION.split("."))
check(RT_VERSION in resources and fixed is not None and
      (fixed.FileVersionMS, fixed.FileVersionLS) == (major << 16 | minor, patch << 16) and
      strings.get("FileVersion") == VERSION and strings.get("OriginalFilename") == "ZelCnvSdk.dll",
      f"version resource {strings.get('FileVersion')}, {strings.get('OriginalFilename')}",
      f"version resource wrong or missing: {strings}")

if arch == "x86":
    functions = disassembly()
    base = pe.OPTIONAL_HEADER.ImageBase
    unknown, callee_pops = [], []
    present = sorted(exported)
    for name in present:
        address = base + exported[name].address
        if address not in functions:
            unknown.append(name)
            continue
        popping, plain = returns(address, functions, set())
        if popping:
            callee_pops.append(f"{name} ({'; '.join(popping)})")
        elif not plain:
            unknown.append(name)
    check(not unknown and not callee_pops,
          f"every export is cdecl: none of the {len(present)} returns with ret N",
          f"not cdecl: {callee_pops}; no return found for {unknown}")

sys.exit(1 if failures else 0)
