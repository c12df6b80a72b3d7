#!/usr/bin/env python3
"""Serves the browser client's files the way the plug-in serves them, for
working on the pages without the player.

    python3 src/webclient/tools/serve.py [--port N] [--fake] [--entries N] [--root DIR]

Routes come from resources.txt: the leading "/" of the path is stripped and
the rest names the route; the files marked "template" get their placeholders
filled; content types follow the server's extension table with
"; charset=UTF-8"; anything else is the server's 404 page. With --fake the
status documents, listings and commands answer canned data, so the client
has something to show; without it they answer 404 as an unwired server does.
--entries N makes every folder below the root hold N files (and "files.js"
answer them with lengths, sizes and dates), sorted as the server sorts;
--albums N makes "albums.js" answer N albums, each with a cover that
"cover" answers (the same small image for all);
--root serves another copy of the client (a folder holding resources.txt
and files/), such as an older one to compare with.
Listens on 127.0.0.1 only; run it inside tools/netns.sh.
"""

import argparse
import http.server
import os
import random
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..")
MIME = {"jpg": "image/jpeg", "gif": "image/gif", "css": "text/css", "xml": "text/xml",
        "js": "text/javascript", "ico": "image/x-icon", "m3u": "audio/m3u",
        "png": "image/png", "webmanifest": "application/manifest+json"}
SESSION = "Tunelet"
NOT_FOUND = b"<html><body><h1>404 Not Found</h1></body></html>"


def load_routes(root):
    routes = {}
    with open(os.path.join(root, "resources.txt")) as manifest:
        for line in manifest:
            fields = line.split("#", 1)[0].split()
            if len(fields) == 5:
                routes[fields[3].lstrip("/")] = (os.path.join(root, "files", fields[2]), fields[4] == "template")
    return routes


def expand(text, values):
    """Fills <<NAME>> placeholders the way the server does: an unknown name
    becomes empty, a "<<" without a later ">>" ends the scan, and a value is
    never scanned itself."""
    at = 0
    while True:
        start = text.find("<<", at)
        if start < 0:
            return text
        end = text.find(">>", start)
        if end < 0:
            return text
        value = values.get(text[start + 2:end], "")
        text = text[:start] + value + text[end + 2:]
        at = start + len(value)


def url_encode(text):
    """Every byte but ASCII letters and digits as %xx, lower-case hex."""
    return "".join(c if c.isascii() and c.isalnum() else "%%%02x" % b
                   for c, b in zip(text, text.encode("latin-1")))


def playlist_id():
    return "".join(chr(ord("a") + random.randrange(25)) for _ in range(10))


