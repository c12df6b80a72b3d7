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
    return !!t && (t.tagName === "INPUT" || t.tagName === "TEXTAREA" || t.tagName === "SELECT" ||
                   t.isContentEditable);
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

  return { on: on, stop: stop, inField: inField, ready: ready, drag: drag };
})();
