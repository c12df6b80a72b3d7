// Helpers the browser end-to-end tests share.
"use strict";
const net = require("net");

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls fn until it returns a true value, for at most ms; returns the last
// value (false when fn never answered).
async function until(fn, ms = 8000) {
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

module.exports = { sleep, until, freePort };
