#!/usr/bin/python3
"""Compares our .xlsx with a reference package (libxlsxwriter's) part by part.

Usage: compare_xlsx.py OURS.xlsx REFERENCE.xlsx

Worksheet parts are matched through the workbook's relationships (sheet name to part), so the two
may number their worksheet files differently. Every other part must have the same name. Within a
part, elements, their order, attributes and text must agree; differences that do not change the
document are allowed: whitespace inside tags, time stamps, number spellings of the same value, and
the theme beyond its colours and Latin fonts. Every part of OURS must also be well-formed for
xmllint. Prints the differences and exits 1 when there are any.
"""
import posixpath
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

REL_NS = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
MAIN_NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
PKG_REL_NS = "{http://schemas.openxmlformats.org/package/2006/relationships}"
CT_NS = "{http://schemas.openxmlformats.org/package/2006/content-types}"
DRAWING_NS = "{http://schemas.openxmlformats.org/drawingml/2006/main}"
TIME_TAGS = {"{http://purl.org/dc/terms/}created", "{http://purl.org/dc/terms/}modified"}


def sheet_parts(package):
    """Sheet name -> worksheet part name."""
    book = ET.fromstring(package.read("xl/workbook.xml"))
    rels = ET.fromstring(package.read("xl/_rels/workbook.xml.rels"))
    targets = {r.get("Id"): posixpath.normpath(posixpath.join("xl", r.get("Target"))) for r in rels}
    return {s.get("name"): targets[s.get(REL_NS + "id")] for s in book.iter(MAIN_NS + "sheet")}


def same_number(a, b):
    try:
        return float(a) == float(b) or abs(float(a) - float(b)) <= 1e-15 * max(abs(float(a)), 1.0)
    except (TypeError, ValueError):
        return False


def compare(ours, ref, where, rename, problems):
    if ours.tag != ref.tag:
        problems.append(f"{where}: element {ours.tag} where the reference has {ref.tag}")
        return
    here = f"{where}/{ref.tag.split('}')[-1]}"
    oa = {k: rename.get(v, v) for k, v in ours.attrib.items()}
    ra = {k: rename.get(v, v) for k, v in ref.attrib.items()}
    if oa != ra:
        problems.append(f"{here}: attributes {oa} against {ra}")
    ot, rt = (ours.text or "").strip(), (ref.text or "").strip()
    if ot != rt and ref.tag not in TIME_TAGS and not (ref.tag == MAIN_NS + "v" and same_number(ot, rt)):
        problems.append(f"{here}: text {ot!r} against {rt!r}")
    if len(ours) != len(ref):
        problems.append(f"{here}: {[c.tag for c in ours]} against {[c.tag for c in ref]}")
        return
    for o, r in zip(ours, ref):
        compare(o, r, here, rename, problems)


def main():
    ours, ref = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2])
    problems = []
    ours_sheets, ref_sheets = sheet_parts(ours), sheet_parts(ref)
    if list(ours_sheets) != list(ref_sheets):
        problems.append(f"sheets {list(ours_sheets)} against {list(ref_sheets)}")
    # Reference part name -> ours, as names and as the targets and part names that point at them.
    parts = {r: ours_sheets.get(n, r) for n, r in ref_sheets.items()}
    rename = {}
    for r, o in parts.items():
        rename[o] = r
        rename["/" + o] = "/" + r
        rename[posixpath.relpath(o, "xl")] = posixpath.relpath(r, "xl")
    ours_names = set(ours.namelist())
    mapped = {parts.get(n, n) for n in ref.namelist()}
    if ours_names != mapped:
        problems.append(f"parts {sorted(ours_names ^ mapped)} are in one package only")
    for name in ref.namelist():
        mine = parts.get(name, name)
        if mine not in ours_names:
            continue
        o, r = ET.fromstring(ours.read(mine)), ET.fromstring(ref.read(name))
        if name == "xl/theme/theme1.xml":
            elements = o.find(DRAWING_NS + "themeElements"), r.find(DRAWING_NS + "themeElements")
            for path in ("clrScheme", "fontScheme/majorFont/latin", "fontScheme/minorFont/latin"):
                path = "/".join(DRAWING_NS + step for step in path.split("/"))
                compare(elements[0].find(path), elements[1].find(path), name, {}, problems)
            continue
        if name == "[Content_Types].xml":  # a set of entries: sort both the same way
            o[:] = sorted(o, key=lambda e: (e.tag, rename.get(e.get("PartName"), e.get("PartName")) or e.get("Extension")))
            r[:] = sorted(r, key=lambda e: (e.tag, e.get("PartName") or e.get("Extension")))
        compare(o, r, name, rename, problems)
    with tempfile.TemporaryDirectory() as folder:
        ours.extractall(folder)
        for name in ours.namelist():
            lint = subprocess.run(["xmllint", "--noout", posixpath.join(folder, name)], capture_output=True, text=True)
            if lint.returncode != 0:
                problems.append(f"{name} is not well-formed: {lint.stderr.strip()}")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
