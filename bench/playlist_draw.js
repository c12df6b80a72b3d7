// The browser client's playlist box with 10,000 entries, in Chromium, against
// the installed player: how long the first draw takes from the moment the
// "playlist.xml" answer is in until the first screen of rows is on screen
// (the frame after they were added), how scrolling through the list goes
// (frame times while it is scrolled by 2,000 px a frame, and the time from
// a jump to the end until its rows are painted), and how many changes an
// unchanged refresh (dirty="0") makes to the box. The client as built runs
// beside an earlier client (OLD_ROUTE: its page, served from the document
// root) and the reference: the same rows, same markup and style sheet, as a
// static HTML page, timed from the end of its answer to the first frame that
// shows them.
//
//   node bench/playlist_draw.js BASE_URL REFERENCE_ROUTE OLD_ROUTE [RUNS]
//
// bench/playlist_draw.sh starts the player with the entries and the
// reference page in its document root, and runs this. Needs playwright-core
// (NODE_PATH) and /usr/bin/chromium.
"use strict";

const path = require("path");
const pages = require(path.join(__dirname, "..", "tests", "webclient", "browser", "check_pages.js"));

const base = process.argv[2];
const reference = process.argv[3];
const oldRoute = process.argv[4];
const runs = Number(process.argv[5] || 5);
const ENTRIES = 10000;

// Before any page script: note when the box first shows every entry (its
// count says so and a row is drawn: a client that draws all rows has drawn
// them by then), then wait two frames (style, layout and paint of that frame
// are done by the second), and from then on count every change made inside
// the box.
function instrument(entries) {
  window.bench = { filledAt: 0, paintedAt: 0, changes: 0 };
  const observer = new MutationObserver((records) => {
    if (window.bench.paintedAt) {
      const box = document.getElementById("playlistBox");
      window.bench.changes += records.filter((r) => box && box.contains(r.target)).length;
      return;
    }
    const count = document.querySelector("#playlistBox .count");
    const drawn = document.querySelector(".playlist li[role=option]");
    if (!count || !drawn || window.bench.filledAt || !count.textContent.startsWith(entries + " tracks")) return;
    window.bench.filledAt = performance.now();
    requestAnimationFrame(() => requestAnimationFrame(() => { window.bench.paintedAt = performance.now(); }));
  });
  observer.observe(document, { childList: true, subtree: true, attributes: true, characterData: true });
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// Scrolls the list by 2,000 px a frame to the end: the longest and the mean
// frame; then back to the top and a jump to the end: the time until the
// frame after the last row is drawn.
function scrollThrough() {
  const list = document.querySelector(".playlist");
  const lastRow = () => {
    const rows = list.querySelectorAll("li[role=option]");
    return rows.length ? rows[rows.length - 1].id : "";
  };
  const want = "pl-" + (list.closest("#playlistBox").querySelector(".count").textContent.match(/^\d+/)[0] - 1);
  return new Promise((resolve) => {
    const frames = [];
    let before = performance.now();
    const step = () => {
      const now = performance.now();
      frames.push(now - before);
      before = now;
      if (list.scrollTop + list.clientHeight < list.scrollHeight - 1) {
        list.scrollTop += 2000;
        requestAnimationFrame(step);
        return;
      }
      list.scrollTop = 0;
      requestAnimationFrame(() => requestAnimationFrame(() => {
        const start = performance.now();
        list.scrollTop = list.scrollHeight;
        const wait = () => {
          if (lastRow() !== want) { requestAnimationFrame(wait); return; }
          requestAnimationFrame(() => resolve({ worstFrame: Math.max(...frames.slice(1)),
            meanFrame: frames.slice(1).reduce((a, b) => a + b, 0) / (frames.length - 1),
            jump: performance.now() - start }));
        };
        requestAnimationFrame(wait);
      }));
    };
    requestAnimationFrame(step);
  });
}

async function drawClient(browser, route) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 640 } });
  const page = await context.newPage();
  await page.addInitScript(instrument, ENTRIES);
  const refreshes = [];
  page.on("response", (r) => { if (/\/playlist\.xml\?/.test(r.url())) refreshes.push(r); });
  await page.goto(base + "/" + route);
  await page.waitForFunction(() => window.bench.paintedAt > 0, null, { timeout: 60000, polling: 50 });
  const drawn = await page.evaluate(() => {
    const answer = performance.getEntriesByType("resource").find((e) => /\/playlist\.xml\?/.test(e.name));
    return { draw: window.bench.paintedAt - answer.responseEnd, total: window.bench.paintedAt,
             bytes: answer.encodedBodySize, changesBefore: window.bench.changes };
  });
  // Two more refreshes of the unchanged list, then a frame for either to land
  // (polled ones: the event stream, while open, stops the polling).
  await page.evaluate(() => { if (typeof Live !== "undefined" && Live.source) { Live.source.close(); Live.open = false; } });
  const seen = refreshes.length;
  await page.waitForFunction((n) => performance.getEntriesByType("resource")
    .filter((e) => /\/playlist\.xml\?/.test(e.name)).length >= n, seen + 2, { timeout: 20000, polling: 100 });
  const changes = await page.evaluate(() => new Promise((resolve) =>
    requestAnimationFrame(() => setTimeout(() => resolve(window.bench.changes), 50))));
  const rows = await page.locator(".playlist > li[role=option]").count();
  const scrolled = await page.evaluate(scrollThrough);
  await context.close();
  return { ...drawn, ...scrolled, changes, rows };
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
  const old = [];
  const static_ = [];
  try {
    for (let i = 0; i < runs; i++) {
      ours.push(await drawClient(browser, ""));
      old.push(await drawClient(browser, oldRoute));
      static_.push(await drawReference(browser));
    }
  } finally {
    await browser.close();
  }
  // The reference draws every row; the clients at least a screen of them
  // (an earlier client may draw them all).
  const bad = static_.filter((r) => r.rows !== ENTRIES).concat(ours.concat(old).filter((r) => r.rows < 1));
  if (bad.length) {
    console.error("a page did not show its rows: " + JSON.stringify(bad));
    process.exit(1);
  }
  const ms = (v) => v.toFixed(0).padStart(6) + " ms";
  console.log("playlist box, " + ENTRIES + " entries (" + Math.round(ours[0].bytes / 1024) + " KiB of playlist.xml), " +
              runs + " runs, median (min - max):");
  const line = (label, values) => console.log("  " + label.padEnd(46) + ms(median(values)) + "  (" +
    Math.min(...values).toFixed(0) + " - " + Math.max(...values).toFixed(0) + ")");
  for (const [label, results] of [["client", ours], ["earlier client", old]]) {
    line(label + ": answer in -> first screen", results.map((r) => r.draw));
    line(label + ": page start -> first screen", results.map((r) => r.total));
    line(label + ": scrolling, worst frame", results.map((r) => r.worstFrame));
    line(label + ": scrolling, mean frame", results.map((r) => r.meanFrame));
    line(label + ": jump to the end -> last row painted", results.map((r) => r.jump));
    console.log("  " + label + ": rows in the page " + results[0].rows + "; changes to the box in two dirty=\"0\" refreshes: " +
                results.map((r) => r.changes).join(", "));
  }
  line("reference, static HTML: answer in -> on screen", static_.map((r) => r.draw));
  console.log("  ratio client / earlier client (medians, first screen): " +
              (median(ours.map((r) => r.draw)) / median(old.map((r) => r.draw))).toFixed(3));
  console.log("  ratio client / reference (medians): " +
              (median(ours.map((r) => r.draw)) / median(static_.map((r) => r.draw))).toFixed(2));
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
