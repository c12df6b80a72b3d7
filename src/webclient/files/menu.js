/* DropMenu: a list of places that drops below its anchor button. Items are
   { label, icon, select(), remove() }; each is a button, and an item with
   remove gets a delete button too. Opening moves the focus into the menu;
   the arrow keys move between its buttons; Escape, a click elsewhere or a
   choice closes it and gives the focus back to the anchor. */
function DropMenu(anchor) {
  "use strict";
  var self = this;
  this.anchor = anchor;
  this.list = document.createElement("ul");
  this.list.className = "menu hidden";
  this.list.id = "menu-" + (++DropMenu.count);
  this.list.setAttribute("aria-label", anchor.getAttribute("aria-label") || anchor.title || "Menu");
  document.body.appendChild(this.list);
  anchor.setAttribute("aria-haspopup", "true");
  anchor.setAttribute("aria-expanded", "false");
  anchor.setAttribute("aria-controls", this.list.id);

  Events.on(document, "pointerdown", function (e) {
    if (self.isOpen() && !self.list.contains(e.target) && !anchor.contains(e.target)) self.close(false);
  });
  Events.on(this.list, "keydown", function (e) {
    var buttons = Array.prototype.slice.call(self.list.querySelectorAll("button"));
    var at = buttons.indexOf(document.activeElement);
    if (e.key === "Escape") self.close(true);
    else if (e.key === "ArrowDown" && buttons.length) buttons[(at + 1) % buttons.length].focus();
    else if (e.key === "ArrowUp" && buttons.length) buttons[(at - 1 + buttons.length) % buttons.length].focus();
    else return;
    Events.stop(e);
  });
}

DropMenu.count = 0;

DropMenu.prototype.isOpen = function () {
  return !this.list.classList.contains("hidden");
};

DropMenu.prototype.close = function (refocus) {
  this.list.classList.add("hidden");
  this.anchor.setAttribute("aria-expanded", "false");
  if (refocus) this.anchor.focus();
};

DropMenu.prototype.open = function (items) {
  var self = this;
  this.list.textContent = "";
  if (!items.length) {
    var empty = document.createElement("li");
    empty.className = "menu-empty";
    empty.textContent = "No places";
    this.list.appendChild(empty);
  }
  items.forEach(function (item) {
    var row = document.createElement("li");
    var choose = document.createElement("button");
    choose.type = "button";
    choose.className = "menu-item";
    if (item.icon) {
      var icon = document.createElement("img");
      icon.src = item.icon;
      icon.alt = "";
      choose.appendChild(icon);
    }
    var label = document.createElement("span");
    label.className = "menu-label";
    label.textContent = item.label;
    choose.appendChild(label);
    Events.on(choose, "click", function () { self.close(true); item.select(); });
    row.appendChild(choose);
    if (item.remove) {
      var remove = document.createElement("button");
      remove.type = "button";
      remove.className = "menu-delete";
      remove.setAttribute("aria-label", "Delete the place " + item.label);
      remove.title = "Delete this place";
      var cross = document.createElement("img");
      cross.src = "delete.gif";
      cross.alt = "";
      remove.appendChild(cross);
      Events.on(remove, "click", function (e) { Events.stop(e); self.close(true); item.remove(); });
      row.appendChild(remove);
    }
    self.list.appendChild(row);
  });
  var box = this.anchor.getBoundingClientRect();
  var width = Math.min(320, document.documentElement.clientWidth - 16);
  var left = Math.max(8, Math.min(box.left, document.documentElement.clientWidth - width - 8));
  this.list.style.left = Math.round(left + window.scrollX) + "px";
  this.list.style.top = Math.round(box.bottom + window.scrollY + 2) + "px";
  this.list.style.zIndex = ++BoxWindow.top;
  this.list.classList.remove("hidden");
  this.anchor.setAttribute("aria-expanded", "true");
  var first = this.list.querySelector("button");
  if (first) first.focus();
};
