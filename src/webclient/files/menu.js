/* DropMenu: a list that drops below an anchor element. Items are
   { label, icon, select(), remove() }; an item with remove gets a delete
   button. A click elsewhere or Escape closes the menu. */
function DropMenu(anchor) {
  "use strict";
  this.anchor = anchor;
  this.list = document.createElement("ul");
  this.list.className = "menu hidden";
  document.body.appendChild(this.list);

  var self = this;
  Events.on(document, "pointerdown", function (e) {
    if (self.isOpen() && !self.list.contains(e.target) && !anchor.contains(e.target)) self.close();
  });
  Events.on(document, "keydown", function (e) {
    if (e.key === "Escape" && self.isOpen()) self.close();
  });
}

DropMenu.prototype.isOpen = function () {
  return !this.list.classList.contains("hidden");
};

DropMenu.prototype.close = function () {
  this.list.classList.add("hidden");
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
    if (item.icon) {
      var icon = document.createElement("img");
      icon.src = item.icon;
      icon.alt = "";
      row.appendChild(icon);
    }
    var label = document.createElement("span");
    label.className = "menu-label";
    label.textContent = item.label;
    row.appendChild(label);
    Events.on(row, "click", function () { self.close(); item.select(); });
    if (item.remove) {
      var remove = document.createElement("img");
      remove.className = "menu-delete";
      remove.src = "delete.gif";
      remove.alt = "Delete";
      remove.title = "Delete this place";
      Events.on(remove, "click", function (e) { Events.stop(e); self.close(); item.remove(); });
      row.appendChild(remove);
    }
    self.list.appendChild(row);
  });
  var box = this.anchor.getBoundingClientRect();
  this.list.style.left = Math.round(box.left + window.scrollX) + "px";
  this.list.style.top = Math.round(box.bottom + window.scrollY + 2) + "px";
  this.list.style.zIndex = ++BoxWindow.top;
  this.list.classList.remove("hidden");
};
