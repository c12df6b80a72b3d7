"""Top-level windows of the X display in DISPLAY, through libX11 and the XTEST
extension (no tools needed): found by title, clicked and typed into, closed as a
window manager closes them (the WM_DELETE_WINDOW request), saved as PNG
pictures."""
import ctypes, ctypes.util, struct, zlib

_x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_xtest = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
_Window = ctypes.c_ulong


class _XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, enough to read its pixels.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", _Window), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


_x.XOpenDisplay.restype = ctypes.c_void_p
_x.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x.XDefaultRootWindow.restype = _Window
_x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x.XQueryTree.argtypes = [ctypes.c_void_p, _Window, ctypes.POINTER(_Window), ctypes.POINTER(_Window),
                          ctypes.POINTER(ctypes.POINTER(_Window)), ctypes.POINTER(ctypes.c_uint)]
_x.XFetchName.argtypes = [ctypes.c_void_p, _Window, ctypes.POINTER(ctypes.c_char_p)]
_x.XFree.argtypes = [ctypes.c_void_p]
_x.XGetGeometry.argtypes = [ctypes.c_void_p, _Window, ctypes.POINTER(_Window)] + \
    [ctypes.POINTER(ctypes.c_int)] * 2 + [ctypes.POINTER(ctypes.c_uint)] * 4
_x.XGetImage.restype = ctypes.POINTER(_XImage)
_x.XGetImage.argtypes = [ctypes.c_void_p, _Window, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                         ctypes.c_ulong, ctypes.c_int]
_x.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
_x.XInternAtom.restype = ctypes.c_ulong
_x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x.XSendEvent.argtypes = [ctypes.c_void_p, _Window, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
_x.XFlush.argtypes = [ctypes.c_void_p]
_x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x.XTranslateCoordinates.argtypes = [ctypes.c_void_p, _Window, _Window, ctypes.c_int, ctypes.c_int,
                                     ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(_Window)]
_x.XStringToKeysym.restype = ctypes.c_ulong
_x.XStringToKeysym.argtypes = [ctypes.c_char_p]
_x.XKeysymToKeycode.restype = ctypes.c_ubyte
_x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_xtest.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
_xtest.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
_xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

# Windows come and go while they are looked at: an error about one that has
# gone is no failure (Xlib's default handler would end the process).
_ErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_ignore_errors = _ErrorHandler(lambda display, error: 0)
_x.XSetErrorHandler.argtypes = [_ErrorHandler]
_x.XSetErrorHandler.restype = ctypes.c_void_p
_x.XSetErrorHandler(_ignore_errors)


class Display:
    def __init__(self):
        self.handle = _x.XOpenDisplay(None)
        assert self.handle, "no X display"

    def close(self):
        _x.XCloseDisplay(self.handle)

    def windows(self):
        """(window, title) of each child of the root window."""
        root, parent = _Window(), _Window()
        children, count = ctypes.POINTER(_Window)(), ctypes.c_uint()
        _x.XSync(self.handle, 0)
        if not _x.XQueryTree(self.handle, _x.XDefaultRootWindow(self.handle), ctypes.byref(root),
                             ctypes.byref(parent), ctypes.byref(children), ctypes.byref(count)):
            return []
        found = []
        for i in range(count.value):
            name = ctypes.c_char_p()
            if _x.XFetchName(self.handle, children[i], ctypes.byref(name)) and name.value is not None:
                found.append((children[i], name.value.decode(errors="replace")))
                _x.XFree(name)
        if children:
            _x.XFree(children)
        return found

    def find(self, title):
        """The first top-level window titled `title`, or None."""
        return next((window for window, name in self.windows() if name == title), None)

    def origin(self, window):
        """The window's top left corner on the screen."""
        x, y, child = ctypes.c_int(), ctypes.c_int(), _Window()
        _x.XTranslateCoordinates(self.handle, window, _x.XDefaultRootWindow(self.handle), 0, 0,
                                 ctypes.byref(x), ctypes.byref(y), ctypes.byref(child))
        return x.value, y.value

    def click(self, window, x, y):
        """A left click at (x, y) inside the window."""
        left, top = self.origin(window)
        _xtest.XTestFakeMotionEvent(self.handle, -1, left + x, top + y, 0)
        for down in (1, 0):
            _xtest.XTestFakeButtonEvent(self.handle, 1, down, 0)
        _x.XFlush(self.handle)

    def key(self, *names):
        """Presses the keys named (X key symbols: "Down", "Return", "Alt_L"...)
        together, then lets them go."""
        codes = [_x.XKeysymToKeycode(self.handle, _x.XStringToKeysym(name.encode())) for name in names]
        for code in codes:
            _xtest.XTestFakeKeyEvent(self.handle, code, 1, 0)
        for code in reversed(codes):
            _xtest.XTestFakeKeyEvent(self.handle, code, 0, 0)
        _x.XFlush(self.handle)

    def request_close(self, window):
        """What a window manager's close button does: WM_DELETE_WINDOW."""
        event = _ClientMessage(type=33, send_event=1, window=window, format=32,  # ClientMessage
                               message_type=_x.XInternAtom(self.handle, b"WM_PROTOCOLS", 0))
        event.data[0] = _x.XInternAtom(self.handle, b"WM_DELETE_WINDOW", 0)
        _x.XSendEvent(self.handle, window, 0, 0, ctypes.byref(event))
        _x.XFlush(self.handle)

    def picture(self, window):
        """The window's pixels as ((width, height), rows of PNG scanlines)."""
        root, x, y = _Window(), ctypes.c_int(), ctypes.c_int()
        width, height, border, depth = (ctypes.c_uint() for _ in range(4))
        _x.XGetGeometry(self.handle, window, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y),
                        ctypes.byref(width), ctypes.byref(height), ctypes.byref(border), ctypes.byref(depth))
        image = _x.XGetImage(self.handle, window, 0, 0, width.value, height.value, 0xFFFFFFFF, 2)  # ZPixmap
        assert image, "the window could not be read"
        picture = image.contents
        assert picture.bits_per_pixel == 32, picture.bits_per_pixel
        raw = ctypes.string_at(picture.data, picture.bytes_per_line * picture.height)
        size = (picture.width, picture.height)
        _x.XDestroyImage(image)
        rows = bytearray()
        for r in range(size[1]):
            pixels = raw[r * picture.bytes_per_line:][:size[0] * 4]  # blue, green, red, unused
            row = bytearray(size[0] * 3)
            for k in range(3):
                row[k::3] = pixels[2 - k::4]
            rows += b"\0" + row
        return size, bytes(rows)


def save_png(picture, path):
    """A picture from `Display.picture` as a PNG file."""
    size, rows = picture
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", *size, 8, 2, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
