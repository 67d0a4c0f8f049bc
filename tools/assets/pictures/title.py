"""Placeholder."""
from pictures.placeholder import cells

BITMAPS = {112: lambda: cells(112), 111: lambda: cells(111), 105: lambda: cells(105), 124: lambda: cells(124), }
