/* Event helpers shared by every script of the client. */
var Events = (function () {
  "use strict";

  /* Adds a listener and returns the function that removes it again. */
  function on(target, type, handler, options) {
    target.addEventListener(type, handler, options || false);
    return function () { target.removeEventListener(type, handler, options || false); };
  }

  function stop(event) {
    event.preventDefault();
    event.stopPropagation();
  }

  /* True while the user types into a field, where keys are not shortcuts. */
  function inField(event) {
    var t = event.target;
    if (!t || !t.tagName) return false;
    if (t.tagName === "INPUT") return !/^(range|checkbox|radio|button|submit)$/.test(t.type);
    return t.tagName === "TEXTAREA" || t.tagName === "SELECT" || !!t.isContentEditable;
  }

  /* True when the arrow keys belong to the focused control itself. */
  function ownsArrows(event) {
    var t = event.target;
    return !!t && !!t.closest && (inField(event) || (t.tagName === "INPUT" && t.type === "range") ||
                                  !!t.closest("[role=listbox], .ml-list, .menu"));
  }

  function ready(fn) {
    if (document.readyState === "loading") on(document, "DOMContentLoaded", fn);
    else fn();
  }

  /* Follows the pointer from a pointerdown until it is released: move(event)
     for every movement, end(event) once. */
  function drag(startEvent, move, end) {
    var offMove = on(document, "pointermove", function (e) { e.preventDefault(); move(e); });
    var offUp = on(document, "pointerup", finish);
    var offCancel = on(document, "pointercancel", finish);
    function finish(e) {
      offMove(); offUp(); offCancel();
      if (end) end(e);
    }
    startEvent.preventDefault();
  }

  return { on: on, stop: stop, inField: inField, ownsArrows: ownsArrows, ready: ready, drag: drag };
})();
