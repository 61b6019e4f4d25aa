#!/usr/bin/env python3
"""What retrax.exe is made of, from the linker's map.

    python3 bench/size_report.py MAP [TOP]

Make the map by linking the program once more with -Wl,-Map=FILE: the link
command is `ninja -C build/win -t commands retrax | tail -n 1`. With
link-time optimisation the program's own code shows as one ltrans object;
link without it (INTERPROCEDURAL_OPTIMIZATION OFF) to see it by source file.

Prints each output section's size and the TOP (default 25) largest inputs,
with the share of each section they fill. Import stubs of one library are
summed, as are its descriptors.
"""
import collections
import re
import sys


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    top = int(sys.argv[2]) if len(sys.argv) > 2 else 25
    sections = {}
    inputs = collections.defaultdict(collections.Counter)
    current = None
    in_map = False
    for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if line.startswith("Linker script and memory map"):
            in_map = True
            continue
        if not in_map:
            continue
        # An output section: ".text  0x00401000  0x8800"
        match = re.match(r"^(\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)", line)
        if match:
            current = match.group(1)
            sections[current] = int(match.group(2), 16)
            continue
        # An input section: " .text  0x00401000  0x4e0 path/to/file.o"
        match = re.match(r"^ (?:\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if match and current:
            name = re.sub(r".*/", "", match.group(2))
            name = re.sub(r"\((?:lib\w+s\d+|lib\w+_defs\d+|d\d+)\.o\)$", "(import stubs)", name)
            name = re.sub(r"\((?:lib\w+[ht]|lib\w+_def[ht])\.o\)$", "(import descriptors)", name)
            if name == "dll stuff":  # what ld calls the base relocations
                name = "base relocations"
            inputs[name][current] += int(match.group(1), 16)

    print("output sections (bytes; in the file each is rounded up to 512):")
    for name, size in sections.items():
        if size:
            print(f"  {name:10} {size:7,}")
    print(f"largest inputs (top {top}):")
    ranked = sorted(inputs.items(), key=lambda item: -sum(item[1].values()))
    for name, parts in ranked[:top]:
        where = ", ".join(f"{section} {size:,}" for section, size in parts.most_common() if size)
        print(f"  {sum(parts.values()):7,}  {name}  ({where})")


if __name__ == "__main__":
    main()
