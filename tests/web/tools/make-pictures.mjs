// Draws the fixtures' pictures (a cover and a background photo stand-in) in
// Chromium, so the tests own every byte they serve. Run: node tools/make-pictures.mjs
import { writeFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';
import { launchChromium } from '../lib/browser.mjs';

const fixtures = fileURLToPath(new URL('../fixtures/', import.meta.url));

const cover = `<!DOCTYPE html><html><body style="margin:0">
<div style="width:480px;height:600px;box-sizing:border-box;padding:48px 40px;font-family:'DejaVu Sans',sans-serif;
  color:#fff;background:linear-gradient(160deg,#5b1a7a 0%,#2a0b45 60%,#140524 100%);position:relative;overflow:hidden">
  <div style="position:absolute;right:-90px;top:-90px;width:300px;height:300px;border-radius:50%;background:#ff9a1f;opacity:.9"></div>
  <div style="position:absolute;left:-60px;bottom:-120px;width:360px;height:360px;border-radius:50%;border:28px solid rgba(255,255,255,.12)"></div>
  <div style="position:relative;font-size:20px;letter-spacing:.3em;text-transform:uppercase;opacity:.85">Free guide</div>
  <div style="position:relative;margin-top:150px;font-size:62px;font-weight:bold;line-height:1.02">Top 10<br>Niche<br>Research<br>Tools</div>
  <div style="position:relative;margin-top:28px;width:90px;height:8px;background:#ff9a1f"></div>
  <div style="position:relative;margin-top:24px;font-size:21px;opacity:.9">Find a market before you build</div>
</div></body></html>`;

const background = `<!DOCTYPE html><html><body style="margin:0">
<div style="width:1600px;height:1000px;position:relative;overflow:hidden;
  background:radial-gradient(circle at 20% 30%,#2f6f8f 0%,transparent 45%),radial-gradient(circle at 80% 70%,#7a3f8f 0%,transparent 50%),linear-gradient(135deg,#0e2233 0%,#1d1030 100%)">
  <div style="position:absolute;left:120px;top:560px;width:520px;height:520px;border-radius:50%;background:rgba(255,200,120,.18)"></div>
  <div style="position:absolute;left:980px;top:80px;width:420px;height:420px;border-radius:50%;background:rgba(120,220,255,.14)"></div>
  <div style="position:absolute;left:0;right:0;bottom:0;height:260px;background:linear-gradient(0deg,rgba(0,0,0,.45),transparent)"></div>
</div></body></html>`;

// Covers of the shapes users bring: a wide one and the extremes.
const shaped = (width, height, title) => `<!DOCTYPE html><html><body style="margin:0">
<div style="width:${width}px;height:${height}px;box-sizing:border-box;padding:40px;font-family:'DejaVu Sans',sans-serif;color:#1d2b1f;
  background:linear-gradient(180deg,#f4e9c8 0%,#e9c27a 100%);display:flex;flex-direction:column;justify-content:center;align-items:center;text-align:center">
  <div style="font-size:${Math.round(height / 9)}px;font-weight:bold;line-height:1.05">${title}</div>
  <div style="margin-top:24px;width:40%;height:10px;background:#1d2b1f"></div>
</div></body></html>`;

const browser = await launchChromium();
try {
  const page = await browser.newPage({ viewport: { width: 1600, height: 1000 } });
  for (const [name, html, width, height] of [
    ['cover.jpg', cover, 480, 600],
    ['background.jpg', background, 1600, 1000],
    ['wide-cover.jpg', shaped(1600, 600, 'The Wide Banner Guide'), 1600, 600],
    ['tiny-cover.jpg', shaped(40, 40, 'G'), 40, 40],
    ['strip-cover.jpg', shaped(400, 4000, 'Seven<br>Day<br>List<br>Plan'), 400, 4000],
    ['banner-cover.jpg', shaped(3000, 600, 'The Very Wide Banner Guide'), 3000, 600],
  ]) {
    await page.setViewportSize({ width, height });
    await page.setContent(html);
    const jpeg = await page.screenshot({ type: 'jpeg', quality: 78, clip: { x: 0, y: 0, width, height } });
    await writeFile(fixtures + name, jpeg);
    console.log(`${name}: ${jpeg.length} bytes`);
  }
} finally {
  await browser.close();
}
