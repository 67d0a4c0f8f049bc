/* The floor: a minimal SDL2 loop in a window of the game's size (SCALE x 800 x 600) that reads the
 * keyboard once per 1/60 s, right after waiting for the frame, draws a square whose colour follows
 * the arrow keys (white while one is held) and presents at once, through the same window surface
 * path the game uses.
 *
 *   latency_floor SCALE [X Y]   (the window's place on the screen; centred without)
 */
#include <SDL2/SDL.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    int scale = argc > 1 ? atoi(argv[1]) : 1;
    if (scale < 1) scale = 1;
    int x = argc > 3 ? atoi(argv[2]) : (int)SDL_WINDOWPOS_CENTERED, y = argc > 3 ? atoi(argv[3]) : (int)SDL_WINDOWPOS_CENTERED;
    /* As the game: the window surface in plain memory, not a texture of a GL renderer (which a
     * software GL makes far slower). */
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *w = SDL_CreateWindow("latency floor", x, y, 800 * scale, 600 * scale, 0);
    if (!w) return 1;
    Uint64 start = SDL_GetPerformanceCounter(), freq = SDL_GetPerformanceFrequency();
    for (long frame = 1;; ++frame) {
        Uint64 due = start + (Uint64)frame * freq / 60;
        Uint64 now = SDL_GetPerformanceCounter();
        if (now < due) SDL_Delay((Uint32)((due - now) * 1000 / freq));
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (e.type == SDL_QUIT) goto done;
        const Uint8 *keys = SDL_GetKeyboardState(NULL);
        int held = keys[SDL_SCANCODE_UP] | keys[SDL_SCANCODE_DOWN] | keys[SDL_SCANCODE_LEFT] | keys[SDL_SCANCODE_RIGHT];
        SDL_Surface *s = SDL_GetWindowSurface(w);
        if (!s) continue;
        SDL_FillRect(s, NULL, SDL_MapRGB(s->format, 0, 0, 0));
        SDL_Rect r = {300 * scale, 200 * scale, 200 * scale, 200 * scale};
        SDL_FillRect(s, &r, held ? SDL_MapRGB(s->format, 255, 255, 255) : SDL_MapRGB(s->format, 40, 40, 160));
        SDL_UpdateWindowSurface(w);
    }
done:
    SDL_Quit();
    return 0;
}
