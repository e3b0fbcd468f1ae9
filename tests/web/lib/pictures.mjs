// The pictures users really bring (a phone photo, a 24-megapixel background, a
// PNG mock-up), each with the metadata its camera or editor leaves, drawn in
// Chromium and kept in a temporary folder until the generator changes; and the
// measures of what a page sends and what it draws.
import { execFile } from 'node:child_process';
import { mkdir, mkdtemp, rename, rm, stat, writeFile } from 'node:fs/promises';
import { existsSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';

import { requireProgram } from './programs.mjs';

const run = promisify(execFile);

const generatorVersion = 6;
export const madeDir = path.join(os.tmpdir(), `tandrel-web-pictures-${generatorVersion}`);
export const madePictures = ['phone-photo.jpg', 'big-background.jpg', 'mockup.png'];

// A little-endian TIFF from IFDs of [tag, type, values] (type 1 byte, 2 text, 3 short, 4 long, 5 rationals as
// number pairs), the IFDs one after another, then the trailer, then the longer values. A value given as a
// function gets the IFDs' offsets, the trailer's last; next[i] is the IFD that IFD i links to.
function tiff(ifds, { next = [], trailer = Buffer.alloc(0) } = {}) {
  const offsets = [8];
  for (const entries of ifds) offsets.push(offsets.at(-1) + 6 + 12 * entries.length);
  const tail = Buffer.concat([trailer, Buffer.alloc(trailer.length & 1)]);
  const parts = [Buffer.from('II*\0\x08\0\0\0', 'latin1')], data = [];
  let dataAt = offsets.at(-1) + tail.length;
  ifds.forEach((entries, n) => {
    const ifd = Buffer.alloc(6 + 12 * entries.length);
    ifd.writeUInt16LE(entries.length);
    entries.forEach(([tag, type, raw], i) => {
      const values = type === 2 ? [...Buffer.from(`${raw}\0`, 'latin1')] : typeof raw === 'function' ? [raw(offsets)] : raw;
      const size = [0, 1, 1, 2, 4, 4][type];
      const bytes = Buffer.alloc(Math.max(4, values.length * size + ((values.length * size) & 1)));
      values.forEach((v, k) => bytes.writeUIntLE(v, k * size, size));
      ifd.writeUInt16LE(tag, 2 + 12 * i);
      ifd.writeUInt16LE(type, 4 + 12 * i);
      ifd.writeUInt32LE(type === 5 ? values.length / 2 : values.length, 6 + 12 * i);
      if (bytes.length === 4) bytes.copy(ifd, 10 + 12 * i);
      else (ifd.writeUInt32LE(dataAt, 10 + 12 * i), data.push(bytes), (dataAt += bytes.length));
    });
    ifd.writeUInt32LE(next[n] ? offsets[next[n]] : 0, 2 + 12 * entries.length);
    parts.push(ifd);
  });
  return Buffer.concat([...parts, tail, ...data]);
}

const gps = [[0, 1, [2, 3, 0, 0]], [1, 2, 'N'], [2, 5, [48, 1, 8, 1, 3372, 100]], [3, 2, 'E'], [4, 5, [11, 1, 34, 1, 4410, 100]]];

// The phone's EXIF: maker, model, serial, dates, position, orientation 6 and a thumbnail (IFD1, linked from IFD0).
const phoneExif = (thumbnail) =>
  Buffer.concat([Buffer.from('Exif\0\0', 'latin1'), tiff([
    [[0x10f, 2, 'Phonemaker'], [0x110, 2, 'Pocket 12 Pro'], [0x112, 3, [6]], [0x132, 2, '2024:05:01 08:12:44'], [0x8769, 4, (o) => o[1]], [0x8825, 4, (o) => o[2]]],
    [[0x9003, 2, '2024:05:01 08:12:44'], [0xa431, 2, 'SN-4471-0931-2208']],
    gps,
    [[0x103, 3, [6]], [0x201, 4, (o) => o[4]], [0x202, 4, [thumbnail.length]]],
  ], { next: [3], trailer: thumbnail })]);

const xmp = (fields) =>
  Buffer.from(`http://ns.adobe.com/xap/1.0/\0<?xpacket begin="\ufeff" id="W5M0MpCehiHzreSzNTczkc9d"?><x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:photoshop="http://ns.adobe.com/photoshop/1.0/">${fields}</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end="w"?>`, 'utf8');

const segment = (marker, payload) => Buffer.concat([Buffer.from([0xff, marker, (payload.length + 2) >> 8, (payload.length + 2) & 0xff]), payload]);
// The segments go right after the start marker, where cameras put them.
const withSegments = (jpeg, segments) => Buffer.concat([jpeg.subarray(0, 2), ...segments, jpeg.subarray(2)]);

const crcTable = Array.from({ length: 256 }, (_, n) => { for (let k = 0; k < 8; k += 1) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1; return n >>> 0; });
const crc32 = (bytes) => (bytes.reduce((c, b) => crcTable[(c ^ b) & 0xff] ^ (c >>> 8), 0xffffffff) ^ 0xffffffff) >>> 0;
const u32 = (n) => Buffer.from([n >>> 24, (n >>> 16) & 255, (n >>> 8) & 255, n & 255]);
const chunk = (type, data) => Buffer.concat([u32(data.length), Buffer.from(type, 'latin1'), data, u32(crc32(Buffer.concat([Buffer.from(type, 'latin1'), data])))]);

// Photo-like pixels: a horizon, detail at every scale and sensor noise, from a fixed seed.
// rotate draws the upright scene turned the way a phone stores it for orientation 6.
async function drawPhoto(page, { width, height, rotate = false, alpha = false, thumbnail = 0 }) {
  return page.evaluate(async ({ width, height, rotate, alpha, thumbnail }) => {
    const canvas = new OffscreenCanvas(width, height);
    const ctx = canvas.getContext('2d');
    const [w, h] = rotate ? [height, width] : [width, height];
    if (rotate) ctx.setTransform(0, -1, 1, 0, 0, height);
    let seed = 1234567;
    const random = () => {
      seed = (seed + 0x6d2b79f5) | 0;
      let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
      t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
      return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
    };
    if (alpha) {
      ctx.fillStyle = 'rgba(40,30,60,0.35)';
      ctx.beginPath();
      ctx.ellipse(w / 2, h * 0.9, w * 0.4, h * 0.06, 0, 0, 2 * Math.PI);
      ctx.fill();
      ctx.beginPath();
      ctx.roundRect(w * 0.2, h * 0.08, w * 0.6, h * 0.78, w * 0.03);
      ctx.clip();
    }
    const sky = ctx.createLinearGradient(0, 0, 0, h);
    for (const [at, colour] of [[0, '#6d9fd0'], [0.55, '#f2c89a'], [0.56, '#4b6b3a'], [1, '#23331c']]) sky.addColorStop(at, colour);
    ctx.fillStyle = sky;
    ctx.fillRect(0, 0, w, h);
    // As leaves and grass in a real photo, so that a smaller copy still has detail.
    const unit = Math.min(w, h) / 3000;
    for (let i = 0; i < (w * h) / 500; i += 1) {
      const r = unit * Math.exp(Math.log(2) + random() * Math.log(40));
      ctx.fillStyle = `hsla(${Math.floor(random() * 360)},${Math.floor(random() * 60)}%,${20 + Math.floor(random() * 60)}%,0.45)`;
      ctx.beginPath();
      ctx.ellipse(random() * w, random() * h, r, r * (0.2 + random()), random() * Math.PI, 0, 2 * Math.PI);
      ctx.fill();
    }
    ctx.resetTransform();
    const image = ctx.getImageData(0, 0, width, height);
    const px = image.data;
    for (let i = 0; i < px.length; i += 4) {
      if (px[i + 3] === 0) continue;
      const n = (random() - 0.5) * 12;
      px[i] += n + (random() - 0.5) * 8;
      px[i + 1] += n;
      px[i + 2] += n + (random() - 0.5) * 8;
    }
    ctx.putImageData(image, 0, 0);
    const read = (blob) => new Promise((resolve) => Object.assign(new FileReader(), { onload: (e) => resolve(e.target.result.split(',')[1]) }).readAsDataURL(blob));
    const type = alpha ? 'image/png' : 'image/jpeg';
    const main = await read(await canvas.convertToBlob({ type, quality: 0.92 }));
    if (!thumbnail) return [main];
    const small = new OffscreenCanvas(thumbnail, Math.round((thumbnail * height) / width));
    small.getContext('2d').drawImage(canvas, 0, 0, small.width, small.height);
    return [main, await read(await small.convertToBlob({ type: 'image/jpeg', quality: 0.7 }))];
  }, { width, height, rotate, alpha, thumbnail }).then((parts) => parts.map((p) => Buffer.from(p, 'base64')));
}

// Makes the pictures once per generator version; returns their folder.
export async function makeTestPictures(browser) {
  if (madePictures.every((name) => existsSync(path.join(madeDir, name)))) return madeDir;
  const temporary = await mkdtemp(`${madeDir}-making-`);
  const page = await browser.newPage();
  try {
    const [phone, thumb] = await drawPhoto(page, { width: 4032, height: 3024, rotate: true, thumbnail: 160 });
    await writeFile(path.join(temporary, 'phone-photo.jpg'), withSegments(phone, [segment(0xe1, phoneExif(thumb)),
      segment(0xe1, xmp('<dc:creator>Jane Marketer</dc:creator><photoshop:City>Munich</photoshop:City>'))]));
    const [background] = await drawPhoto(page, { width: 6000, height: 4000 });
    await writeFile(path.join(temporary, 'big-background.jpg'), withSegments(background, [
      segment(0xe1, xmp('<dc:creator>Jane Marketer</dc:creator><photoshop:City>Munich</photoshop:City><photoshop:Country>Germany</photoshop:Country>')),
      segment(0xfe, Buffer.from('Shot behind our house, 14 Linden Street', 'latin1'))]));
    const [png] = await drawPhoto(page, { width: 1600, height: 1200, alpha: true });
    const time = Buffer.from([0x07, 0xe8, 5, 1, 8, 12, 44]);
    const texts = [chunk('tEXt', Buffer.from('Author\0Jane Marketer', 'latin1')), chunk('iTXt', Buffer.from('Location\0\0\0\0\0Linden Straße 14, München', 'utf8')),
      chunk('eXIf', tiff([gps])), chunk('tIME', time)];
    await writeFile(path.join(temporary, 'mockup.png'), Buffer.concat([png.subarray(0, 33), ...texts, png.subarray(33)]));
    await rm(madeDir, { recursive: true, force: true });
    await rename(temporary, madeDir);
  } finally {
    await page.close();
    await rm(temporary, { recursive: true, force: true });
  }
  return madeDir;
}

// What in a picture file tells about its maker: EXIF, XMP, ICC, IPTC, comments, text chunks.
export function metadataIn(bytes) {
  const found = [];
  const ascii = (at, n) => bytes.toString('latin1', at, at + n);
  if (bytes[0] === 0xff && bytes[1] === 0xd8) {
    for (let at = 2; at + 4 <= bytes.length && bytes[at] === 0xff;) {
      const marker = bytes[at + 1];
      if (marker === 0xff || (marker >= 0xd0 && marker <= 0xd8)) { at += marker === 0xff ? 1 : 2; continue; }
      if (marker === 0xda) break;
      // APP0 (JFIF) and APP14 (Adobe's colour transform) say nothing about the user.
      if (marker === 0xfe || (marker >= 0xe1 && marker <= 0xef && marker !== 0xee)) found.push(`JPEG ${marker === 0xfe ? 'comment' : `APP${marker - 0xe0}`} ${JSON.stringify(ascii(at + 4, 12).split('\0')[0])}`);
      at += 2 + bytes.readUInt16BE(at + 2);
    }
  } else if (ascii(1, 3) === 'PNG') {
    for (let at = 8; at + 8 <= bytes.length;) {
      const type = ascii(at + 4, 4);
      if (['tEXt', 'iTXt', 'zTXt', 'eXIf', 'tIME'].includes(type)) found.push(`PNG ${type}`);
      if (type === 'IEND') break;
      at += 12 + bytes.readUInt32BE(at);
    }
  } else if (ascii(0, 4) === 'RIFF' && ascii(8, 4) === 'WEBP') {
    for (let at = 12; at + 8 <= bytes.length;) {
      const type = ascii(at, 4);
      if (['EXIF', 'XMP ', 'ICCP'].includes(type)) found.push(`WebP ${type}`);
      const size = bytes.readUInt32LE(at + 4);
      at += 8 + size + (size & 1);
    }
  } else found.push('neither JPEG nor PNG nor WebP');
  return found;
}

// Each picture the page draws (own pictures only): where in the picture the shown part lies, as
// fractions of it, and the shown part's size in CSS pixels; from the element's box, object-fit and
// object-position, or for a background its size and position over its area (the whole page for body's).
// sources: role -> the user's picture; the part shown is reckoned on its shape, as the build
// may publish a cut of it centred where the window shows it.
export const shownPictures = (page, sources = {}) =>
  page.evaluate(async (sources) => {
    const shapes = {};
    for (const [role, url] of Object.entries(sources)) {
      const picture = Object.assign(new Image(), { src: url });
      if (await picture.decode().then(() => true, () => false)) shapes[role] = [picture.naturalWidth, picture.naturalHeight];
    }
    const offset = (value, free) => (value.endsWith('%') ? (free * parseFloat(value)) / 100 : parseFloat(value));
    // Explicit sizes are not used by the pages; 'none' and 'auto' keep the picture's pixels.
    const scale = (fit, bw, bh, iw, ih) => {
      const s = { cover: Math.max(bw / iw, bh / ih), contain: Math.min(bw / iw, bh / ih), 'scale-down': Math.min(bw / iw, bh / ih, 1) }[fit];
      return s ? [s, s] : fit === 'fill' ? [bw / iw, bh / ih] : [1, 1];
    };
    // The part of a picture (iw x ih) placed in a box (bw x bh) and seen within clip (from the box's corner).
    const place = (url, fit, position, [bw, bh], [iw, ih], [cw, ch]) => {
      const [sx, sy] = scale(fit, bw, bh, iw, ih);
      const [dw, dh] = [iw * sx, ih * sy];
      const [px, py] = position.split(' ');
      const [ox, oy] = [offset(px, bw - dw), offset(py, bh - dh)];
      const [x0, y0, x1, y1] = [Math.max(ox, 0), Math.max(oy, 0), Math.min(ox + dw, cw), Math.min(oy + dh, ch)];
      if (x1 <= x0 || y1 <= y0) return null;
      return { url, part: [(x0 - ox) / dw, (y0 - oy) / dh, (x1 - x0) / dw, (y1 - y0) / dh], css: [x1 - x0, y1 - y0] };
    };
    const own = (url) => new URL(url, location.href).origin === location.origin;
    const shown = [];
    for (const img of document.querySelectorAll('img')) {
      const s = getComputedStyle(img);
      const r = img.getBoundingClientRect();
      const box = [r.width - parseFloat(s.paddingLeft) - parseFloat(s.paddingRight) - parseFloat(s.borderLeftWidth) - parseFloat(s.borderRightWidth),
        r.height - parseFloat(s.paddingTop) - parseFloat(s.paddingBottom) - parseFloat(s.borderTopWidth) - parseFloat(s.borderBottomWidth)];
      if (!img.currentSrc || !own(img.currentSrc) || s.visibility === 'hidden' || box[0] <= 0 || box[1] <= 0) continue;
      await img.decode().catch(() => {});
      const role = img.closest('.tf-cover') ? 'cover' : 'picture';
      const part = place(img.currentSrc, s.objectFit, s.objectPosition, box, shapes[role] ?? [img.naturalWidth, img.naturalHeight], box);
      if (part) shown.push({ ...part, role });
    }
    const root = document.documentElement;
    const fromBody = getComputedStyle(root).backgroundImage === 'none';
    for (const el of document.querySelectorAll('*'))
      for (const pseudo of [null, '::before', '::after']) {
        const s = getComputedStyle(el, pseudo);
        const url = s.backgroundImage.match(/url\("?([^")]+)"?\)/)?.[1];
        if (!url || !own(url)) continue;
        const picture = Object.assign(new Image(), { src: url });
        await picture.decode();
        // Body's background paints the whole page, placed over the root element's box; a
        // fixed layer covers the window.
        const r = el === document.body && fromBody && !pseudo ? root.getBoundingClientRect() : el.getBoundingClientRect();
        const fixed = s.backgroundAttachment === 'fixed' || (pseudo && s.position === 'fixed');
        const box = fixed ? [innerWidth, innerHeight] : [r.width, r.height];
        const clip = el === document.body && fromBody && !fixed ? [root.scrollWidth, root.scrollHeight] : box;
        const role = el === document.body || el === root ? 'background' : 'picture';
        const part = place(url, s.backgroundSize.split(',')[0].trim(), s.backgroundPosition.split(',')[0].trim(), box, shapes[role] ?? [picture.naturalWidth, picture.naturalHeight], clip);
        if (part) shown.push({ ...part, role });
      }
    return shown;
  }, sources);

