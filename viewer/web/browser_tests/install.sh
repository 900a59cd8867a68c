#!/bin/sh
# Installs the browser test's npm packages beside it: playwright-core drives
# Debian's chromium, puppeteer-core drives Debian's firefox-esr. Neither
# downloads a browser of its own.
set -e
cd "$(dirname "$0")"
npm ci --no-audit --no-fund
