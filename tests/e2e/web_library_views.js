// The library box's views against the installed player, in Chromium: an
// artist, an album and its tracks in track order with their lengths, played
// through the album's path (the player's playlist read back); covers on the
// album cards; a genre's albums; a search's hit count and its next page; a
// 10,000-file folder drawn a screenful at a time and sorted; a second
// player's albums with their covers, one queued here in track order; the
// new views at phone size, measured as the devices test measures them.
//
//   node web_library_views.js INSTALL_DIR OUT_DIR
//
// Loopback only: run inside tools/netns.sh (web_front_door.sh does).
"use strict";

const fs = require("fs");
const path = require("path");
const { spawn, execFileSync } = require("child_process");
const pages = require("../webclient/browser/check_pages.js");
const { until, freePort } = require("./support.js");
const { measure } = require("./measure_page.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");
const BIG = 10000;

// [folder, file, artist, album, genre, track, seconds, picture]: the
// album's files are named against their track order; one album has a
// picture in its files, one a cover.jpg beside them, one no cover at all.
const TRACKS = [
  ["Ärzte/Zwei", "a.mp3", "Ärzte Bänd", "Zwei", "Punk", 3, 2, true],
  ["Ärzte/Zwei", "b.mp3", "Ärzte Bänd", "Zwei", "Punk", 1, 3, true],
  ["Ärzte/Zwei", "c.mp3", "Ärzte Bänd", "Zwei", "Punk", 2, 2, true],
  ["Beta/Folder", "x.mp3", "Beta", "Folder Cover", "Jazz", 1, 2, false],
  ["Beta/Plain", "y.mp3", "Beta", "Plain", "Jazz", 1, 2, false],
];
// The second player's: one album with a picture, named against its order.
const PEER_TRACKS = [
  ["Fern", "a.mp3", "Peer Band", "Fern", "Folk", 2, 2, true],
  ["Fern", "b.mp3", "Peer Band", "Fern", "Folk", 1, 2, true],
];

function makeTracks(root, tracks) {
  const picture = path.join(root, "..", "picture.png");
  execFileSync("ffmpeg", ["-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=64x64", "-frames:v", "1", picture]);
  for (const [folder, file, artist, album, genre, track, seconds, pic] of tracks) {
    fs.mkdirSync(path.join(root, folder), { recursive: true });
    const args = ["-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000"];
    if (pic) args.push("-i", picture, "-map", "0", "-map", "1", "-c:v", "png", "-disposition:v", "attached_pic");
    args.push("-t", String(seconds), "-ac", "1", "-c:a", "libmp3lame", "-id3v2_version", "3", "-metadata", "artist=" + artist,
              "-metadata", "album=" + album, "-metadata", "genre=" + genre, "-metadata", "track=" + track,
              "-metadata", "title=Song " + track, path.join(root, folder, file));
    execFileSync("ffmpeg", args);
  }
  return picture;
}

function makeLibrary(root) {
  const picture = makeTracks(root, TRACKS);
  execFileSync("ffmpeg", ["-loglevel", "error", "-y", "-i", picture, path.join(root, "Beta", "Folder", "cover.jpg")]);
  // The big folder: empty files, named to sort apart from their sizes.
  const big = path.join(root, "Big");
  fs.mkdirSync(big);
  for (let i = 1; i <= BIG; i++) fs.writeFileSync(path.join(big, "Many " + String(i).padStart(5, "0") + ".mp3"), "x".repeat(i % 97));
}

async function startPlayer(shared, dir, name) {
  const port = await freePort();
  const lines = ["[Tunelet Remote Control Plugin v1.0]", "listenPort=" + port, "listenIP=127.0.0.1", "autoStart=1",
                 "requirePassword=0", "NeedsIndex=1", "Shared Dirs=" + shared + ";"];
  fs.writeFileSync(path.join(dir, "Plugins", "gen_Tunelet.ini"), lines.join("\r\n") + "\r\n");
  const log = fs.openSync(path.join(outDir, "player-web-library-views" + name + ".log"), "w");
  const child = spawn(path.join(dir, "tunelet-player"), [], { stdio: ["ignore", log, log] });
  fs.closeSync(log);
  const base = "http://127.0.0.1:" + port;
  const up = await until(async () => { try { return (await fetch(base + "/getvolume")).ok; } catch (e) { return false; } }, 60000);
  if (!up) throw new Error("the player never answered on " + port);
  return { child, base, port };
}

