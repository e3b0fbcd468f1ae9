// Debian's Chromium, driven by playwright-core; never a downloaded browser.
import { chromium } from 'playwright-core';

export const chromiumPath = process.env.TANDREL_CHROMIUM || '/usr/bin/chromium';

// Playwright gives every launch a fresh temporary profile, so no --user-data-dir here.
export const chromiumArgs = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  // Same text rendering whatever the desktop's settings, so screenshots repeat.
  '--font-render-hinting=none',
  '--force-color-profile=srgb',
];

export function launchChromium() {
  return chromium.launch({ executablePath: chromiumPath, headless: true, args: chromiumArgs });
}
