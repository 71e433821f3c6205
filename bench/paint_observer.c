/* Watches the X server for top-level windows being mapped and, through the DAMAGE extension,
 * for the first drawing into each: prints "paint SERVER_MS NAME" (the server's timestamp of
 * that event), then asks the window to close (WM_DELETE_WINDOW) after HOLD_MS for the first
 * window and at once for the others. Runs until killed. Arguments: [HOLD_MS]. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#define MAX_WINDOWS 256

static struct {
  Window window;
  Damage damage;
  int painted;
  long close_at;  /* monotonic ms; 0 when not due */
} seen[MAX_WINDOWS];
static int nseen;

static long now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static void close_window(Display* d, Window w) {
  XEvent e = {0};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
}

/* A window may be gone before its damage is subtracted: that is no error here. */
static int ignore_errors(Display* d, XErrorEvent* e) { return 0; }

int main(int argc, char** argv) {
  const long hold = argc > 1 ? atol(argv[1]) : 0;
  Display* d = XOpenDisplay(NULL);
  int damage_event, damage_error;
  if (!d || !XDamageQueryExtension(d, &damage_event, &damage_error))
    return fprintf(stderr, "no display with DAMAGE\n"), 1;
  XSetErrorHandler(ignore_errors);
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XSync(d, False);
  setvbuf(stdout, NULL, _IOLBF, 0);
  for (;;) {
    long wait = -1;
    for (int i = 0; i < nseen; ++i)
      if (seen[i].close_at) {
        long left = seen[i].close_at - now_ms();
        if (left <= 0) {
          close_window(d, seen[i].window);
          seen[i].close_at = 0;
        } else if (wait < 0 || left < wait) {
          wait = left;
        }
      }
    if (!XPending(d)) {
      struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
      poll(&p, 1, wait < 0 ? 1000 : (int)wait);
      if (!XPending(d)) continue;
    }
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == MapNotify && !e.xmap.override_redirect && nseen < MAX_WINDOWS) {
      seen[nseen].window = e.xmap.window;
      seen[nseen].damage = XDamageCreate(d, e.xmap.window, XDamageReportNonEmpty);
      seen[nseen].painted = 0;
      seen[nseen].close_at = 0;
      ++nseen;
    } else if (e.type == damage_event + XDamageNotify) {
      const XDamageNotifyEvent* de = (const XDamageNotifyEvent*)&e;
      for (int i = 0; i < nseen; ++i)
        if (seen[i].damage == de->damage && !seen[i].painted) {
          char* name = NULL;
          XFetchName(d, seen[i].window, &name);
          printf("paint %lu %s\n", (unsigned long)de->timestamp, name ? name : "?");
          if (name) XFree(name);
          seen[i].painted = 1;
          seen[i].close_at = now_ms() + (i == 0 ? hold : 0) + 1;
        }
      XDamageSubtract(d, de->damage, None, None);
    }
  }
}
