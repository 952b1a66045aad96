/* Shows a screen compiled into the program in a window of its own, in the
 * pixels of the VGA card's font: tremlox::screen draws the art into cells
 * and paints the cells, band by band, straight into an SDL texture. The
 * program needs no font and no glyph code of its own.
 *
 *     sdl_viewer [--save FILE.bmp]
 *
 * The arrow keys, Page Up and Page Down scroll a screen taller than the
 * window; Escape or closing the window quits. Blinking glyphs blink, by
 * painting the hidden phase every other half second. With --save, the
 * first picture the window shows is also written to FILE.bmp and the
 * program ends: a check that runs without a display, under SDL's dummy
 * video driver. */
#include "sdl_screen.h"

#include <tremlox/screen.h>

#include <SDL.h>

#include <stdbool.h>
#include <stdio.h>
#include <string.h>

enum { tallest_window = 800, blink_milliseconds = 500, lines_per_key = 16 };

struct viewer {
    struct tremlox_grid *grid;
    struct tremlox_picture_options picture;
    unsigned width, height; /* of the whole picture */
    unsigned window_height; /* the part of it shown */
    unsigned top;           /* its first pixel row in the window */
    SDL_Renderer *renderer;
    SDL_Texture *texture;
};

static int fail(const char *what) {
    fprintf(stderr, "sdl_viewer: %s: %s\n", what, SDL_GetError());
    return 1;
}

/* Paints the rows the window shows into the texture: the library writes
 * RGBA bytes, which SDL_PIXELFORMAT_RGBA32 names on every byte order. */
static bool paint(struct viewer *viewer) {
    void *pixels;
    int pitch;
    bool painted;
    if (SDL_LockTexture(viewer->texture, NULL, &pixels, &pitch) != 0)
        return false;
    painted = tremlox_grid_paint(viewer->grid, &viewer->picture, viewer->top,
                                 viewer->window_height, pixels, (size_t)pitch) == 0;
    SDL_UnlockTexture(viewer->texture);
    return painted && SDL_RenderCopy(viewer->renderer, viewer->texture, NULL, NULL) == 0;
}

static void scroll(struct viewer *viewer, int by) {
    const long last_top = (long)viewer->height - (long)viewer->window_height;
    long top = (long)viewer->top + by;
    viewer->top = (unsigned)(top < 0 ? 0 : top > last_top ? last_top : top);
}

static bool save(SDL_Renderer *renderer, unsigned width, unsigned height, const char *name) {
    SDL_Surface *surface =
        SDL_CreateRGBSurfaceWithFormat(0, (int)width, (int)height, 32, SDL_PIXELFORMAT_RGBA32);
    bool saved = surface != NULL &&
                 SDL_RenderReadPixels(renderer, NULL, SDL_PIXELFORMAT_RGBA32, surface->pixels,
                                      surface->pitch) == 0 &&
                 SDL_SaveBMP(surface, name) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

static int show(struct viewer *viewer, const char *save_as) {
    SDL_Window *window = SDL_CreateWindow("tremlox", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, (int)viewer->width,
                                          (int)viewer->window_height, 0);
    bool blink_hidden = false;
    int status = 0;
    if (window == NULL)
        return fail("window");
    viewer->renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    viewer->texture =
        viewer->renderer == NULL
            ? NULL
            : SDL_CreateTexture(viewer->renderer, SDL_PIXELFORMAT_RGBA32,
                                SDL_TEXTUREACCESS_STREAMING, (int)viewer->width,
                                (int)viewer->window_height);
    if (viewer->texture == NULL)
        status = fail("renderer");
    while (status == 0) {
        SDL_Event event;
        if (!paint(viewer)) {
            status = fail("painting");
            break;
        }
        if (save_as != NULL) {
            if (!save(viewer->renderer, viewer->width, viewer->window_height, save_as))
                status = fail(save_as);
            break;
        }
        SDL_RenderPresent(viewer->renderer);
        if (!SDL_WaitEventTimeout(&event, blink_milliseconds)) {
            blink_hidden = !blink_hidden;
            viewer->picture.blink_hidden = blink_hidden;
            continue;
        }
        if (event.type == SDL_QUIT ||
            (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE))
            break;
        if (event.type == SDL_KEYDOWN) {
            const int page = (int)viewer->window_height;
            switch (event.key.keysym.sym) {
            case SDLK_UP: scroll(viewer, -lines_per_key); break;
            case SDLK_DOWN: scroll(viewer, lines_per_key); break;
            case SDLK_PAGEUP: scroll(viewer, -page); break;
            case SDLK_PAGEDOWN: scroll(viewer, page); break;
            default: break;
            }
        }
    }
    if (viewer->texture != NULL)
        SDL_DestroyTexture(viewer->texture);
    if (viewer->renderer != NULL)
        SDL_DestroyRenderer(viewer->renderer);
    SDL_DestroyWindow(window);
    return status;
}

int main(int argc, char **argv) {
    const struct tremlox_picture_options defaults = TREMLOX_PICTURE_OPTIONS_INIT;
    struct viewer viewer = {0};
    const char *save_as = NULL;
    int status;
    if (argc == 3 && strcmp(argv[1], "--save") == 0) {
        save_as = argv[2];
    } else if (argc != 1) {
        fprintf(stderr, "usage: sdl_viewer [--save FILE.bmp]\n");
        return 2;
    }
    viewer.picture = defaults;
    viewer.grid = tremlox_screen_draw(sdl_screen, sdl_screen_size, NULL);
    if (viewer.grid == NULL ||
        tremlox_grid_picture_size(viewer.grid, &viewer.picture, &viewer.width, &viewer.height) != 0 ||
        viewer.width == 0 || viewer.height == 0) {
        fprintf(stderr, "sdl_viewer: the screen cannot be painted\n");
        tremlox_grid_free(viewer.grid);
        return 1;
    }
    viewer.window_height = viewer.height < tallest_window ? viewer.height : tallest_window;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        tremlox_grid_free(viewer.grid);
        return fail("SDL");
    }
    status = show(&viewer, save_as);
    SDL_Quit();
    tremlox_grid_free(viewer.grid);
    return status;
}
