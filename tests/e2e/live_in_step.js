// Two pages and the player's own window in step: with polling off
// ("?poll=0"), a change made in one page, one made in the player's window
// (clicked through X), one made by a track ending and an entry added by
// another client each show on both pages and in the window (polling is
// off, so a change shown at all came through the stream; a stream that
// drops is opened again with the whole state, so a change is late then,
// not lost). How late is a printed figure, beside the 500 ms the pages aim
// for and the window's lag behind them: a loaded machine makes any time
// limit fail for its own reasons. The window is read from its picture
// (window_state.py). Prints the delays, their median and their maximum.
//
//   node live_in_step.js INSTALL_DIR OUT_DIR
//
// Needs an X display in TUNELET_X_DISPLAY (xvfb-run), python3, playwright-core
// (NODE_PATH), /usr/bin/chromium and ffmpeg. Loopback only: run inside
// tools/netns.sh.
"use strict";

const fs = require("fs");
const path = require("path");
const readline = require("readline");
const { spawn, execFileSync } = require("child_process");
const pages = require("../webclient/browser/check_pages.js");
const { sleep, until, freePort } = require("./support.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");
const display = process.env.TUNELET_X_DISPLAY || "";
// From the moment the player has the change (the page's or the client's
// command sent, the window clicked, the track ended).
const LIMIT_MS = 500;
// A change not shown anywhere after this long is taken as lost.
const LATEST_MS = 30000;
// The window keeps up with the pages: its median delay at most this much
// over theirs.
const WINDOW_BEHIND_MS = 60;
const COMMANDS = /^\/(setvolume|next|toggleshuffle)$/;
// Where the window's controls are (it opens at 480 x 420).
const WINDOW = { play: [146, 80], pause: [240, 80], next: [427, 80], shuffle: [337, 108] };

function makeTracks(root, lengths) {
  return lengths.map((seconds, i) => {
    const file = path.join(root, "Track " + (i + 1) + ".mp3");
    execFileSync("ffmpeg", ["-loglevel", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t",
                            String(seconds), "-b:a", "8k", "-metadata", "title=Track " + (i + 1), file]);
    return file;
  });
}

// The window reader: one JSON answer per command line, asked one at a time.
function windowReader() {
  const child = spawn(process.env.PYTHON || "python3", [path.join(__dirname, "window_state.py")],
                      { env: { ...process.env, DISPLAY: display }, stdio: ["pipe", "pipe", "inherit"] });
  const answers = readline.createInterface({ input: child.stdout });
  const waiting = [];
  answers.on("line", (line) => waiting.shift()(JSON.parse(line)));
  let queue = Promise.resolve();
  const ask = (command) => (queue = queue.then(() => new Promise((resolve) => {
    waiting.push(resolve);
    child.stdin.write(command + "\n");
  })));
  return { ask, child };
}

// Polls each watcher ([test, start]) until its test holds or `ms` have
// passed since its start: the delays from its start (null when it never
// held, undefined for no watcher).
function delays(watchers, ms) {
  return Promise.all(watchers.map(async (watcher) => {
    if (!watcher) return undefined;
    const [test, start] = watcher;
    while (Date.now() - start() <= ms) {
      if (await test()) return Date.now() - start();
      await sleep(20);
    }
    return null;
  }));
}

const median = (v) => { const s = [...v].sort((a, b) => a - b); return s.length ? s[(s.length - 1) >> 1] : "-"; };

