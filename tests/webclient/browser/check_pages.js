// Loads the two pages of the browser client in a real Chromium and checks
// that they run clean: no uncaught error, no console error other than the
// expected 404s of the dynamic routes (those of an unwired server), every
// image on the page, every CSS background image and every image of the
// resource table decodes, and the title carries the version. Screenshots of
// both pages are written for a person to judge.
//
//   node check_pages.js BASE_URL OUT_DIR [--fake]
//
// --fake: the server answers the dynamic routes with canned data, so the
// playlist, the console display and the library listing must fill in.
// Needs playwright-core (NODE_PATH) and /usr/bin/chromium.
//
// Also a module: tests/e2e drives the running player's pages with
// launchBrowser and checkPage.
"use strict";

const fs = require("fs");
const path = require("path");
const { chromium } = require("playwright-core");

const manifest = path.join(__dirname, "..", "..", "..", "src", "webclient", "resources.txt");

// The routes served by handlers rather than embedded files: status
// documents, listings, player commands, streams and downloads. A server
// without them answers 404, which is the only failure tolerated for them.
const DYNAMIC = new Set([
  "playlist.xml", "consolestatus.xml", "library.js", "files.js", "find.js", "artists.js", "albums.js", "album.js", "favorites.js", "events.js", "peerlibrary.js", "cover", "stream", "playlisttracks.js",
  "download", "prev", "play", "pause", "stop", "next", "getvolume", "setvolume", "enqueuefile", "enqueuefilenext",
  "insertfile", "playfile", "getplaylistlength", "getplaylistfilename", "getplaylisttitle",
  "getplaylistpos", "setplaylistpos", "deleteplaylistitem", "moveplaylistitem", "clearplaylist",
  "enqueueplaylist", "playplaylist", "getshuffle", "setshuffle", "getrepeat", "setrepeat",
  "toggleshuffle", "togglerepeat", "getposition", "setposition", "ffw5s", "rew5s", "live"]);

// Headless, and kept off every network but the pages it is sent to: no
// background fetches, updates, sync, QUIC or proxy. Playwright adds a fresh
// profile folder (--user-data-dir) under TMPDIR for every launch.
const CHROMIUM_ARGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                       "--disable-background-networking", "--disable-component-update", "--disable-sync",
                       "--no-proxy-server"];

// Every context it makes waits up to 60 s for a page, an element or an
// action: a sanitizer build on a loaded machine answers many times slower.
async function launchBrowser() {
  const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", headless: true, args: CHROMIUM_ARGS });
  const newContext = browser.newContext.bind(browser);
  browser.newContext = async (options) => {
    const context = await newContext(options);
    context.setDefaultTimeout(60000);
    return context;
  };
  return browser;
}

