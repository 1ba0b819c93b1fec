#!/usr/bin/python3
"""Prints a workbook's sheets and cells as JSON, read by an independent library:
openpyxl for .xlsx, xlrd (formatting_info=True) for .xls. Run with Debian's /usr/bin/python3.

  read_workbook.py WORKBOOK              the workbook as one JSON document
  read_workbook.py --lines WORKBOOK...   one line per workbook, in the order given: its JSON document,
                                         or {"error": "..."} when it cannot be read

Output: {"format": "xlsx"|"xls", "active": <0-based index>, "sheets": [{"name": ..., "cells": [
  {"row": 1, "col": 1, "value": ..., "type": "s"|"n"|"d"|"b", "number_format": ...,
   "bold": bool, "underline": bool, "font_size": float}, ...],
  "widths": {"<col>": float, ...}, "freeze": "A2"|null}]}
Rows and columns count from 1. Text values are given as they are stored; numbers as numbers; date
cells as their serial number (type "d"). Empty cells that carry a format are listed with value null
and type "blank". "widths" has the columns (from 1) the file gives a width of their own, as the file
stores it in characters (.xls: its 1/256 units divided by 256); "freeze" the top left cell of the
scrolling pane when the panes are frozen.
"""
import json
import re
import sys

_XSTRING_ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def unescape_xstring(text):
    """Office Open XML strings carry characters XML cannot hold as _xHHHH_ (openpyxl keeps them)."""
    return _XSTRING_ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text)


def read_xlsx(path):
    import openpyxl
    with open(path, "rb") as f:  # a file object: openpyxl would judge a path by its extension
        wb = openpyxl.load_workbook(f)
    sheets = []
    for ws in wb.worksheets:
        cells = []
        # Only the cells the file holds: iter_rows() would walk the whole used rectangle.
        for _, c in sorted(ws._cells.items()):
            if c.value is None and not c.has_style:
                continue
            value = c.value
            if c.value is None:
                kind = "blank"
            elif c.data_type == "d" or c.is_date:
                kind = "d"
                from openpyxl.utils.datetime import to_excel
                value = to_excel(c.value)
            elif c.data_type == "n":
                kind = "n"
            elif c.data_type == "b":
                kind = "b"
            else:
                kind = "s"
                value = unescape_xstring(value)
            cells.append({
                "row": c.row, "col": c.column, "value": value, "type": kind,
                "number_format": c.number_format,
                "bold": bool(c.font.b), "underline": c.font.u not in (None, "none"),
                "font_size": float(c.font.sz) if c.font.sz is not None else None,
            })
        widths = {}
        for dim in ws.column_dimensions.values():
            if dim.width and dim.min:
                for col in range(dim.min, (dim.max or dim.min) + 1):
                    widths[str(col)] = dim.width
        sheets.append({"name": ws.title, "cells": cells, "widths": widths, "freeze": ws.freeze_panes})
    return {"format": "xlsx", "active": wb.index(wb.active), "sheets": sheets}


def read_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True, ragged_rows=True)
    active = 0
    sheets = []
    for index in range(book.nsheets):
        sh = book.sheet_by_index(index)
        if sh.sheet_visible:
            active = index
        cells = []
        for r in range(sh.nrows):
            for c in range(sh.row_len(r)):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                fmt = book.format_map.get(xf.format_key)
                kind = {xlrd.XL_CELL_TEXT: "s", xlrd.XL_CELL_NUMBER: "n", xlrd.XL_CELL_DATE: "d",
                        xlrd.XL_CELL_BOOLEAN: "b", xlrd.XL_CELL_BLANK: "blank"}.get(cell.ctype, "other")
                value = None if kind == "blank" else cell.value
                cells.append({
                    "row": r + 1, "col": c + 1, "value": value, "type": kind,
                    "number_format": fmt.format_str if fmt else "General",
                    "bold": font.weight >= 700, "underline": font.underline_type != 0,
                    "font_size": font.height / 20.0,
                })
        widths = {str(col + 1): info.width / 256.0 for col, info in sh.colinfo_map.items()}
        freeze = None
        if sh.panes_are_frozen:
            freeze = xlrd.formula.cellname(sh.horz_split_pos, sh.vert_split_pos)
        sheets.append({"name": sh.name, "cells": cells, "widths": widths, "freeze": freeze})
    return {"format": "xls", "active": active, "sheets": sheets}


def read_workbook(path):
    with open(path, "rb") as f:
        magic = f.read(8)
    if magic.startswith(b"PK"):
        return read_xlsx(path)
    if magic == b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1":
        return read_xls(path)
    raise ValueError("not a workbook: " + path)


def main():
    # json.dumps() and one write: json.dump() would encode in Python and write piece by piece, which
    # for a sheet of 65,536 rows takes far longer than reading the workbook.
    if len(sys.argv) >= 2 and sys.argv[1] == "--lines":
        # Many workbooks for one start of the interpreter and its readers. JSON escapes the line breaks
        # inside texts, so each document stays on its line.
        lines = []
        for path in sys.argv[2:]:
            try:
                lines.append(json.dumps(read_workbook(path), ensure_ascii=False))
            except Exception as e:  # one unreadable workbook must not hide the others
                lines.append(json.dumps({"error": "%s: %s" % (type(e).__name__, e)}, ensure_ascii=False))
        sys.stdout.write("".join(line + "\n" for line in lines))
        return
    if len(sys.argv) != 2:
        sys.exit("usage: read_workbook.py WORKBOOK | --lines WORKBOOK...")
    try:
        result = read_workbook(sys.argv[1])
    except ValueError as e:
        sys.exit(str(e))
    sys.stdout.write(json.dumps(result, ensure_ascii=False))


if __name__ == "__main__":
    main()
