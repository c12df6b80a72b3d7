// The playlist box and the console with long lists and track facts, against
// the installed player: durations per row and their total, a 10,000-entry
// list drawn a screen at a time and scrolled to its end, a delete and a move
// on that list read back from the server, the next track's title and the
// cover asked for on the console, and the phone layout of the rows.
//
//   node web_client_playlist.js INSTALL_DIR OUT_DIR
//
// Loopback only: run inside tools/netns.sh (web_front_door.sh does).
"use strict";

const fs = require("fs");
const path = require("path");
const { execFileSync } = require("child_process");
const { chromium } = require("playwright-core");
const pages = require("../webclient/browser/check_pages.js");
const { until, startInstalledPlayer } = require("./support.js");
const { measure } = require("./measure_page.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");
const BIG = 10000;
// [file, seconds, title]: tagged FLAC files (lengths exact).
const TAGGED = [["one.flac", 2, "First Song"], ["two.flac", 3, "Second Song"]];

function startPlayer(shared) {
  return startInstalledPlayer(installDir, { log: path.join(outDir, "player-web-client-playlist.log"),
    settings: ["listenIP=127.0.0.1", "autoStart=1", "requirePassword=0", "Shared Dirs=" + shared + ";"] });
}

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  const shared = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-playlist-"));
  const tagged = TAGGED.map(([file, seconds, title]) => {
    const name = path.join(shared, file);
    execFileSync("ffmpeg", ["-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=" + seconds,
                            "-ar", "44100", "-metadata", "title=" + title, name]);
    return name;
  });
  const big = [];
  for (let i = 0; i < BIG; i++) big.push("Entry " + i + "\t" + path.join(shared, "big", i + ".mp3"));
  fs.mkdirSync(path.join(shared, "big"));
  for (let i = 0; i < BIG; i++) fs.writeFileSync(path.join(shared, "big", i + ".mp3"), "");
  const { child, base } = await startPlayer(shared);
  const get = async (route, body) => (await (await fetch(base + "/" + route, body === undefined ? {} :
    { method: "POST", body, headers: { "content-type": "application/x-www-form-urlencoded" } })).text());
  const titles = async () => Array.from((await get("playlist.xml")).matchAll(/<title><!\[CDATA\[(.*?)\]\]>/g), (m) => m[1]);
  const fillBig = async () => {
    await get("clearplaylist");
    for (let at = 0; at < BIG; at += 1000)
      await get("enqueueplaylist", "playlist=" + encodeURIComponent(big.slice(at, at + 1000).join("\n") + "\n"));
  };
  const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", headless: true, args: pages.CHROMIUM_ARGS });
  const results = [];
  // With a picture, the page's cover requests are answered with an icon (the
  // route that makes covers is not what is tested here).
  const open = async (viewport, picture) => {
    const context = await browser.newContext({ viewport });
    // A sanitizer build on a loaded machine serves a 10,000-entry page slowly.
    context.setDefaultTimeout(90000);
    const page = await context.newPage();
    if (picture) await page.route("**/cover?*", (r) => r.fulfill({ contentType: "image/png", body: picture }));
    page.asked = [];
    page.on("request", (r) => page.asked.push(r.url()));
    await page.goto(base + "/", { waitUntil: "domcontentloaded" });
    await page.waitForSelector(".playlist li[role=option]");
    return page;
  };
  const rowText = (page) => page.$$eval(".playlist li[role=option]", (rows) => rows.map((r) => r.innerText.replace(/\s+/g, " ").trim()));

  const fillTagged = async () => {
    await get("clearplaylist");
    for (const f of tagged) await get("enqueuefile?filename=" + encodeURIComponent(f) + "&title=");
  };
  const icon = fs.readFileSync(path.join(__dirname, "..", "..", "src", "webclient", "files", "icon192.png"));
  // [name, fill the player, (page, failures) => check, cover picture]
  const cases = [
    ["durations, total, next title and cover", async () => {
      await get("clearplaylist");
      for (const f of tagged) await get("enqueuefile?filename=" + encodeURIComponent(f) + "&title=");
      await get("enqueuefile?filename=" + encodeURIComponent("http://127.0.0.1:9/live") + "&title=Live");
    }, async (page, f) => {
      if (!(await until(async () => /0:05\+$/.test(await page.textContent("#playlistBox .count")))))
        f.push("the total shows " + (await page.textContent("#playlistBox .count")));
      const rows = await rowText(page);
      const want = ["1. one.flac 0:02", "2. two.flac 0:03", "3. three", "4. Live"];
      if (!/ 0:02$/.test(rows[0]) || !/ 0:03$/.test(rows[1]) || !/Live$/.test(rows[2])) f.push("rows: " + rows.join(" | ") + " want like " + want);
      await page.dblclick(".playlist li[role=option] >> nth=0");
      if (!(await until(async () => (await page.textContent(".lcd-next")) === "NEXT: SECOND SONG")))
        f.push("next shows " + (await page.textContent(".lcd-next")));
      if (!page.asked.some((u) => u.includes("/cover?path=" + encodeURIComponent(tagged[0]) + "&size=small"))) f.push("no small cover asked for");
      if (await page.locator(".lcd-cover").count()) f.push("the cover shows though the server has none");
    }],
    ["10,000 entries: a screen drawn, scrolled to the end", fillBig, async (page, f) => {
      await page.waitForFunction((n) => document.querySelector("#playlistBox .count").textContent.startsWith(n + " tracks"), BIG);
      const first = await rowText(page);
      if (first.length > 100 || first[0] !== "1. Entry 0") f.push(first.length + " rows drawn, first " + first[0]);
      await page.$eval(".playlist", (l) => { l.scrollTop = l.scrollHeight; });
      const lastRow = BIG + ". Entry " + (BIG - 1);
      await until(async () => (await rowText(page)).slice(-1)[0] === lastRow);
      const last = await rowText(page);
      if (last.length > 100 || last[last.length - 1] !== lastRow) f.push("at the end: " + last.length + " rows, " + JSON.stringify(last.slice(-2)));
    }],
    ["10,000 entries: delete and move act on the right entries", fillBig, async (page, f) => {
      await page.waitForFunction((n) => document.querySelector("#playlistBox .count").textContent.startsWith(n + " tracks"), BIG);
      await page.$eval(".playlist", (l) => { l.scrollTop = l.scrollHeight / 2; });
      // The click waits for the row to be drawn.
      const row = page.locator(".playlist li[role=option]", { hasText: "Entry 5000" }).first();
      await row.click();
      await page.keyboard.press("Delete");
      if (!(await until(async () => (await titles()).length === BIG - 1))) f.push("nothing deleted");
      let t = await titles();
      if (t[5000] !== "Entry 5001" || t[4999] !== "Entry 4999") f.push("deleted the wrong entry: " + t.slice(4999, 5002));
      await page.locator(".playlist li[role=option]", { hasText: "Entry 5003" }).first().click();
      await page.keyboard.press("Alt+ArrowUp");
      if (!(await until(async () => (await titles())[5001] === "Entry 5003"))) f.push("moved wrong: " + (await titles()).slice(5000, 5004));
    }],
    ["the console shows a cover the server has", fillTagged, async (page, f) => {
      await page.dblclick(".playlist li[role=option] >> nth=1");
      if (!(await until(async () => (await page.locator(".display.covered .lcd-cover").count()) === 1))) f.push("no cover shown");
    }, icon],
    ["phone: rows are targets, no sideways scroll", fillTagged, async (page, f) => {
      await page.setViewportSize({ width: 390, height: 844 });
      // Measured once the page has the new width and has drawn two frames
      // with it (the rows are laid out again on a resize).
      await page.waitForFunction(() => window.innerWidth === 390);
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
      const m = await page.evaluate(measure);
      if (m.sideways > 0) f.push("sideways scroll " + m.sideways);
      const bad = m.targets.concat(m.small).filter((t) => /option|time|num|title|lcd-next/.test(t));
      if (bad.length) f.push("too small: " + bad.join(", "));
    }],
  ];
  try {
    for (const [name, fill, check, picture] of cases) {
      const failures = [];
      let page = null;
      try {
        await fill();
        page = await open({ width: 1000, height: 700 }, picture);
        await check(page, failures);
      } catch (e) {
        failures.push("threw: " + String(e.message).split("\n")[0]);
      }
      if (page) await page.context().close();
      results.push(pages.report(name, { failures, notes: [] }));
    }
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
