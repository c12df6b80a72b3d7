// The settings page against the installed player, in Chromium at desktop
// and phone sizes: it shows the saved settings, refuses a bad value with the
// dialog's message, saves good ones to the INI file, reindexes, lists the
// clients, follows the server to a new port, and keeps to readable sizes
// (text >= 14 px, targets >= 44 px, contrast >= 4.5:1). Another site's form
// and image aimed at it change nothing. Screenshots go to OUT_DIR.
//
//   node admin_page.js INSTALL_DIR OUT_DIR
//
// Loopback only: run inside tools/netns.sh. Needs playwright-core
// (NODE_PATH) and /usr/bin/chromium.
"use strict";

const fs = require("fs");
const http = require("http");
const path = require("path");
const pages = require("../webclient/browser/check_pages.js");
const { until, freePort, startInstalledPlayer } = require("./support.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");
const iniPath = path.join(installDir, "Plugins", "gen_Tunelet.ini");
const ini = () => fs.readFileSync(iniPath, "latin1");

let failures = 0;
function check(name, ok, detail = "") {
  console.log((ok ? "  ok " : "  FAIL ") + name + (ok ? "" : ": " + detail));
  if (!ok) failures++;
}

// What a person must be able to read and touch, measured in the page.
function measure() {
  const luminance = (rgb) => {
    const [r, g, b] = rgb.map((c) => { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4; });
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
  };
  const rgbOf = (text) => (text.match(/[\d.]+/g) || []).map(Number);
  const background = (el) => {
    for (; el; el = el.parentElement) {
      const c = rgbOf(getComputedStyle(el).backgroundColor);
      if (c.length === 3 || (c.length === 4 && c[3] > 0)) return c.slice(0, 3);
    }
    return [255, 255, 255];
  };
  const problems = [];
  for (const el of document.querySelectorAll("body *")) {
    const box = el.getBoundingClientRect();
    const style = getComputedStyle(el);
    if (box.width === 0 || box.height === 0 || style.visibility === "hidden") continue;
    const ownText = Array.from(el.childNodes).some((n) => n.nodeType === 3 && n.textContent.trim());
    if (ownText || el.matches("input:not([type=checkbox]), textarea")) {
      if (parseFloat(style.fontSize) < 14) problems.push("text under 14 px: " + el.tagName + " " + el.id);
      const fg = luminance(rgbOf(style.color).slice(0, 3));
      const bg = luminance(background(el));
      const ratio = (Math.max(fg, bg) + 0.05) / (Math.min(fg, bg) + 0.05);
      if (ratio < 4.5) problems.push("contrast " + ratio.toFixed(2) + ": " + el.tagName + " " + el.id);
    }
    if (el.matches("button, a[href], input, textarea")) {
      const target = (el.type === "checkbox" && el.closest("label") || el).getBoundingClientRect();
      if (target.width < 44 || target.height < 44) {
        problems.push("target " + Math.round(target.width) + "x" + Math.round(target.height) + ": " + el.tagName + " " +
                      (el.id || el.textContent));
      }
    }
  }
  if (document.scrollingElement.scrollWidth > window.innerWidth) problems.push("scrolls sideways");
  return problems;
}

