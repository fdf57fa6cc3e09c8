// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
//
// maplaunch PROGRAM [ARGS...]
// Starts PROGRAM on $DISPLAY and waits until it maps a top-level window of its
// own; prints "PID MILLISECONDS" (exec to map) and leaves the program running,
// its output sent to stderr.
// Watching the root window's map events costs the program nothing, unlike
// polling the server from outside.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    auto *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name),
                                        nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

long windowPid(xcb_connection_t *c, xcb_window_t w, xcb_atom_t netWmPid)
{
    auto *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, netWmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    long pid = -1;
    if (reply && xcb_get_property_value_length(reply) >= 4)
        pid = *static_cast<uint32_t *>(xcb_get_property_value(reply));
    std::free(reply);
    return pid;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fputs("usage: maplaunch PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fputs("maplaunch: cannot open the display\n", stderr);
        return 1;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t netWmPid = atom(c, "_NET_WM_PID");
    xcb_flush(c);

    fcntl(xcb_get_file_descriptor(c), F_SETFD, FD_CLOEXEC);
    const double start = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        // Not xcb_disconnect(): it would shut the shared socket down for the
        // parent too. The descriptor closes on exec. The program's output
        // goes to stderr, so that stdout ends with this launcher.
        dup2(2, 1);
        execvp(argv[1], argv + 1);
        std::perror("maplaunch: exec");
        _exit(127);
    }
    pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        xcb_generic_event_t *event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c) || poll(&pfd, 1, 30000) <= 0) {
                std::fputs("maplaunch: no window mapped within 30 s\n", stderr);
                return 1;
            }
            continue;
        }
        const double at = nowMs();
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (!map->override_redirect && windowPid(c, map->window, netWmPid) == pid) {
                std::printf("%d %.1f\n", int(pid), at - start);
                std::free(event);
                xcb_disconnect(c);
                return 0;
            }
        }
        std::free(event);
    }
}
