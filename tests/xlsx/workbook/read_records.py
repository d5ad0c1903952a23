# Prints what a spreadsheet reader finds of a workbook's charts, comments and
# chartsheets.
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
print("sheets", book.sheetnames)
for sheet in book.worksheets:
    for row in sheet.iter_rows():
        for cell in row:
            if cell.comment is not None:
                print("comment", sheet.title, cell.coordinate, repr(cell.comment.text), cell.comment.author)
    for chart in sheet._charts:
        print("chart", sheet.title, type(chart).__name__, len(chart.series))
for sheet in book.chartsheets:
    for chart in sheet._charts:
        print("chartsheet", sheet.title, type(chart).__name__, len(chart.series))
