// The browser client on a phone and on a desktop, playing on the device in
// hand, and never stuck, against the installed player: layouts measured in
// Chromium (sideways scroll, target and text sizes, contrast from computed
// styles, where the library starts, names cut without a tooltip), the app
// manifest and its icons, "Play here" through the page's audio element, an
// answer held back and a player that cannot be reached. Effects are read
// back from the server. Screenshots go to OUT_DIR (client-desktop.png,
// client-phone.png).
//
//   node web_client_devices.js INSTALL_DIR OUT_DIR
//
// Loopback only: run inside tools/netns.sh (web_front_door.sh does).
"use strict";

const fs = require("fs");
const path = require("path");
const { execFileSync } = require("child_process");
const { chromium } = require("playwright-core");
const pages = require("../webclient/browser/check_pages.js");
const { until, startInstalledPlayer } = require("./support.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");

// [folder, file, seconds, tone Hz]: two short tracks to play here, and a
// long name with two spaces in a row.
const LONG = "A  name with two spaces and far too long to fit in one row of a phone screen, really.wav";
const TRACKS = [["Here", "One.wav", 3, 440], ["Here", "Two.wav", 3, 660], ["Here", LONG, 1, 550]];

function makeLibrary(root) {
  for (const [folder, file, seconds, hz] of TRACKS) {
    fs.mkdirSync(path.join(root, folder), { recursive: true });
    execFileSync("ffmpeg", ["-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=" + hz + ":sample_rate=8000",
                            "-t", String(seconds), "-ac", "1", "-metadata", "title=" + file.replace(/\.wav$/, ""),
                            "-metadata", "artist=Test Artist", path.join(root, folder, file)]);
  }
}

function startPlayer(sharedDir) {
  const settings = ["listenIP=127.0.0.1", "autoStart=1", "requirePassword=0", "Shared Dirs=" + sharedDir + ";"];
  return startInstalledPlayer(installDir, { settings, log: path.join(outDir, "player-web-client-devices.log") });
}

const { measure } = require("./measure_page.js");