// The bytes of a WebP (cwebp -q 75) of a shown part of a picture: the part cut from the source
// (upright) and brought to its size in device pixels, never above the source's own pixels.
export async function rightSizedWebp(page, sourceUrl, { part, css }, dpr, file) {
  const png = await page.evaluate(async ({ sourceUrl, part, css, dpr }) => {
    const img = new Image();
    img.src = sourceUrl;
    await img.decode();
    const [x, y, w, h] = [part[0] * img.naturalWidth, part[1] * img.naturalHeight, part[2] * img.naturalWidth, part[3] * img.naturalHeight];
    const k = Math.min(dpr, w / css[0]);
    const canvas = new OffscreenCanvas(Math.max(1, Math.round(css[0] * k)), Math.max(1, Math.round(css[1] * k)));
    const ctx = canvas.getContext('2d');
    ctx.imageSmoothingQuality = 'high';
    ctx.drawImage(img, x, y, w, h, 0, 0, canvas.width, canvas.height);
    const png = await canvas.convertToBlob({ type: 'image/png' });
    return new Promise((resolve) => Object.assign(new FileReader(), { onload: (e) => resolve(e.target.result.split(',')[1]) }).readAsDataURL(png));
  }, { sourceUrl, part, css, dpr });
  await mkdir(path.dirname(file), { recursive: true });
  await writeFile(`${file}.png`, Buffer.from(png, 'base64'));
  await run(requireProgram('cwebp', 'webp'), ['-quiet', '-q', '75', `${file}.png`, '-o', file]);
  await rm(`${file}.png`);
  return (await stat(file)).size;
}

// Largest Contentful Paint in ms on a throttled phone: 150 ms latency, 1.6 Mbit/s down, the CPU 4x slower, a cold cache.
export async function throttledLcp(browser, url, ownHost, phone) {
  const context = await browser.newContext(phone);
  try {
    await context.route('**/*', (route) => (new URL(route.request().url()).host === ownHost ? route.continue() : route.abort('blockedbyclient')));
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
    await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 150, downloadThroughput: (1.6e6 / 8), uploadThroughput: (750e3 / 8) });
    await cdp.send('Emulation.setCPUThrottlingRate', { rate: 4 });
    await page.goto(url, { waitUntil: 'load', timeout: 170_000 });
    return await page.evaluate(() => new Promise((resolve) => {
      let last;
      let changed = performance.now();
      new PerformanceObserver((list) => ([last, changed] = [list.getEntries().at(-1), performance.now()])).observe({ type: 'largest-contentful-paint', buffered: true });
      // On the slow CPU the last paint may come well after the load event: done once none came for a second.
      const settle = () => (performance.now() - changed > 1000 ? resolve(Math.round(last?.startTime ?? NaN)) : setTimeout(settle, 250));
      settle();
    }));
  } finally {
    await context.close();
  }
}
