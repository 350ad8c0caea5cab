#!/usr/bin/env bash
# quillet-package end to end: PHASE is check, folder, deb, install or engine. The
# environment names the tools and the source tree (tests/tools/CMakeLists.txt).
set -euo pipefail
phase="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen QT_QPA_OFFSCREEN_NO_GLX=1
# Qt WebEngine's sandbox cannot run as root (it stays on for anyone else).
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
host="5e0b7d21-3f4c-4b9a-8c2d-9a1e6f3b7c40.casewright"

fail() { echo "FAIL: $*" >&2; exit 1; }
expect() { grep -qF -- "$2" <<<"$1" || fail "expected '$2' in:"$'\n'"$1"; }

# A web folder: the start page moves onto the origin; $2 is widget/index.html.
web_folder() {
  mkdir -p "$1/widget"
  echo "<script>location.replace('http://$host/index.html');</script>" > "$1/index.html"
  printf '%s\n' "$2" > "$1/widget/index.html"
}
# The app the packages are made of: it closes itself once its page has loaded.
app="$work/notes"
web_folder "$app" '<script>window.onload = function () { corvane.vesk.casewright.closeapplication(); };</script>'
mkdir -p "$app/widget/icons"
cp "$QUILLET_SOURCE/app/widget/icons/quillet-192.png" "$app/widget/icons/notes.png"
cat > "$app/manifest.webmanifest" <<'JSON'
{"name": "Quillet Test Notes", "short_name": "Notes", "version": "1.2.3",
 "description": "Notes kept on the desktop.",
 "icons": [{"src": "widget/icons/notes.png", "sizes": "192x192", "type": "image/png"}]}
JSON
command=quillet-test-notes
package() { "$QUILLET_PACKAGE" --program "$QUILLET_PROGRAM" --maintainer "Test <test@example.org>" "$@"; }
# Runs an app command until its page closes it: 0 means the page loaded.
runs_until_loaded() { timeout 60 "$@" >"$work/run.log" 2>&1 || fail "$* did not load its page: $(cat "$work/run.log")"; }
# An app for the modern web: a module, newer syntax and fetch at load.
modern_app() {
  web_folder "$1" $'<script type="module" src="app.js"></script>\n<script src="modern.js"></script>\n<script src="start.js"></script>'
  printf 'import {notes} from "./notes.js";\ndocument.body.append(notes.length);\n' > "$1/widget/app.js"
  echo 'export const notes = [];' > "$1/widget/notes.js"
  printf 'var settings = {};\nvar theme = settings?.theme ?? "dark";\n' > "$1/widget/modern.js"
  echo 'var loading = fetch("notes.json");' > "$1/widget/start.js"
  echo '[]' > "$1/widget/notes.json"
  [ -z "${2:-}" ] || echo "{\"name\": \"Modern Notes\", \"engine\": \"$2\"}" > "$1/manifest.webmanifest"
}

case "$phase" in
check)
  # One folder per problem: expected exit code, a line of the output, options.
  web_folder "$work/throws" $'<p>x</p>\n<script>\nnoSuchFunction();\n</script>'
  web_folder "$work/missing" $'<p>x</p>\n<img src="img/none.png">'
  web_folder "$work/manifest" '<p>x</p>'
  echo '{"name": "Broken",' > "$work/manifest/manifest.webmanifest"
  web_folder "$work/remote" '<script src="https://cdn.example.com/x.js"></script><a href="https://example.com/">site</a>'
  modern_app "$work/modern"
  modern_app "$work/modern-app" webengine
  cp -r "$QUILLET_SOURCE/app" "$work/sample"
  while IFS='|' read -r folder code line options; do
    set +e; output="$("$QUILLET_PACKAGE" --check $options "$work/$folder" 2>&1)"; rc=$?; set -e
    [ "$rc" -eq "$code" ] || fail "$folder: exit $rc, expected $code:"$'\n'"$output"
    expect "$output" "$line"
  done <<'CASES'
throws|1|widget/index.html:3: error: ReferenceError: Can't find variable: noSuchFunction
missing|1|widget/index.html:2: error: widget/img/none.png is not in the folder
manifest|1|error: manifest.webmanifest is ignored: not valid JSON
remote|0|widget/index.html:1: warning: remote resource https://cdn.example.com/x.js does not load offline
notes|0|0 error(s), 0 warning(s)
modern|1|widget/index.html:1: error: module script app.js is skipped by QtWebKit
modern|1|needs the Qt WebEngine engine: it uses module scripts, optional chaining (?.), fetch, which
modern|0|Left out 3 finding(s) that only QtWebKit has|--engine webengine
modern-app|0|0 error(s), 0 warning(s)
modern-app|1|widget/modern.js:2: error: SyntaxError|--engine webkit
sample|0|0 error(s), 0 warning(s)
CASES
  ;;
folder)
  package --app "$app" "$work/out" >/dev/null
  [ -f "$work/out/$command.png" ] || fail "no icon in the folder"
  expect "$(cat "$work/out/$command.desktop")" "Exec=$work/out/$command"
  expect "$(cat "$work/out/$command.desktop")" "Name=Quillet Test Notes"
  runs_until_loaded "$work/out/$command"
  ;;
