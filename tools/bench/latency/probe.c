/* Key press to first changed pixel, timed from outside the program under test.
 *
 *   latency_probe WINDOW X1 Y1 X2 Y2 W H KEY1 KEY2 TRIALS diff|track [HOLD_MS]
 *
 * Trials alternate KEY1 (watching the region W x H at X1, Y1 of WINDOW) and KEY2 (at X2, Y2).
 * Each trial waits a random 150..400 ms (a random moment of the watched program's frame), takes
 * the region as reference, presses the key through XTest and reads the region again and again
 * until it changes, then releases the key. One line per trial: the milliseconds from the press
 * to the first changed reading, or "timeout".
 *   diff:  any pixel of the region differs from the reference (for a menu: the region where the
 *          cursor arrives, which stays still until it does, while the cursor itself animates).
 *   track: the region is a horizontal band holding a sprite (the ship) in a box of H x H pixels
 *          centred at X + W/2 at the start; the box is found again in each reading by the least
 *          sum of differences within +-MAXSHIFT pixels, so whatever else moves in the band
 *          (enemies, bullets, a scrolling background) does not count: the trial ends when the
 *          sprite is found away from where it stood at the press.
 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define MAXSHIFT 24

static double nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

static unsigned *grab(Display *d, Window w, int x, int y, int wd, int ht, unsigned *out) {
    XImage *img = XGetImage(d, w, x, y, (unsigned)wd, (unsigned)ht, AllPlanes, ZPixmap);
    if (!img) return NULL;
    for (int j = 0; j < ht; ++j)
        for (int i = 0; i < wd; ++i) out[j * wd + i] = (unsigned)XGetPixel(img, i, j) & 0xFFFFFFu;
    XDestroyImage(img);
    return out;
}

static long boxDiff(const unsigned *band, int wd, int bx, const unsigned *box, int size) {
    long sum = 0;
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i) {
            unsigned a = band[j * wd + bx + i], b = box[j * size + i];
            for (int c = 0; c < 24; c += 8) sum += labs((long)((a >> c) & 255) - (long)((b >> c) & 255));
        }
    return sum;
}

/* Left edge of the box in the band nearest in picture to `box`, searched around `from`. */
static int findBox(const unsigned *band, int wd, const unsigned *box, int size, int from, int range) {
    int best = from;
    long bestSum = -1;
    for (int dx = -range; dx <= range; ++dx) {
        int bx = from + dx;
        if (bx < 0 || bx + size > wd) continue;
        long s = boxDiff(band, wd, bx, box, size);
        if (bestSum < 0 || s < bestSum || (s == bestSum && abs(dx) < abs(best - from))) {
            bestSum = s;
            best = bx;
        }
    }
    return best;
}

int main(int argc, char **argv) {
    if (argc < 12) {
        fprintf(stderr, "usage: latency_probe WINDOW X1 Y1 X2 Y2 W H KEY1 KEY2 TRIALS diff|track [HOLD_MS]\n");
        return 2;
    }
    Window win = (Window)strtoul(argv[1], NULL, 0);
    int xs[2] = {atoi(argv[2]), atoi(argv[4])}, ys[2] = {atoi(argv[3]), atoi(argv[5])};
    int x = xs[0], y = ys[0], wd = atoi(argv[6]), ht = atoi(argv[7]);
    int trials = atoi(argv[10]);
    int track = strcmp(argv[11], "track") == 0;
    int holdMs = argc > 12 ? atoi(argv[12]) : 0;
    Display *d = XOpenDisplay(NULL);
    if (!d) return 1;
    KeyCode keys[2] = {XKeysymToKeycode(d, XStringToKeysym(argv[8])), XKeysymToKeycode(d, XStringToKeysym(argv[9]))};
    unsigned *ref = calloc((size_t)wd * ht, sizeof *ref), *cur = calloc((size_t)wd * ht, sizeof *cur);
    unsigned *box = calloc((size_t)ht * ht, sizeof *box);
    srand((unsigned)getpid() ^ (unsigned)nowMs());
    int boxAt = wd / 2 - ht / 2;
    if (track) {
        if (!grab(d, win, x, y, wd, ht, ref)) return 1;
        for (int j = 0; j < ht; ++j) memcpy(box + j * ht, ref + j * wd + boxAt, (size_t)ht * sizeof *box);
    }
    for (int t = 0; t < trials; ++t) {
        usleep((useconds_t)(150000 + rand() % 250000));
        if (!track) {
            x = xs[t % 2];
            y = ys[t % 2];
        }
        if (!grab(d, win, x, y, wd, ht, ref)) return 1;
        if (track) boxAt = findBox(ref, wd, box, ht, boxAt, wd);
        KeyCode k = keys[t % 2];
        const double t0 = nowMs();
        XTestFakeKeyEvent(d, k, True, CurrentTime);
        XFlush(d);
        double t1 = -1;
        while (nowMs() - t0 < 1000) {
            if (!grab(d, win, x, y, wd, ht, cur)) return 1;
            int changed;
            if (track) {
                changed = findBox(cur, wd, box, ht, boxAt, MAXSHIFT) != boxAt;
            } else {
                changed = memcmp(cur, ref, (size_t)wd * ht * sizeof *cur) != 0;
            }
            if (changed) {
                t1 = nowMs();
                break;
            }
        }
        while (holdMs > 0 && nowMs() - t0 < holdMs) usleep(1000);
        XTestFakeKeyEvent(d, k, False, CurrentTime);
        XFlush(d);
        if (t1 < 0) printf("timeout\n");
        else printf("%.2f\n", t1 - t0);
        fflush(stdout);
    }
    XCloseDisplay(d);
    return 0;
}
