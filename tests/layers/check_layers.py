#!/usr/bin/env python3
"""The layer rule: every project include ("...") of a layer's files reaches
only its own headers and those of the layer targets it links, directly or
through what they hand on; every link stays within what cmake/layers.txt lets
the layer use; headers private to some layers are included only there (or by a
file the table still allows, until that include is gone).

    check_layers.py SOURCE_ROOT BUILD_MAP [README]

BUILD_MAP is <build>/layers/map.txt, written by cmake/OstranderLayer.cmake:
which files each layer target compiles and owns, and which layer targets it
links. With README, its Design table's "may use" column must match the table.
Prints one line per fault and exits with 1 when there is any.
"""

import os
import re
import sys

TABLE = "cmake/layers.txt"
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


class Table:
    def __init__(self):
        self.layers = {}  # target -> (folder, [uses], line number)
        self.order = []
        self.private = {}  # header -> set of targets
        self.allow = {}  # (file, header) -> line number


def read_table(text, faults):
    table = Table()
    for number, raw in enumerate(text.splitlines(), 1):
        fields = raw.split("#", 1)[0].split()
        if not fields:
            continue
        where = f"{TABLE}:{number}"
        kind = fields[0]
        if kind == "layer" and len(fields) >= 3:
            target, folder, uses = fields[1], fields[2].rstrip("/"), fields[3:]
            if target in table.layers:
                faults.append(f"{where}: {target} has a line already")
                continue
            for used in uses:
                if used not in table.layers:
                    faults.append(f"{where}: {target} may use {used} only if {used} "
                                  "has a line above it (layers point down)")
            table.layers[target] = (folder, [u for u in uses if u in table.layers], number)
            table.order.append(target)
        elif kind == "private" and len(fields) >= 3:
            table.private.setdefault(fields[1], set()).update(fields[2:])
        elif kind == "allow" and len(fields) == 3:
            table.allow[(fields[1], fields[2])] = number
        else:
            faults.append(f"{where}: cannot read \"{raw.strip()}\"")
    for header, targets in table.private.items():
        for target in sorted(targets - set(table.layers)):
            faults.append(f"{TABLE}: private {header} names {target}, which is no layer")
    for (file, header), number in table.allow.items():
        if header not in table.private:
            faults.append(f"{TABLE}:{number}: allow {file} {header}: {header} is not private")
    return table


def read_map(text):
    """target -> {"folder", "sources", "headers", "link_libraries", "interface_link_libraries"}"""
    targets = {}
    current = None
    for raw in text.splitlines():
        fields = raw.split()
        if not fields or fields[0].startswith("#"):
            continue
        if fields[0] == "target" and len(fields) >= 2:
            current = {"folder": fields[2] if len(fields) > 2 else "", "sources": [],
                       "headers": [], "link_libraries": [], "interface_link_libraries": []}
            targets[fields[1]] = current
        elif current is None:
            continue  # nothing belongs to no target
        elif fields[0] in ("source", "header") and len(fields) == 2:
            current[fields[0] + "s"].append(fields[1])
        elif fields[0] in ("link_libraries", "interface_link_libraries"):
            current[fields[0]] = fields[1:]
    return targets


def read_skipped(text):
    """The layers this configuration leaves out ("skipped <target>" lines)."""
    return {f[1] for f in (raw.split() for raw in text.splitlines())
            if len(f) == 2 and f[0] == "skipped"}


def table_closure(table, target):
    """The layers a target may use: its uses and theirs, and so on."""
    seen = set()
    stack = list(table.layers.get(target, ("", [], 0))[1])
    while stack:
        layer = stack.pop()
        if layer not in seen:
            seen.add(layer)
            stack.extend(table.layers[layer][1])
    return seen


def visible(targets, target):
    """The layer targets whose include folders a target compiles with."""
    seen = {target}
    stack = list(targets[target]["link_libraries"])
    while stack:
        layer = stack.pop()
        if layer not in seen and layer in targets:
            seen.add(layer)
            stack.extend(targets[layer]["interface_link_libraries"])
    return seen


def readme_uses(text):
    """folder -> set of targets in the "may use" column of the README's Design table."""
    rows = {}
    columns = None
    in_design = False
    for line in text.splitlines():
        if line.startswith("#"):
            in_design = line.strip() == "## Design"
            columns = None
            continue
        if not in_design or not line.startswith("|"):
            continue
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if columns is not None:
            cells += [""] * (len(columns) - len(cells))  # a short row has empty cells
        if columns is None:
            columns = [c.lower() for c in cells]
            continue
        if "folder" not in columns or "may use" not in columns or set("".join(cells)) <= set("-: "):
            continue
        folder = cells[columns.index("folder")].strip("`").rstrip("/")
        rows[folder] = set(re.findall(r"`([^`]+)`", cells[columns.index("may use")]))
    return rows


