// Debian's Chromium, driven by playwright-core; never a downloaded browser.
import { writeFile } from 'node:fs/promises';
import { chromium } from 'playwright-core';

import { requireProgram } from './programs.mjs';

// Playwright gives every launch a fresh temporary profile, so no --user-data-dir here.
// Hinting off and one colour profile: the same text rendering whatever the desktop's settings, so screenshots repeat.
const args = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--font-render-hinting=none', '--force-color-profile=srgb'];

export const launchChromium = () =>
  chromium.launch({ executablePath: requireProgram(process.env.TANDREL_CHROMIUM || '/usr/bin/chromium', 'chromium'), headless: true, args });


// Writes the SVG as PNG pictures, [file, size, background] each, into folder.
export async function renderSvg(svg, pictures, folder) {
  const browser = await launchChromium();
  try {
    const page = await browser.newPage();
    for (const [name, size, background = 'transparent'] of pictures) {
      const sized = svg.replace(/<svg[^>]*>/, (tag) => tag.replace(/ (width|height)="[^"]*"/g, '').replace('<svg', `<svg width="${size}" height="${size}"`));
      await page.setViewportSize({ width: size, height: size });
      await page.setContent(`<body style="margin:0;background:${background}"><div style="width:${size}px;height:${size}px">${sized}</div>`);
      const png = await page.screenshot({ type: 'png', omitBackground: background === 'transparent', clip: { x: 0, y: 0, width: size, height: size } });
      await writeFile(folder + name, png);
      console.log(`${name}: ${png.length} bytes`);
    }
  } finally {
    await browser.close();
  }
}
