/* BoxWindow: one of the page's boxes (console, playlist, library). On wide
   screens a box moves by its title bar, resizes by its footer grip and comes
   to the front when touched; it hides by its close button. */
function BoxWindow(element, options) {
  "use strict";
  options = options || {};
  this.element = element;
  this.onShow = options.onShow || null;
  this.minWidth = options.minWidth || 240;
  this.minHeight = options.minHeight || 160;

  var self = this;
  var title = element.querySelector(".box-title");
  var close = element.querySelector(".box-title .close");
  var grip = element.querySelector(".box-footer .resize");

  Events.on(element, "pointerdown", function () { self.raise(); });
  if (title && options.movable !== false) {
    Events.on(title, "pointerdown", function (e) {
      if (e.button !== 0 || e.target.closest(".close") || BoxWindow.stacked()) return;
      var startX = e.clientX - element.offsetLeft;
      var startY = e.clientY - element.offsetTop;
      Events.drag(e, function (m) {
        element.style.left = Math.max(0, m.clientX - startX) + "px";
        element.style.top = Math.max(0, m.clientY - startY) + "px";
      });
    });
  }
  if (close) Events.on(close, "click", function () { self.hide(); });
  if (grip && options.resizable !== false) {
    Events.on(grip, "pointerdown", function (e) {
      if (e.button !== 0 || BoxWindow.stacked()) return;
      var x = e.clientX, y = e.clientY;
      var w = element.offsetWidth, h = element.offsetHeight;
      Events.drag(e, function (m) {
        element.style.width = Math.max(self.minWidth, w + m.clientX - x) + "px";
        element.style.height = Math.max(self.minHeight, h + m.clientY - y) + "px";
      });
    });
  }
}

BoxWindow.top = 10;

/* True on narrow screens, where the boxes stack in one column and stay put. */
BoxWindow.stacked = function () {
  return window.matchMedia("(max-width: 760px)").matches;
};

BoxWindow.prototype.raise = function () {
  this.element.style.zIndex = ++BoxWindow.top;
};

BoxWindow.prototype.visible = function () {
  return !this.element.classList.contains("hidden");
};

BoxWindow.prototype.show = function () {
  var wasHidden = !this.visible();
  this.element.classList.remove("hidden");
  this.raise();
  if (wasHidden && this.onShow) this.onShow();
  if (wasHidden) this.changed();
};

BoxWindow.prototype.hide = function () {
  if (!this.visible()) return;
  this.element.classList.add("hidden");
  this.changed();
};

/* Tells listeners of "boxchange" on the element that it was shown or hidden. */
BoxWindow.prototype.changed = function () {
  this.element.dispatchEvent(new CustomEvent("boxchange"));
};

BoxWindow.prototype.toggle = function () {
  if (this.visible()) this.hide();
  else this.show();
};
