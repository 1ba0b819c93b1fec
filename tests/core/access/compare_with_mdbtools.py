#!/usr/bin/python3
"""Reads every user table of each database given with tabvert-cli and with mdbtools' mdb-export and
compares them: the same user tables as mdb-tables, the same row counts, and the same values allowing for
the two programs' text forms. Where mdbtools is known to be wrong (dates before 1900, GUIDs, characters
beyond the Basic Multilingual Plane, Large Number columns, memos cut at its bind size, Jet 3 code pages)
the difference is counted, not failed. Exit status 0 when everything agrees."""

import csv
import datetime
import re
import subprocess
import sys

csv.field_size_limit(1 << 30)


def run(args, check=True):
    p = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if check and p.returncode != 0:
        raise RuntimeError("%s failed: %s" % (args, p.stderr.decode("utf-8", "replace")))
    return p.stdout.decode("utf-8", "surrogateescape"), p.returncode


def unescape(cell):
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}[m.group(1)], cell)


def parse_ours_date(text):
    for fmt in ("%m/%d/%Y %I:%M:%S %p", "%m/%d/%Y", "%I:%M:%S %p"):
        try:
            d = datetime.datetime.strptime(text, fmt)
        except ValueError:
            continue
        if fmt == "%I:%M:%S %p":
            d = d.replace(year=1899, month=12, day=30)
        return d
    return None


def as_number(text):
    try:
        return float(text)
    except ValueError:
        return None


def compare_cell(mdb, ours, faults):
    """True when the two texts denote the same value; known mdbtools faults are counted in faults."""
    if mdb == ours:
        return True
    if (mdb, ours) in (("1", "True"), ("0", "False")):
        return True
    m, o = as_number(mdb), as_number(ours)
    if m is not None and o is not None:
        return abs(m - o) <= 1e-6 * max(1.0, abs(m), abs(o))
    od = parse_ours_date(ours)
    if od is not None:
        try:
            md = datetime.datetime.strptime(mdb, "%Y-%m-%d %H:%M:%S")
            if md == od:
                return True
        except ValueError:
            pass
        if od.year < 1900:
            faults["date before 1900"] = faults.get("date before 1900", 0) + 1
            return True
        return False
    if re.fullmatch(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}", ours):
        shown = mdb
        if re.fullmatch(r"([0-9A-Fa-f]{2})+", mdb):  # with -b hex, mdb-export codes its GUID text too
            shown = bytes.fromhex(mdb).decode("ascii", "replace")
        if re.sub(r"[^0-9A-F]", "", shown.upper()) == re.sub(r"[^0-9A-F]", "", ours):
            faults["GUID"] = faults.get("GUID", 0) + 1
            return True
        return False
    if mdb == "" and re.fullmatch(r"-?\d+", ours):
        faults["Large Number"] = faults.get("Large Number", 0) + 1
        return True
    if any(ord(c) > 0xFFFF for c in ours):
        if re.sub(r"[\U00010000-\U0010FFFF]", "??", ours) == mdb:
            faults["beyond the BMP"] = faults.get("beyond the BMP", 0) + 1
            return True
    if len(mdb) >= 8192 and len(ours) > len(mdb) and ours.startswith(mdb):
        faults["memo cut"] = faults.get("memo cut", 0) + 1
        return True
    if mdb.upper() == ours.upper() and re.fullmatch(r"[0-9A-Fa-f]*", mdb):
        return True
    return False


def rows_match(mr, orow, jet3_gbk):
    if len(mr) != len(orow):
        return False
    return all((jet3_gbk and mv != ov) or compare_cell(mv, ov, {}) for mv, ov in zip(mr, orow))


def reorder_like(mdb_rows, ours_rows, jet3_gbk):
    """mdb_rows rearranged to the order of ours_rows, or None when they are not the same rows."""
    left = list(mdb_rows)
    ordered = []
    for orow in ours_rows:
        for i, mr in enumerate(left):
            if rows_match(mr, orow, jet3_gbk):
                ordered.append(left.pop(i))
                break
        else:
            return None
    return ordered


def same_rows_in_other_order(mdb_rows, ours_rows, jet3_gbk):
    if len(mdb_rows) != len(ours_rows) or len(mdb_rows) > 5001:
        return False
    if all(rows_match(m, o, jet3_gbk) for m, o in zip(mdb_rows[1:], ours_rows[1:])):
        return False
    return reorder_like(mdb_rows[1:], ours_rows[1:], jet3_gbk) is not None


