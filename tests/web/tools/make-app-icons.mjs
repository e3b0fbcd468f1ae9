// Renders the program's menu icons, packaging/icons/tandrel-SIZE.png, from
// packaging/icons/tandrel.svg in Chromium. Run: node tools/make-app-icons.mjs
import { readFile, writeFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { launchChromium } from '../lib/browser.mjs';

const icons = fileURLToPath(new URL('../../../packaging/icons/', import.meta.url));
const svg = await readFile(icons + 'tandrel.svg', 'utf8');

const browser = await launchChromium();
try {
  const page = await browser.newPage();
  for (const size of [16, 22, 24, 32, 48, 64, 128, 256]) {
    await page.setViewportSize({ width: size, height: size });
    await page.setContent(`<body style="margin:0"><div style="width:${size}px;height:${size}px">${svg.replace(/width="128" height="128"/, `width="${size}" height="${size}"`)}</div>`);
    const png = await page.screenshot({ type: 'png', omitBackground: true, clip: { x: 0, y: 0, width: size, height: size } });
    await writeFile(`${icons}tandrel-${size}.png`, png);
    console.log(`tandrel-${size}.png: ${png.length} bytes`);
  }
} finally {
  await browser.close();
}
