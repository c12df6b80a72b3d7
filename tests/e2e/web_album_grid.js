// The library box's album grid over more albums than its first answer
// holds, in Chromium against the client's files and canned answers from
// src/webclient/tools/serve.py: the first answer is a screenful, the rest
// follows and joins the grid in order, the short row at the seam drawn whole.
//
//   node web_album_grid.js
//
// Loopback only: run inside tools/netns.sh. Needs playwright-core
// (NODE_PATH), /usr/bin/chromium and python3; exits 77 (skipped) without
// them unless TUNELET_REQUIRE_BROWSER=1.
"use strict";

const fs = require("fs");
const path = require("path");
const { spawn } = require("child_process");
const { until, freePort } = require("./support.js");

const top = path.join(__dirname, "..", "..");
const ALBUMS = 300;
const name = (i) => "Album " + String(i).padStart(5, "0") + " - A Rather Long Album Title";

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

// In the page: the labels of the cards in the grid's row holding album k
// (counted from 0), that row scrolled into view first; null until it is drawn.
function rowOf(k) {
  const list = document.querySelector(".ml-list");
  const card = list.querySelector(".card[data-i='" + k + "']");
  if (!card) {
    const first = list.querySelector(".card");
    const columns = first ? first.parentElement.querySelectorAll(".card").length : 1;
    list.scrollTop = Math.floor(k / columns) * (first ? first.parentElement.offsetHeight : 0);
    return null;
  }
  return Array.from(card.parentElement.querySelectorAll(".card .label")).map((label) => label.textContent);
}

(async () => {
  const port = await freePort();
  const server = spawn("python3", [path.join(top, "src/webclient/tools/serve.py"), "--fake", "--albums", String(ALBUMS),
                                   "--port", String(port)], { stdio: ["ignore", "pipe", "inherit"] });
  await new Promise((resolve) => server.stdout.once("data", resolve));
  const browser = await pages.launchBrowser();
  const failures = [];
  try {
    // 7 cards a row: the first answer's last row is short.
    const context = await browser.newContext({ viewport: { width: 1250, height: 700 } });
    const page = await context.newPage();
    page.on("pageerror", (err) => failures.push("uncaught error: " + err.message));
    // The rest is held until the row at the seam is on screen, so that the
    // row is drawn short first.
    const asked = [];
    let release = null;
    const released = new Promise((resolve) => { release = resolve; });
    await page.route("**/albums.js?*", async (route) => {
      const url = new URL(route.request().url());
      asked.push([url.searchParams.get("start") || "0", url.searchParams.get("count")]);
      if (asked.length === 2) await released;
      await route.continue();
    });
    await page.goto("http://127.0.0.1:" + port + "/library");
    await page.click(".ml-views [data-view=albums]");
    const columns = await until(() => page.evaluate(() => {
      const card = document.querySelector(".ml-list .card");
      return card ? card.parentElement.querySelectorAll(".card").length : 0;
    }));
    await until(() => page.evaluate(rowOf, 119));
    release();
    const checks = [
      ["asked for a first screen, then the rest", async () => JSON.stringify(asked) === JSON.stringify([["0", "120"], ["120", "180"]])],
      ["the count says every album", async () => (await page.textContent(".ml-count")) === ALBUMS + " albums"],
      // With 7 a row, album 119 (from 0) opens the row that 120-125 of the rest fill.
      ["the row at the seam is whole", async () => {
        const row = await page.evaluate(rowOf, 119);
        const from = 119 - (119 % columns);
        const want = Array.from({ length: columns }, (_, c) => name(from + c + 1));
        return row && JSON.stringify(row) === JSON.stringify(want);
      }],
      ["the last album is drawn at the end", async () => JSON.stringify(await page.evaluate(rowOf, ALBUMS - 1) || []).includes(name(ALBUMS))],
    ];
    if (columns === 0 || 120 % columns === 0) failures.push(columns + " cards a row: no short row at the seam");
    for (const [what, check] of checks) {
      if (!(await until(check, 10000))) failures.push(what + " (asked " + JSON.stringify(asked) + ")");
    }
    await context.close();
  } finally {
    await browser.close();
    server.kill();
  }
  process.exit(pages.report("album grid in two answers", { failures, notes: [] }) ? 0 : 1);
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
