/* Key press to first changed pixel, timed from outside the programs under test, for two (or more)
 * windows of the same X display in one run, their trials interleaved so that whatever the machine
 * does meanwhile weighs on each alike.
 *
 *   latency_probe TRIALS TARGET...
 *
 * A TARGET is one argument of space-separated fields:
 *   name=NAME win=WINDOW mode=diff at=X,Y,W,H back=X,Y,W,H keys=KEY1,KEY2
 *   name=NAME win=WINDOW mode=track box=X,Y,W,H band=XMIN,XMAX keys=KEY1,KEY2 [step=N]
 * Each target gets TRIALS answered trials, in blocks of a few: the probe gives the target's window
 * the keyboard focus, lets it settle, and before each trial of the block waits a random 60..160 ms
 * (so the press falls at a random moment of the program's frame), reads the region as reference, presses the key through XTest, stamps the
 * moment (CLOCK_MONOTONIC) and reads the region again every 0.5 ms until it has changed (at most
 * one second), then releases the key. Trials of one target alternate KEY1 and KEY2, a key whose
 * trial saw no change being pressed again (track: KEY1 while the sprite is left of where it
 * started, else KEY2).
 *   diff:  any pixel of the region differs from the reference; KEY1 watches `at`, KEY2 `back`
 *          (for a menu: where the cursor arrives, which stays still until it does while the
 *          cursor itself may animate).
 *   track: a sprite (the ship) in the box W x H at X, Y at the start; the pixels of the box that
 *          stay the same over a few frames (the sprite, not the scrolling ground behind it nor
 *          its flickering flame) are its picture. Before each trial the sprite is found again
 *          along the row between XMIN and XMAX; during the trial it has moved when its picture
 *          fits much better a few pixels aside than where it stood, so enemies, bullets or an
 *          explosion passing over it do not count. A trial whose sprite cannot be found (lost,
 *          blinking) is skipped, not counted. step=N compares every Nth pixel (a window N times
 *          the picture's size).
 * Output, one line a trial: "NAME MILLISECONDS", "NAME timeout" or "NAME skip".
 * X errors (a read of a window being resized or gone) are caught and the read is tried again; a
 * window that stays unreadable ends the probe with a message.
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define MAX_TARGETS 4
#define SHIFT 24         /* pixels (of the picture) a sprite is looked for aside during a trial */
#define BLOCK 4          /* trials of one target after each change of the keyboard focus */
#define STABLE_READS 12  /* reads of the sprite's box that decide which of its pixels are it */

typedef struct {
    char name[32];
    Window win;
    int track;
    int region[2][4];  /* diff: x, y, w, h after KEY1 and after KEY2; track: box in region[0] */
    int bandMin, bandMax, step;
    KeyCode keys[2];
    int done, presses;
    /* track */
    unsigned *picture;
    unsigned char *mask;
    int maskCount, boxX, startX;
} Target;

static int xError;
static int onXError(Display *d, XErrorEvent *e) {
    (void)d;
    xError = e->error_code ? e->error_code : 1;
    return 0;
}

static double nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

static void sleepMs(double ms) {
    struct timespec t = {(time_t)(ms / 1000), (long)((ms - (time_t)(ms / 1000) * 1000) * 1e6)};
    nanosleep(&t, NULL);
}

/* Reads a w x h region of the window into out (0xRRGGBB). Retries through X errors for a while. */
static void grab(Display *d, Window win, int x, int y, int w, int h, unsigned *out) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        xError = 0;
        XImage *img = XGetImage(d, win, x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
        XSync(d, False);
        if (img && !xError) {
            for (int j = 0; j < h; ++j) {
                if (img->bits_per_pixel == 32) {
                    const unsigned *row = (const unsigned *)(img->data + (size_t)j * img->bytes_per_line);
                    for (int i = 0; i < w; ++i) out[j * w + i] = row[i] & 0xFFFFFFu;
                } else {
                    for (int i = 0; i < w; ++i) out[j * w + i] = (unsigned)XGetPixel(img, i, j) & 0xFFFFFFu;
                }
            }
            XDestroyImage(img);
            return;
        }
        if (img) XDestroyImage(img);
        sleepMs(5);
    }
    fprintf(stderr, "latency_probe: window 0x%lx cannot be read at %d,%d %dx%d (X error %d)\n", win, x, y, w, h,
            xError);
    exit(1);
}