(async () => {
  if (!display) {
    console.log("  FAIL no X display in TUNELET_X_DISPLAY (run under xvfb-run)");
    process.exit(1);
  }
  fs.mkdirSync(outDir, { recursive: true });
  const shared = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-step-"));
  const files = makeTracks(shared, [30, 30, 30, 3, 30, 30]);
  const added = files.pop();
  const port = await freePort();
  const base = "http://127.0.0.1:" + port;
  fs.writeFileSync(path.join(installDir, "Plugins", "gen_Tunelet.ini"),
                   ["[Tunelet Remote Control Plugin v1.0]", "listenPort=" + port, "listenIP=127.0.0.1", "autoStart=1",
                    "requirePassword=0", "Shared Dirs=" + shared + ";", ""].join("\r\n"));
  const log = fs.openSync(path.join(outDir, "player-in-step.log"), "w");
  const player = spawn(path.join(installDir, "tunelet-player"), [],
                       { stdio: ["ignore", log, log], env: { ...process.env, DISPLAY: display, TUNELET_AUDIO: "null" } });
  const reader = windowReader();
  const watchdog = setTimeout(() => { player.kill("SIGKILL"); process.exit(1); }, 150000);
  const get = async (route) => (await (await fetch(base + "/" + route)).text());
  const browser = await pages.launchBrowser();
  const failures = [];
  const rows = [];
  try {
    if (!(await until(async () => { try { return (await get("getvolume")) !== ""; } catch (e) { return false; } },
                      20000)))
      throw new Error("the player never answered");
    if (!(await reader.ask("find")).found) throw new Error("the player's window never showed");
    for (const file of files) await get("enqueuefile?filename=" + encodeURIComponent(file));
    await get("setplaylistpos?index=0");
    await get("play");

    const [a, b] = await Promise.all([0, 1].map(async () => {
      const page = await (await browser.newContext({ viewport: { width: 1000, height: 640 } })).newPage();
      page.on("pageerror", (err) => failures.push("uncaught: " + err.message));
      await page.goto(base + "/?poll=0");
      return page;
    }));
    // The window settled on what the pages show before anything changes.
    if (!(await until(async () => (await reader.ask("state")).state === "playing")))
      throw new Error("the window never showed the first entry playing");
    await sleep(500);
    const first = await reader.ask("state");
    if (first.entries !== files.length || first.row !== 0 || first.shuffle || Math.abs(first.volume - 255) > 6)
      throw new Error("the window is read as " + JSON.stringify(first));
    // When page A's last command left it: when a change made there is made.
    let sent = null;
    a.on("request", (r) => { if (COMMANDS.test(new URL(r.url()).pathname)) sent = Date.now(); });
    for (const page of [a, b]) {
      if (!(await until(() => page.evaluate(() => document.documentElement.getAttribute("data-live") === "open"))))
        throw new Error("a page's stream never opened");
      if (!(await until(async () => (await page.locator(".playlist [role=option]").count()) === files.length)))
        throw new Error("a page's playlist never showed");
    }

    // What each shows.
    const shown = {
      volume: (page) => page.$eval("input.volume", (e) => Number(e.value)),
      shuffle: (page) => page.$eval("button.shuffle", (e) => e.getAttribute("aria-pressed") === "true"),
      // The entry's own number: the list draws only the rows in view, after
      // a spacer, so a row's place among its siblings is not its entry.
      row: (page) => page.evaluate(() => {
        const row = document.querySelector(".playlist [role=option].playing");
        return row ? Number(row.getAttribute("aria-posinset")) - 1 : -1;
      }),
      state: (page) => page.$eval(".lcd-state", (e) => e.getAttribute("data-state")),
      entries: (page) => page.locator(".playlist [role=option]").count(),
    };
    let windowShows = null;
    const inWindow = async (field, value) => {
      windowShows = await reader.ask("state");
      const now = windowShows[field];
      return field === "volume" ? Math.abs(now - value) <= 6 : now === value;
    };
    const click = (control) => reader.ask("click " + WINDOW[control].join(" "));
    const setVolume = (page, level) => page.evaluate((v) => {
      const slider = document.querySelector(".volume");
      slider.value = String(v);
      slider.dispatchEvent(new Event("input", { bubbles: true }));
      slider.dispatchEvent(new Event("change", { bubbles: true }));
    }, level);

    // [what, made by, how, field, value shown after]. The window's own
    // changes are not checked in the window.
    const changes = [
      ["volume", "page A", () => setVolume(a, 77), "volume", 77],
      ["next", "page A", () => a.click(".hot.next"), "row", 1],
      ["shuffle on", "page A", () => a.click(".hot.shuffle"), "shuffle", true],
      ["shuffle off", "window", () => click("shuffle"), "shuffle", false],
      ["next", "window", () => click("next"), "row", 2],
      ["pause", "window", () => click("pause"), "state", "paused"],
      ["play", "window", () => click("play"), "state", "playing"],
      ["next", "page A", () => a.click(".hot.next"), "row", 3],
      ["track ended", "player", async () => {
        // Made when the player has moved on from the 3 s track.
        await until(async () => (await get("getplaylistpos")) === "4", 10000);
      }, "row", 4],
      ["entry added", "client", () => get("enqueuefile?filename=" + encodeURIComponent(added)), "entries", 6],
    ];
    for (const [what, by, make, field, value] of changes) {
      sent = null;
      const since = by === "player" ? (await make(), Date.now()) : (make(), Date.now());
      const made = () => sent || since;
      const took = await delays([[async () => (await shown[field](a)) === value, made],
                                 [async () => (await shown[field](b)) === value, made],
                                 by === "window" ? null : [() => inWindow(field, value), made]], LATEST_MS);
      rows.push([what + " (" + by + ")", ...took]);
      took.forEach((ms, i) => {
        if (ms === null || ms > LATEST_MS)
          failures.push(what + " (" + by + ") not shown in " + ["page A", "page B", "the window"][i] + " within " +
                        LATEST_MS + " ms" + (i < 2 ? "" : " (it shows " + JSON.stringify(windowShows) + ")"));
      });
      await sleep(300);
    }
    await a.screenshot({ path: path.join(outDir, "in-step-a.png") });
  } catch (e) {
    failures.push(e && e.stack ? e.stack : String(e));
  } finally {
    await browser.close();
    clearTimeout(watchdog);
    reader.child.stdin.end();
    const ended = new Promise((resolve) => player.once("exit", resolve));
    player.kill("SIGTERM");
    await ended;
  }

  const column = (i) => rows.map((r) => r[i]).filter((ms) => typeof ms === "number");
  for (const [i, where] of [[1, "page A"], [2, "page B"], [3, "the window"]]) {
    if (median(column(i)) > LIMIT_MS) console.log("  note " + where + " shows changes " + median(column(i)) + " ms late at the median (aim: " + LIMIT_MS + ")");
  }
  const behind = median(column(3)) - median([...column(1), ...column(2)]);
  if (behind > WINDOW_BEHIND_MS) console.log("  note the window is " + behind + " ms behind the pages at the median (aim: " + WINDOW_BEHIND_MS + ")");
  // The delays, in ms ("-": not checked there; "never": not shown at all).
  const cell = (ms) => (ms === undefined ? "-" : ms === null ? "never" : String(ms));
  console.log("  " + ["change", "page A", "page B", "window (from the player's change)"].join(" | "));
  for (const row of rows) console.log("  " + [row[0], ...row.slice(1).map(cell)].join(" | "));
  for (const [name, pick] of [["median", median], ["max", (v) => (v.length ? Math.max(...v) : "-")]])
    console.log("  " + [name, ...[1, 2, 3].map((i) => pick(column(i)))]
      .join(" | "));
  for (const f of failures) console.log("  FAIL " + f);
  console.log(failures.length ? failures.length + " failed" : "all passed");
  process.exit(failures.length ? 1 : 0);
})();
