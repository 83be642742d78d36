/* Times a program's start-up as seen on the X display: starts the command, finds its
 * top-level window by title and polls the window's pixels every few milliseconds.
 *
 *   first-frame-probe --title T --ref FILE [--save] [--click X,Y --watch X,Y,W,H]
 *                     [--settle MS] [--timeout MS] -- COMMAND [ARG...]
 *
 * With --save the run records references for later runs: the settled window (after
 * --settle ms) and, when --click is given, the watched rectangle once the click has
 * settled. Without --save it prints the milliseconds from starting the command to
 *   shown=   the window mapped,
 *   frame=   the window first showing its settled picture (75 % of a sample grid equal:
 *            what an animation changes is allowed to differ),
 *   watched= the watched rectangle first equal to its reference (after the click, which is
 *            sent as soon as the frame is seen).
 * The command runs in a process group of its own, which is ended at the end. */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kGridStep = 8, kPollUs = 2000 };

typedef struct {
    int x, y, w, h;
} Rect;

static double now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

/* The title's bytes as stored, whatever their encoding (a Chinese title is COMPOUND_TEXT in
 * WM_NAME and UTF-8 in _NET_WM_NAME; the ASCII part of either matches). */
static int property_contains(Display* dpy, Window w, const char* property, const char* text) {
    Atom atom = XInternAtom(dpy, property, False), type;
    int format, match = 0;
    unsigned long count, after;
    unsigned char* value = NULL;
    if (XGetWindowProperty(dpy, w, atom, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &value) == Success &&
        value) {
        match = format == 8 && memmem(value, count, text, strlen(text)) != NULL;
        XFree(value);
    }
    return match;
}

static int title_matches(Display* dpy, Window w, const char* title) {
    return property_contains(dpy, w, "WM_NAME", title) ||
           property_contains(dpy, w, "_NET_WM_NAME", title);
}

/* A mapped top-level window whose title contains title, or 0. */
static Window find_window(Display* dpy, const char* title) {
    Window root = DefaultRootWindow(dpy), parent, *children = NULL, found = 0;
    unsigned int count = 0;
    if (!XQueryTree(dpy, root, &root, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable &&
            a.width > 100 && title_matches(dpy, children[i], title))
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

/* Samples of the rectangle: every step-th pixel in both directions. */
static size_t sample(Display* dpy, Window w, Rect r, int step, uint32_t* out) {
    XImage* img = XGetImage(dpy, w, r.x, r.y, (unsigned)r.w, (unsigned)r.h, AllPlanes, ZPixmap);
    if (!img)
        return 0;
    size_t n = 0;
    for (int y = 0; y < r.h; y += step)
        for (int x = 0; x < r.w; x += step)
            out[n++] = (uint32_t)XGetPixel(img, x, y) & 0xFFFFFF;
    XDestroyImage(img);
    return n;
}

static double equal_share(const uint32_t* a, const uint32_t* b, size_t n) {
    size_t same = 0;
    for (size_t i = 0; i < n; ++i)
        same += a[i] == b[i];
    return n ? (double)same / n : 0;
}

static int parse_ints(const char* text, int* v, int count) {
    for (int i = 0; i < count; ++i) {
        char* end;
        v[i] = (int)strtol(text, &end, 10);
        if (end == text || (i + 1 < count && *end != ','))
            return 0;
        text = end + 1;
    }
    return 1;
}

static int save_samples(const char* path, const uint32_t* s, size_t n) {
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    int ok = fwrite(&n, sizeof n, 1, f) == 1 && fwrite(s, 4, n, f) == n;
    return fclose(f) == 0 && ok;
}

static size_t load_samples(const char* path, uint32_t* s, size_t max) {
    FILE* f = fopen(path, "rb");
    size_t n = 0;
    if (!f)
        return 0;
    if (fread(&n, sizeof n, 1, f) != 1 || n > max || fread(s, 4, n, f) != n)
        n = 0;
    fclose(f);
    return n;
}

static void click(Window w, int x, int y) {
    char win[32], xs[16], ys[16];
    snprintf(win, sizeof win, "%lu", (unsigned long)w);
    snprintf(xs, sizeof xs, "%d", x);
    snprintf(ys, sizeof ys, "%d", y);
    pid_t pid = fork();
    if (pid == 0) {
        execlp("xdotool", "xdotool", "mousemove", "--window", win, xs, ys, "click", "1",
               (char*)NULL);
        _exit(127);
    }
    if (pid > 0)
        waitpid(pid, NULL, 0);
}

typedef struct {
    const char* title;
    const char* ref;
    int save;
    int has_click, cx, cy;
    int has_watch;
    Rect watch;
    int settle_ms, timeout_ms;
    char** command;
} Options;

static int parse_options(int argc, char** argv, Options* o) {
    memset(o, 0, sizeof *o);
    o->settle_ms = 3000;
    o->timeout_ms = 20000;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(a, "--") == 0) {
            o->command = argv + i + 1;
            return o->title && o->ref && o->command[0];
        }
        if (strcmp(a, "--save") == 0) {
            o->save = 1;
            continue;
        }
        if (!v)
            return 0;
        ++i;
        int xy[2], rect[4];
        if (strcmp(a, "--title") == 0)
            o->title = v;
        else if (strcmp(a, "--ref") == 0)
            o->ref = v;
        else if (strcmp(a, "--settle") == 0)
            o->settle_ms = atoi(v);
        else if (strcmp(a, "--timeout") == 0)
            o->timeout_ms = atoi(v);
        else if (strcmp(a, "--click") == 0 && parse_ints(v, xy, 2))
            o->has_click = 1, o->cx = xy[0], o->cy = xy[1];
        else if (strcmp(a, "--watch") == 0 && parse_ints(v, rect, 4))
            o->has_watch = 1, o->watch = (Rect){rect[0], rect[1], rect[2], rect[3]};
        else
            return 0;
    }
    return 0;
}

