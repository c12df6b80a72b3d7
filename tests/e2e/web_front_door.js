// The web front door end to end: the installed player, started with the
// plug-in beside it, serves the two pages of the browser client to a real
// Chromium; a second run with passwords on lets in Digest and Basic clients
// with the right password and nobody else. Each run ends with SIGTERM, which
// the player must answer with a clean exit (status 0).
//
//   node web_front_door.js INSTALL_DIR OUT_DIR
//
// INSTALL_DIR is a fresh `cmake --install` of the build (tunelet-player and
// Plugins/gen_Tunelet.so); its settings file is written here. OUT_DIR gets a
// screenshot of each page and the player's output. Loopback only: run inside
// tools/netns.sh. Needs playwright-core (NODE_PATH), /usr/bin/chromium, curl.
"use strict";

const fs = require("fs");
const net = require("net");
const os = require("os");
const path = require("path");
const { spawn, execFile } = require("child_process");
const pages = require("../webclient/browser/check_pages.js");

const installDir = path.resolve(process.argv[2] || "");
const outDir = path.resolve(process.argv[3] || ".");
const player = path.join(installDir, "tunelet-player");
const settingsFile = path.join(installDir, "Plugins", "gen_Tunelet.ini");
const SECTION = "[Tunelet Remote Control Plugin v1.0]";
const USER = "listener";
const PASSWORD = "Tide-pool 7";
const MAIN_TITLE = "Tunelet v3.1";

let running = null; // the player of the run under way, killed if the script dies
let passed = 0;
let failed = 0;
function verdict(name, failures, notes = []) {
  if (pages.report(name, { failures, notes })) passed++;
  else failed++;
}
function pageVerdict(name, result) {
  if (pages.report(name, result)) passed++;
  else failed++;
}


function answers(port) {
  return new Promise((resolve) => {
    const socket = net.connect({ host: "127.0.0.1", port }, () => {
      socket.destroy();
      resolve(true);
    });
    socket.on("error", () => resolve(false));
  });
}

const { sleep, freePort } = require("./support.js");

// A running player: its process, its port and how it ended.
class PlayerRun {
  constructor(name, settings) {
    this.name = name;
    this.settings = settings;
    this.log = path.join(outDir, "player-" + name + ".log");
  }

  async start() {
    this.port = await freePort();
    const lines = [SECTION, "listenIP=127.0.0.1", "listenPort=" + this.port, "autoStart=1"];
    for (const [key, value] of Object.entries(this.settings)) lines.push(key + "=" + value);
    fs.writeFileSync(settingsFile, lines.join("\r\n") + "\r\n");
    const out = fs.openSync(this.log, "w");
    this.child = spawn(player, [], { stdio: ["ignore", out, out] });
    running = this.child;
    fs.closeSync(out);
    this.ended = new Promise((resolve) => this.child.on("exit", (code, signal) => resolve({ code, signal })));
    this.exit = null;
    this.ended.then((e) => { this.exit = e; });
    const deadline = Date.now() + 60000;
    while (Date.now() < deadline && this.exit === null) {
      if (await answers(this.port)) return "http://127.0.0.1:" + this.port;
      await sleep(50);
    }
    const why = this.exit ? "ended with " + JSON.stringify(this.exit) : "never listened on " + this.port;
    this.child.kill("SIGKILL");
    throw new Error("player (" + this.name + ") " + why + "\n" + fs.readFileSync(this.log, "utf8"));
  }

  // SIGTERM, then the exit status within 60 s; a player that hangs is killed.
  async stop() {
    if (this.exit === null) this.child.kill("SIGTERM");
    const ended = await Promise.race([this.ended, sleep(60000).then(() => null)]);
    if (ended === null) {
      this.child.kill("SIGKILL");
      await this.ended;
      return ["no exit within 60 s of SIGTERM"];
    }
    if (ended.code === 0 && ended.signal === null) return [];
    return ["exit " + JSON.stringify(ended) + ", wanted status 0\n" + fs.readFileSync(this.log, "utf8")];
  }
}

// One curl request: { status, headers (every response's), body }.
function curl(url, args) {
  const stem = path.join(os.tmpdir(), "curl-" + process.pid);
  for (const f of [stem + ".body", stem + ".head"]) fs.rmSync(f, { force: true });
  return new Promise((resolve) => {
    execFile("curl", ["-sS", "--noproxy", "*", "--max-time", "15", "-o", stem + ".body", "-D", stem + ".head",
                      "-w", "%{http_code}", ...args, url], (err, stdout, stderr) => {
      const read = (f) => (fs.existsSync(f) ? fs.readFileSync(f, "latin1") : "");
      resolve({ status: Number(stdout) || 0, headers: read(stem + ".head"), body: read(stem + ".body"),
                error: err ? String(stderr || err.message).trim() : "" });
    });
  });
}

async function openRun(browser) {
  const run = new PlayerRun("open", { requirePassword: 0 });
  const base = await run.start();
  try {
    pageVerdict("/ (no password)", await pages.checkPage(browser, {
      base, route: "", viewport: { width: 1000, height: 640 }, outDir, shotName: "main.png",
      title: MAIN_TITLE, minBackgrounds: 1, expectations: { ".buttons .hot": 9 } }));
    pageVerdict("/library (no password)", await pages.checkPage(browser, {
      base, route: "library", viewport: { width: 860, height: 560 }, outDir, shotName: "library.png",
      title: /^Tunelet v3\.1 - Media Library$/, expectations: { ".ml-toolbar .tool": 4 } }));
    const plain = await curl(base + "/", []);
    const failures = [];
    if (plain.status !== 200) failures.push("status " + plain.status + " " + plain.error);
    if (/^WWW-Authenticate:/im.test(plain.headers)) failures.push("a challenge with passwords off");
    verdict("curl without credentials, passwords off", failures);
  } finally {
    verdict("SIGTERM ends the player (no password)", await run.stop());
  }
}

