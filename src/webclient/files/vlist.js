/* VirtualList: a long list whose rows all have one height, of which only the
   rows in view (and a few beyond either edge) are in the document, so a
   listing of any length is drawn in the time of a screenful and scrolls
   without redrawing the rest.

   list is the scrolling element (a ul or ol); draw(i) returns row i's
   element, a fresh one each time (the list places it). The first row drawn
   after reset() sets the height of every row. Rows carry data-row,
   aria-posinset and aria-setsize, so a screen reader still hears where it is
   in the whole list. Up and Down move the focus to the same control of the
   next row, Home and End to the first and last, drawing them first. */
function VirtualList(list, draw) {
  "use strict";
  var self = this;
  this.list = list;
  this.draw = draw;
  this.count = 0;
  this.height = 0;
  this.rows = {};                 // row index -> its element, for the rows in the document
  this.frame = 0;
  this.spacer = document.createElement("li");
  this.spacer.className = "vl-spacer";
  this.spacer.setAttribute("aria-hidden", "true");
  this.spacer.setAttribute("role", "presentation");
  list.classList.add("virtual");
  Events.on(list, "scroll", function () { self.schedule(); });
  Events.on(window, "resize", function () { self.height = 0; self.schedule(); });
  Events.on(list, "keydown", function (e) { self.key(e); });
}

VirtualList.OVERSCAN = 6;

/* Shows count rows from the top, dropping every row drawn before. */
VirtualList.prototype.reset = function (count, keepScroll) {
  this.count = count;
  this.rows = {};
  this.list.textContent = "";
  this.list.appendChild(this.spacer);
  if (!keepScroll) this.list.scrollTop = 0;
  this.height = 0;
  this.render();
};

/* Lets the list hold count rows, keeping the rows drawn before row from
   (the others are drawn again) and the scroll position. */
VirtualList.prototype.grow = function (count, from) {
  var self = this;
  Object.keys(this.rows).forEach(function (key) {
    var i = Number(key);
    if (i >= from) {
      self.list.removeChild(self.rows[i]);
      delete self.rows[i];
    } else {
      self.rows[i].setAttribute("aria-setsize", count);
    }
  });
  this.count = count;
  if (this.height) this.spacer.style.height = count * this.height + "px";
  this.render();
};

/* Draws nothing until the next frame; many scroll events make one draw. */
VirtualList.prototype.schedule = function () {
  var self = this;
  if (this.frame || !this.count) return;
  this.frame = requestAnimationFrame(function () { self.frame = 0; self.render(); });
};

VirtualList.prototype.place = function (i) {
  var row = this.draw(i);
  row.setAttribute("data-row", i);
  row.setAttribute("aria-posinset", i + 1);
  row.setAttribute("aria-setsize", this.count);
  row.style.top = i * this.height + "px";
  this.rows[i] = row;
  return row;
};

VirtualList.prototype.measure = function () {
  if (!this.count) return;
  // Any rows drawn at the old height go; the first row sets the new one.
  var self = this;
  Object.keys(this.rows).forEach(function (i) { self.list.removeChild(self.rows[i]); });
  this.rows = {};
  var probe = this.draw(0);
  probe.style.visibility = "hidden";
  this.list.appendChild(probe);
  this.height = Math.max(1, probe.getBoundingClientRect().height);
  this.list.removeChild(probe);
  this.list.style.setProperty("--row-height", this.height + "px");
  this.spacer.style.height = this.count * this.height + "px";
};

VirtualList.prototype.render = function () {
  if (!this.count) return;
  if (!this.height) this.measure();
  var h = this.height, view = this.list.clientHeight || h * 20;
  var first = Math.max(0, Math.floor(this.list.scrollTop / h) - VirtualList.OVERSCAN);
  var last = Math.min(this.count - 1, Math.ceil((this.list.scrollTop + view) / h) + VirtualList.OVERSCAN);
  var self = this, keep = {};
  Object.keys(this.rows).forEach(function (key) {
    var i = Number(key);
    if (i < first || i > last) {
      // A row holding the focus stays until the focus moves on.
      if (self.rows[i].contains(document.activeElement)) { keep[i] = self.rows[i]; return; }
      self.list.removeChild(self.rows[i]);
    } else {
      keep[i] = self.rows[i];
    }
  });
  this.rows = keep;
  // New rows go in between the kept ones, so the document keeps the
  // list's order for the keyboard and screen readers.
  var after = this.spacer;
  for (var i = first; i <= last; i++) {
    if (!this.rows[i]) this.list.insertBefore(this.place(i), after.nextSibling);
    after = this.rows[i];
  }
};

/* Row i's element, drawn and scrolled into view. */
VirtualList.prototype.reveal = function (i) {
  if (i < 0 || i >= this.count) return null;
  if (!this.height) this.measure();
  var top = i * this.height, list = this.list;
  if (top < list.scrollTop) list.scrollTop = top;
  else if (top + this.height > list.scrollTop + list.clientHeight) list.scrollTop = top + this.height - list.clientHeight;
  this.render();
  return this.rows[i] || null;
};

VirtualList.prototype.key = function (e) {
  var moves = { ArrowDown: 1, ArrowUp: -1, Home: -Infinity, End: Infinity };
  if (!(e.key in moves) || !e.target.closest) return;
  var row = e.target.closest("[data-row]");
  if (!row || /^(INPUT|TEXTAREA)$/.test(e.target.tagName)) return;
  var at = Number(row.getAttribute("data-row"));
  var to = Math.max(0, Math.min(this.count - 1, at + moves[e.key]));
  var act = e.target.getAttribute("data-act");
  var next = this.reveal(to);
  if (!next) return;
  var control = (act && next.querySelector('[data-act="' + act + '"]')) || next.querySelector("button, a");
  if (control) {
    Events.stop(e);
    control.focus();
  }
};
