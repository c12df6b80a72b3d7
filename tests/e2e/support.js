// Helpers the browser end-to-end tests share.
"use strict";
const fs = require("fs");
const net = require("net");
const path = require("path");
const { spawn } = require("child_process");

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls fn until it returns a true value, for at most ms; returns the last
// value (false when fn never answered). The limit is generous: a sanitizer
// build on a loaded machine runs many times slower, and a condition that
// holds ends the wait at once.
async function until(fn, ms = 30000) {
  const deadline = Date.now() + ms;
  let value = false;
  while (Date.now() < deadline) {
    value = await fn();
    if (value) return value;
    await sleep(100);
  }
  return value;
}

// A loopback port that was free a moment ago.
function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer();
    probe.on("error", reject);
    probe.listen(0, "127.0.0.1", () => {
      const port = probe.address().port;
      probe.close(() => resolve(port));
    });
  });
}

// Starts the player installed in `dir` on 127.0.0.1:`port` (a free one when
// not given) with these settings lines after the port's, its output in the
// file `log` (added to when `append`); resolves once `probe` answers OK, to
// { child, base, port }. Throws when it does not answer within 60 s.
async function startInstalledPlayer(dir, { port, settings, log, append = false, probe = "getvolume" }) {
  port = port || await freePort();
  const lines = ["[Tunelet Remote Control Plugin v1.0]", "listenPort=" + port].concat(settings);
  fs.writeFileSync(path.join(dir, "Plugins", "gen_Tunelet.ini"), lines.join("\r\n") + "\r\n");
  const output = fs.openSync(log, append ? "a" : "w");
  const child = spawn(path.join(dir, "tunelet-player"), [], { stdio: ["ignore", output, output] });
  fs.closeSync(output);
  const base = "http://127.0.0.1:" + port;
  const up = await until(async () => {
    try {
      return (await fetch(base + "/" + probe)).ok;
    } catch (e) {
      return false;
    }
  }, 60000);
  if (!up) throw new Error("the player never answered on " + port);
  return { child, base, port };
}

module.exports = { sleep, until, freePort, startInstalledPlayer };