# ---------------------------------------------------------------- fake player
class FakePlayer:
    def __init__(self):
        self.tracks = [("Nightcall Drive", "C:\\Music\\Synth\\Nightcall Drive.mp3"),
                       ("Harbour Lights - Low Tide", "C:\\Music\\Harbour Lights\\Low Tide.mp3"),
                       ("Harbour Lights - Paper Boats", "C:\\Music\\Harbour Lights\\Paper Boats.mp3"),
                       ("Mira Sol - Glass Garden", "C:\\Music\\Mira Sol\\Glass Garden.flac"),
                       ("Mira Sol - Orbiting", "C:\\Music\\Mira Sol\\Orbiting.flac"),
                       ("The Quiet Hours - Static Bloom", "C:\\Music\\Quiet Hours\\Static Bloom.ogg"),
                       ("The Quiet Hours - Long Way North", "C:\\Music\\Quiet Hours\\Long Way North.ogg")]
        self.pos = 1
        self.volume = 180
        self.shuffle = 0
        self.repeat = 1
        self.clients = set()
        self.entries = 0
        self.albums = 0
        self.album_pages = {}

    def playlist_xml(self, client):
        dirty = client not in self.clients
        self.clients.add(client)
        out = ['<?xml version="1.0" encoding="UTF-8"?>\n\n',
               '<playlist playing="%d" dirty="%d">\n' % (self.pos, 1 if dirty else 0)]
        if dirty or not client:
            for i, (title, name) in enumerate(self.tracks):
                out.append("<track>\n<index>%d</index>\n<title><![CDATA[%s]]></title>\n"
                           "<filename><![CDATA[%s]]></filename>\n</track>\n" % (i, title, name))
        out.append("</playlist>\n")
        return "".join(out)

    def console_xml(self):
        return ('<?xml version="1.0" encoding="UTF-8"?>\n\n<console><volume>%d</volume>'
                "<shuffle>%d</shuffle><repeat>%d</repeat><album><![CDATA[Low Tide Sessions]]></album>"
                "<artist><![CDATA[Harbour Lights]]></artist><title><![CDATA[Low Tide]]></title>"
                "<filename><![CDATA[%s]]></filename><length><![CDATA[4:12]]></length>"
                "<lengthms>252000</lengthms><bitrate><![CDATA[320]]></bitrate>"
                "<position>0.37</position></console>"
                % (self.volume, self.shuffle, self.repeat, self.tracks[self.pos][1]))

    def library_js(self, params):
        path = params.get("path", "")
        enc = url_encode
        if path in ("", "\\"):
            files = [("C:\\Music", "C:\\Music", "$DIR$"), ("D:\\Podcasts", "D:\\Podcasts", "$DIR$")]
            up = ""
        else:
            names = [("Harbour Lights", "$DIR$"), ("Mira Sol", "$DIR$"), ("Quiet Hours", "$DIR$"),
                     ("Synth", "$DIR$"), ("Favourites.m3u", "m3u"), ("Nightcall Drive.mp3", "mp3"),
                     ("Sunday Morning.flac", "flac"), ("Rain Sketch.ogg", "ogg")]
            files = [(n, path.rstrip("\\") + "\\" + n, t) for n, t in names]
            up = '{"name" : "..","type" : "$UP$" }'
            if self.entries:
                files = [(n, full, "mp3") for n, full, _, _, _ in self.big_folder(params)]
        body = '{"path" : "%s",\n"auth" : "%s",\n"files" : [\n%s' % (enc(path), "f00dfeed", up)
        for i, (name, full, kind) in enumerate(files):
            if up or i:
                body += ","
            body += '\n{"name" : "%s","path" : "%s","type" : "%s" }\n' % (enc(name), enc(full), enc(kind))
        return "%s(%s]});" % (params.get("callback", ""), body)

    def big_folder(self, params):
        """The N files of a big folder as (name, full path, size, modified,
        duration), in the order "sortby" and "sortdir" ask for."""
        path = params.get("path", "")
        rows = [("Track %05d - A Rather Long Song Title.mp3" % i, path.rstrip("\\") + "\\Track %05d.mp3" % i,
                 (i * 7919) % 9000000 + 1000, 1700000000 + (i * 104729) % 30000000, 60000 + (i * 31) % 300000)
                for i in range(1, self.entries + 1)]
        rows.sort(key=lambda r: r[0].encode())
        key = {1: 3, 2: 2, 3: 4}.get(int(params.get("sortby") or 0))
        down = params.get("sortdir") == "1"
        if key is None:
            rows.reverse() if down else None
        else:
            rows.sort(key=lambda r: r[key], reverse=down)
        return rows

    def files_js(self, params):
        path = params.get("path", "")
        if not self.entries or path in ("", "\\"):
            return None
        enc = url_encode
        lines = ['{"name" : "..","type" : "$UP$"}']
        for name, full, size, modified, duration in self.big_folder(params):
            lines.append('{"name" : "%s","path" : "%s","type" : "mp3","size" : "%d","modified" : "%d",'
                         '"duration" : "%d","title" : "","artist" : "","album" : "","albumartist" : "",'
                         '"track" : "0","disc" : "0","year" : "0","genre" : "","cover" : ""}'
                         % (enc(name), enc(full), size, modified, duration))
        return '%s({"path" : "%s","files" : [\n%s]});' % (params.get("callback", ""), enc(path), ",\n".join(lines))

    def albums_js(self, params):
        """A page of the albums by name, as the server answers "albums.js"
        (each page made once)."""
        start = max(0, int(params.get("start") or 0))
        count = max(1, min(5000, int(params.get("count") or 500)))
        if (start, count) not in self.album_pages:
            self.album_pages[(start, count)] = self.album_page(start, count)
        return "%s(%s);" % (params.get("callback", ""), self.album_pages[(start, count)])

    def album_page(self, start, count):
        enc = url_encode
        lines = []
        for i in range(start + 1, min(self.albums, start + count) + 1):
            artist = "Artist %04d" % (i // 10)
            name = "Album %05d - A Rather Long Album Title" % i
            path = "album://" + enc(artist) + "/" + enc(name)
            lines.append('{"name" : "%s","artist" : "%s","year" : "%d","tracks" : "%d","duration" : "%d",'
                         '"path" : "%s","cover" : "%s"}'
                         % (enc(name), enc(artist), 1960 + i % 60, 8 + i % 9, 1800000 + (i * 7919) % 1800000,
                            enc(path), enc("cover?path=" + enc(path))))
        return '{"total" : "%d","start" : "%d","albums" : [%s]}' % (
            self.albums, min(start, self.albums), "".join("," * (k > 0) + "\n" + line for k, line in enumerate(lines)))

    def favorites_js(self, params):
        return ('%s({"127.0.0.1:8081/": {"name": "studio:8081","host": "127.0.0.1:8081"},'
                '"/": {"name": "Local Library","host": ""}});' % params.get("callback", ""))

    def command(self, route, params):
        if route in ("next", "prev"):
            self.pos = max(0, min(len(self.tracks) - 1, self.pos + (1 if route == "next" else -1)))
            return str(self.pos)
        if route == "getplaylistpos":
            return str(self.pos)
        if route == "getvolume":
            return str(self.volume)
        if route == "setvolume":
            self.volume = int(params.get("level", "0") or 0)
        if route == "toggleshuffle":
            self.shuffle ^= 1
        if route == "togglerepeat":
            self.repeat ^= 1
        return "1"


COMMANDS = {"prev", "play", "pause", "stop", "next", "getvolume", "setvolume", "enqueuefile",
            "enqueuefilenext", "insertfile", "playfile", "getplaylistlength", "getplaylistpos",
            "setplaylistpos", "deleteplaylistitem", "moveplaylistitem", "clearplaylist", "getshuffle",
            "getrepeat", "toggleshuffle", "togglerepeat", "getposition", "setposition", "ffw5s", "rew5s"}


class Handler(http.server.BaseHTTPRequestHandler):
    routes = {}
    fake = None
    ml_enabled = "true"

    def log_message(self, fmt, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.answer(self.rfile.read(length).decode("latin-1"))

    def do_GET(self):
        self.answer("")

    def answer(self, body):
        url = urllib.parse.urlsplit(self.path)
        route = url.path.lstrip("/")
        params = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        params.update(urllib.parse.parse_qsl(body, keep_blank_values=True))
        ext = route.rsplit(".", 1)[1] if "." in route else ""
        ctype = MIME[ext] + "; charset=UTF-8" if ext in MIME else "text/html"

        if route in self.routes:
            path, template = self.routes[route]
            with open(path, "rb") as f:
                data = f.read()
            if template:
                values = {"PLAYLIST_ID": playlist_id(), "ML_ENABLED": self.ml_enabled, "VERSION": "3.1",
                          "SESSION_NAME": SESSION}
                data = expand(data.decode("latin-1"), values).encode("latin-1")
            return self.send(200, ctype, data)
        if self.fake is not None:
            text = None
            if route == "playlist.xml":
                text = self.fake.playlist_xml(params.get("id", ""))
            elif route == "consolestatus.xml":
                text = self.fake.console_xml()
            elif route == "library.js":
                text = self.fake.library_js(params)
            elif route == "files.js":
                text = self.fake.files_js(params)
            elif route == "albums.js" and self.fake.albums:
                text = self.fake.albums_js(params)
            elif route == "cover" and self.fake.albums:
                with open(os.path.join(ROOT, "files", "icon192.png"), "rb") as image:
                    return self.send(200, "image/png", image.read())
            elif route == "favorites.js":
                text = self.fake.favorites_js(params)
            elif route in COMMANDS:
                text = self.fake.command(route, params)
            if text is not None:
                return self.send(200, ctype, text.encode("latin-1"))
        self.send(404, "text/html", NOT_FOUND)

    def send(self, status, ctype, data):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-cache, must-revalidate")
        if "Tunelet=" not in (self.headers.get("Cookie") or ""):
            self.send_header("Set-Cookie", SESSION + "=5b3e0c1d9a7f4e21; path=/")
        self.end_headers()
        self.wfile.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--fake", action="store_true", help="answer the dynamic routes with canned data")
    parser.add_argument("--ml", default="true", help="the ML_ENABLED value (true or false)")
    parser.add_argument("--entries", type=int, default=0, help="files in every folder below the root")
    parser.add_argument("--albums", type=int, default=0, help="albums that \"albums.js\" answers")
    parser.add_argument("--root", default=ROOT, help="the client's folder (resources.txt and files/)")
    args = parser.parse_args()
    Handler.routes = load_routes(args.root)
    Handler.fake = FakePlayer() if args.fake else None
    if Handler.fake:
        Handler.fake.entries = args.entries
        Handler.fake.albums = args.albums
    Handler.ml_enabled = args.ml
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    print("serving on http://127.0.0.1:%d/" % args.port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
