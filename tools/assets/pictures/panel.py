"""Placeholder."""
from pictures.placeholder import cells

BITMAPS = {125: lambda: cells(125), }
