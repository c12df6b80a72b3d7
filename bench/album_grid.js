// The library box's album grid of 5,000 albums in Chromium, beside its
// Folders view of a 5,000-file folder, in the same run and page: for the
// folder, how long the first screen takes from the moment the listing's
// answer is in until its rows are on screen (the second frame after the
// first file row was added); for the grid, after a click on the Albums tab,
// the same from its answer, from the click, and from the click until every
// cover of the first screen has loaded.
//
//   node bench/album_grid.js BASE_URL [RUNS]
//
// bench/album_grid.sh serves the client with canned answers and runs this.
// Needs playwright-core (NODE_PATH) and /usr/bin/chromium.
"use strict";

const path = require("path");
const pages = require(path.join(__dirname, "..", "tests", "webclient", "browser", "check_pages.js"));

const [base] = process.argv.slice(2, 3);
const runs = Number(process.argv[3] || 5);
const FOLDER = "C%3a%5cMusic";
const firstAlbum = "Album 00001 - A Rather Long Album Title";

// Before any page script: note the second frame after the first file row is in the list.
function instrument() {
  window.bench = { paintedAt: 0 };
  const observer = new MutationObserver(() => {
    if (window.bench.paintedAt || !document.querySelector(".ml-list li.file")) return;
    observer.disconnect();
    requestAnimationFrame(() => requestAnimationFrame(() => { window.bench.paintedAt = performance.now(); }));
  });
  observer.observe(document, { childList: true, subtree: true });
}

// In the page: clicks the Albums tab; resolves with the click's time, the
// second frame after the first card is in the list, and the frame by which
// every cover in view had loaded.
function openAlbums() {
  return new Promise((resolve) => {
    const list = document.querySelector(".ml-list");
    const out = { clicked: performance.now() };
    const inView = () => {
      const box = list.getBoundingClientRect();
      return Array.from(list.querySelectorAll(".card img.cover")).filter((img) => {
        const r = img.getBoundingClientRect();
        return r.bottom > box.top && r.top < box.bottom;
      });
    };
    const covers = () => {
      const shown = inView();
      if (!shown.length || !shown.every((img) => img.complete && img.naturalWidth > 0)) {
        requestAnimationFrame(covers);
        return;
      }
      out.covered = performance.now();
      out.inView = shown.length;
      out.cards = list.querySelectorAll(".card").length;
      out.top = list.querySelector(".card .label, .card button, .card").textContent;
      resolve(out);
    };
    const observer = new MutationObserver(() => {
      if (!list.querySelector(".card")) return;
      observer.disconnect();
      requestAnimationFrame(() => requestAnimationFrame(() => { out.painted = performance.now(); covers(); }));
    });
    observer.observe(list, { childList: true, subtree: true });
    document.querySelector(".ml-views [data-view='albums']").click();
  });
}

// The end of the first answer of `route` asked for at or after `after` ms,
// and the bytes of all of them.
function answerEnd([route, after]) {
  const answers = performance.getEntriesByType("resource")
    .filter((e) => e.name.includes("/" + route + "?") && e.startTime >= after);
  return { end: answers[0].responseEnd, bytes: answers.reduce((sum, e) => sum + e.encodedBodySize, 0),
           answers: answers.length };
}

async function measure(browser) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 700 } });
  await context.addCookies([{ name: "mlPath", value: FOLDER, url: base }]);
  const page = await context.newPage();
  await page.addInitScript(instrument);
  await page.goto(base + "/library");
  await page.waitForFunction(() => window.bench.paintedAt > 0, null, { timeout: 60000, polling: 50 });
  const folder = await page.evaluate(answerEnd, ["files.js", 0]);
  const folderPainted = await page.evaluate(() => window.bench.paintedAt);
  const grid = await Promise.race([page.evaluate(openAlbums),
    new Promise((resolve, reject) => setTimeout(() => reject(new Error("no album grid from " + base)), 60000))]);
  // The whole grid, in one answer or more: its last card is drawn at the end.
  await page.waitForFunction(() => {
    const list = document.querySelector(".ml-list");
    list.scrollTop = list.scrollHeight;
    return Array.from(list.querySelectorAll(".card .label")).some((label) => label.textContent.startsWith("Album 05000"));
  }, null, { timeout: 60000, polling: 100 });
  const albums = await page.evaluate(answerEnd, ["albums.js", grid.clicked]);
  await context.close();
  return { folderDraw: folderPainted - folder.end, folderBytes: folder.bytes,
           gridDraw: grid.painted - albums.end, gridAnswer: albums.end - grid.clicked, gridClick: grid.painted - grid.clicked,
           coversClick: grid.covered - grid.clicked, gridBytes: albums.bytes, gridAnswers: albums.answers, inView: grid.inView, cards: grid.cards,
           top: grid.top };
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

(async () => {
  const browser = await pages.launchBrowser();
  const results = [];
  try {
    for (let i = 0; i < runs; i++) results.push(await measure(browser));
  } finally {
    await browser.close();
  }
  const wrong = results.filter((r) => !r.top.includes(firstAlbum));
  if (wrong.length) {
    console.error("the grid did not show " + firstAlbum + " first: " + JSON.stringify(wrong));
    process.exit(1);
  }
  const line = (label, values, unit = " ms") => console.log("  " + label.padEnd(48) + median(values).toFixed(1).padStart(8) +
    unit + "  (" + Math.min(...values).toFixed(1) + " - " + Math.max(...values).toFixed(1) + ")");
  const r = results[0];
  console.log("library box, 1000x700, " + runs + " runs, median (min - max):");
  console.log("Folders view, a folder of 5,000 files (" + Math.round(r.folderBytes / 1024) + " KiB answer):");
  line("answer in -> first screen on screen", results.map((x) => x.folderDraw));
  console.log("Albums view, 5,000 albums (" + Math.round(r.gridBytes / 1024) + " KiB in " + r.gridAnswers + " answers, " + r.cards +
              " cards in the page, " + r.inView + " covers in view):");
  line("first answer in -> first screen on screen", results.map((x) => x.gridDraw));
  line("click on Albums -> first answer in (canned)", results.map((x) => x.gridAnswer));
  line("click on Albums -> first screen on screen", results.map((x) => x.gridClick));
  line("click on Albums -> its covers loaded", results.map((x) => x.coversClick));
  line("grid first screen / folder first screen", results.map((x) => x.gridDraw / x.folderDraw), " x ");
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