def unknown_columns(path, table):
    """Columns of a type mdbtools does not know (complex, Date/Time Extended): it prints their raw key or
    nothing, so their values are not compared."""
    text, rc = run(["mdb-schema", "-T", table, path], check=False)
    return set(re.findall(r"^\s*\[(.*)\]\s+Unknown_00[0-9A-Fa-f]{2}", text, re.M)) if rc == 0 else set()


def compare_database(cli, path, password, jet3_gbk, report):
    ok = True
    pw = ["--password", password] if password else []
    ours_tables_text, _ = run([cli, "tables", path] + pw)
    ours_tables = [line.split("\t") for line in ours_tables_text.splitlines()]
    ours_user = sorted(name for name, kind in ours_tables if kind == "TABLE")
    mdb_user_text, _ = run(["mdb-tables", "-1", path])
    mdb_user = sorted(t for t in mdb_user_text.splitlines() if t)
    if ours_user != mdb_user:
        report.append("%s: user tables differ: ours %s, mdb-tables %s" % (path, ours_user, mdb_user))
        return False
    for table in ours_user:
        ours_text, rc = run([cli, "rows", path, table, "--locale", "en_US"] + pw, check=False)
        env_args = ["mdb-export", "-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S", "-b", "hex", path, table]
        mdb_text, mrc = run(env_args, check=False)
        if rc != 0 or mrc != 0:
            report.append("%s [%s]: exit status ours %d, mdb-export %d" % (path, table, rc, mrc))
            ok = False
            continue
        ours_rows = [[unescape(c) for c in line.split("\t")] for line in ours_text.split("\n")[:-1]]
        mdb_rows = list(csv.reader(mdb_text.splitlines(keepends=True)))
        if len(ours_rows) != len(mdb_rows):
            report.append("%s [%s]: %d rows, mdb-export %d" % (path, table, len(ours_rows) - 1, len(mdb_rows) - 1))
            ok = False
            continue
        faults = {}
        if mdb_rows[1:] != ours_rows[1:] and same_rows_in_other_order(mdb_rows, ours_rows, jet3_gbk):
            # mdbtools reads a row that grew and moved where its data now lies; Jet, and we, in its slot.
            faults["row order"] = 1
            mdb_rows = [mdb_rows[0]] + reorder_like(mdb_rows[1:], ours_rows[1:], jet3_gbk)
        bad = 0
        unknown = unknown_columns(path, table)
        skipped = {i for i, name in enumerate(mdb_rows[0]) if name in unknown}
        for r, (mr, orow) in enumerate(zip(mdb_rows, ours_rows)):
            if len(mr) != len(orow):
                report.append("%s [%s] row %d: %d fields, mdb-export %d" % (path, table, r, len(orow), len(mr)))
                bad += 1
                continue
            for c, (mv, ov) in enumerate(zip(mr, orow)):
                if r > 0 and c in skipped:
                    faults["type it does not know"] = faults.get("type it does not know", 0) + 1
                    continue
                if jet3_gbk and mv != ov:
                    faults["Jet 3 code page"] = faults.get("Jet 3 code page", 0) + 1
                    continue
                if not compare_cell(mv, ov, faults):
                    bad += 1
                    if bad <= 5:
                        report.append("%s [%s] row %d col %d: ours %r, mdb-export %r" % (path, table, r, c, ov[:80], mv[:80]))
        if bad:
            ok = False
        report.append("%s [%s]: %d rows%s%s" % (path, table, len(ours_rows) - 1, ", %d differences" % bad if bad else "",
                      "".join(", mdbtools wrong: %s x%d" % kv for kv in sorted(faults.items()))))
    return ok


def main():
    if len(sys.argv) < 3:
        print("usage: compare_with_mdbtools.py TABVERT_CLI DB[:PASSWORD]...", file=sys.stderr)
        return 2
    cli = sys.argv[1]
    report = []
    ok = True
    for arg in sys.argv[2:]:
        path, _, password = arg.partition("::")
        ok = compare_database(cli, path, password, path.endswith("charsetGBK.mdb"), report) and ok
    print("\n".join(report))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
