// The browser client's playlist box with 10,000 entries, in Chromium, against
// the installed player: how long the first draw takes from the moment the
// "playlist.xml" answer is in until the rows are on screen (the frame after
// they were added), and how many changes an unchanged refresh (dirty="0")
// makes to the box. Beside it in the same run, the reference: the same rows,
// same markup and style sheet, as a static HTML page, timed from the end of
// its answer to the first frame that shows them.
//
//   node bench/playlist_draw.js BASE_URL REFERENCE_ROUTE [RUNS]
//
// bench/playlist_draw.sh starts the player with the entries and the
// reference page in its document root, and runs this. Needs playwright-core
// (NODE_PATH) and /usr/bin/chromium.
"use strict";

const path = require("path");
const pages = require(path.join(__dirname, "..", "tests", "webclient", "browser", "check_pages.js"));

const base = process.argv[2];
const reference = process.argv[3];
const runs = Number(process.argv[4] || 5);
const ENTRIES = 10000;

// Before any page script: note when the list first holds every entry, then
// wait two frames (style, layout and paint of that frame are done by the
// second), and from then on count every change made inside the box.
function instrument(entries) {
  window.bench = { filledAt: 0, paintedAt: 0, changes: 0 };
  const observer = new MutationObserver((records) => {
    if (window.bench.paintedAt) {
      const box = document.getElementById("playlistBox");
      window.bench.changes += records.filter((r) => box && box.contains(r.target)).length;
      return;
    }
    const list = document.querySelector(".playlist");
    if (!list || window.bench.filledAt || list.childElementCount < entries) return;
    window.bench.filledAt = performance.now();
    requestAnimationFrame(() => requestAnimationFrame(() => { window.bench.paintedAt = performance.now(); }));
  });
  observer.observe(document, { childList: true, subtree: true, attributes: true, characterData: true });
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

async function drawClient(browser) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 640 } });
  const page = await context.newPage();
  await page.addInitScript(instrument, ENTRIES);
  const refreshes = [];
  page.on("response", (r) => { if (/\/playlist\.xml\?/.test(r.url())) refreshes.push(r); });
  await page.goto(base + "/");
  await page.waitForFunction(() => window.bench.paintedAt > 0, null, { timeout: 60000, polling: 50 });
  const drawn = await page.evaluate(() => {
    const answer = performance.getEntriesByType("resource").find((e) => /\/playlist\.xml\?/.test(e.name));
    return { draw: window.bench.paintedAt - answer.responseEnd, total: window.bench.paintedAt,
             bytes: answer.encodedBodySize, changesBefore: window.bench.changes };
  });
  // Two more refreshes of the unchanged list, then a frame for either to land.
  const seen = refreshes.length;
  await page.waitForFunction((n) => performance.getEntriesByType("resource")
    .filter((e) => /\/playlist\.xml\?/.test(e.name)).length >= n, seen + 2, { timeout: 20000, polling: 100 });
  const changes = await page.evaluate(() => new Promise((resolve) =>
    requestAnimationFrame(() => setTimeout(() => resolve(window.bench.changes), 50))));
  const rows = await page.locator(".playlist > li").count();
  await context.close();
  return { ...drawn, changes, rows };
}

async function drawReference(browser) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 640 } });
  const page = await context.newPage();
  await page.addInitScript(instrument, ENTRIES);
  await page.goto(base + "/" + reference);
  await page.waitForFunction(() => document.readyState === "complete", null, { timeout: 60000 });
  const painted = await page.evaluate(() => new Promise((resolve) =>
    requestAnimationFrame(() => requestAnimationFrame(() => resolve(performance.now())))));
  const timing = await page.evaluate(() => {
    const nav = performance.getEntriesByType("navigation")[0];
    return { responseEnd: nav.responseEnd, rows: document.querySelectorAll(".playlist > li").length };
  });
  await context.close();
  return { draw: painted - timing.responseEnd, rows: timing.rows };
}

(async () => {
  const browser = await pages.launchBrowser();
  const ours = [];
  const static_ = [];
  try {
    for (let i = 0; i < runs; i++) {
      ours.push(await drawClient(browser));
      static_.push(await drawReference(browser));
    }
  } finally {
    await browser.close();
  }
  const bad = ours.filter((r) => r.rows !== ENTRIES).concat(static_.filter((r) => r.rows !== ENTRIES));
  if (bad.length) {
    console.error("a page did not show " + ENTRIES + " rows: " + JSON.stringify(bad));
    process.exit(1);
  }
  const ms = (v) => v.toFixed(0).padStart(6) + " ms";
  console.log("playlist box, " + ENTRIES + " entries (" + Math.round(ours[0].bytes / 1024) + " KiB of playlist.xml), " +
              runs + " runs, median (min - max):");
  const line = (label, values) => console.log("  " + label.padEnd(46) + ms(median(values)) + "  (" +
    Math.min(...values).toFixed(0) + " - " + Math.max(...values).toFixed(0) + ")");
  line("client: answer in -> rows on screen", ours.map((r) => r.draw));
  line("reference, static HTML: answer in -> on screen", static_.map((r) => r.draw));
  line("client: page start -> rows on screen", ours.map((r) => r.total));
  console.log("  client: changes to the box in two dirty=\"0\" refreshes: " + ours.map((r) => r.changes).join(", "));
  console.log("  ratio client / reference (medians): " +
              (median(ours.map((r) => r.draw)) / median(static_.map((r) => r.draw))).toFixed(2));
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