let shared = "";   // the shared folder, made at start
const PHONE = { width: 390, height: 844 };
const DESKTOP = { width: 1000, height: 640 };
const none = (what) => (m) => m[what].length ? what + ": " + m[what].join("; ") : "";
const PHONE_CHECKS = [
  (m) => m.sideways > 0 ? "scrolls sideways by " + m.sideways + " px" : "",
  none("targets"), none("small"), none("contrast"), none("cut"),
  (m) => m.libraryRowBottom > m.height ? "the library's first row ends at " + m.libraryRowBottom : "",
  (m) => m.playlistGap > 1 ? "the playlist's first entry starts " + m.playlistGap + " px down its list" : "",
];
// [name, viewport, page, playlist entries, checks, screenshot]
const LAYOUTS = [
  ["phone, empty playlist", PHONE, "", 0, PHONE_CHECKS],
  ["phone, three entries", PHONE, "", 3, PHONE_CHECKS, "client-phone.png"],
  ["phone, library page", PHONE, "library", 0, PHONE_CHECKS],
  ["desktop, library page", DESKTOP, "library", 0, [none("contrast"), none("cut")]],
  ["desktop, empty playlist", DESKTOP, "", 0, [
    none("contrast"), none("cut"),
    (m) => /\(0:00\)/.test(m.track) ? "nothing loaded shows a length: " + m.track : "",
    (m) => m.pathDirection !== "ltr" || m.pathText !== path.basename(shared) + "/Here" ? "the path shows as " + m.pathDirection + " " + m.pathText : "",
  ]],
  ["desktop, three entries", DESKTOP, "", 3, [
    none("contrast"), none("cut"),
    (m) => m.names.filter((n) => n.includes("A  name")).length < 2 ? "double spaces collapse: " + m.names.join(" | ") : "",
  ], "client-desktop.png"],
];

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  shared = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-devices-"));
  makeLibrary(shared);
  const files = TRACKS.map(([folder, file]) => path.join(shared, folder, file));
  const { child, base } = await startPlayer(shared);
  const get = async (route) => (await (await fetch(base + "/" + route)).text());
  const enqueue = async (n) => {
    await get("clearplaylist");
    for (const f of files.slice(0, n)) await get("enqueuefile?filename=" + encodeURIComponent(f) + "&title=");
  };
  const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", headless: true,
                                          args: pages.CHROMIUM_ARGS.concat(["--autoplay-policy=no-user-gesture-required"]) });
  const results = [];
  let contexts = [];
  // One case: body(f) pushes what is wrong; a case that throws fails with
  // what it threw, and the pages it opened are closed either way.
  const check = async (name, body) => {
    const f = [];
    try {
      await body(f);
    } catch (e) {
      f.push("threw: " + String(e.message).split("\n")[0]);
    }
    for (const c of contexts) await c.close();
    contexts = [];
    results.push(pages.report(name, { failures: f, notes: [] }));
  };
  // A page whose library box went from the shared folders into "Here";
  // errors are the page's uncaught ones.
  const open = async (viewport, into = true, route = "") => {
    const context = await browser.newContext({ viewport });
    contexts.push(context);
    // A sanitizer build on a loaded machine answers many times slower.
    context.setDefaultTimeout(60000);
    await context.addCookies([{ name: "mlPath", value: "", url: base }]);
    const page = await context.newPage();
    const errors = [];
    page.on("pageerror", (e) => errors.push("uncaught: " + e.message));
    await page.goto(base + "/" + route);
    await page.locator("#libraryBox .ml-list li.dir [data-act=open]").first().click();
    if (into) {
      await page.locator("#libraryBox .ml-list li.dir", { hasText: "Here" }).locator("[data-act=open]").click();
      await page.waitForSelector("#libraryBox .ml-list li.file");
    }
    return { page, errors };
  };
  const position = async () => Number(/<position>([^<]*)</.exec(await get("consolestatus.xml"))[1]);
  try {
    for (const [name, viewport, route, entries, checks, shot] of LAYOUTS) {
      await check("layout " + name, async (f) => {
        await enqueue(entries);
        const { page, errors } = await open(viewport, true, route);
        await until(async () => route || (await page.locator(".playlist [role=option]").count()) === entries &&
          await page.evaluate(() => document.querySelector("#playlistBox .count").textContent !== ""));
        await page.evaluate(() => window.scrollTo(0, 0));
        const m = await page.evaluate(measure);
        f.push(...errors, ...checks.map((c) => c(m)).filter(Boolean));
        if (shot) await page.screenshot({ path: path.join(outDir, shot) });
      });
    }

    await check("shared folders by name, path on hover", async (f) => {
      const { page, errors } = await open(DESKTOP, false);
      await page.click("#libraryBox .ml-back");
      const root = page.locator("#libraryBox .ml-list li.dir .name").first();
      await until(async () => (await root.textContent()) === path.basename(shared));
      if ((await root.textContent()) !== path.basename(shared)) f.push("the shared folder shows as " + (await root.textContent()));
      if ((await root.getAttribute("title")) !== shared) f.push("its tooltip is " + (await root.getAttribute("title")));
      f.push(...errors);
    });

    await check("web app manifest with icons", async (f) => {
      const answer = await fetch(base + "/manifest.webmanifest");
      const manifest = JSON.parse(await answer.text());
      if (!/^application\/manifest\+json/.test(answer.headers.get("content-type"))) f.push("type " + answer.headers.get("content-type"));
      if (manifest.display !== "standalone") f.push("display " + manifest.display);
      for (const size of [192, 512]) {
        const icon = (manifest.icons || []).find((i) => i.sizes === size + "x" + size);
        const bytes = icon ? Buffer.from(await (await fetch(base + "/" + icon.src)).arrayBuffer()) : Buffer.alloc(0);
        const png = bytes.length > 24 && bytes.toString("latin1", 1, 4) === "PNG";
        if (!png || bytes.readUInt32BE(16) !== size || bytes.readUInt32BE(20) !== size) f.push("no " + size + " px PNG icon");
      }
      if (!(await get("")).includes("<link rel=\"manifest\" href=\"manifest.webmanifest\">")) f.push("the page does not link it");
    });

    // The two tracks in order through the page's audio element, a seek, the
    // mode kept across a reload; the player itself stays quiet meanwhile.
    await check("play here: two tracks in order, a seek, the mode kept", async (f) => {
      await enqueue(2);
      await get("stop");
      const { page, errors } = await open(DESKTOP);
      const answers = [];
      page.on("response", (r) => { if (/\/download\?/.test(r.url())) answers.push(r.status()); });
      await page.click(".hot.here");
      await page.evaluate(() => {
        window.played = [];
        document.querySelector(".here-audio").addEventListener("playing", (e) => {
          const src = decodeURIComponent(e.target.src);
          if (window.played[window.played.length - 1] !== src) window.played.push(src);
        });
      });
      await page.locator(".playlist [role=option]").first().dblclick();
      const audio = () => page.evaluate(() => {
        const a = document.querySelector(".here-audio");
        return { src: decodeURIComponent(a.src), time: a.currentTime, length: a.duration, paused: a.paused };
      });
      if (!(await until(async () => { const a = await audio(); return a.src.endsWith("One.wav") && !a.paused && a.time > 0.2; }))) {
        f.push("One does not play here: " + JSON.stringify(await audio()));
      }
      await page.evaluate(() => {
        const s = document.querySelector(".seek");
        s.value = "5000";
        s.dispatchEvent(new Event("change", { bubbles: true }));
      });
      const seeked = await audio();
      if (!(seeked.time >= seeked.length * 0.45)) f.push("the seek left " + JSON.stringify(seeked));
      if (!/^\d+:\d\d \/ 0:03$/.test(await page.textContent(".lcd-time"))) f.push("the display shows " + (await page.textContent(".lcd-time")));
      if (!(await until(async () => (await page.evaluate(() => window.played.length)) >= 2 && (await audio()).time > 0.2))) {
        f.push("Two did not follow");
      }
      const played = await page.evaluate(() => window.played.map((s) => s.replace(/^.*[\\/]/, "")));
      if (JSON.stringify(played.slice(0, 2)) !== JSON.stringify(["One.wav", "Two.wav"])) f.push("played " + JSON.stringify(played));
      if (!answers.includes(206)) f.push("no range answered: " + JSON.stringify(answers));
      const session = await page.evaluate(() => navigator.mediaSession.metadata &&
        [navigator.mediaSession.metadata.title, navigator.mediaSession.metadata.artist]);
      if (!session || !session[0]) f.push("media session " + JSON.stringify(session));
      if ((await position()) > 0) f.push("the player itself plays: position " + (await position()));
      // A folder from the library box plays here too, from its first file.
      await page.locator("#libraryBox .ml-list li.up [data-act=play]").click();
      if (!(await until(async () => { const a = await audio(); return a.src.includes(LONG) && !a.paused; }))) {
        f.push("the library's folder does not play here: " + JSON.stringify(await audio()));
      }
      await page.reload();
      if ((await page.getAttribute(".hot.here", "aria-pressed")) !== "true") f.push("the mode was not kept");
      await page.click(".hot.here");
      await page.click(".hot.play");
      if (!(await until(async () => (await position()) > 0))) f.push("back in remote mode, play does not reach the player");
      await get("stop");
      f.push(...errors);
    });

    // One answer held back holds no later command; a player that cannot be
    // reached is reported, and the page comes back by itself.
    await check("an answer held back, the player gone and back", async (f) => {
      await enqueue(3);
      await get("setplaylistpos?index=0");
      const { page, errors } = await open(DESKTOP);
      let hold = "", unreachable = false;
      await page.route("**/*", (route) => {
        const name = new URL(route.request().url()).pathname.slice(1);
        if (unreachable) return route.abort("connectionrefused");
        if (name === hold) { hold = ""; return undefined; }   // never answered
        return route.continue();
      });
      hold = "pause";
      await page.click(".hot.pause");
      await page.click(".hot.next");
      if (!(await until(async () => (await get("getplaylistpos")) === "1"))) f.push("next waited behind the held pause");
      unreachable = true;
      // The live stream, open already, breaks as a vanished player's would;
      // opening it again is refused like every other request.
      await page.evaluate(() => Live.source && Live.source.onerror());
      const line = page.locator(".reach[role=status]");
      if (!(await until(async () => /cannot be reached/.test(await line.textContent()) && await line.isVisible()))) {
        f.push("nothing says the player cannot be reached");
      }
      unreachable = false;
      if (!(await until(async () => !(await line.isVisible())))) f.push("the page did not come back");
      const shuffle = await get("getshuffle");
      await page.click(".hot.shuffle");
      if (!(await until(async () => (await get("getshuffle")) !== shuffle))) f.push("a command after the return is lost");
      f.push(...errors);
    });
  } finally {
    await browser.close();
    child.kill("SIGTERM");
    fs.rmSync(shared, { recursive: true, force: true });
  }
  const passed = results.filter(Boolean).length;
  console.log(passed + " passed, " + (results.length - passed) + " failed");
  process.exit(passed === results.length ? 0 : 1);
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
