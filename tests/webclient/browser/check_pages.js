// Loads the two pages of the browser client in a real Chromium and checks
// that they run clean: no uncaught error, no console error other than the
// expected failed loads of routes that answer 404 (the dynamic routes of an
// unwired server), every image on the page and every image of the resource
// table decodes, and the title carries the version. Screenshots of both
// pages are written for a person to judge.
//
//   node check_pages.js BASE_URL OUT_DIR [--fake]
//
// --fake: the server answers the dynamic routes with canned data, so the
// playlist, the console display and the library listing must fill in.
// Needs playwright-core (NODE_PATH) and /usr/bin/chromium.
"use strict";

const fs = require("fs");
const path = require("path");
const { chromium } = require("playwright-core");

const base = process.argv[2] || "http://127.0.0.1:8080";
const outDir = process.argv[3] || ".";
const fake = process.argv.includes("--fake");
const manifest = path.join(__dirname, "..", "..", "..", "src", "webclient", "resources.txt");
const DYNAMIC = new Set(["playlist.xml", "consolestatus.xml", "library.js", "favorites.js", "events.js",
                         "stream", "download", "prev", "play", "pause", "stop", "next", "getvolume",
                         "setvolume", "getplaylistpos", "setplaylistpos", "getposition", "setposition"]);

function imageRoutes() {
  return fs.readFileSync(manifest, "utf8").split("\n")
    .map((line) => line.replace(/#.*/, "").trim().split(/\s+/))
    .filter((f) => f.length === 4 && f[1] !== "23")
    .map((f) => f[3].replace(/^\//, ""));
}

function routeOf(url) {
  try {
    return new URL(url).pathname.replace(/^\/+/, "");
  } catch (e) {
    return "";
  }
}

async function checkPage(browser, route, viewport, expectations) {
  const failures = [];
  const notes = [];
  const context = await browser.newContext({ viewport });
  if (fake) {
    // Start the library inside a folder, so files (and their links) are listed.
    await context.addCookies([{ name: "mlPath", value: encodeURIComponent("C:\\Music"), url: base }]);
  }
  const page = await context.newPage();
  page.on("pageerror", (err) => failures.push("uncaught error: " + err.message));
  page.on("console", (msg) => {
    if (msg.type() !== "error") return;
    const where = routeOf((msg.location() || {}).url || "");
    if (/Failed to load resource/.test(msg.text()) && DYNAMIC.has(where)) {
      notes.push("expected 404: " + where);
    } else {
      failures.push("console error: " + msg.text() + (where ? " (" + where + ")" : ""));
    }
  });
  page.on("response", (res) => {
    const r = routeOf(res.url());
    if (res.status() >= 400 && !DYNAMIC.has(r)) failures.push("HTTP " + res.status() + " for " + r);
  });

  await page.goto(base + "/" + route, { waitUntil: "load" });
  await page.waitForTimeout(1500); // one refresh of console and playlist

  const title = await page.title();
  if (!/^Tunelet v3\.1/.test(title)) failures.push("title is " + JSON.stringify(title));

  const broken = await page.evaluate(() =>
    Array.from(document.images).filter((img) => !img.complete || img.naturalWidth === 0)
      .map((img) => img.getAttribute("src")));
  broken.forEach((src) => failures.push("image does not decode on the page: " + src));

  const undecodable = await page.evaluate(async (names) => {
    const bad = [];
    for (const name of names) {
      const img = new Image();
      img.src = name;
      try {
        await img.decode();
        if (img.naturalWidth === 0) bad.push(name);
      } catch (e) {
        bad.push(name);
      }
    }
    return bad;
  }, imageRoutes());
  undecodable.forEach((name) => failures.push("table image does not decode: " + name));

  for (const [selector, minimum] of Object.entries(expectations)) {
    const count = await page.locator(selector).count();
    if (count < minimum) failures.push(selector + ": " + count + " element(s), wanted " + minimum);
  }

  const shot = path.join(outDir, (route || "main") + (fake ? "-fake" : "") + ".png");
  await page.screenshot({ path: shot });

  if (fake && route === "") {
    // Use the controls once each; any uncaught error lands in failures.
    await page.click(".hot.next");
    await page.keyboard.press("x");
    await page.click(".hot.shuffle");
    const lit = await page.locator(".hot.shuffle .light.on").count();
    if (lit !== 1) failures.push("the shuffle light did not come on at once");
    await page.click(".hot.mute");
    await page.mouse.click(100, 184);                 // on the volume track
    await page.dblclick(".playlist li >> nth=2");
    await page.click(".playlist li >> nth=4");
    await page.keyboard.press("ArrowDown");
    await page.keyboard.press("Delete");
    await page.click(".ml-list li.file .actions img[data-act=enqueue] >> nth=0");
    await page.click(".ml-list li.up .actions img[data-act=next]");
    await page.click(".ml-places");
    const places = await page.locator(".menu li").count();
    if (places < 2) failures.push("the places menu shows " + places + " place(s)");
    await page.keyboard.press("Escape");
    await page.click(".ml-save");
    const saved = await page.getAttribute(".ml-save img", "src");
    if (saved !== "fav_on.jpg") failures.push("saving a place left the button at " + saved);
    await page.click(".ml-list li.dir >> nth=0");
    await page.waitForTimeout(300);
    await page.click(".ml-back");
    await page.fill(".ml-query", "tide");
    await page.press(".ml-query", "Enter");
    await page.click(".ml-heads [data-sort='2']");
    await page.click(".hot.pl");
    if (await page.locator("#playlistBox.hidden").count() !== 1) failures.push("the playlist button did not hide it");
    await page.click(".hot.pl");
    await page.waitForTimeout(500);
  }
  await context.close();
  return { failures, notes, shot };
}

(async () => {
  const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: ["--no-sandbox"] });
  const pages = [
    ["", { width: 1000, height: 640 },
     fake ? { ".playlist li": 5, ".ml-list li.file": 3, ".light.on": 1 } : { ".buttons .hot": 9 }],
    ["library", { width: 860, height: 560 }, fake ? { ".ml-list li a.name": 1 } : { ".ml-toolbar .tool": 4 }],
  ];
  let failed = 0;
  let passed = 0;
  for (const [route, viewport, expectations] of pages) {
    const result = await checkPage(browser, route, viewport, expectations);
    const name = "/" + route;
    result.notes.forEach((n) => console.log("  note " + name + ": " + n));
    if (result.failures.length) {
      failed++;
      result.failures.forEach((f) => console.log("  FAIL " + name + ": " + f));
    } else {
      passed++;
      console.log("  ok " + name + " (screenshot " + result.shot + ")");
    }
  }
  await browser.close();
  console.log(passed + " passed, " + failed + " failed");
  process.exit(failed ? 1 : 0);
})().catch((err) => {
  console.error(err);
  process.exit(2);
});