/* How far the band, with the box's left edge at bx, is from the sprite's picture: the sum of the
 * colour differences over the picture's pixels. */
static long misfit(const Target *t, const unsigned *band, int bandW, int bx) {
    const int w = t->region[0][2], h = t->region[0][3];
    long sum = 0;
    for (int j = 0; j < h; j += t->step)
        for (int i = 0; i < w; i += t->step) {
            if (!t->mask[j * w + i]) continue;
            const unsigned a = band[j * bandW + bx + i], b = t->picture[j * w + i];
            for (int c = 0; c < 24; c += 8) sum += labs((long)((a >> c) & 255) - (long)((b >> c) & 255));
        }
    return sum;
}

/* The left edge (within the band read from x0, bandW wide) where the picture fits best. */
static int bestFit(const Target *t, const unsigned *band, int bandW, int from, int to, long *fit) {
    int best = from;
    long bestN = -1;
    for (int bx = from; bx <= to; ++bx) {
        if (bx < 0 || bx + t->region[0][2] > bandW) continue;
        long n = misfit(t, band, bandW, bx);
        if (bestN < 0 || n < bestN) {
            bestN = n;
            best = bx;
        }
    }
    *fit = bestN;
    return best;
}

static void learnSprite(Display *d, Target *t) {
    const int x = t->region[0][0], y = t->region[0][1], w = t->region[0][2], h = t->region[0][3];
    unsigned *read = calloc((size_t)w * h, sizeof *read);
    t->picture = calloc((size_t)w * h, sizeof *t->picture);
    t->mask = calloc((size_t)w * h, 1);
    for (int tries = 0; tries < 20; ++tries) {
        grab(d, t->win, x, y, w, h, t->picture);
        memset(t->mask, 1, (size_t)w * h);
        for (int r = 1; r < STABLE_READS; ++r) {
            sleepMs(23);
            grab(d, t->win, x, y, w, h, read);
            for (int k = 0; k < w * h; ++k)
                if (read[k] != t->picture[k]) t->mask[k] = 0;
        }
        t->maskCount = 0;
        for (int j = 0; j < h; j += t->step)
            for (int i = 0; i < w; i += t->step) t->maskCount += t->mask[j * w + i];
        /* A box mostly covered by something moving (an explosion, an enemy) is learnt again. */
        const int samples = ((w + t->step - 1) / t->step) * ((h + t->step - 1) / t->step);
        if (t->maskCount * 4 >= samples) break;
        sleepMs(200);
    }
    free(read);
    t->boxX = t->startX = x;
    fprintf(stderr, "latency_probe: %s: the sprite's picture is %d of the box's pixels\n", t->name, t->maskCount);
}

