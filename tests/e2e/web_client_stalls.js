// The browser client when an answer never comes: the client's files and
// canned answers from src/webclient/tools/serve.py, one request held for
// ever by the test (the browser's requests pass through the test, which
// leaves the chosen one unanswered). Each case: the client gives up on it
// in time, says so or asks again, and what follows still goes out.
//
//   node web_client_stalls.js
//
// Loopback only: run inside tools/netns.sh. Needs playwright-core
// (NODE_PATH), /usr/bin/chromium and python3; exits 77 (skipped) without
// them unless TUNELET_REQUIRE_BROWSER=1.
"use strict";

const fs = require("fs");
const path = require("path");
const { spawn } = require("child_process");

const top = path.join(__dirname, "..", "..");
const { sleep, until, freePort } = require("./support.js");

function missing(what) {
  if (process.env.TUNELET_REQUIRE_BROWSER === "1") {
    console.error("missing: " + what);
    process.exit(1);
  }
  console.log("skipped: " + what + " is missing");
  process.exit(77);
}

let pages;
try {
  pages = require("../webclient/browser/check_pages.js");
} catch (e) {
  missing("playwright-core");
}
if (!fs.existsSync("/usr/bin/chromium")) missing("/usr/bin/chromium");



const button = (action) => ".buttons .hot[data-action=" + action + "], .hot.mute[data-action=" + action + "]";

// hold: the routes whose next request is left unanswered (after the page
// has loaded and its time-outs were shortened). act drives the page; then
// every check must hold within a few seconds. seen(route) counts the
// requests the page made for route since act began, held ones included.
const CASES = [
  {
    name: "a command without an answer is reported and the next command goes out",
    hold: ["pause"],
    act: async (page) => { await page.click(button("pause")); await page.click(button("stop")); },
    checks: [
      ["stop reaches the server", (t) => t.seen("stop") === 1],
      ["the console says so", async (t) => (await t.page.textContent(".lcd-state")) === "No answer from the player"],
      ["the paused command is not sent again", (t) => t.seen("pause") === 1],
    ],
  },
  {
    name: "a slow command holds the next one only so long and is not given up meanwhile",
    hold: ["enqueuefile"],
    act: async (page) => {
      await page.click(".ml-list li[data-i] button[data-act=enqueue]");
      await page.click(button("play"));
    },
    checks: [
      ["play reaches the server", (t) => t.seen("play") === 1],
      ["the slow one is not given up yet", async (t) => /^Adding /.test(await t.page.textContent(".ml-note"))],
    ],
  },
  {
    name: "a query that times out is asked once more",
    hold: ["getvolume"],
    act: (page) => page.click(button("mute")),
    checks: [
      ["getvolume asked twice", (t) => t.seen("getvolume") === 2],
      ["then muted", (t) => t.seen("setvolume") === 1],
    ],
  },
  {
    name: "status documents that never come do not end the refreshes",
    hold: ["playlist.xml", "consolestatus.xml"],
    act: async () => {},
    checks: [["both asked again", (t) => t.seen("playlist.xml") >= 2 && t.seen("consolestatus.xml") >= 2]],
  },
  {
    name: "a listing that never loads is reported and the next one loads",
    hold: ["library.js"],
    act: async (page) => { await page.fill(".ml-query", "tide"); await page.click(".ml-search button"); },
    checks: [
      ["reported", async (t) => /could not be loaded/.test(await t.page.textContent(".ml-list"))],
      ["the next one loads", async (t) => {
        if (t.seen("library.js") === 1) await t.page.click(".ml-search button");
        return (await t.page.locator(".ml-list li[data-i]").count()) > 0;
      }],
    ],
  },
  {
    // Not a stall: the same canned answers serve it best. Two samples of a
    // position standing still a second apart would say "paused".
    name: "the state the event stream tells is not overruled by the position samples",
    hold: [],
    act: (page) => page.evaluate(() => {
      Live.connect = function () {};
      if (Live.source) Live.source.close();
      Live.open = true;
      Live.apply({ state: "playing" });
      const sample = { volume: "200", position: "0.5", lengthms: "30000", shuffle: "0", repeat: "0", artist: "",
                       title: "Held", album: "", length: "0:30", filename: "held.mp3", bitrate: "128" };
      Live.console.show(sample, 1000);
      Live.console.show(sample, 3000);
    }),
    checks: [["still playing", async (t) => (await t.page.getAttribute(".lcd-state", "data-state")) === "playing"]],
  },
];

async function runCase(browser, base, c) {
  const failures = [];
  const context = await browser.newContext({ viewport: { width: 1100, height: 800 } });
  const page = await context.newPage();
  page.on("pageerror", (err) => failures.push("uncaught error: " + err.message));
  let held = [];
  let requests = [];
  await page.route("**/*", (route) => {
    const name = new URL(route.request().url()).pathname.slice(1);
    requests.push(name);
    if (held.includes(name)) held = held.filter((h) => h !== name);   // never answered
    else route.continue();
  });
  await page.goto(base + "/");
  await page.waitForSelector(".playlist li[role=option]");
  await page.evaluate(() => {
    HttpDeck.TIMEOUT_MS = 1000;
    JsonRequest.TIMEOUT_MS = 1000;
  });
  requests = [];
  held = c.hold.slice();
  const probe = { page, seen: (route) => requests.filter((r) => r === route).length };
  await c.act(page);
  for (const [what, check] of c.checks) {
    if (!(await until(() => check(probe)))) failures.push(what);
  }
  await context.close();
  return failures;
}

(async () => {
  const port = await freePort();
  const server = spawn("python3", [path.join(top, "src/webclient/tools/serve.py"), "--fake", "--port", String(port)],
                       { stdio: ["ignore", "pipe", "inherit"] });
  await new Promise((resolve) => server.stdout.once("data", resolve));
  const base = "http://127.0.0.1:" + port;
  const browser = await pages.launchBrowser();
  let failed = 0;
  try {
    for (const c of CASES) {
      const failures = await runCase(browser, base, c);
      if (!pages.report(c.name, { failures, notes: [] })) failed++;
    }
  } finally {
    await browser.close();
    server.kill();
  }
  process.exit(failed ? 1 : 0);
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
