# Prints what a spreadsheet reader finds in the data sheet's workbook: the
# sheet's title, every non-empty cell with its value, type and look (bold,
# italic, underline, horizontal alignment), and the column widths.
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
for sheet in book.worksheets:
    print("sheet", sheet.title)
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            font = cell.font
            look = ("b" if font.b else "-") + ("i" if font.i else "-") + ("u" if font.u else "-")
            print(cell.coordinate, repr(cell.value), cell.data_type, look, cell.alignment.horizontal or "-")
    for key, dim in sorted(sheet.column_dimensions.items()):
        print("col", key, dim.min, dim.max, dim.width)
