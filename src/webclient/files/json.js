/* UrlText: parameter values and the listing's percent-encoded values.
   Names are bytes to the server (normally UTF-8). Text typed here goes out
   through encodeURIComponent; a listed value is shown decoded, and a value
   that is not valid UTF-8 is decoded byte by byte, each invalid byte shown
   as U+FFFD. Paths travel back to the server in the percent-encoded form it
   listed them in, so even such names reach it byte for byte. */
var UrlText = (function () {
  "use strict";

  function encode(text) {
    return encodeURIComponent(text);
  }

  function decode(raw) {
    raw = String(raw === undefined || raw === null ? "" : raw);
    try {
      return decodeURIComponent(raw);
    } catch (e) {
      var bytes = [];
      for (var i = 0; i < raw.length; i++) {
        var c = raw.charAt(i);
        if (c === "%" && /^[0-9a-fA-F]{2}$/.test(raw.substr(i + 1, 2))) {
          bytes.push(parseInt(raw.substr(i + 1, 2), 16));
          i += 2;
        } else {
          var code = raw.charCodeAt(i);
          bytes.push(code < 256 ? code : 63);
        }
      }
      return new TextDecoder("utf-8").decode(new Uint8Array(bytes));
    }
  }

  return { encode: encode, decode: decode };
})();

/* JsonRequest: listings arrive as scripts (JSONP) from this server only; a
   peer's listing comes through "peerlibrary.js", which this server fetches,
   checks as data and writes anew, so no answer of another host runs here and
   nothing of this browser's (the session value above all) goes to one.
   Every request carries JSON_auth, the value of this browser's session
   cookie, which the server compares with the cookie it receives. */
var JsonRequest = (function () {
  "use strict";

  var SESSION_NAME = "<<SESSION_NAME>>";
  var sequence = 0;
  var current = {};   // request id -> the newest request made under it
  var replies = {};   // callback name -> function, reached as JsonRequest.replies.NAME

  function auth() {
    return Cookies.getRaw(SESSION_NAME);
  }

  /* Sends route with args ("name=value" texts, already escaped) to this
     server. ok(data) receives the answer's object; fail() runs when the
     script fails to load, loads without answering (an empty answer means the
     server refused the request) or does not load within TIMEOUT_MS. A newer
     request with the same id replaces an older one, whose answer is then
     ignored. */
  function send(id, route, args, ok, fail) {
    var name = "r" + (++sequence);
    var url = route + "?JSON_auth=" + encodeURIComponent(auth()) + "&" +
              "callback=JsonRequest.replies." + name + "&";
    for (var i = 0; i < args.length; i++) url += args[i] + "&";
    url += new Date().getTime();

    var request = { name: name, script: document.createElement("script"), answered: false, timer: null };
    var older = current[id];
    if (older) finish(older);
    current[id] = request;

    replies[name] = function (data) {
      request.answered = true;
      if (current[id] === request && ok) ok(data);
    };
    request.script.async = true;
    request.script.src = url;
    request.script.onload = function () {
      var wanted = current[id] === request;
      finish(request);
      if (!request.answered && wanted && fail) fail();
    };
    request.script.onerror = function () {
      var wanted = current[id] === request;
      finish(request);
      if (wanted && fail) fail();
    };
    request.timer = setTimeout(request.script.onerror, JsonRequest.TIMEOUT_MS);
    document.head.appendChild(request.script);
  }

  /* Like send, for the long listings: the answer is fetched as text and
     read with JSON.parse between its callback's parentheses, which takes a
     fraction of the time of running it as a script and runs nothing of it.
     A time-out aborts the fetch; an empty or malformed answer fails. */
  function read(id, route, args, ok, fail) {
    var name = "r" + (++sequence);
    var url = route + "?JSON_auth=" + encodeURIComponent(auth()) + "&" +
              "callback=JsonRequest.replies." + name + "&" + args.map(function (a) { return a + "&"; }).join("") +
              new Date().getTime();
    var request = { name: name, script: null, controller: new AbortController(), timer: null };
    var older = current[id];
    if (older) finish(older);
    current[id] = request;
    var failed = function () {
      var wanted = current[id] === request;
      finish(request);
      if (wanted && fail) fail();
    };
    request.timer = setTimeout(function () { request.controller.abort(); }, JsonRequest.TIMEOUT_MS);
    fetch(url, { credentials: "same-origin", signal: request.controller.signal }).then(function (answer) {
      if (!answer.ok) throw new Error("HTTP " + answer.status);
      return answer.text();
    }).then(function (text) {
      var data = JSON.parse(text.slice(text.indexOf("(") + 1, text.lastIndexOf(")")));
      if (current[id] !== request) return;
      finish(request);
      if (ok) ok(data);
    }).catch(failed);
  }

  function finish(request) {
    clearTimeout(request.timer);
    if (request.controller) request.controller.abort();
    if (request.script && request.script.parentNode) request.script.parentNode.removeChild(request.script);
    // A replaced request may still answer later; keep a harmless target.
    replies[request.name] = function () {};
    for (var id in current) {
      if (current[id] === request) delete current[id];
    }
  }

  function pending(id) {
    return !!current[id];
  }

  return { send: send, read: read, pending: pending, replies: replies, auth: auth, TIMEOUT_MS: 20000 };
})();
