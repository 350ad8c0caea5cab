#include "blobchannel.h"

#include <QEvent>

BlobChannel::BlobChannel(QObject* parent)
    : QObject(parent)
{
}

BlobChannel::~BlobChannel() = default;

QString BlobChannel::scriptName()
{
    return QStringLiteral("corvane_skyfold_downloads");
}

// Links in the document are caught on their way out of the click: a window
// listener for the capture phase adds one for the bubble phase, which runs
// after the page's own listeners, so a page that cancels the click keeps it
// cancelled. An anchor outside the document (made by a script and clicked at
// once, as "Export" buttons do) is caught by wrapping its click() and
// dispatchEvent(). URL.createObjectURL is wrapped to keep each blob behind
// its URL, so a page may revoke the URL right after the click.
QString BlobChannel::hookScript()
{
    return QStringLiteral(R"JS((function (channel) {
'use strict';
try { delete window.%1; } catch (e) {}
if (!channel || typeof URL === 'undefined' || typeof Blob === 'undefined') return;
var kept = {}, pinned = {};
var create = URL.createObjectURL, revoke = URL.revokeObjectURL;
URL.createObjectURL = function (object) {
  var url = create.apply(this, arguments);
  if (object instanceof Blob) kept[url] = object;
  return url;
};
URL.revokeObjectURL = function (url) {
  delete kept[url];
  return revoke.apply(this, arguments);
};
// Earlier documents of the page may still be connected: only the document
// that holds the blob answers. (The channel fails reads itself when the
// document changes.)
channel.readRequested.connect(function (url, offset, length) {
  var blob = pinned[url];
  if (!blob) return;
  var reader = new FileReader();
  reader.onload = function () { channel.chunkRead(url, offset, new Uint8Array(reader.result)); };
  reader.onerror = function () { channel.readFailed(url); };
  reader.readAsArrayBuffer(blob.slice(offset, offset + length));
});
channel.released.connect(function (url) { delete pinned[url]; });

function shownInline(type) { return !type || /^(text\/|image\/)|xml/i.test(type); }
function anchorOf(node) {
  for (; node; node = node.parentNode)
    if ((node.localName === 'a' || node.localName === 'area') && typeof node.href === 'string' && node.href)
      return node;
  return null;
}
// A click made with `new MouseEvent('click')` cannot be cancelled: the link
// is disarmed until the engine has passed it by.
function takeOver(anchor, event) {
  if (event.cancelable) { event.preventDefault(); return; }
  var href = anchor.getAttribute('href'), name = anchor.getAttribute('download');
  anchor.removeAttribute('download');
  anchor.setAttribute('href', 'javascript:void 0');
  setTimeout(function () {
    anchor.setAttribute('href', href);
    if (name !== null) anchor.setAttribute('download', name);
  }, 0);
}
function start(anchor, event) {
  if (event.defaultPrevented || event.button) return;
  var href = anchor.href, named = anchor.hasAttribute('download');
  var name = named ? anchor.getAttribute('download') : '';
  var scheme = href.slice(0, href.indexOf(':')).toLowerCase();
  if (scheme === 'blob') {
    var blob = kept[href];
    if (!blob || (!named && shownInline(blob.type))) return;
    takeOver(anchor, event);
    pinned[href] = blob;
    channel.download(href, name, blob.size, blob.type);
  } else if (named && /^(https?|data)$/.test(scheme)) {
    takeOver(anchor, event);
    channel.download(href, name, -1, '');
  }
}
window.addEventListener('click', function (event) {
  var anchor = anchorOf(event.target);
  if (!anchor) return;
  var last = function (e) {
    window.removeEventListener('click', last, false);
    if (e === event) start(anchor, e);
  };
  window.addEventListener('click', last, false);
}, true);
function inDocument(node) {
  var root = document.documentElement;
  return !!root && root.contains(node);
}
['click', 'dispatchEvent'].forEach(function (method) {
  var proto = HTMLAnchorElement.prototype, original = proto[method];
  if (typeof original !== 'function') return;
  proto[method] = function (event) {
    var clicks = method === 'click' || (event && event.type === 'click');
    if (!clicks || inDocument(this)) return original.apply(this, arguments);
    var anchor = this;
    var listener = function (e) { start(anchor, e); };
    anchor.addEventListener('click', listener, false);
    try { return original.apply(this, arguments); }
    finally { anchor.removeEventListener('click', listener, false); }
  };
});
})(window.%1);)JS")
        .arg(scriptName());
}

qint64 BlobChannel::blobSize(const QUrl& url) const
{
    return m_blobs.value(url.toString()).size;
}

QString BlobChannel::blobType(const QUrl& url) const
{
    return m_blobs.value(url.toString()).type;
}

void BlobChannel::requestChunk(const QUrl& url, qint64 offset, int length)
{
    emit readRequested(url.toString(), double(offset), length);
}

void BlobChannel::release(const QUrl& url)
{
    if (m_blobs.remove(url.toString()))
        emit released(url.toString());
}

void BlobChannel::forgetBlobs()
{
    m_blobs.clear();
    emit blobsLost();
}

void BlobChannel::download(const QString& url, const QString& name, double size,
                           const QString& type)
{
    const QUrl target(url);
    const QString scheme = target.scheme();
    if (scheme == QLatin1String("blob")) {
        if (size < 0)
            return;
        m_blobs.insert(url, Blob{qint64(size), type});
    } else if (scheme != QLatin1String("http") && scheme != QLatin1String("https")
               && scheme != QLatin1String("data")) {
        return;
    }
    emit downloadRequested(target, name);
}

void BlobChannel::chunkRead(const QString& url, double offset, const QByteArray& data)
{
    emit chunkArrived(QUrl(url), qint64(offset), data);
}

void BlobChannel::readFailed(const QString& url)
{
    emit chunkFailed(QUrl(url));
}

// Page scripts see deleteLater() too; the page owns this object.
bool BlobChannel::event(QEvent* event)
{
    if (event->type() == QEvent::DeferredDelete)
        return true;
    return QObject::event(event);
}