function imageRoutes() {
  return fs.readFileSync(manifest, "utf8").split("\n")
    .map((line) => line.replace(/#.*/, "").trim().split(/\s+/))
    .filter((f) => f.length === 5 && f[1] !== "23")
    .map((f) => f[3].replace(/^\//, ""));
}

function routeOf(url) {
  try {
    return new URL(url).pathname.replace(/^\/+/, "");
  } catch (e) {
    return "";
  }
}

// Every url(...) of a background image, from the style sheets' rules and from
// the computed style of every element; true when each one decodes.
async function backgroundImages(page) {
  return page.evaluate(async () => {
    const urls = new Set();
    const collect = (value, base) => {
      for (const m of (value || "").matchAll(/url\(\s*["']?([^"')]+)["']?\s*\)/g)) urls.add(new URL(m[1], base).href);
    };
    for (const sheet of Array.from(document.styleSheets)) {
      for (const rule of Array.from(sheet.cssRules || [])) {
        if (rule.style) collect(rule.style.backgroundImage, sheet.href || document.baseURI);
      }
    }
    for (const el of Array.from(document.querySelectorAll("*"))) collect(getComputedStyle(el).backgroundImage, document.baseURI);
    const result = [];
    for (const url of urls) {
      const img = new Image();
      img.src = url;
      let ok = true;
      try {
        await img.decode();
        ok = img.naturalWidth > 0;
      } catch (e) {
        ok = false;
      }
      result.push({ url, ok });
    }
    return result;
  });
}

// Loads BASE/ROUTE in a new browser context and checks it. Options:
//   base, route, viewport, outDir   where, what, at which size, shots to
//   expectations   {selector: minimum count}
//   title          exact text or RegExp the page title must match
//   minBackgrounds the fewest CSS background images the page must use
//   shotName       screenshot file name (default ROUTE or "main", .png)
//   contextOptions passed to browser.newContext (httpCredentials, ...)
//   cookies        [{name, value}] set for BASE before the page loads
//   fake           the server answers canned data: use every control once
//   phone          check a phone's layout: no sideways scroll, 44 px targets
// Returns { failures, notes, shot, context } with the context still open
// when keepContext is set (the caller closes it), else closed.
async function checkPage(browser, options) {
  const { base, route, viewport, outDir, expectations = {}, title = /^Tunelet v3\.1/, minBackgrounds = 0,
          fake = false, contextOptions = {}, keepContext = false, cookies = [] } = options;
  const failures = [];
  const notes = [];
  const context = await browser.newContext({ viewport, ...contextOptions });
  if (fake) {
    // Start the library inside a folder, so files (and their links) are listed.
    await context.addCookies([{ name: "mlPath", value: encodeURIComponent("C:\\Music"), url: base }]);
  }
  if (cookies.length) await context.addCookies(cookies.map((c) => ({ ...c, url: base })));
  const page = await context.newPage();
  page.on("pageerror", (err) => failures.push("uncaught error: " + err.message));
  page.on("console", (msg) => {
    if (msg.type() !== "error") return;
    const where = routeOf((msg.location() || {}).url || "");
    if (/Failed to load resource: .*status of 404/.test(msg.text()) && DYNAMIC.has(where)) {
      notes.push("expected 404: " + where);
    } else {
      failures.push("console error: " + msg.text() + (where ? " (" + where + ")" : ""));
    }
  });
  page.on("response", (res) => {
    const r = routeOf(res.url());
    if (res.status() >= 400 && !(res.status() === 404 && DYNAMIC.has(r))) {
      failures.push("HTTP " + res.status() + " for /" + r);
    }
  });

  const answer = await page.goto(base + "/" + route, { waitUntil: "load" });
  if (!answer || answer.status() !== 200) failures.push("the page answered " + (answer ? answer.status() : "nothing"));
  // Settled: the console and the playlist have had their first answer (or
  // found none), the library its first listing.
  const settled = await page.waitForFunction(() => {
    const text = (selector) => { const el = document.querySelector(selector); return el ? el.textContent : null; };
    const state = text(".lcd-state");
    const offline = state === "No answer from the player";
    return state !== "Connecting" && !document.querySelector(".ml-list[aria-busy]") &&
           (text("#playlistBox .count") !== "" || offline);
  }, null, { timeout: 30000, polling: 100 }).then(() => true, () => false);
  if (!settled) failures.push("the page never showed its first answers");

  const shown = await page.title();
  const titleOk = title instanceof RegExp ? title.test(shown) : shown === title;
  if (!titleOk) failures.push("title is " + JSON.stringify(shown) + ", wanted " + String(title));

  // An image drawn with the last listing may still be arriving (a slow
  // sanitizer build); each is given until it has loaded or failed.
  const images = await page.evaluate(() => Promise.all(Array.from(document.images).map(async (img) => {
    if (!img.complete) {
      await Promise.race([img.decode().catch(() => {}), new Promise((r) => setTimeout(r, 10000))]);
    }
    return { src: img.getAttribute("src"), ok: img.complete && img.naturalWidth > 0 };
  })));
  images.filter((i) => !i.ok).forEach((i) => failures.push("image does not decode on the page: " + i.src));
  if (images.length === 0) failures.push("the page shows no <img> at all");

  const backgrounds = await backgroundImages(page);
  backgrounds.filter((b) => !b.ok).forEach((b) => failures.push("background image does not decode: " + b.url));
  if (backgrounds.length < minBackgrounds) {
    failures.push(backgrounds.length + " CSS background image(s), wanted at least " + minBackgrounds);
  }
  notes.push(images.length + " <img>, " + backgrounds.length + " background image(s) decoded");

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

  if (options.phone) {
    // A phone: nothing scrolls sideways and every visible control is a
    // target of at least 44 x 44 CSS pixels.
    const layout = await page.evaluate(() => {
      const small = [];
      for (const el of document.querySelectorAll("button, a[href], input, [role=option], [tabindex]")) {
        // A check box is touched through the label around it as well.
        const box = (el.type === "checkbox" && el.closest("label") || el).getBoundingClientRect();
        if (box.width === 0 || box.height === 0 || getComputedStyle(el).visibility === "hidden") continue;
        if (el.getAttribute("role") !== "listbox" && (box.width < 44 || box.height < 44)) {
          small.push((el.getAttribute("aria-label") || el.className || el.tagName) + " " +
                     Math.round(box.width) + "x" + Math.round(box.height));
        }
      }
      return { scrollWidth: document.scrollingElement.scrollWidth, width: window.innerWidth, small };
    });
    if (layout.scrollWidth > layout.width) failures.push("scrolls sideways: " + layout.scrollWidth + " > " + layout.width);
    layout.small.forEach((s) => failures.push("control under 44 px: " + s));
    // The boxes stack in one column, each as wide as the page allows.
    const boxes = await page.evaluate(() => Array.from(document.querySelectorAll(".box"))
      .filter((b) => b.getBoundingClientRect().height > 0)
      .map((b) => { const r = b.getBoundingClientRect(); return { id: b.id, left: r.left, right: r.right, top: r.top, bottom: r.bottom }; }));
    boxes.forEach((b, i) => {
      if (b.left < 0 || b.right > layout.width || b.right - b.left < layout.width * 0.9) failures.push("box " + b.id + " spans " + Math.round(b.left) + "-" + Math.round(b.right));
      if (i > 0 && b.top < boxes[i - 1].bottom - 1) failures.push("box " + b.id + " overlaps " + boxes[i - 1].id);
    });
    // Long names stay inside their rows (wrapped or cut with an ellipsis).
    const spill = await page.evaluate(() => Array.from(document.querySelectorAll(".playlist li[role=option], .ml-list li"))
      .filter((row) => row.getBoundingClientRect().right > document.documentElement.clientWidth)
      .map((row) => row.textContent));
    spill.forEach((t) => failures.push("a row runs off the page: " + t));
  }

  const shot = path.join(outDir, options.shotName || (route || "main") + (fake ? "-fake" : "") + ".png");
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
    await page.dblclick(".playlist li[role=option] >> nth=2");
    await page.click(".playlist li[role=option] >> nth=4");
    await page.keyboard.press("ArrowDown");
    await page.keyboard.press("Delete");
    await page.click(".ml-list li.file .actions button[data-act=enqueue] >> nth=0");
    await page.click(".ml-list li.up .actions button[data-act=next]");
    await page.click(".ml-places");
    const places = await page.locator(".menu li").count();
    if (places < 2) failures.push("the places menu shows " + places + " place(s)");
    await page.keyboard.press("Escape");
    await page.click(".ml-save");
    const saved = await page.getAttribute(".ml-save img", "src");
    if (saved !== "fav_on.jpg") failures.push("saving a place left the button at " + saved);
    await page.click(".ml-list li.dir .name >> nth=0");
    await page.waitForFunction(() => !document.querySelector(".ml-list[aria-busy]"));
    await page.click(".ml-back");
    await page.fill(".ml-query", "tide");
    await page.press(".ml-query", "Enter");
    await page.click(".ml-heads [data-sort='2']");
    await page.click(".hot.pl");
    if (await page.locator("#playlistBox.hidden").count() !== 1) failures.push("the playlist button did not hide it");
    await page.click(".hot.pl");
    // Errors from the answers still arriving land in failures too.
    await page.waitForFunction(() => !document.querySelector(".ml-list[aria-busy]"));
    await page.waitForTimeout(500);
  }
  if (!keepContext) await context.close();
  return { failures, notes, shot, context };
}

// Prints one result the way both callers report: notes, then ok or FAILs.
function report(name, result) {
  result.notes.forEach((n) => console.log("  note " + name + ": " + n));
  if (result.failures.length) {
    result.failures.forEach((f) => console.log("  FAIL " + name + ": " + f));
    return false;
  }
  console.log("  ok " + name + (result.shot ? " (screenshot " + result.shot + ")" : ""));
  return true;
}

module.exports = { DYNAMIC, CHROMIUM_ARGS, launchBrowser, checkPage, imageRoutes, routeOf, report };

if (require.main === module) {
  const base = process.argv[2] || "http://127.0.0.1:8080";
  const outDir = process.argv[3] || ".";
  const fake = process.argv.includes("--fake");
  (async () => {
    const browser = await launchBrowser();
    const pages = [
      ["", { width: 1000, height: 640 },
       fake ? { ".playlist li[role=option]": 5, ".ml-list li.file": 3, ".light.on": 1 } : { ".buttons .hot": 9 }],
      ["library", { width: 860, height: 560 }, fake ? { ".ml-list li a.name": 1 } : { ".ml-toolbar .tool": 4 }],
      ["", { width: 390, height: 844 }, {}, "main-phone"],
      ["library", { width: 390, height: 844 }, {}, "library-phone"],
    ];
    let failed = 0;
    let passed = 0;
    for (const [route, viewport, expectations, phone] of pages) {
      const result = await checkPage(browser, { base, route, viewport, outDir, expectations, fake: fake && !phone,
                                                phone: !!phone, shotName: phone && phone + (fake ? "-fake" : "") + ".png" });
      if (report("/" + route, result)) passed++;
      else failed++;
    }
    await browser.close();
    console.log(passed + " passed, " + failed + " failed");
    process.exit(failed ? 1 : 0);
  })().catch((err) => {
    console.error(err);
    process.exit(2);
  });
}