static int parseTarget(Display *d, char *spec, Target *t) {
    memset(t, 0, sizeof *t);
    t->step = 1;
    char k1[64] = "", k2[64] = "";
    for (char *f = strtok(spec, " "); f; f = strtok(NULL, " ")) {
        char *v = strchr(f, '=');
        if (!v) return 0;
        *v++ = 0;
        if (!strcmp(f, "name")) snprintf(t->name, sizeof t->name, "%s", v);
        else if (!strcmp(f, "win")) t->win = (Window)strtoul(v, NULL, 0);
        else if (!strcmp(f, "mode")) t->track = !strcmp(v, "track");
        else if (!strcmp(f, "at") || !strcmp(f, "box")) {
            int *r = t->region[0];
            if (sscanf(v, "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]) != 4) return 0;
        } else if (!strcmp(f, "back")) {
            int *r = t->region[1];
            if (sscanf(v, "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]) != 4) return 0;
        } else if (!strcmp(f, "band")) {
            if (sscanf(v, "%d,%d", &t->bandMin, &t->bandMax) != 2) return 0;
        } else if (!strcmp(f, "keys")) {
            if (sscanf(v, "%63[^,],%63s", k1, k2) != 2) return 0;
        } else if (!strcmp(f, "step")) t->step = atoi(v) > 0 ? atoi(v) : 1;
        else return 0;
    }
    if (!t->track) memcpy(t->region[1], t->region[1][2] > 0 ? t->region[1] : t->region[0], sizeof t->region[1]);
    t->keys[0] = XKeysymToKeycode(d, XStringToKeysym(k1));
    t->keys[1] = XKeysymToKeycode(d, XStringToKeysym(k2));
    return t->name[0] && t->win && t->region[0][2] > 0 && t->region[0][3] > 0 && t->keys[0] && t->keys[1] &&
           (!t->track || t->bandMax > t->bandMin);
}

/* One trial of a target; prints its line. */
static void trial(Display *d, Target *t, unsigned *ref, unsigned *cur) {
    sleepMs(60 + rand() % 100);
    int which = t->presses % 2;
    const int *r = t->region[t->track ? 0 : which];
    int x = r[0], y = r[1], w = r[2], h = r[3];
    int from = 0, to = 0, still = 0;
    long fit, calm = 0;
    if (t->track) {
        /* Where the sprite stands now, along the whole row. */
        const int bw = t->bandMax - t->bandMin;
        grab(d, t->win, t->bandMin, y, bw, h, cur);
        int at = bestFit(t, cur, bw, 0, bw - w, &fit);
        /* Found: on average its pixels within 24 levels of a colour channel. */
        if (fit > 24L * 3 * t->maskCount) {
            fprintf(stderr, "latency_probe: %s: no sprite along the row (best fit %ld at %d, %.1f a pixel)\n", t->name, fit,
                    t->bandMin + at, (double)fit / t->maskCount);
            printf("%s skip\n", t->name);
            fflush(stdout);
            sleepMs(100);
            return;
        }
        t->boxX = t->bandMin + at;
        /* Back towards where it started: a press held longer one way than the other must not
         * walk the sprite into a wall, where it cannot move. */
        which = t->boxX > t->startX ? 1 : 0;
        const int shift = SHIFT * t->step;
        x = t->boxX - shift;
        if (x < t->bandMin) x = t->bandMin;
        w = t->region[0][2] + 2 * shift;
        if (x + w > t->bandMax) w = t->bandMax - x;
        from = 0;
        to = w - t->region[0][2];
        still = t->boxX - x;
    } else {
        grab(d, t->win, x, y, w, h, ref);
    }
    const KeyCode key = t->keys[which];
    const double t0 = nowMs();
    XTestFakeKeyEvent(d, key, True, CurrentTime);
    XFlush(d);
    double t1 = -1;
    while (nowMs() - t0 < 1000) {
        grab(d, t->win, x, y, w, h, cur);
        int changed;
        if (t->track) {
            /* Moved: where it stood the picture fits clearly worse than it did (by 8 levels a
             * channel on average) and a few pixels aside it fits at least twice as well. */
            const long there = misfit(t, cur, w, still);
            const int best = bestFit(t, cur, w, from, to, &fit);
            changed = best != still && there > 2 * calm + 8L * 3 * t->maskCount && fit * 2 < there;
        } else {
            changed = memcmp(cur, ref, (size_t)w * h * sizeof *cur) != 0;
        }
        if (changed) {
            t1 = nowMs();
            break;
        }
        sleepMs(0.5);
    }
    XTestFakeKeyEvent(d, key, False, CurrentTime);
    XFlush(d);
    /* A press the program never showed (a stall longer than the wait) is made again, so a menu's
     * cursor and the regions watched for it never part ways. */
    if (t1 >= 0) ++t->presses;
    ++t->done;
    if (t1 < 0) printf("%s timeout\n", t->name);
    else printf("%s %.2f\n", t->name, t1 - t0);
    fflush(stdout);
}

/* latency_probe yellow WINDOW X,Y,W,H...: the index of the region with the most yellow pixels (a
 * menu's cursor), so a script can tell where it stands. The cursor animates: the count is summed
 * over a few frames. */
static int yellowest(Display *d, int argc, char **argv) {
    const Window win = (Window)strtoul(argv[2], NULL, 0);
    int counts[16] = {0}, regions = argc - 3 < 16 ? argc - 3 : 16;
    for (int read = 0; read < 10; ++read) {
        for (int a = 0; a < regions; ++a) {
            int x, y, w, h;
            if (sscanf(argv[a + 3], "%d,%d,%d,%d", &x, &y, &w, &h) != 4 || w <= 0 || h <= 0) return 2;
            unsigned *px = calloc((size_t)w * h, sizeof *px);
            grab(d, win, x, y, w, h, px);
            for (int k = 0; k < w * h; ++k) {
                const int r = (px[k] >> 16) & 255, g = (px[k] >> 8) & 255, b = px[k] & 255;
                counts[a] += r > 150 && g > 100 && b + 80 < r;
            }
            free(px);
        }
        sleepMs(17);
    }
    int best = -1, most = 0;
    for (int a = 0; a < regions; ++a)
        if (counts[a] > most) {
            most = counts[a];
            best = a;
        }
    printf("%d\n", best);
    return best < 0;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: latency_probe TRIALS TARGET... | latency_probe yellow WINDOW X,Y,W,H...\n");
        return 2;
    }
    Display *d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "latency_probe: no display\n");
        return 1;
    }
    XSetErrorHandler(onXError);
    if (!strcmp(argv[1], "yellow")) return yellowest(d, argc, argv);
    const int trials = atoi(argv[1]);
    int n = 0;
    Target targets[MAX_TARGETS];
    for (int a = 2; a < argc && n < MAX_TARGETS; ++a, ++n) {
        if (!parseTarget(d, argv[a], &targets[n])) {
            fprintf(stderr, "latency_probe: bad target: %s\n", argv[a]);
            return 2;
        }
    }
    size_t most = 0;
    for (int i = 0; i < n; ++i) {
        Target *t = &targets[i];
        size_t size = t->track ? (size_t)(t->bandMax - t->bandMin) * t->region[0][3]
                               : (size_t)(t->region[0][2] * t->region[0][3] > t->region[1][2] * t->region[1][3]
                                              ? t->region[0][2] * t->region[0][3]
                                              : t->region[1][2] * t->region[1][3]);
        if (size > most) most = size;
    }
    unsigned *ref = calloc(most, sizeof *ref), *cur = calloc(most, sizeof *cur);
    srand((unsigned)getpid() ^ (unsigned)nowMs());
    for (int i = 0; i < n; ++i)
        if (targets[i].track) {
            XSetInputFocus(d, targets[i].win, RevertToPointerRoot, CurrentTime);
            learnSprite(d, &targets[i]);
        }
    /* Rounds of one block per target, in a random order each round; skipped trials are made up
     * for, within reason. */
    for (int round = 0; round < trials * 3; ++round) {
        int order[MAX_TARGETS], left = 0;
        for (int i = 0; i < n; ++i)
            if (targets[i].done < trials) order[left++] = i;
        if (left == 0) break;
        for (int i = left - 1; i > 0; --i) {
            int j = rand() % (i + 1), s = order[i];
            order[i] = order[j];
            order[j] = s;
        }
        for (int i = 0; i < left; ++i) {
            Target *t = &targets[order[i]];
            /* SDL takes the keyboard focus only 200 ms after the X server gives it, and until then
             * a program that reads the keyboard while it has the focus (the game) reads nothing;
             * a block of trials follows each change of focus after that has settled. */
            XSetInputFocus(d, t->win, RevertToPointerRoot, CurrentTime);
            XSync(d, False);
            sleepMs(350);
            for (int b = 0; b < BLOCK && t->done < trials; ++b) trial(d, t, ref, cur);
        }
    }
    XCloseDisplay(d);
    return 0;
}
