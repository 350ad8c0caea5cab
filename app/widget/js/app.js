// Wires the sample page's buttons to the window-control bridge and to the
// browser's own window operations. Missing elements are skipped, so the main
// page and the pop-up share this file.
(function () {
  'use strict';

  function byId(id) { return document.getElementById(id); }

  function number(id) { return parseInt(byId(id).value, 10) || 0; }

  function status(id, text) {
    var line = byId(id);
    if (line) line.textContent = text;
  }

  function bridge() {
    return (typeof corvane !== 'undefined' && corvane.vesk) ? corvane.vesk.casewright : null;
  }

  function on(id, handler) {
    var element = byId(id);
    if (element) element.addEventListener('click', handler);
  }

  function withBridge(statusId, action) {
    return function () {
      var casewright = bridge();
      if (!casewright) {
        status(statusId, 'The window control is not available here.');
        return;
      }
      action(casewright);
    };
  }

  // Builds a CSV file in the page and saves it the way client-side editors
  // do: a blob: address on a link with a download attribute, clicked at once.
  function exportCsv() {
    var rows = Math.max(1, Math.min(number('export-rows'), 1000000));
    var lines = ['row,square,time'];
    var now = new Date().toISOString();
    for (var i = 1; i <= rows; i++) lines.push(i + ',' + i * i + ',' + now);
    var url = URL.createObjectURL(new Blob([lines.join('\n') + '\n'], {type: 'text/csv'}));
    var link = document.createElement('a');
    link.href = url;
    link.download = 'quillet-export.csv';
    link.click();
    URL.revokeObjectURL(url);
  }

  document.addEventListener('DOMContentLoaded', function () {
    var origin = byId('origin');
    if (origin) origin.textContent = location.protocol + '//' + location.host;

    on('fullscreen', withBridge('screen-status', function (c) { c.setfullscreen(); }));
    on('normal', withBridge('screen-status', function (c) { c.exitfullscreen(); }));
    on('setmax', withBridge('screen-status', function (c) {
      c.setmaxwindowsize(number('maxw'), number('maxh'));
      status('screen-status', 'Largest size: ' + number('maxw') + ' \u00d7 ' + number('maxh'));
    }));
    on('setmin', withBridge('screen-status', function (c) {
      c.setminwindowsize(number('minw'), number('minh'));
      status('screen-status', 'Smallest size: ' + number('minw') + ' \u00d7 ' + number('minh'));
    }));
    on('quit', withBridge('screen-status', function (c) { c.closeapplication(); }));
    // The HTML5 Fullscreen API reaches the window too; Escape or F11 leaves.
    on('html5-fullscreen', function () {
      var root = document.documentElement;
      if (root.webkitRequestFullscreen) root.webkitRequestFullscreen();
      status('screen-status', 'Press Escape to leave full screen.');
    });
    on('export', exportCsv);

    on('popup', function () {
      var opened = window.open('popup.html', 'quillet-popup');
      status('windows-status', opened ? 'Pop-up opened.' : 'The pop-up was blocked.');
    });
    on('move', function () { window.moveTo(number('x'), number('y')); });
    on('resize', function () { window.resizeTo(number('w'), number('h')); });
    on('close', function () { window.close(); });
    on('printpage', function () { window.print(); });
  });
})();
