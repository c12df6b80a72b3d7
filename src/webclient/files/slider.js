/* Slider: an <input type="range"> (keyboard, touch and screen readers come
   with it) that refreshes from the server cannot yank away while the user
   holds it. options.change(value) runs while it moves, options.release(value)
   once when it is let go (for the keyboard: after each step). setValue from
   the outside is ignored while the slider is held. options.text(value) gives
   the spoken value (aria-valuetext). */
function Slider(input, options) {
  "use strict";
  var self = this;
  this.input = input;
  this.change = options.change || null;
  this.release = options.release || null;
  this.text = options.text || null;
  this.held = false;
  this.min = Number(input.min);
  this.max = Number(input.max);

  var hold = function () { self.held = true; };
  var letGo = function () {
    if (!self.held) return;
    self.held = false;
    if (self.release) self.release(self.value());
  };
  Events.on(input, "pointerdown", hold);
  Events.on(input, "pointerup", letGo);
  Events.on(input, "pointercancel", letGo);
  Events.on(input, "input", function () {
    self.showText();
    if (self.change) self.change(self.value());
  });
  // "change" ends a drag and every keyboard step.
  Events.on(input, "change", function () {
    if (self.held) letGo();
    else if (self.release) self.release(self.value());
  });
}

Slider.prototype.value = function () {
  return Number(this.input.value);
};

Slider.prototype.setValue = function (value) {
  if (this.held || !isFinite(value)) return;
  this.input.value = String(Math.max(this.min, Math.min(this.max, Math.round(value))));
  this.showText();
};

/* Moves the slider by the user's own action: shown at once, even while held. */
Slider.prototype.moveBy = function (delta) {
  this.input.value = String(Math.max(this.min, Math.min(this.max, this.value() + delta)));
  this.showText();
};

Slider.prototype.fraction = function () {
  return (this.value() - this.min) / (this.max - this.min);
};

Slider.prototype.showText = function () {
  if (this.text) this.input.setAttribute("aria-valuetext", this.text(this.value()));
  this.input.style.setProperty("--fill", (this.fraction() * 100).toFixed(2) + "%");
};
