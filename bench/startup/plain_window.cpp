// The memory floor of a window: a plain SDL program that opens a 640x480
// window the way the library does (accelerated renderer unless
// SDL_FRAMEBUFFER_ACCELERATION=0, then the window surface), shows 120 cleared
// frames and ends. Run under /usr/bin/time -v beside the game to see how much
// of the game's peak memory is the display stack's own.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <cstdio>
#include <cstring>

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 255;
    }
    SDL_Window* window = SDL_CreateWindow("plain", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          640, 480, SDL_WINDOW_RESIZABLE);
    if (window == nullptr) {
        std::fprintf(stderr, "no window: %s\n", SDL_GetError());
        return 1;
    }
    const char* acceleration = SDL_getenv("SDL_FRAMEBUFFER_ACCELERATION");
    const bool useSurface = acceleration != nullptr && std::strcmp(acceleration, "0") == 0;
    SDL_Renderer* renderer =
        useSurface ? nullptr : SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    for (int frame = 0; frame < 120; ++frame) {
        SDL_PumpEvents();
        if (renderer != nullptr) {
            SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
            SDL_RenderClear(renderer);
            SDL_RenderPresent(renderer);
        } else {
            SDL_Surface* surface = SDL_GetWindowSurface(window);
            if (surface != nullptr) {
                SDL_FillRect(surface, nullptr, 0);
                SDL_UpdateWindowSurface(window);
            }
        }
        SDL_Delay(16);
    }
    if (renderer != nullptr) {
        SDL_DestroyRenderer(renderer);
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
