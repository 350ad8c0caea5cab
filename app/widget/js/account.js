// A login-style demo of cookies that survive a restart: logging in sets a
// session cookie, which the program keeps in its cookie file, so the page
// still greets the user after Quillet is closed and started again.
(function () {
  'use strict';

  function byId(id) { return document.getElementById(id); }

  function sessionName() {
    var match = document.cookie.match(/(?:^|;\s*)session=([^;]*)/);
    return match ? decodeURIComponent(match[1]) : '';
  }

  function show() {
    var name = sessionName();
    byId('account-status').textContent = name
      ? 'Logged in as ' + name + '. Close Quillet and start it again: you stay logged in.'
      : 'Not logged in.';
    byId('logout').disabled = !name;
  }

  document.addEventListener('DOMContentLoaded', function () {
    if (!byId('account')) return;
    byId('login').addEventListener('click', function () {
      var name = byId('username').value.trim();
      if (!name) return;
      document.cookie = 'session=' + encodeURIComponent(name) + '; path=/';
      show();
    });
    byId('logout').addEventListener('click', function () {
      document.cookie = 'session=; expires=Thu, 01 Jan 1970 00:00:00 GMT; path=/';
      show();
    });
    show();
  });
})();
