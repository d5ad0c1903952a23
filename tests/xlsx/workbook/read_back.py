# Prints what a spreadsheet reader finds in a workbook: every non-empty cell
# with its value, boldness and alignment, and every column width. With
# --read-only, what a streaming reader finds, which trusts each sheet's
# dimension: the dimension and every non-empty cell with its value.
import sys

import openpyxl

if sys.argv[1] == "--read-only":
    book = openpyxl.load_workbook(sys.argv[2], read_only=True)
    for sheet in book.worksheets:
        print("sheet", sheet.title, sheet.calculate_dimension())
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is not None:
                    print(cell.coordinate, repr(cell.value))
    book.close()
    sys.exit(0)

book = openpyxl.load_workbook(sys.argv[1])
for sheet in book.worksheets:
    print("sheet", sheet.title)
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            align = cell.alignment
            print(cell.coordinate, repr(cell.value), "bold" if cell.font.b else "-",
                  align.horizontal or "-", align.vertical or "-")
    for key, dim in sorted(sheet.column_dimensions.items()):
        print("col", key, dim.min, dim.max, dim.width)