def check(root, table_text, map_text, readme_text=None, read=None):
    """Every fault as one line "file:line: what is wrong"."""
    if read is None:
        def read(path):
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                return f.read()
    faults = []
    table = read_table(table_text, faults)
    targets = read_map(map_text)

    def named(target):
        folder = table.layers[target][0] if target in table.layers else targets[target]["folder"]
        return f"{target} ({folder}/)"

    for target in targets:
        if target not in table.layers:
            faults.append(f"{TABLE}: {target} ({targets[target]['folder']}/) has no line: add "
                          f"\"layer {target} {targets[target]['folder']} <layers it may use>\"")
    skipped = read_skipped(map_text)
    for target in table.order:
        if target not in targets and target not in skipped:
            faults.append(f"{TABLE}:{table.layers[target][2]}: {target} is built without "
                          "ostrander_layer() in its folder")

    # Links: within what the table lets each layer use.
    for target, entry in targets.items():
        allowed = table_closure(table, target)
        for library in entry["link_libraries"]:
            if target in table.layers and library not in allowed and library != target:
                faults.append(f"{named(target)} links {named(library)}, which {TABLE} "
                              "does not let it use")

    # Includes: each file checked for the target that owns it (a header) or
    # compiles it (a source).
    owner = {}
    for target, entry in targets.items():
        for header in entry["headers"]:
            owner[header] = target
    files = {}
    for target, entry in targets.items():
        for source in entry["sources"]:
            if source not in owner:
                files.setdefault(source, set()).add(target)
    for header, target in owner.items():
        files.setdefault(header, set()).add(target)

    allowances_used = set()
    for path in sorted(files):
        try:
            text = read(path)
        except OSError:
            continue  # a generated file not made yet
        for number, line in enumerate(text.splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            header = match.group(1)
            where = f"{path}:{number}: includes {header}"
            for target in sorted(files[path]):
                used = owner.get(header)
                if used is None:
                    if os.path.exists(os.path.join(root, header)):
                        faults.append(f"{where}, which is a header of no layer ({named(target)})")
                    else:
                        faults.append(f"{where}, which is no root-relative path of a layer "
                                      f"header ({named(target)})")
                    continue
                if used != target:
                    if used not in visible(targets, target):
                        faults.append(f"{where}: {named(target)} does not link {named(used)}")
                    elif target in table.layers and used not in table_closure(table, target):
                        faults.append(f"{where}: {TABLE} does not let {named(target)} use "
                                      f"{named(used)}")
                if header in table.private and target not in table.private[header]:
                    if (path, header) in table.allow:
                        allowances_used.add((path, header))
                    else:
                        only = ", ".join(sorted(table.private[header]))
                        faults.append(f"{where}, which is private to {only}, in "
                                      f"{named(target)}")
    for key, number in sorted(table.allow.items(), key=lambda item: item[1]):
        if key not in allowances_used:
            faults.append(f"{TABLE}:{number}: {key[0]} no longer includes {key[1]}: "
                          "remove its allow line")

    if readme_text is not None:
        rows = readme_uses(readme_text)
        folders = {}
        for target in table.order:
            folders.setdefault(table.layers[target][0], []).append(target)
        for folder, own in folders.items():
            expected = {u for t in own for u in table.layers[t][1]} - set(own)
            if folder not in rows:
                faults.append(f"README.md: the Design table has no row with a \"may use\" "
                              f"cell for {folder}/")
            elif rows[folder] != expected:
                faults.append(f"README.md: the Design table lets {folder}/ use "
                              f"{' '.join(sorted(rows[folder])) or 'nothing'}, {TABLE} "
                              f"{' '.join(sorted(expected)) or 'nothing'}")
    return faults


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root, map_path = argv[1], argv[2]
    try:
        with open(os.path.join(root, TABLE), encoding="utf-8") as f:
            table_text = f.read()
        with open(map_path, encoding="utf-8") as f:
            map_text = f.read()
        readme_text = None
        if len(argv) == 4:
            with open(argv[3], encoding="utf-8") as f:
                readme_text = f.read()
    except OSError as error:
        print(f"check_layers: {error}", file=sys.stderr)
        return 2
    faults = check(root, table_text, map_text, readme_text)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} layer fault(s); the layers and what each may use are in {TABLE}")
        return 1
    targets = read_map(map_text)
    files = {f for e in targets.values() for f in e["sources"] + e["headers"]}
    print(f"layer rule holds: {len(targets)} targets, {len(files)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