function startPlayer(shared) {
  return startInstalledPlayer(installDir, { settings: ["autoStart=1", "requirePassword=0", "Shared Dirs=" + shared + ";"],
                                            log: path.join(outDir, "player-admin-page.log"), probe: "admin.css" });
}

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  const shared = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-admin-music-"));
  const more = fs.mkdtempSync(path.join(process.env.TMPDIR || "/tmp", "tunelet-admin-more-"));
  fs.writeFileSync(path.join(more, "Song.mp3"), "not really");
  const { child, base } = await startPlayer(shared);
  const watchdog = setTimeout(() => { child.kill("SIGKILL"); process.exit(1); }, 160000);
  const browser = await pages.launchBrowser();
  try {
    for (const [name, viewport] of [["desktop", { width: 1100, height: 800 }], ["phone", { width: 390, height: 844 }]]) {
      const context = await browser.newContext({ viewport });
      // The phone's page runs its timers on a clock the test can move on.
      if (name === "phone") await context.clock.install();
      const page = await context.newPage();
      const errors = [];
      page.on("pageerror", (err) => errors.push(err.message));
      // The page looks for the moved server with an image until it answers:
      // the looks made before it does fail, as they should.
      const lookForMovedServer = (msg) => /\/icon192\.png\?\d+$/.test(msg.location().url || "") &&
                                          /ERR_CONNECTION_REFUSED/.test(msg.text());
      page.on("console", (msg) => {
        if (msg.type() === "error" && !/status of 400/.test(msg.text()) && !lookForMovedServer(msg))
          errors.push(msg.text() + " (" + (msg.location().url || "") + ")");
      });
      await page.goto(base + "/admin");
      const shown = await until(() => page.inputValue("#timeout").then((v) => v !== ""));
      check(name + ": shows the saved settings", shown && await page.inputValue("#port") === String(new URL(base).port));
      check(name + ": lists the shared folder", (await page.textContent("#sharedDirs")).includes(shared));
      const problems = await page.evaluate(measure);
      check(name + ": readable and touchable", problems.length === 0, problems.join("; "));
      await page.screenshot({ path: path.join(outDir, "admin-" + name + ".png"), fullPage: true });

      if (name === "desktop") {
        await page.fill("#timeout", "soon");
        await page.click("#apply");
        const message = await until(() => page.textContent("#timeoutMessage"));
        check("a bad value gets the dialog's message", message === "The timeout must be a number of seconds; kept 900",
              JSON.stringify(message));
        await page.fill("#timeout", "321");
        await page.fill("#newDir", more);
        await page.click("#addDir");
        await page.click("#apply");
        const saved = await until(() => /\ntimeout=321\r?\n/.test(ini()) && ini().includes(more + ";"));
        check("good values are saved", saved, ini());
        await page.click("#reindex");
        const indexed = await until(() => page.textContent("#indexStatus").then((t) => /Last index of \d+ files/.test(t)), 60000);
        check("reindex reports its run", indexed, await page.textContent("#indexStatus"));
        const clients = await until(() => page.locator("#clients tr").count());
        check("the clients are listed", clients > 0);

        // Another site's page: a form posted at once, and an image.
        const evil = http.createServer((request, response) => {
          response.writeHead(200, { "Content-Type": "text/html" });
          response.end("<form id=f method=post action='" + base + "/admin/apply'><input name=timeout value=5>" +
                       "<input name=token value=x></form><img src='" + base + "/admin/apply?timeout=6'>" +
                       "<script>document.getElementById('f').submit()</script>");
        });
        const evilPort = await freePort();
        await new Promise((resolve) => evil.listen(evilPort, "127.0.0.1", resolve));
        const other = await context.newPage();
        // Looked at once the form's post has been answered (the page it
        // opens may cancel the image's request).
        const answered = [];
        other.on("response", (r) => { if (r.url().startsWith(base + "/admin/apply")) answered.push(r.request().method()); });
        await other.goto("http://localhost:" + evilPort + "/").catch(() => {});
        check("another site's form is answered", await until(() => answered.includes("POST")), JSON.stringify(answered));
        check("another site's form and image change nothing", /\ntimeout=321\r?\n/.test(ini()), ini());
        await other.close();
        evil.close();
      } else {
        // A new port: the page follows the server there, and asks the old
        // one nothing more once the server has said it moves.
        const newPort = await freePort();
        await page.fill("#port", String(newPort));
        const late = [];
        let moving = false;
        page.on("request", (r) => { if (moving && r.url().startsWith(base + "/")) late.push(r.url()); });
        const applied = page.waitForResponse((r) => r.url().startsWith(base + "/admin/apply"));
        await page.click("#apply");
        await applied;
        moving = true;
        // A full refresh period passes at once (the move to the new port
        // comes in it too).
        await page.clock.runFor(3000);
        const moved = await until(() => page.url().includes(":" + newPort + "/admin") &&
                                        page.inputValue("#port").then((v) => v === String(newPort)));
        check("the page follows the server to its new port", moved, page.url());
        check("the page asks the old port nothing after the move", late.length === 0, JSON.stringify(late));
      }
      check(name + ": no script error", errors.length === 0, errors.join("; "));
      await context.close();
    }
  } catch (error) {
    check("the run", false, error.stack);
  } finally {
    await browser.close();
    child.kill("SIGTERM");
    clearTimeout(watchdog);
  }
  console.log(failures ? failures + " failure(s)" : "all passed");
  process.exit(failures ? 1 : 0);
})();
