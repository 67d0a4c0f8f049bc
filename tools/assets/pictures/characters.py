"""Placeholder."""
from pictures.placeholder import cells

BITMAPS = {108: lambda: cells(108), }
