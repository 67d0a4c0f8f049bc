"""Picture modules: one per bitmap family.  Each exposes BITMAPS, a dict
{resource id: function returning an (h, w, 3) uint8 array}."""
