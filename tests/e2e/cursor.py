# The X pointer's cursor as the user sees it: a short digest of its image,
# COUNT times, 50 ms apart, one line each. Through ctypes, as the test
# machine has the X libraries but no Python bindings for them.
import ctypes
import hashlib
import sys
import time

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xfixes = ctypes.cdll.LoadLibrary("libXfixes.so.3")


class CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


x11.XOpenDisplay.restype = ctypes.c_void_p
xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
display = x11.XOpenDisplay(None)
if not display:
    sys.exit("no display")
for _ in range(int(sys.argv[1])):
    image = xfixes.XFixesGetCursorImage(display).contents
    pixels = b"".join((image.pixels[i] & 0xFFFFFFFF).to_bytes(4, "little") for i in range(image.width * image.height))
    print(hashlib.sha1(pixels).hexdigest()[:12], flush=True)
    time.sleep(0.05)
