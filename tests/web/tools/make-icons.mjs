// Renders the funnel pages' PNG icons from data/templates/favicon.svg in
// Chromium. Run: node tools/make-icons.mjs
import { readFile, writeFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { launchChromium } from '../lib/browser.mjs';

const templates = fileURLToPath(new URL('../../../data/templates/', import.meta.url));
const svg = await readFile(templates + 'favicon.svg', 'utf8');

const browser = await launchChromium();
try {
  const page = await browser.newPage();
  // Apple's icon gets the icon's own colour behind it: iOS shows transparency as black.
  for (const [name, size, background] of [['favicon-32.png', 32, 'transparent'], ['apple-touch-icon.png', 180, '#5b1a7a']]) {
    await page.setViewportSize({ width: size, height: size });
    await page.setContent(`<body style="margin:0;background:${background}"><div style="width:${size}px;height:${size}px">${svg.replace('<svg ', `<svg width="${size}" height="${size}" `)}</div>`);
    const png = await page.screenshot({ type: 'png', omitBackground: background === 'transparent', clip: { x: 0, y: 0, width: size, height: size } });
    await writeFile(templates + name, png);
    console.log(`${name}: ${png.length} bytes`);
  }
} finally {
  await browser.close();
}
