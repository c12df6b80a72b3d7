// The page's live updates against the installed player, with polling turned
// off ("?poll=0"): changes made by another client and by the player itself
// (a track that ends) show on the page (their delays printed: within 500 ms
// as a rule, which a loaded machine's sanitizer build cannot hold), the page
// asks for no status document while nothing changes, and the stream broken
// by the player's restart is opened again and carries changes as before.
//
//   node live_updates.js INSTALL_DIR OUT_DIR
//
// Loopback only: run inside tools/netns.sh. Needs playwright-core
// (NODE_PATH), /usr/bin/chromium and ffmpeg.
"use strict";

const fs = require("fs");
const path = require("path");
const { execFileSync } = require("child_process");
const pages = require("../webclient/browser/check_pages.js");
const { sleep, until, freePort, startInstalledPlayer } = require("./support.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");
// Polling is off, so a change shown at all came through the stream; the
// limit only ends the wait for one that never comes.
const LIMIT_MS = 30000;

let failed = 0;
function verdict(name, failures) {
  if (!pages.report(name, { failures, notes: [] })) failed++;
}

function makeTracks(root, lengths) {
  return lengths.map((seconds, i) => {
    const file = path.join(root, "Track " + (i + 1) + ".mp3");
    execFileSync("ffmpeg", ["-loglevel", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t",
                            String(seconds), "-b:a", "8k", "-metadata", "title=Track " + (i + 1), file]);
    return file;
  });
}

// Starts the installed player on `port`; resolves once it answers.
async function startPlayer(port, shared) {
  const settings = ["listenIP=127.0.0.1", "autoStart=1", "requirePassword=0", "Shared Dirs=" + shared + ";"];
  const log = path.join(outDir, "player-live-updates.log");
  return (await startInstalledPlayer(installDir, { port, settings, log, append: true })).child;
}

// Polls `test` every 20 ms from `since`: the time it took to hold, or null
// when it did not within `ms`.
async function within(test, since, ms) {
  while (Date.now() - since <= ms) {
    if (await test()) return Date.now() - since;
    await sleep(20);
  }
  return null;
}

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  const shared = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-live-"));
  const files = makeTracks(shared, [3, 30, 30]);
  const port = await freePort();
  const base = "http://127.0.0.1:" + port;
  let child = await startPlayer(port, shared);
  const watchdog = setTimeout(() => { child.kill("SIGKILL"); process.exit(1); }, 160000);
  const get = async (route) => (await (await fetch(base + "/" + route)).text());
  const browser = await pages.launchBrowser();
  try {
    for (const file of files.slice(0, 2)) await get("enqueuefile?filename=" + encodeURIComponent(file));
    const page = await (await browser.newContext({ viewport: { width: 1000, height: 640 } })).newPage();
    const errors = [];
    page.on("pageerror", (err) => errors.push("uncaught: " + err.message));
    const documents = [];
    page.on("request", (r) => { if (/\.xml(\?|$)/.test(r.url())) documents.push(r.url()); });
    await page.goto(base + "/?poll=0");
    const rows = page.locator(".playlist [role=option]");
    const live = () => page.evaluate(() => document.documentElement.getAttribute("data-live"));
    {
      const f = [];
      if (!(await until(async () => (await live()) === "open"))) f.push("the stream never opened");
      if (!(await until(async () => (await rows.count()) === 2))) f.push("the playlist never showed");
      await sleep(500);
      documents.length = 0;
      await sleep(3500);
      if (documents.length) f.push("asked while nothing changed: " + documents.join(" "));
      verdict("stream open, no polling", f);
    }

    // A player slow to start stands still at first: while the stream is
    // open, two samples of an unmoved position do not undo the playing it
    // told (the page would show Stopped and, with nothing changing, stay so).
    {
      const shown = await page.evaluate(async () => {
        const c = Live.console, was = c.stateText();
        const status = Object.assign(StatusText.console(await (await fetch("consolestatus.xml")).text()),
                                     { position: "0", lengthms: "3000", filename: "/not/moving.mp3" });
        Live.apply({ state: "playing" });
        c.last = null;
        c.show(status, 1000);
        c.show(status, 3000);
        const after = c.stateText();
        Live.apply({ state: was });
        return after;
      });
      verdict("the stream's state stands against samples of a position not moving yet",
              shown === "playing" ? [] : ["the display shows " + JSON.stringify(shown)]);
    }

    // Each change: what makes it (resolving once it is made), and what the
    // page shows once it has heard of it.
    const volume = () => page.$eval("input.volume", (e) => e.value);
    const pressed = (name) => async () =>
      (await page.$eval("button." + name, (e) => e.getAttribute("aria-pressed"))) === "true";
    const playingRow = () => page.evaluate(() => {
      const row = document.querySelector(".playlist [role=option].playing");
      return row ? Number(row.id.replace("pl-", "")) : -1;
    });
    const changes = [
      ["volume set by another client", () => get("setvolume?level=77"), async () => (await volume()) === "77"],
      ["shuffle set by another client", () => get("setshuffle?setting=on"), pressed("shuffle")],
      ["repeat set by another client", () => get("setrepeat?setting=on"), pressed("repeat")],
      ["entry added by another client", () => get("enqueuefile?filename=" + encodeURIComponent(files[2])),
       async () => (await rows.count()) === 3],
      ["entry chosen by another client", () => get("setplaylistpos?index=2"), async () => (await playingRow()) === 2],
      ["track ended in the player", async () => {
        await get("setshuffle?setting=off");
        await get("setplaylistpos?index=0");
        await get("play");
        // Made when the player itself has moved on from the 3 s track.
        await until(async () => (await get("getplaylistpos")) === "1");
      }, async () => (await playingRow()) === 1],
    ];
    const run = async (label, [name, make, shown]) => {
      await make();
      const took = await within(shown, Date.now(), LIMIT_MS);
      verdict(label + name + (took !== null ? " (" + took + " ms)" : ""),
              took === null ? ["not shown within " + LIMIT_MS + " ms"] : []);
    };
    for (const change of changes) await run("", change);

    // The player restarts: the stream breaks, is opened again, and carries
    // changes as before.
    {
      const f = [];
      const ended = new Promise((resolve) => child.once("exit", resolve));
      child.kill("SIGTERM");
      await ended;
      if (!(await until(async () => (await live()) === "closed"))) f.push("the page did not see the stream end");
      child = await startPlayer(port, shared);
      const reopened = await until(async () => (await page.evaluate(() => Live.opened)) === 2, 60000);
      if (!reopened) f.push("the stream was not opened again");
      verdict("stream re-opened after a restart", f);
      if (reopened) await run("after the restart: ", ["volume set by another client", () => get("setvolume?level=140"),
                                                      async () => (await volume()) === "140"]);
    }
    verdict("no script errors", errors);
    await page.screenshot({ path: path.join(outDir, "live-updates.png") });
  } catch (e) {
    console.log("  FAIL live updates: " + (e && e.stack ? e.stack : e));
    failed++;
  } finally {
    await browser.close();
    clearTimeout(watchdog);
    child.kill("SIGTERM");
  }
  console.log(failed ? failed + " failed" : "all passed");
  process.exit(failed ? 1 : 0);
})();
