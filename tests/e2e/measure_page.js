"use strict";

// Everything a layout case looks at, measured in the page at once. Text is
// every visible element with text of its own; its background is the first
// opaque one behind it (semi-transparent ones laid over it).
function measure() {
  const rgba = (text) => (text.match(/[\d.]+/g) || []).map(Number).concat([1]).slice(0, 4);
  const over = (top, under) => {
    const a = top[3];
    return [0, 1, 2].map((i) => top[i] * a + under[i] * (1 - a)).concat([1]);
  };
  const luminance = (c) => {
    const lin = c.slice(0, 3).map((v) => { v /= 255; return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4); });
    return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2];
  };
  const background = (el) => {
    const layers = [];
    for (let e = el; e; e = e.parentElement) {
      const c = rgba(getComputedStyle(e).backgroundColor);
      if (c[3] > 0) layers.push(c);
      if (c[3] >= 1) break;
    }
    let color = [17, 19, 23, 1];
    for (let i = layers.length - 1; i >= 0; i--) color = over(layers[i], color);
    return color;
  };
  const visible = (el) => {
    const r = el.getBoundingClientRect();
    const s = getComputedStyle(el);
    return r.width > 0 && r.height > 0 && s.visibility !== "hidden" && Number(s.opacity) > 0;
  };
  const name = (el) => (el.className || el.tagName) + " \"" + (el.textContent || "").trim().slice(0, 30) + "\"";
  const texts = [];
  for (const el of document.body.querySelectorAll("*")) {
    const own = Array.from(el.childNodes).some((n) => n.nodeType === 3 && n.textContent.trim());
    if (own && visible(el) && !el.closest("[disabled], .hidden")) texts.push(el);
  }
  const contrast = [], small = [], cut = [], targets = [];
  for (const el of texts) {
    const fg = over(rgba(getComputedStyle(el).color), background(el));
    const [a, b] = [luminance(fg), luminance(background(el))];
    const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
    if (ratio < 4.5) contrast.push(name(el) + " " + ratio.toFixed(2) + ":1");
    if (parseFloat(getComputedStyle(el).fontSize) < 14) small.push(name(el) + " " + getComputedStyle(el).fontSize);
    // Cut short: then with an ellipsis, and the whole text in a tooltip.
    if (el.scrollWidth > el.clientWidth + 1 && getComputedStyle(el).overflow !== "visible") {
      const tip = el.closest("[title]");
      const whole = el.textContent.trim().toLowerCase();
      if (getComputedStyle(el).textOverflow !== "ellipsis" || !tip || !tip.title.toLowerCase().includes(whole)) {
        cut.push(name(el));
      }
    }
  }
  for (const el of document.querySelectorAll("button, a[href], input, [role=option]")) {
    const box = (el.type === "checkbox" && el.closest("label") || el).getBoundingClientRect();
    if (visible(el) && (box.width < 44 || box.height < 44)) targets.push(name(el) + " " + Math.round(box.width) + "x" + Math.round(box.height));
  }
  const firstRow = document.querySelector("#libraryBox .ml-list li[data-i]");
  // Blank space between the top of the playlist and its first entry.
  const playlist = document.querySelector(".playlist");
  const firstEntry = playlist && playlist.querySelector("li:not(.spacer)");
  return {
    sideways: document.scrollingElement.scrollWidth - window.innerWidth,
    contrast, small, cut, targets,
    libraryRowBottom: firstRow ? firstRow.getBoundingClientRect().bottom : Infinity,
    playlistGap: firstEntry ? firstEntry.getBoundingClientRect().top - playlist.getBoundingClientRect().top -
      parseFloat(getComputedStyle(playlist).paddingTop) : 0,
    height: window.innerHeight,
    pathDirection: getComputedStyle(document.querySelector(".ml-path")).direction,
    pathText: document.querySelector(".ml-path").textContent,
    track: (document.querySelector(".lcd-track") || {}).textContent,
    names: Array.from(document.querySelectorAll(".playlist .title, .ml-list .name")).map((e) => e.innerText),
  };
}

module.exports = { measure };
