#pragma once

// The C library keeps memory that was freed for later allocations instead of giving it back to
// the system; a game that loads a scene's pictures or a soundfont's instruments and then lets them
// go would carry the high-water mark of every load for the rest of its run.

// Big blocks (pictures, instrument samples, tables) each get pages of their own, returned the
// moment they are freed. Without it the C library raises its threshold to the size of any big
// block freed, and the next ones land among small allocations, where one live neighbour keeps
// the pages. Called once at start-up, before the threads.
void keepBigBlocksApart();

// Gives the free pages of every thread's heap back to the system. Takes a few milliseconds:
// called after loading (a scene's first frame, the soundfont, a song's instruments), never per
// frame.
void releaseFreeHeap();