// The main page's library box, shown when it is not.
async function openBox(page) {
  await page.waitForSelector("#libraryBox", { state: "attached" });
  if (await page.locator("#libraryBox").isHidden()) await page.click("[data-action=library]");
}

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  const stage = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "views-"));
  const shared = path.join(stage, "music");
  fs.mkdirSync(shared);
  makeLibrary(shared);
  // The second player: a copy of the installed one, with a library of its own.
  const peerDir = path.join(stage, "peer");
  fs.cpSync(installDir, peerDir, { recursive: true });
  const peerShared = path.join(stage, "peer-music");
  fs.mkdirSync(peerShared);
  makeTracks(peerShared, PEER_TRACKS);
  const { child, base } = await startPlayer(shared, installDir, "");
  const peer = await startPlayer(peerShared, peerDir, "-peer");
  const get = async (route) => (await (await fetch(base + "/" + route)).text());
  const answer = async (route, from) => { const t = await (await fetch((from || base) + "/" + route + (route.includes("?") ? "&" : "?") + "callback=f")).text();
                                          return JSON.parse(t.slice(t.indexOf("(") + 1, t.lastIndexOf(")"))); };
  const names = (list) => list.map((e) => decodeURIComponent(e.name));
  const playlist = async () => {
    const n = Number(await get("getplaylistlength"));
    const names = [];
    for (let i = 0; i < n; i++) names.push(path.basename(await get("getplaylistfilename?index=" + i)));
    return names;
  };
  const failures = [];
  const verdict = (name, f) => { console.log((f.length ? "FAIL " : "ok   ") + name + (f.length ? ": " + f.join("; ") : "")); failures.push(...f); };
  const browser = await pages.launchBrowser();
  try {
    // The index knows every file (the big folder too) before the cases run.
    const indexed = await until(async () => Number((await answer("find.js?q=many&count=1")).total) === BIG &&
                                            (await answer("artists.js")).artists.filter((a) => /^(%c3%84rzte%20B%c3%a4nd|Beta)$/i.test(a.name)).length === 2, 60000);
    const peerIndexed = await until(async () => names((await answer("albums.js", peer.base)).albums).includes("Fern"), 60000);
    if (!indexed || !peerIndexed) {
      throw new Error("the index never held the library: " + await get("find.js?q=many&count=1&callback=f") + " " +
                      await get("artists.js?callback=f"));
    }
    const context = await browser.newContext({ viewport: { width: 1000, height: 700 } });
    const page = await context.newPage();
    await page.goto(base + "/");
    await openBox(page);
    const ml = page.locator("#libraryBox .ml-list");
    const texts = (selector) => ml.locator(selector).allTextContents();

    {
      const f = [];
      await page.click("#libraryBox [data-view=artists]");
      await ml.locator("li.artist", { hasText: "Ärzte Bänd" }).locator("[data-act=open]").click();
      const card = ml.locator(".card", { hasText: "Zwei" });
      await card.locator("[data-act=open]").click();
      const want = JSON.stringify(["1. Song 1", "2. Song 2", "3. Song 3"]);
      if (!(await until(async () => JSON.stringify(await texts("li.file .label")) === want))) {
        f.push("the album's tracks: " + JSON.stringify(await texts("li.file .label")));
      }
      const lengths = JSON.stringify(await texts("li.file .fact.duration"));
      if (lengths !== JSON.stringify(["0:03", "0:02", "0:02"])) f.push("lengths " + lengths);
      await get("clearplaylist");
      await ml.locator("li.whole [data-act=enqueue]").click();
      const order = JSON.stringify(["b.mp3", "c.mp3", "a.mp3"]);
      if (!(await until(async () => JSON.stringify(await playlist()) === order))) f.push("queued " + JSON.stringify(await playlist()));
      verdict("artist -> album -> queued in track order, with lengths", f);
    }

    // [album, whether its card shows a picture]
    const COVERS = [["Zwei", true], ["Folder Cover", true], ["Plain", false]];
    {
      const f = [];
      await page.click("#libraryBox [data-view=albums]");
      for (const [album, shown] of COVERS) {
        const img = ml.locator(".card", { hasText: album }).locator("img.cover");
        // Judged once the picture has loaded or failed.
        await until(async () => img.evaluate((e) => e.complete));
        const loaded = await img.evaluate((e) => e.naturalWidth > 0 && /cover\?/.test(e.src));
        if (!!loaded !== shown) f.push(album + (shown ? " shows no cover" : " shows a cover"));
      }
      verdict("album covers", f);
    }

    {
      const f = [];
      await page.click("#libraryBox [data-view=genres]");
      const genres = JSON.stringify(names((await answer("genres.js")).genres));
      if (!(await until(async () => JSON.stringify(await texts("li.group .label")) === genres))) {
        f.push("genres " + JSON.stringify(await texts("li.group .label")) + " not " + genres);
      }
      await ml.locator("li.group", { hasText: "Jazz" }).locator("[data-act=open]").click();
      const jazz = JSON.stringify(names((await answer("albums.js?genre=Jazz")).albums));
      if (!(await until(async () => JSON.stringify(await texts(".card .label")) === jazz))) {
        f.push("Jazz albums " + JSON.stringify(await texts(".card .label")) + " not " + jazz);
      }
      const tab = await page.getAttribute("#libraryBox [data-view=genres]", "aria-pressed");
      if (tab !== "true") f.push("the Genres tab is not the pressed one");
      verdict("genres -> a genre's albums", f);
    }

    {
      const f = [];
      await page.fill("#libraryBox .ml-query", "many");
      await page.press("#libraryBox .ml-query", "Enter");
      const count = page.locator("#libraryBox .ml-count");
      const first = async () => (await texts("li.file .label"))[0];
      if (!(await until(async () => (await count.textContent()) === BIG + " hits, 1\u2013100"))) f.push("count " + await count.textContent());
      const top = await first();
      await page.click("#libraryBox .ml-pager [data-page='1']");
      if (!(await until(async () => (await count.textContent()) === BIG + " hits, 101\u2013200"))) f.push("next page: " + await count.textContent());
      if ((await first()) === top) f.push("the next page shows the same first hit " + top);
      verdict("search: hit count and the next page", f);
    }

    {
      const f = [];
      const root = (await answer("files.js?path=")).files[0].path;
      const bigPath = encodeURIComponent(decodeURIComponent(root).replace(/\/?$/, "/Big"));
      const names = async (sortby, sortdir) => (await answer("files.js?path=" + bigPath + "&sortby=" + sortby + "&sortdir=" + sortdir))
        .files.filter((e) => e.type !== "$UP$").slice(0, 5).map((e) => decodeURIComponent(e.name));
      // Straight into the folder, as a returning visitor whose last place it was.
      await page.evaluate((raw) => { document.cookie = "mlPath=" + raw; }, bigPath);
      await page.reload();
      await openBox(page);
      const shown = async () => JSON.stringify((await texts("li.file .label")).slice(0, 5));
      const byName = JSON.stringify(await names(0, 0));
      if (!(await until(async () => (await shown()) === byName, 20000))) f.push("first screen " + await shown() + " not " + byName);
      const rows = await ml.locator("li.file").count();
      if (rows === 0 || rows > 200) f.push(rows + " rows in the page");
      if ((await page.locator("#libraryBox .ml-count").textContent()).indexOf(BIG + " files") < 0) f.push("the count does not say " + BIG);
      for (const [head, dir] of [[2, 0], [2, 1], [0, 0]]) {
        await page.click("#libraryBox .ml-heads [data-sort='" + head + "']");
        const want = JSON.stringify(await names(head, dir));
        if (!(await until(async () => (await shown()) === want))) f.push("sort " + head + "/" + dir + ": " + await shown() + " not " + want);
      }
      await ml.evaluate((list) => { list.scrollTop = list.scrollHeight; });
      if (!(await until(async () => (await texts("li.file .label")).includes("Many " + BIG + ".mp3")))) f.push("the last row is not drawn at the end");
      verdict(BIG + "-file folder: first screen, sort, end", f);
    }
    await context.close();

    {
      // The second player as a saved place, chosen as the place last seen.
      const f = [];
      const peerHost = "127.0.0.1:" + peer.port;
      const remote = await browser.newContext({ viewport: { width: 1000, height: 700 } });
      const p = await remote.newPage();
      await p.goto(base + "/");
      await p.evaluate((host) => {
        Cookies.set("favs", JSON.stringify([{ name: "Peer", host: host, path: "" }]));
        Cookies.set("mlHost", host);
        Cookies.setRaw("mlPath", "");
      }, peerHost);
      await p.reload();
      await openBox(p);
      const list = p.locator("#libraryBox .ml-list");
      if (!(await until(async () => p.locator("#libraryBox .ml-views").isVisible(), 20000))) f.push("the peer's views never showed");
      await p.click("#libraryBox [data-view=albums]");
      const want = JSON.stringify(names((await answer("albums.js", peer.base)).albums));
      const shown = async () => JSON.stringify(await list.locator(".card .label").allTextContents());
      if (!(await until(async () => (await shown()) === want, 20000))) f.push("albums " + await shown() + " not " + want);
      const cover = list.locator(".card", { hasText: "Fern" }).locator("img.cover");
      if (!(await until(async () => cover.evaluate((e) => e.complete && e.naturalWidth > 0 && /^[^?]*\/peercover\?/.test(e.src)), 20000))) {
        f.push("no peer cover: " + await cover.getAttribute("src"));
      }
      await get("clearplaylist");
      await list.locator(".card", { hasText: "Fern" }).locator("[data-act=enqueue]").click();
      // The queued entries are the peer's downloads, named by its paths.
      const queued = async () => JSON.stringify((await playlist()).map((n) => (/([^/]+\.mp3)/.exec(decodeURIComponent(n)) || [n])[1]));
      if (!(await until(async () => (await queued()) === JSON.stringify(["b.mp3", "a.mp3"]), 20000))) f.push("queued " + await queued());
      verdict("a peer's albums with covers, one queued in track order", f);
      await remote.close();
    }

    // [name, how to get there] at 390 x 844, measured like the devices test.
    const PHONE_VIEWS = [
      ["artists", async (p) => p.click("#libraryBox [data-view=artists]")],
      ["albums", async (p) => p.click("#libraryBox [data-view=albums]")],
      ["genres", async (p) => p.click("#libraryBox [data-view=genres]")],
      ["album page", async (p) => { await p.click("#libraryBox [data-view=albums]");
                                    await p.locator(".card", { hasText: "Zwei" }).locator("[data-act=open]").click(); }],
    ];
    for (const [name, reach] of PHONE_VIEWS) {
      const phone = await browser.newContext({ viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true });
      const p = await phone.newPage();
      await p.goto(base + "/");
      await openBox(p);
      await reach(p);
      await until(async () => (await p.locator("#libraryBox .ml-list li[data-i], #libraryBox .ml-list .card").count()) > 0);
      const m = await p.evaluate(measure);
      const f = ["targets", "small", "contrast", "cut"].filter((k) => m[k].length).map((k) => k + ": " + m[k].join(", "));
      if (m.sideways > 0) f.push("scrolls sideways by " + m.sideways);
      await p.screenshot({ path: path.join(outDir, "library-" + name.replace(/ /g, "-") + "-phone.png"), fullPage: true });
      verdict("phone, " + name, f);
      await phone.close();
    }
  } finally {
    await browser.close();
    child.kill("SIGTERM");
    peer.child.kill("SIGTERM");
    fs.rmSync(stage, { recursive: true, force: true });
  }
  process.exit(failures.length ? 1 : 0);
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
