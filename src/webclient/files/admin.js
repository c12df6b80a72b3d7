// The settings page: reads /admin/settings.json, shows the fields as the
// preferences dialog does, and sends changes with the session's token.
(function () {
  'use strict';
  var token = '';
  var dirty = false;
  var shown = null;  // the settings last shown
  var refresher = null;  // the timer of the regular refresh
  var directories = [];
  var form = document.getElementById('settings');
  var boxes = ['autoStart', 'requirePassword', 'filterIPs', 'adminFromLan', 'enableML'];
  var texts = ['address', 'port', 'timeout', 'username', 'allowedIPs', 'blockedIPs', 'allowedHosts'];

  function byId(id) { return document.getElementById(id); }

  function notice(text, ok) {
    var box = byId('notice');
    box.textContent = text;
    box.className = ok ? 'ok' : '';
    box.hidden = !text;
  }

  function enableDependents() {
    var password = byId('requirePassword').checked;
    byId('username').disabled = !password;
    byId('password').disabled = !password;
    var filter = byId('filterIPs').checked;
    byId('allowedIPs').disabled = !filter;
    byId('blockedIPs').disabled = !filter;
  }

  function showDirectories() {
    var list = byId('sharedDirs');
    list.textContent = '';
    directories.forEach(function (directory, index) {
      var item = document.createElement('li');
      var name = document.createElement('span');
      name.textContent = directory;
      var remove = document.createElement('button');
      remove.type = 'button';
      remove.textContent = 'Remove';
      remove.setAttribute('aria-label', 'Remove ' + directory);
      remove.addEventListener('click', function () {
        directories.splice(index, 1);
        dirty = true;
        showDirectories();
      });
      item.appendChild(name);
      item.appendChild(remove);
      list.appendChild(item);
    });
  }

  function showSettings(settings) {
    shown = settings;
    boxes.forEach(function (name) { byId(name).checked = settings[name]; });
    texts.forEach(function (name) { byId(name).value = settings[name]; });
    byId('password').value = '';
    byId('password').placeholder = settings.passwordSet ? 'unchanged' : 'none set';
    directories = settings.sharedDirs.slice();
    showDirectories();
    enableDependents();
    dirty = false;
  }

  function showMessages(messages) {
    ['address', 'port', 'timeout'].forEach(function (name) {
      byId(name + 'Message').textContent = (messages && messages[name]) || '';
    });
  }

  function showState(answer) {
    byId('serverState').textContent = answer.server.state;
    byId('start').disabled = answer.server.running;
    byId('stop').disabled = !answer.server.running;
    byId('indexStatus').textContent = answer.index.status;
    byId('reindex').hidden = answer.index.indexing;
    byId('about').textContent = 'Tunelet Remote Control Plugin v' + answer.version;
  }

  function getJson(path) {
    return fetch(path, { credentials: 'same-origin', cache: 'no-store' }).then(function (response) {
      return response.json().then(function (body) {
        if (!response.ok)
          throw new Error(body.error || response.statusText);
        return body;
      });
    });
  }

  function post(path, body) {
    return fetch(path, {
      method: 'POST',
      credentials: 'same-origin',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded', 'X-Tunelet-Token': token },
      body: body || ''
    }).then(function (response) {
      return response.json().then(function (answer) {
        answer.status = response.status;
        return answer;
      });
    });
  }

  function load() {
    return getJson('/admin/settings.json').then(function (answer) {
      token = answer.token;
      form.hidden = false;
      if (!dirty)
        showSettings(answer.settings);
      showState(answer);
    }).catch(function (error) {
      form.hidden = true;
      notice(error.message, false);
    });
  }

  function loadClients() {
    return getJson('/admin/clients.json').then(function (answer) {
      var rows = byId('clients');
      rows.textContent = '';
      answer.clients.forEach(function (client) {
        var row = rows.insertRow();
        row.insertCell().textContent = client.address;
        row.insertCell().textContent = client.request;
      });
    }).catch(function () {});
  }

  function formBody() {
    var fields = new URLSearchParams();
    boxes.forEach(function (name) { fields.set(name, byId(name).checked ? '1' : '0'); });
    texts.forEach(function (name) { fields.set(name, byId(name).value); });
    if (byId('password').value)
      fields.set('password', byId('password').value);
    fields.set('sharedDirs', directories.join('\n'));
    return fields.toString();
  }

  function apply(event) {
    event.preventDefault();
    var oldPort = shown ? shown.port : '';
    post('/admin/apply', formBody()).then(function (answer) {
      if (answer.error) {
        notice(answer.error, false);
        return;
      }
      showMessages(answer.messages);
      showSettings(answer.settings);
      notice(answer.accepted ? 'Saved.' : 'Saved, except the fields marked.', answer.accepted);
      // On a new port the server listens there once this answer is out.
      if (answer.settings.port !== oldPort && String(location.port || '80') === oldPort) {
        var moved = location.protocol + '//' + location.hostname + ':' + answer.settings.port + '/admin';
        notice('Saved. The server now listens on port ' + answer.settings.port + ': ' + moved, true);
        // Nothing listens on this page's port any more: no refresh asks it.
        clearInterval(refresher);
        setTimeout(function () { follow(moved, 20); }, 500);
      }
    }).catch(function () { notice('The server did not answer.', false); });
  }

  // Goes to `moved` once the server answers on its port (an image loads
  // from there), or after `tries` more looks half a second apart: a restart
  // takes a while on a busy machine, and a page sent where nothing listens
  // yet shows only the browser's own error. (A server that asks for a
  // password asks the image for it too: the page then goes after the last
  // look, and the browser asks.)
  function follow(moved, tries) {
    var probe = new Image();
    probe.onload = function () { location.assign(moved); };
    probe.onerror = function () {
      if (tries > 0)
        setTimeout(function () { follow(moved, tries - 1); }, 500);
      else
        location.assign(moved);
    };
    probe.src = moved.replace(/\/admin$/, '/icon192.png') + '?' + Date.now();
  }

  function command(path, question) {
    return function () {
      if (question && !window.confirm(question))
        return;
      post(path).then(function (answer) {
        if (answer.error)
          notice(answer.error, false);
        setTimeout(load, 300);
      }).catch(function () { notice('The server did not answer.', false); });
    };
  }

  form.addEventListener('input', function (event) {
    if (event.target.id !== 'newDir')
      dirty = true;
  });
  form.addEventListener('change', enableDependents);
  form.addEventListener('submit', apply);
  byId('revert').addEventListener('click', function () {
    if (shown)
      showSettings(shown);
    showMessages(null);
    notice('', true);
  });
  byId('addDir').addEventListener('click', function () {
    var directory = byId('newDir').value.trim();
    if (!directory)
      return;
    directories.push(directory);
    directories.sort(function (a, b) { return a.toLowerCase() < b.toLowerCase() ? -1 : a.toLowerCase() > b.toLowerCase() ? 1 : 0; });
    byId('newDir').value = '';
    dirty = true;
    showDirectories();
  });
  byId('start').addEventListener('click', command('/admin/start'));
  byId('stop').addEventListener('click',
    command('/admin/stop', 'Stop the server? This page cannot start it again.'));
  byId('reindex').addEventListener('click', command('/admin/reindex'));

  load();
  loadClients();
  // What the preferences dialog changes shows here within a few seconds.
  refresher = setInterval(function () { load(); loadClients(); }, 3000);
})();