async function passwordRun(browser) {
  const run = new PlayerRun("password", { requirePassword: 1, username: USER, password: PASSWORD });
  const base = await run.start();
  try {
    // The browser answers the challenge itself; offered Digest and Basic,
    // Chromium takes Digest.
    const result = await pages.checkPage(browser, {
      base, route: "", viewport: { width: 1000, height: 640 }, outDir, shotName: "main-digest.png",
      title: MAIN_TITLE, minBackgrounds: 1, expectations: { ".buttons .hot": 9 }, keepContext: true,
      contextOptions: { httpCredentials: { username: USER, password: PASSWORD } } });
    // Only a verified Digest answer marks a session authorised (Basic is
    // checked anew on every request), so the browser's session cookie alone
    // must now get in, and another session's must not.
    const cookie = (await result.context.cookies(base)).find((c) => c.name === "Tunelet");
    await result.context.close();
    if (!cookie || !cookie.value) {
      result.failures.push("no session cookie \"Tunelet\" in the browser");
    } else {
      const same = await curl(base + "/", ["-b", "Tunelet=" + cookie.value]);
      if (same.status !== 200) result.failures.push("the browser's session is not authorised (" + same.status + ")");
      const other = await curl(base + "/", ["-b", "Tunelet=00000000-0000-0000-0000-000000000000"]);
      if (other.status !== 401) result.failures.push("an unknown session got " + other.status);
    }
    pageVerdict("/ with Digest in the browser", result);

    // Without the right credentials the browser is not let in: it sees the
    // 401 (and gives up after the second), or cancels the challenge it has
    // nothing to answer with (net::ERR_INVALID_AUTH_CREDENTIALS).
    for (const [name, credentials] of [["no credentials", null],
                                       ["a wrong password", { username: USER, password: "tide-pool 7" }]]) {
      const context = await browser.newContext(credentials ? { httpCredentials: credentials } : {});
      const page = await context.newPage();
      const statuses = [];
      page.on("response", (res) => statuses.push(res.status()));
      let outcome;
      try {
        const answer = await page.goto(base + "/");
        outcome = answer ? "status " + answer.status() : "no answer";
      } catch (err) {
        outcome = (/net::ERR_[A-Z_]+/.exec(err.message) || [err.message])[0];
      }
      await context.close();
      const refused = statuses.includes(401) || outcome === "net::ERR_INVALID_AUTH_CREDENTIALS";
      const failures = refused && !statuses.includes(200) ? [] : [outcome + ", statuses seen " + statuses.join(" ")];
      verdict("browser with " + name + " is refused", failures, [outcome]);
    }

    // The server closes the connection after a 401 and finds the session of
    // the challenge by the opaque curl answers with: no cookie engine needed.
    const right = USER + ":" + PASSWORD;
    const digest = ["--digest", "-u"];
    const cases = [
      ["curl --digest, right password", [...digest, right], 200],
      ["curl -u (Basic), right password", ["-u", right], 200],
      ["curl --digest, wrong password", [...digest, USER + ":Tide-pool 8"], 401],
      ["curl -u (Basic), wrong password", ["-u", USER + ":Tide-pool 8"], 401],
      ["curl --digest, unknown user", [...digest, "stranger:" + PASSWORD], 401],
      ["curl -u (Basic), unknown user", ["-u", "stranger:" + PASSWORD], 401],
      ["curl without credentials", [], 401],
    ];
    for (const [name, args, wanted] of cases) {
      const got = await curl(base + "/", args);
      const failures = [];
      if (got.status !== wanted) failures.push("status " + got.status + ", wanted " + wanted + " " + got.error);
      if (wanted === 200 && !got.body.includes("<title>" + MAIN_TITLE + "</title>")) failures.push("not the main page");
      if (wanted === 401) {
        for (const scheme of ["Digest", "Basic"]) {
          if (!new RegExp("^WWW-Authenticate: " + scheme + " realm=\"Tunelet\"", "m").test(got.headers)) {
            failures.push("no " + scheme + " challenge");
          }
        }
        if (got.body !== "") failures.push("a body with the 401: " + JSON.stringify(got.body.slice(0, 80)));
      }
      if (args[0] === "--digest" && !/^HTTP\/1\.1 401/m.test(got.headers)) failures.push("curl was never challenged");
      verdict(name, failures);
    }
  } finally {
    verdict("SIGTERM ends the player (password)", await run.stop());
  }
}

(async () => {
  fs.mkdirSync(outDir, { recursive: true });
  const watchdog = setTimeout(() => {
    console.error("the end-to-end run took over 160 s");
    if (running) running.kill("SIGKILL");
    process.exit(1);
  }, 160000);
  const browser = await pages.launchBrowser();
  try {
    await openRun(browser);
    await passwordRun(browser);
  } finally {
    await browser.close();
    clearTimeout(watchdog);
  }
  console.log(passed + " passed, " + failed + " failed");
  process.exit(failed ? 1 : 0);
})().catch((err) => {
  console.error(err);
  if (running) running.kill("SIGKILL");
  process.exit(1);
});
