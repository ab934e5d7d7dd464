// An empty cursor, made with the plain CreatePixmap and CreateCursor requests. Xlib's own calls for
// them (XCreateBitmapFromData, XCreatePixmapCursor) first load libXcursor, and with it the cursor
// theme's files and the X resource files, to look for a themed cursor that an empty one never has: a
// few milliseconds of the saver's start, before it covers the screen. Kept apart from the backend's other
// files because Xlib's request header clashes with the Win32 names they see.

#include "empty_cursor.h"

#include <X11/Xlibint.h>

namespace x11 {

namespace {

// A 1x1 bitmap, cleared.
Pixmap empty_bitmap(Display *dpy, Window root) {
    LockDisplay(dpy);
    xCreatePixmapReq *req;
    GetReq(CreatePixmap, req);
    const Pixmap pixmap = XAllocID(dpy);
    req->depth = 1;
    req->pid = CARD32(pixmap);
    req->drawable = CARD32(root);
    req->width = req->height = 1;
    UnlockDisplay(dpy);
    SyncHandle();
    XGCValues values{};
    values.foreground = 0;
    GC gc = XCreateGC(dpy, pixmap, GCForeground, &values);
    XFillRectangle(dpy, pixmap, gc, 0, 0, 1, 1);
    XFreeGC(dpy, gc);
    return pixmap;
}

} // namespace

Cursor create_empty_cursor(Display *dpy, Window root) {
    Pixmap empty = empty_bitmap(dpy, root);
    LockDisplay(dpy);
    xCreateCursorReq *req;
    GetReq(CreateCursor, req);
    const Cursor cursor = XAllocID(dpy);
    req->cid = CARD32(cursor);
    req->source = CARD32(empty);
    req->mask = CARD32(empty);
    req->foreRed = req->foreGreen = req->foreBlue = 0;
    req->backRed = req->backGreen = req->backBlue = 0;
    req->x = req->y = 0;
    UnlockDisplay(dpy);
    SyncHandle();
    XFreePixmap(dpy, empty);
    return cursor;
}

} // namespace x11
