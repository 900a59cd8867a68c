#!/bin/sh
# Installs the browser test's npm packages (playwright-core) beside it.
set -e
cd "$(dirname "$0")"
npm ci --no-audit --no-fund
