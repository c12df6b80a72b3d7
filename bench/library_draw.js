// The library box with a 10,000-file folder, in Chromium: how long the first
// screen takes from the moment the listing's answer is in until its rows are
// on screen (the second frame after the first file row was added), how long
// a click on the Size head takes until the sorted rows are on screen, and
// how long a jump of the scroll position takes to paint, for today's client
// and, in the same run, an older client served with the same answers.
//
//   node bench/library_draw.js NEW_BASE_URL OLD_BASE_URL [RUNS]
//
// bench/library_draw.sh serves both clients and runs this. Needs
// playwright-core (NODE_PATH) and /usr/bin/chromium.
"use strict";

const path = require("path");
const pages = require(path.join(__dirname, "..", "tests", "webclient", "browser", "check_pages.js"));

const [newBase, oldBase] = process.argv.slice(2, 4);
const runs = Number(process.argv[4] || 5);
const ENTRIES = 10000;
const FOLDER = "C%3a%5cMusic";

// The names serve.py gives the files, and the one of the smallest size.
const name = (i) => "Track " + String(i).padStart(5, "0") + " - A Rather Long Song Title.mp3";
let smallest = 1;
for (let i = 1; i <= ENTRIES; i++) if ((i * 7919) % 9000000 < (smallest * 7919) % 9000000) smallest = i;

// Before any page script: note when the first file row is in the list, then
// the second frame after it.
function instrument() {
  window.bench = { paintedAt: 0 };
  const observer = new MutationObserver(() => {
    if (window.bench.paintedAt || !document.querySelector(".ml-list li.file")) return;
    observer.disconnect();
    requestAnimationFrame(() => requestAnimationFrame(() => { window.bench.paintedAt = performance.now(); }));
  });
  observer.observe(document, { childList: true, subtree: true });
}

// In the page: clicks a sort head and resolves with the time until the
// second frame after the first file row shows the name wanted.
function sortBy(args) {
  const [head, want] = args;
  return new Promise((resolve) => {
    const list = document.querySelector(".ml-list");
    const first = () => { const row = list.querySelector("li.file .label"); return row && row.textContent; };
    const start = performance.now();
    const done = () => requestAnimationFrame(() => requestAnimationFrame(() => resolve(performance.now() - start)));
    const observer = new MutationObserver(() => {
      if (first() !== want) return;
      observer.disconnect();
      done();
    });
    observer.observe(list, { childList: true, subtree: true, characterData: true });
    document.querySelector(".ml-heads [data-sort='" + head + "']").click();
  });
}

// In the page: jumps the list's scroll position 20 times, each time waiting
// for the second frame; resolves with the mean time of a jump.
function scrollJumps() {
  const list = document.querySelector(".ml-list");
  const frame = () => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
  return (async () => {
    const start = performance.now();
    for (let i = 1; i <= 20; i++) {
      list.scrollTop = (list.scrollHeight - list.clientHeight) * ((i * 7) % 20) / 19;
      await frame();
    }
    return (performance.now() - start) / 20;
  })();
}

async function measure(browser, base) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 700 } });
  await context.addCookies([{ name: "mlPath", value: FOLDER, url: base }]);
  const page = await context.newPage();
  await page.addInitScript(instrument);
  await page.goto(base + "/library");
  await page.waitForFunction(() => window.bench.paintedAt > 0, null, { timeout: 60000, polling: 50 });
  const first = await page.evaluate(() => {
    const answers = performance.getEntriesByType("resource").filter((e) => /\/(files|library)\.js\?/.test(e.name));
    const answer = answers[answers.length - 1];
    return { draw: window.bench.paintedAt - answer.responseEnd, bytes: answer.encodedBodySize,
             rows: document.querySelectorAll(".ml-list li.file").length,
             top: document.querySelector(".ml-list li.file .label").textContent };
  });
  const sort = await Promise.race([page.evaluate(sortBy, [2, name(smallest)]),
    new Promise((resolve, reject) => setTimeout(() => reject(new Error("no sorted rows from " + base)), 20000))]);
  const scroll = await page.evaluate(scrollJumps);
  await context.close();
  return { ...first, sort, scroll };
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

(async () => {
  const browser = await pages.launchBrowser();
  const ours = [];
  const old = [];
  try {
    for (let i = 0; i < runs; i++) {
      ours.push(await measure(browser, newBase));
      old.push(await measure(browser, oldBase));
    }
  } finally {
    await browser.close();
  }
  const wrong = ours.concat(old).filter((r) => r.top !== name(1));
  if (wrong.length) {
    console.error("a client did not show " + name(1) + " first: " + JSON.stringify(wrong));
    process.exit(1);
  }
  const line = (label, values) => console.log("  " + label.padEnd(44) + median(values).toFixed(1).padStart(8) + " ms  (" +
    Math.min(...values).toFixed(1) + " - " + Math.max(...values).toFixed(1) + ")");
  console.log("library box, a folder of " + ENTRIES + " files, " + runs + " runs, median (min - max):");
  for (const [label, results] of [["today's client", ours], ["older client", old]]) {
    console.log(label + " (" + Math.round(results[0].bytes / 1024) + " KiB answer, " + results[0].rows + " file rows in the page):");
    line("answer in -> first screen on screen", results.map((r) => r.draw));
    line("click on Size -> sorted rows on screen", results.map((r) => r.sort));
    line("scroll jump -> painted", results.map((r) => r.scroll));
  }
})().catch((err) => {
  console.error(err);
  process.exit(1);
});