deb)
  package --deb "$app" "$work/out" >/dev/null
  deb="$work/out/${command}_1.2.3_$(dpkg --print-architecture).deb"
  info="$(dpkg-deb --info "$deb")"
  for line in "Package: $command" "Version: 1.2.3" "Maintainer: Test <test@example.org>" \
              "Description: Notes kept on the desktop" "libqt5webkit5 (>=" "libc6 (>="; do
    expect "$info" "$line"
  done
  contents="$(dpkg-deb --contents "$deb")"
  for path in "./usr/bin/$command -> ../lib/$command/$command" "./usr/lib/$command/Widget.rcc" \
              "./usr/share/applications/$command.desktop" "./usr/share/man/man1/$command.1.gz" \
              "./usr/share/doc/$command/copyright" "./usr/share/icons/hicolor/16x16/apps/$command.png" \
              "./usr/share/icons/hicolor/256x256/apps/$command.png"; do
    expect "$contents" "$path"
  done
  grep -q "rwxr-xr-x root/root .* ./usr/lib/$command/$command$" <<<"$contents" || fail "executable mode"
  lint="$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)"
  if grep -q '^E:' <<<"$lint"; then fail "lintian errors:"$'\n'"$lint"; fi
  ;;
install)
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing a package needs root (CI runs as root)"
    exit 77
  fi
  package --deb "$app" "$work/out" >/dev/null
  # The package has no maintainer scripts: purging it removes all it installed.
  trap 'apt-get -o DPkg::Lock::Timeout=600 -y -qq purge "$command" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
  apt-get -o DPkg::Lock::Timeout=600 -y -qq install "$work/out"/*.deb >"$work/apt.log" 2>&1 \
    || fail "apt-get install: $(cat "$work/apt.log")"
  # As the desktop menu starts it: the entry's command, found on PATH.
  read -r -a exec_line <<<"$(sed -n 's/^Exec=//p' "/usr/share/applications/$command.desktop")"
  runs_until_loaded "${exec_line[@]}"
  ;;
engine)
  # An app made for Qt WebEngine; its page says whether it has fetch.
  app="$work/modern"
  web_folder "$app" '<script>window.onload = function () { console.error("fetch: " + typeof fetch); corvane.vesk.casewright.closeapplication(); };</script>'
  echo '{"name": "Quillet Test Modern", "engine": "webengine", "version": "2.0"}' > "$app/manifest.webmanifest"
  command=quillet-test-modern
  # A Quillet without the second engine: quillet warns and runs the app
  # itself; quillet-package refuses to ship it.
  mkdir "$work/bin"
  cp "$QUILLET_PROGRAM" "$(dirname "$QUILLET_PROGRAM")/quillet-pkgtool" "$work/bin/"
  runs_until_loaded "$work/bin/quillet" --web-folder "$app"
  expect "$(cat "$work/run.log")" "is made for Qt WebEngine"
  expect "$(cat "$work/run.log")" "fetch: undefined"
  set +e; output="$(package --program "$work/bin/quillet" --app "$app" "$work/none" 2>&1)"; rc=$?; set -e
  [ "$rc" -eq 1 ] || fail "packaged without quillet-webengine (exit $rc): $output"
  expect "$output" "quillet-webengine is not beside $work/bin/quillet"
  [ ! -e "$work/none/$command" ] || fail "a folder was made without quillet-webengine"
  if [ -z "${QUILLET_WEBENGINE:-}" ]; then
    echo "quillet-package engine: passed without quillet-webengine (not built)"
    exit 0
  fi
  # quillet hands the app over to quillet-webengine beside it.
  runs_until_loaded "$QUILLET_PROGRAM" --web-folder "$app"
  expect "$(cat "$work/run.log")" "fetch: function"
  # The folder and the package ship quillet-webengine; --engine overrides.
  package --app "$app" "$work/out" >/dev/null
  cmp -s "$QUILLET_WEBENGINE" "$work/out/$command" || fail "the folder does not run quillet-webengine"
  runs_until_loaded "$work/out/$command"
  if grep -q "made for Qt WebEngine" "$work/run.log"; then fail "warns on its own engine: $(cat "$work/run.log")"; fi
  package --app --engine webkit "$app" "$work/out-webkit" >/dev/null
  cmp -s "$QUILLET_PROGRAM" "$work/out-webkit/$command" || fail "--engine webkit does not ship quillet"
  package --deb "$app" "$work/out" >/dev/null
  info="$(dpkg-deb --info "$work/out/${command}_2.0_$(dpkg --print-architecture).deb")"
  expect "$info" "libqt5webenginecore5 (>="
  if grep -q libqt5webkit5 <<<"$info"; then fail "the package depends on QtWebKit:"$'\n'"$info"; fi
  ;;
*) fail "unknown phase $phase" ;;
esac
echo "quillet-package $phase: passed"
