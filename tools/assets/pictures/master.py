"""Placeholder."""
from pictures.placeholder import cells

BITMAPS = {121: lambda: cells(121), }
