/* Cookie helpers. The client's own cookies (mlHost, sortMethod, sortDir,
   favs) are stored URI-encoded, mlPath as the percent-encoded path the
   server lists it by; the session cookie is the server's and is read raw,
   never written. */
var Cookies = (function () {
  "use strict";

  var YEAR = 365 * 24 * 3600;

  function getRaw(name) {
    var parts = document.cookie ? document.cookie.split(";") : [];
    for (var i = 0; i < parts.length; i++) {
      var part = parts[i].replace(/^\s+/, "");
      var eq = part.indexOf("=");
      var key = eq < 0 ? part : part.slice(0, eq);
      if (key === name) return eq < 0 ? "" : part.slice(eq + 1);
    }
    return "";
  }

  function get(name) {
    var raw = getRaw(name);
    try {
      return decodeURIComponent(raw);
    } catch (e) {
      return raw; // written by someone else, not encoded by us
    }
  }

  function set(name, value) {
    setRaw(name, encodeURIComponent(value));
  }

  /* For values that are already cookie-safe (percent-encoded paths). */
  function setRaw(name, value) {
    document.cookie = name + "=" + value + "; path=/; max-age=" + YEAR + "; SameSite=Lax";
  }

  function remove(name) {
    document.cookie = name + "=; path=/; max-age=0";
  }

  return { get: get, getRaw: getRaw, set: set, setRaw: setRaw, remove: remove };
})();
