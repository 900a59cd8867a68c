#!/bin/sh
# Installs the browser test's npm packages beside it: playwright-core drives
# Debian's chromium, puppeteer-core drives Debian's firefox-esr. Neither
# downloads a browser of its own.
#
# The browser tests run in parallel and each calls this first: one installs
# while the others wait on the lock, and only a finished install is marked,
# so a half-made node_modules never counts as installed.
set -e
cd "$(dirname "$0")"
exec 9>>.install.lock
flock 9
[ -f node_modules/.kestrel-installed ] && exit 0
npm ci --no-audit --no-fund
touch node_modules/.kestrel-installed
