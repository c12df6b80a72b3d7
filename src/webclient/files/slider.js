/* Slider: a track element holding a ".handle" image (and optionally a
   ".fill" bar). Values run from options.min to options.max. While the user
   holds the handle, setValue from the outside is ignored so that a refresh
   never yanks it away. options.change(value) runs while it moves,
   options.release(value) once when it is let go. */
function Slider(track, options) {
  "use strict";
  this.track = track;
  this.handle = track.querySelector(".handle");
  this.fill = track.querySelector(".fill");
  this.min = options.min || 0;
  this.max = options.max;
  this.change = options.change || null;
  this.release = options.release || null;
  this.value = this.min;
  this.held = false;

  var self = this;
  Events.on(track, "pointerdown", function (e) {
    if (e.button !== 0) return;
    self.held = true;
    self.follow(e);
    Events.drag(e, function (m) { self.follow(m); }, function () {
      self.held = false;
      if (self.release) self.release(self.value);
    });
  });
}

/* Where the handle's centre may go, in track pixels. */
Slider.prototype.travel = function () {
  var half = this.handle.offsetWidth / 2;
  return { from: half, to: this.track.clientWidth - half };
};

Slider.prototype.follow = function (event) {
  var box = this.track.getBoundingClientRect();
  var range = this.travel();
  var fraction = (event.clientX - box.left - range.from) / Math.max(1, range.to - range.from);
  this.place(this.min + Math.max(0, Math.min(1, fraction)) * (this.max - this.min));
  if (this.change) this.change(this.value);
};

Slider.prototype.place = function (value) {
  this.value = Math.max(this.min, Math.min(this.max, value));
  var range = this.travel();
  var centre = range.from + this.fraction() * (range.to - range.from);
  this.handle.style.left = Math.round(centre - this.handle.offsetWidth / 2) + "px";
  if (this.fill) this.fill.style.width = Math.round(centre) + "px";
};

Slider.prototype.setValue = function (value) {
  if (!this.held && isFinite(value)) this.place(value);
};

Slider.prototype.fraction = function () {
  return (this.value - this.min) / (this.max - this.min);
};