static pid_t start(char** command) {
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        execvp(command[0], command);
        _exit(127);
    }
    if (pid > 0)
        setpgid(pid, pid);
    return pid;
}

static void stop(pid_t pid) {
    kill(-pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(pid, NULL, WNOHANG) == 0; ++i)
        usleep(10000);
    kill(-pid, SIGKILL);
    waitpid(pid, NULL, 0);
}

static void sleep_until(double t) {
    while (now_ms() < t)
        usleep(kPollUs);
}

/* The reference run: the settled window, then the watched rectangle after the click. */
static int record(Display* dpy, Window w, Rect whole, const Options* o, char* watch_path) {
    static uint32_t grid[1 << 16], rect[1 << 16];
    sleep_until(now_ms() + o->settle_ms);
    size_t n = sample(dpy, w, whole, kGridStep, grid);
    if (!n || !save_samples(o->ref, grid, n))
        return 0;
    if (!o->has_click)
        return 1;
    click(w, o->cx, o->cy);
    sleep_until(now_ms() + o->settle_ms);
    n = sample(dpy, w, o->watch, 1, rect);
    return n && save_samples(watch_path, rect, n);
}

/* A measured run: times of the frame and of the watched rectangle. */
static int measure(Display* dpy, Window w, Rect whole, const Options* o, const char* watch_path,
                   double t0, double* frame, double* watched) {
    static uint32_t ref[1 << 16], refRect[1 << 16], cur[1 << 16];
    size_t n = load_samples(o->ref, ref, 1 << 16);
    size_t m = o->has_click ? load_samples(watch_path, refRect, 1 << 16) : 0;
    if (!n || (o->has_click && !m))
        return 0;
    double deadline = t0 + o->timeout_ms;
    while (*frame < 0 && now_ms() < deadline) {
        double t = now_ms();
        if (sample(dpy, w, whole, kGridStep, cur) == n && equal_share(cur, ref, n) >= 0.75)
            *frame = t - t0;
        else
            usleep(kPollUs);
    }
    if (*frame < 0 || !o->has_click)
        return *frame >= 0;
    click(w, o->cx, o->cy);
    while (*watched < 0 && now_ms() < deadline) {
        double t = now_ms();
        if (sample(dpy, w, o->watch, 1, cur) == m && equal_share(cur, refRect, m) >= 0.98)
            *watched = t - t0;
        else
            usleep(kPollUs);
    }
    return *watched >= 0;
}

int main(int argc, char** argv) {
    Options o;
    if (!parse_options(argc, argv, &o)) {
        fprintf(stderr, "usage: see the head of first_frame_probe.c\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    char watch_path[4096];
    snprintf(watch_path, sizeof watch_path, "%s.watch", o.ref);
    double t0 = now_ms();
    pid_t pid = start(o.command);
    if (pid < 0)
        return 2;
    Window w = 0;
    while (!w && now_ms() < t0 + o.timeout_ms) {
        w = find_window(dpy, o.title);
        if (!w)
            usleep(kPollUs);
    }
    double shown = now_ms() - t0;
    int ok = 0;
    double frame = -1, watched = -1;
    if (w) {
        XWindowAttributes a;
        XGetWindowAttributes(dpy, w, &a);
        Rect whole = {0, 0, a.width, a.height};
        ok = o.save ? record(dpy, w, whole, &o, watch_path)
                    : measure(dpy, w, whole, &o, watch_path, t0, &frame, &watched);
    }
    stop(pid);
    XCloseDisplay(dpy);
    if (!ok) {
        fprintf(stderr, "no %s (window %s)\n", o.save ? "reference" : "frame",
                w ? "found" : "not found");
        return 1;
    }
    if (!o.save)
        printf("shown=%.0f frame=%.0f watched=%.0f\n", shown, frame, watched);
    return 0;
}
