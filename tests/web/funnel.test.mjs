// Real funnels, built by tandrel-cli from the saved funnels in fixtures/,
// checked in headless Chromium the way a visitor meets them.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { copyFile, mkdir, readdir, readFile, rm, writeFile } from 'node:fs/promises';
import { readdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

import { launchChromium } from './lib/browser.mjs';
import { appDir, artifactsDir, buildFixture, cliPath, fixtureNames, fixturesDir, publishFixture, readFixture, repoDir } from './lib/funnels.mjs';
import { startHosts } from './lib/hosts.mjs';
import { madeDir, madePictures, makeTestPictures, metadataIn, rightSizedWebp, shownPictures, throttledLcp } from './lib/pictures.mjs';
import { startServer } from './lib/server.mjs';
import { validate } from './lib/validator.mjs';

const pageKinds = ['optin', 'thanks', 'download'];
const widths = [320, 360, 768, 1280];
// Full-page screenshots kept at these widths; TANDREL_WEB_DOCS=1 also renews the README's from the example fixture.
const screenshotWidths = { 360: 'phone', 1280: 'desktop' };
// The player, its cookie-less twin and the poster pictures.
const videoHosts = ['www.youtube.com', 'www.youtube-nocookie.com', 'i.ytimg.com'];
const posterUrl = (id) => `https://i.ytimg.com/vi/${id}/hqdefault.jpg`;
const submitSelector = 'form :is(button:not([type]), button[type="submit"], input[type="submit"])';
const emailSelector = 'form input[type="email"]';
// At most 30 KB before pictures; Lighthouse's "good" limit for the cumulative layout shift.
const [weightLimit, shiftLimit] = [30 * 1000, 0.1];
// The thank-you pages count down 6 seconds before they move on.
const redirectDelayMs = 6000;
// Fixtures checked from the server folder they were published to.
const publishedVia = { example: 'sftp', 'styled-form': 'ftps' };
// The pictures' checks (no metadata, bytes a phone loads, paint on a slow phone, the social card);
// TANDREL_WEB_PICTURE_CHECKS=0 only measures them, for a build that does not write pictures anew.
const pictureChecks = process.env.TANDREL_WEB_PICTURE_CHECKS !== '0';
// A phone as the pictures are measured: 360 px wide, 3 device pixels to the CSS pixel.
const phone = { viewport: { width: 360, height: 740 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
// The opt-in pages timed on a throttled phone, few since each takes up to a minute; the first must paint under 2.5 s.
const lcpFixtures = ['phone-photo', 'photo-background', 'example'];

// Every theme but classic (the fixtures themselves) over a few fixtures: the long grid form in two
// columns with every optional block on, all three pages; the Arabic one-column funnel with a
// background picture, its opt-in page (the other two pages are laid out alike in every funnel).
const themes = readdirSync(path.join(appDir, 'themes'), { withFileTypes: true }).filter((d) => d.isDirectory() && d.name !== 'classic').map((d) => d.name).sort();
const themeFixtures = {
  'grid-form': { kinds: pageKinds, changes: { backControl: true, backUrl: 'https://example.com/came-back', retargetingCode: '<script>window.tandrelRetargeting = { seen: true };</script>',
    downloadLinkUrl: 'https://example.com/files/plan.pdf', downloadLinkTitle: 'Download the plan (PDF)', showProgressBar: true } },
  'consent-form': { kinds: ['optin'], changes: {} },
};
const themed = themes.flatMap((theme) => Object.keys(themeFixtures).map((fixture) => ({ theme, fixture, name: `${theme}-theme-${fixture}` })));
// The pages checked for accessibility, weight and layout: the fixtures' and their themed twins'.
const pageFunnels = [...fixtureNames, ...themed.map((t) => t.name)];
const kindsOf = (name) => themeFixtures[themed.find((t) => t.name === name)?.fixture]?.kinds ?? pageKinds;
// The docs' sheet of every theme, from the first screens of one fixture; classic is the fixture itself.
const sheetFixture = 'grid-form';
const sheetFunnels = [{ theme: 'classic', name: sheetFixture }, ...themed.filter((t) => t.fixture === sheetFixture)];

let server, hosts, browser, posterPicture;
const funnels = new Map();
// Per page: validator messages, axe violations, bytes before pictures, layout shift.
const figures = {};
const figure = (funnel, kind, column, value) => ((figures[`${funnel.name} ${kind}`] ??= {})[column] = value);

// Each check has its own browser context, so two run side by side on the two cores;
// more would make the real-time checks flaky on a loaded two-core machine.
const inParallel = { concurrency: 2 };
// A hung browser must fail its check, not the whole run.
const check = (name, fn) => test(name, { timeout: 60_000 }, fn);

before(async () => {
  await rm(artifactsDir, { recursive: true, force: true });
  browser = await launchChromium();
  await makeTestPictures(browser);
  server = await startServer();
  // The pictures as the user chose them, for the right-sized reference.
  server.mount('fixture-pictures', fixturesDir);
  server.mount('made-pictures', madeDir);
  hosts = await startHosts();
  for (const name of fixtureNames) {
    const built = await buildFixture(name, server.origin);
    const host = publishedVia[name];
    if (host) {
      const printed = await publishFixture(built, hosts[host], hosts.env);
      assert.deepEqual(printed.slice(1), [built.thanksUrl, built.downloadUrl], `${name}: the addresses tandrel-cli publish printed`);
      built.outputDir = hosts[host].folder;
    }
    funnels.set(name, serve(built));
  }
  const themesStarted = Date.now();
  for (const { theme, fixture, name } of themed) {
    const changes = { ...themeFixtures[fixture].changes, theme, funnelUrl: `https://example.com/${name}` };
    const built = await buildFixture(fixture, server.origin, { as: name, changes, pictureCache: path.join(artifactsDir, 'funnels', fixture) });
    funnels.set(name, serve(built));
  }
  console.log(`The ${themed.length} themed funnels built in ${((Date.now() - themesStarted) / 1000).toFixed(1)} s.`);
  posterPicture = await readFile(path.join(fixturesDir, 'background.jpg'));
}, { timeout: 600_000 });

// Each funnel lives in its own folder of the server, named by its address.
function serve(built) {
  const folder = new URL(built.funnel.funnelUrl).pathname.split('/')[1];
  assert.ok(folder && !server.mounted(folder), `${built.name}: the funnel address needs a folder of its own`);
  server.mount(folder, built.outputDir);
  built.home = `${server.origin}/${folder}/`;
  built.urls = { optin: built.home, thanks: built.thanksUrl, download: built.downloadUrl };
  const file = (url) => path.join(built.outputDir, path.basename(new URL(url).pathname));
  built.files = { optin: path.join(built.outputDir, 'index.html'), thanks: file(built.thanksUrl), download: file(built.downloadUrl), stylesheet: path.join(built.outputDir, 'funnel.css') };
  return built;
}

after(async () => {
  if (process.env.TANDREL_WEB_DOCS && browser) for (const width of Object.keys(screenshotWidths)) await themeSheet(width);
  await browser?.close();
  await hosts?.close();
  await server?.close();
  await mkdir(artifactsDir, { recursive: true });
  await writeFile(path.join(artifactsDir, 'figures.json'), JSON.stringify(figures, null, 2) + '\n');
  console.log(`tandrel-cli: ${cliPath}\ntemplates from: ${appDir}`);
  console.table(figures);
  // Per theme, the worst of its pages.
  const perTheme = {};
  for (const [key, row] of Object.entries(figures)) {
    const theme = themed.find((t) => key.startsWith(`${t.name} `))?.theme ?? (fixtureNames.includes(key.split(' ')[0]) ? 'classic' : null);
    if (!theme || key.endsWith(' stylesheet')) continue;
    const worst = (perTheme[theme] ??= { pages: 0, 'most bytes before pictures': 0, 'largest layout shift': 0, 'axe violations': 0, 'validator errors': 0 });
    worst.pages += 1;
    worst['most bytes before pictures'] = Math.max(worst['most bytes before pictures'], row['bytes before pictures'] ?? 0);
    worst['largest layout shift'] = Math.max(worst['largest layout shift'], row['layout shift'] ?? 0);
    worst['axe violations'] += row['axe violations'] ?? 0;
    worst['validator errors'] += row['validator errors'] ?? 0;
  }
  console.table(perTheme);
  await writeFile(path.join(artifactsDir, 'themes.json'), JSON.stringify(perTheme, null, 2) + '\n');
});

// One picture of every theme's opt-in page at this width, side by side, for docs/.
async function themeSheet(width) {
  const shots = sheetFunnels.map((t) => ({ theme: t.theme, file: path.join(artifactsDir, 'screenshots', t.name, `first-screen-${width}.png`) }));
  const cells = [];
  for (const { theme, file } of shots) {
    const data = await readFile(file).then((b) => b.toString('base64'), () => null);
    if (data) cells.push(`<figure><img src="data:image/png;base64,${data}" alt=""><figcaption>${theme}</figcaption></figure>`);
  }
  const columns = width < 500 ? cells.length : 4;
  const context = await browser.newContext({ viewport: { width: width < 500 ? 1800 : 2400, height: 600 } });
  const page = await context.newPage();
  await page.setContent(`<!DOCTYPE html><style>body{margin:0;padding:16px;background:#e9e9ee;font:600 22px system-ui,sans-serif;display:grid;grid-template-columns:repeat(${columns},1fr);gap:16px}figure{margin:0}img{width:100%;display:block;border:1px solid #999}figcaption{padding:6px 0;text-align:center}</style>${cells.join('')}`);
  await page.screenshot({ path: path.join(repoDir, 'docs', `themes-${width}.png`), fullPage: true });
  await context.close();
}

// A browser tab whose every request is watched: the local server answers, the
// video hosts get blank stand-ins (the network is closed), anything else is
// refused and recorded. slowPictures delays our pictures, as a real host does,
// so a page that does not reserve their room is seen to jump. freezeTimers keeps
// the thank-you countdown still while a page is inspected. fn gets the page;
// the page must have reported no error by its end.
async function visit(url, options, fn) {
  const { width = 1280, height = 800, javaScriptEnabled = true, freezeTimers = false, slowPictures = false, colorScheme = 'light', device = {} } = options;
  const context = await browser.newContext({ viewport: { width, height }, javaScriptEnabled, colorScheme, ...device });
  // A split-tested page shows version A here; split.test.mjs checks the others.
  await context.addInitScript(() => { try { localStorage.setItem(`tandrel-version-${location.pathname.replace(/\/[^/]*$/, '')}`, 'A'); } catch {} });
  const seen = { foreign: [], video: [], errors: [], ownBytes: 0, pictureBytes: 0, reading: [] };
  await context.route('**/*', async (route) => {
    const target = new URL(route.request().url());
    if (target.host === server.host) {
      if (slowPictures && route.request().resourceType() === 'image') await new Promise((resolve) => setTimeout(resolve, 600));
      return route.continue();
    }
    if (!videoHosts.includes(target.hostname)) {
      seen.foreign.push(target.href);
      return route.abort('blockedbyclient');
    }
    seen.video.push(target.href);
    if (target.hostname === 'i.ytimg.com') return route.fulfill({ status: 200, contentType: 'image/jpeg', body: posterPicture });
    return route.fulfill({ status: 200, contentType: 'text/html', body: '<!DOCTYPE html><title>Video</title><body style="margin:0;background:#000">' });
  });
  try {
    const page = await context.newPage();
    page.on('pageerror', (error) => seen.errors.push(`uncaught: ${error.message}`));
    page.on('console', (message) => message.type() === 'error' && seen.errors.push(`console: ${message.text()}`));
    page.on('response', (response) => {
      const request = response.request();
      if (new URL(request.url()).host !== server.host) return;
      const picture = request.resourceType() === 'image';
      seen.reading.push(response.body().then((body) => (picture ? (seen.pictureBytes += body.length) : (seen.ownBytes += body.length)), () => {}));
    });
    let paused = Promise.resolve();
    if (freezeTimers) {
      // The pause settles only once a document is there to pause.
      const now = new Date('2024-05-01T09:00:00Z');
      await page.clock.install({ time: now });
      paused = page.clock.pauseAt(now);
    }
    await page.goto(url);
    await paused;
    await fn(page, seen);
    assert.deepEqual(seen.errors, [], `the page ${page.url()} reported errors`);
  } finally {
    await context.close();
  }
}

const normalise = (text) => text.replace(/\s+/g, ' ').trim();

// The text a visitor reads for a piece of the user's HTML.
const readableText = (page, html) =>
  page.evaluate((source) => Object.assign(document.createElement('template'), { innerHTML: source }).content.textContent, html).then(normalise);

// Whether the text of a piece of the user's HTML is on screen in the page's main part.
const showsInMain = (page, html) =>
  page.evaluate((source) => {
    const tidy = (text) => text.replace(/\s+/g, ' ').trim();
    const wanted = tidy(Object.assign(document.createElement('template'), { innerHTML: source }).content.textContent);
    const holders = [...document.querySelectorAll('main *')].filter((el) => tidy(el.textContent).includes(wanted));
    const innermost = holders.filter((el) => !holders.some((other) => other !== el && el.contains(other)));
    return innermost.length > 0 && innermost.every((el) => el.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true }));
  }, html);

const describeMessages = (messages) => messages.map((m) => `  line ${m.lastLine ?? '?'}: ${m.message} ${m.extract ? `[${m.extract.trim()}]` : ''}`).join('\n');

// A pasted form may be invalid HTML by itself (a <style> in the body, old table
// attributes); the opt-in page may then carry its messages, and no others.
describe('validity: the Nu Html Checker finds nothing on any built page or stylesheet that the pasted form does not bring', () => {
  let validation;
  const formAlone = (funnel) => path.join(artifactsDir, 'funnels', funnel.name, 'form-alone.html');
  before(async () => {
    for (const funnel of funnels.values()) {
      const html = `<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>Form</title></head><body><main><div>${funnel.funnel.optinForm ?? ''}</div></main></body></html>`;
      await writeFile(formAlone(funnel), html);
    }
    validation = await validate([...funnels.values()].flatMap((f) => [...Object.values(f.files), formAlone(f)]));
  });

  for (const name of pageFunnels)
    for (const kind of [...pageKinds, 'stylesheet'])
      check(`${name}: ${kind}`, () => {
        const funnel = funnels.get(name);
        const serious = (m) => m.type !== 'info' || m.subType === 'warning';
        const text = (m) => `${m.type}: ${m.message}`;
        const messages = validation.get(funnel.files[kind]).filter(serious);
        const formsOwn = new Set(kind === 'optin' ? validation.get(formAlone(funnel)).filter(serious).map(text) : []);
        figure(funnel, kind, 'validator errors', messages.filter((m) => m.type !== 'info').length);
        figure(funnel, kind, 'validator warnings', messages.filter((m) => m.type === 'info').length);
        const ours = messages.filter((m) => !formsOwn.has(text(m)));
        assert.equal(ours.length, 0, `${funnel.files[kind]}:\n${describeMessages(ours)}`);
      });
});

describe('each page: no axe violation, every picture described, the texts as typed in the funnel\'s language', inParallel, () => {
  let axeSource;
  before(async () => (axeSource = await readFile(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8')));

  for (const name of pageFunnels)
    for (const kind of kindsOf(name))
      check(`${name}: ${kind} page`, async () => {
        const funnel = funnels.get(name);
        // Once as most visitors see it, once with the dark-mode preference, which some cards follow;
        // a fresh load each, so the thank-you countdown never runs out under axe.
        for (const colorScheme of ['light', 'dark']) {
          await visit(funnel.urls[kind], { freezeTimers: true, colorScheme }, async (page) => {
            if (colorScheme === 'light') await checkTexts(funnel, kind, page);
            await page.evaluate(axeSource);
            // axe needs running timers; the countdown then has its full 6 seconds, far more than axe takes.
            await page.clock.resume();
            // The video frame holds the video host's page, not ours.
            const result = await page.evaluate(() => window.axe.run(document, { iframes: false }));
            assert.equal(page.url(), funnel.urls[kind], 'the page moved on while axe ran');
            const found = result.violations.map((v) => `  ${v.id} (${v.impact}): ${v.help}\n${v.nodes.map((n) => `    ${n.target.join(' ')}: ${n.failureSummary}`).join('\n')}`);
            if (colorScheme === 'light') figure(funnel, kind, 'axe violations', result.violations.length);
            assert.equal(found.length, 0, `axe found on ${funnel.urls[kind]} (${colorScheme} preference):\n${found.join('\n')}`);
            assert.ok(result.passes.length > 0, 'axe ran no rule at all');
          });
        }
      });
});

async function checkTexts(funnel, kind, page) {
  const f = funnel.funnel;
  const language = f.language ?? 'en';
  const script = { ar: /[\u0600-\u06ff]/, he: /[\u0590-\u05ff]/ }[language];
  const texts = {
    optin: [['h1', f.headline], ['.tf-instructions', f.instructions], ['.tf-privacy', f.privacy], ['footer', f.footerText]],
    thanks: [['h1', f.softRedirect1], ['.tf-lead', f.softRedirect2], ['footer', f.footerText]],
    download: [['h1', f.thankYouHeadline], ['footer', f.footerText]],
  }[kind];
  for (const [where, typed] of texts) {
    if (typed === undefined) continue;
    const shown = page.locator(where === 'h1' && (await page.locator('h1 .tf-vs').count()) ? 'h1 .tf-vs:visible' : where);
    if (typed === '' && where === 'h1') assert.ok(normalise(await shown.textContent()), 'the heading is empty');
    else if (typed === '') assert.equal(await shown.count(), 0, `the page keeps ${where} for an empty text`);
    else if (where === 'h1' || where === 'footer') assert.equal(normalise(await shown.textContent()), await readableText(page, typed), `the ${where} reads otherwise than typed`);
    else assert.ok(await showsInMain(page, typed), `the page does not show: ${typed}`);
  }

  // A picture may be silent (alt="") only inside a link that names itself, like the video poster.
  const images = await page.$$eval('img', (all) => all.map((img) => ({ src: img.getAttribute('src'), alt: img.getAttribute('alt'), namedLink: !!img.closest('a')?.textContent.trim() })));
  for (const image of images) assert.ok(image.alt !== null && (image.alt.trim() !== '' || image.namedLink), `the picture ${image.src} has no alternative text`);
  if (kind !== 'thanks') assert.ok(images.some((i) => i.src && !i.src.includes('/') && /\.(jpg|png|gif)$/.test(i.src)), 'the cover is missing');

  // The title is the page's heading text, shortened at 65 characters with an ellipsis.
  const title = await page.title();
  const full = await readableText(page, { optin: f.headline || f.instructions, thanks: f.softRedirect1, download: f.thankYouHeadline }[kind] ?? '');
  const shortened = title.length <= 65 && title.endsWith('\u2026') && full.startsWith(title.slice(0, -1));
  assert.ok(full ? (full.length <= 65 ? title === full : shortened) : title, `the title ${JSON.stringify(title)} is not the start of ${JSON.stringify(full)}`);

  assert.deepEqual(await page.evaluate(() => ({ lang: document.documentElement.lang, dir: document.documentElement.dir })), { lang: language, dir: script ? 'rtl' : 'ltr' });
  // The pages' own words must follow the funnel's language.
  const ownWords = { optin: ['.tf-cover img[alt]', '.tf-progress__label'], thanks: ['#redirect-note', '#redirect-go', '#redirect-stop'], download: ['.tf-video__poster', '.tf-cover img[alt]'] };
  for (const selector of script ? ownWords[kind] : []) {
    const el = page.locator(selector).first();
    if ((await el.count()) === 0) continue;
    const words = (await el.getAttribute('alt')) ?? (await el.textContent());
    assert.match(words, script, `${selector} is not in the funnel's language: ${words}`);
  }
  if (kind !== 'optin') return;

  // The social preview's picture and the icons must be there to fetch.
  const meta = await page.evaluate(() => {
    const all = (selector, attribute) => [...document.querySelectorAll(selector)].map((el) => el.getAttribute(attribute));
    return { descriptions: all('meta[name="description"]', 'content'), url: all('meta[property="og:url"]', 'content'), card: all('meta[name="twitter:card"]', 'content'),
      image: all('meta[property="og:image"]', 'content'), icons: all('link[rel~="icon"], link[rel="apple-touch-icon"]', 'href'),
      cardSize: [':width', ':height'].map((p) => document.querySelector(`meta[property="og:image${p}"]`)?.getAttribute('content')),
      cardAlt: document.querySelector('meta[property="og:image:alt"]')?.getAttribute('content') ?? '' };
  });
  assert.equal(meta.descriptions.filter((d) => d.trim()).length, 1, `descriptions: ${JSON.stringify(meta.descriptions)}`);
  assert.deepEqual(meta.url, [funnel.home]);
  assert.equal(meta.card.length, 1, 'no twitter:card');
  assert.ok(meta.image.length === 1 && meta.image[0].startsWith(funnel.home), `the preview picture ${meta.image} is not an address in the funnel`);
  assert.ok(meta.icons.length >= 2, 'the page names fewer than two icons');
  for (const address of [meta.image[0], ...meta.icons.map((href) => new URL(href, funnel.home).href)]) {
    const response = await page.request.get(address);
    assert.ok(response.status() === 200 && /^image\//.test(response.headers()['content-type']), `${address} is no picture to fetch`);
  }
  // The social card: a 1200x630 picture, its width, height and alt given.
  const card = await page.evaluate((url) => {
    const img = Object.assign(new Image(), { src: url });
    return img.decode().then(() => `${img.naturalWidth}x${img.naturalHeight}`, () => 'no picture');
  }, meta.image[0]);
  figure(funnel, kind, 'og:image', card);
  if (pictureChecks) assert.deepEqual([card, ...meta.cardSize, !!meta.cardAlt.trim()], ['1200x630', '1200', '630', true], `og:image ${meta.image[0]}, its size and alt`);
  // The user's HEAD and retargeting code, tag for tag where they belong.
  const missing = (code, where) =>
    page.evaluate(([source, where]) => {
      const present = [...document[where].children].map((el) => el.outerHTML);
      return [...Object.assign(document.createElement('template'), { innerHTML: source }).content.children].map((el) => el.outerHTML).filter((html) => !present.includes(html));
    }, [code, where]);
  if (f.headCode) assert.deepEqual(await missing(f.headCode, 'head'), [], 'HEAD code missing from <head>');
  if (f.retargetingCode) assert.deepEqual(await missing(f.retargetingCode, 'body'), [], 'retargeting code missing from <body>');
  // The fixtures' retargeting code leaves this mark when it runs.
  if (f.retargetingCode?.includes('window.tandrelRetargeting')) assert.deepEqual(await page.evaluate(() => window.tandrelRetargeting), { seen: true }, 'the retargeting code did not run');
}

describe('weight, stability and layout: light pages that call no one but the video host, do not jump, and fit from 320 to 1280 px', inParallel, () => {
  for (const name of pageFunnels)
    for (const kind of kindsOf(name))
      check(`${name}: ${kind} page`, async (t) => {
        const funnel = funnels.get(name);
        // First a phone, as Lighthouse measures, with the page in packets and pictures that arrive late; then the window is resized.
        await visit(`${funnel.urls[kind]}?trickle`, { width: 360, height: 740, freezeTimers: true, slowPictures: true }, async (page, seen) => {
          await page.waitForLoadState('networkidle');
          await Promise.all(seen.reading);
          // takeRecords() hands over the buffered entries at once: the page's timers are frozen.
          const shift = await page.evaluate(() => {
            const observer = new PerformanceObserver(() => {});
            observer.observe({ type: 'layout-shift', buffered: true });
            return observer.takeRecords().reduce((total, entry) => total + (entry.hadRecentInput ? 0 : entry.value), 0);
          });
          figure(funnel, kind, 'bytes before pictures', seen.ownBytes);
          figure(funnel, kind, 'layout shift', Math.round(shift * 1000) / 1000);
          assert.ok(shift < shiftLimit, `the page jumps while it loads: layout shift ${shift.toFixed(3)}`);
          assert.deepEqual(seen.foreign, [], 'requests to other hosts');
          assert.deepEqual(seen.video, kind === 'download' ? [posterUrl(funnel.funnel.videoId)] : [], 'requests to the video host');
          assert.ok(seen.ownBytes > 0 && seen.ownBytes < weightLimit, `${seen.ownBytes} bytes before pictures`);
          // So the bytes above are the page and the one stylesheet it is meant to have.
          const sheets = await page.evaluate(() => [...document.styleSheets].map((s) => s.href).filter(Boolean));
          assert.deepEqual(sheets, [new URL('funnel.css', funnel.urls[kind]).href]);
          for (const width of widths) await t.test(`${name}: ${kind} page at ${width} px`, () => checkLayout(funnel, kind, page, width));
        });
      });
});

async function checkLayout(funnel, kind, page, width) {
  const height = width < 500 ? 740 : 800;
  await page.setViewportSize({ width, height });
  await page.evaluate(() => window.scrollTo(0, 0));
  const layout = await page.evaluate(() => {
    const name = (el) => el.tagName.toLowerCase() + (el.id ? `#${el.id}` : '') + [...el.classList].map((c) => `.${c}`).join('');
    const clippedByAncestor = (el) => el.parentElement !== document.body && (getComputedStyle(el.parentElement).overflowX !== 'visible' || clippedByAncestor(el.parentElement));
    const outside = [];
    const outOfCard = [];
    const card = document.querySelector('.tf-card')?.getBoundingClientRect();
    // Honeypot fields are parked off screen on purpose, hidden from everyone.
    for (const el of document.body.querySelectorAll('*')) {
      const r = el.getBoundingClientRect();
      if (el.closest('[aria-hidden="true"]') || r.width === 0 || r.height === 0 || getComputedStyle(el).visibility === 'hidden') continue;
      const spans = `${name(el)} spans ${Math.round(r.left)}..${Math.round(r.right)}`;
      if ((r.left < -0.5 || r.right > innerWidth + 0.5) && !clippedByAncestor(el)) outside.push(spans);
      // The pasted form's widest part must stay inside the card, not be cut by it.
      if (card && el.closest('.tf-form') && (r.left < card.left - 0.5 || r.right > card.right + 0.5)) outOfCard.push(`${spans}, the card ${Math.round(card.left)}..${Math.round(card.right)}`);
    }
    return { scrollWidth: document.scrollingElement.scrollWidth, outside, outOfCard };
  });
  assert.ok(layout.scrollWidth <= width, `the page scrolls sideways: ${layout.scrollWidth} px wide in a ${width} px window`);
  assert.deepEqual(layout.outside, [], 'elements stick out of the window');
  assert.deepEqual(layout.outOfCard, [], 'the pasted form juts out of the card');

  const box = async (locator, what) => {
    assert.equal(await locator.count(), 1, `expected one ${what}`);
    assert.ok(await locator.isVisible(), `the ${what} is not visible`);
    const b = await locator.boundingBox();
    assert.ok(b.x >= -0.5 && b.x + b.width <= width + 0.5, `the ${what} is cut off at the side`);
    return b;
  };
  const headline = await box(page.locator('h1'), 'headline');
  assert.ok(headline.y < height, `the headline starts below the first screen (${Math.round(headline.y)} px)`);
  assert.ok(await page.locator('h1').evaluate((h) => h.scrollWidth <= h.clientWidth), 'the headline is clipped');
  if (kind !== 'thanks') {
    const cover = page.locator('.tf-cover:visible img');
    const b = await box(cover, 'cover');
    // A wider window may fetch a larger size: measured once it is in. The picture's own pixels
    // are in its width and height (a size from srcset reports the density it was chosen for).
    const c = await cover.evaluate(async (img) => {
      await img.decode().catch(() => {});
      const column = img.closest('.tf-cover').parentElement;
      const s = getComputedStyle(column);
      return { w: img.complete && img.naturalWidth ? +img.getAttribute('width') : 0, h: +img.getAttribute('height'), column: column.clientWidth - parseFloat(s.paddingLeft) - parseFloat(s.paddingRight) };
    });
    // Covers of any size: never above twice their pixels, never a sliver, a banner as wide as its column on a phone; only a strip is cropped.
    const drawn = `the cover, ${c.w}x${c.h} (0x0: not loaded), is drawn at ${b.width}x${b.height}`;
    assert.ok(c.w > 0 && b.width <= 2 * c.w + 0.5 && b.height <= 2 * c.h + 0.5, `${drawn}, above twice its pixels`);
    assert.ok(b.width >= Math.min(100, 2 * c.w) && b.height >= Math.min(40, 2 * c.h), `${drawn}, too small to be seen`);
    if (c.w >= 3 * c.h && width < 760) assert.ok(b.width >= c.column - 0.5, `${drawn}, narrower than its ${c.column} px column`);
    if (c.h < 3 * c.w) assert.ok(Math.abs((b.width / b.height) * (c.h / c.w) - 1) < 0.03, `${drawn}, not in its own proportions`);
  }
  if (kind === 'optin') {
    // Our own look promises a comfortable tap target; a form with its own styles gets the WCAG minimum.
    const tap = (await page.locator('.tf-form--own').count()) > 0 ? 24 : 44;
    // Long texts on purpose: the first screen is not promised for them.
    const firstScreen = width === 1280 && funnel.name !== 'long-texts';
    for (const [selector, what] of [[emailSelector, 'e-mail field'], [submitSelector, 'submit button']]) {
      const control = page.locator(selector);
      const before = await control.boundingBox();
      if (firstScreen) assert.ok(before.y + before.height <= height, `at ${width}x${height} the ${what} ends at ${Math.round(before.y + before.height)} px, below the first screen`);
      await control.scrollIntoViewIfNeeded();
      const b = await box(control, what);
      assert.ok(b.height >= tap && b.width >= tap, `the ${what} is too small to tap: ${b.width}x${b.height}`);
      if (what === 'e-mail field') assert.ok(b.width >= Math.min(200, width / 2), `the e-mail field is only ${b.width} px wide`);
      const onTop = (el, r = el.getBoundingClientRect()) => el.contains(document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2));
      assert.ok(await control.evaluate(onTop), `something covers the ${what}`);
    }
  }
  if (kind === 'thanks') await box(page.locator('main a'), '"go now" link');
  if (kind === 'download') {
    const video = await box(page.locator('.tf-video'), 'video');
    assert.ok(Math.abs(video.width / video.height - 16 / 9) < 0.05, 'the video is not 16:9');
  }
  if (screenshotWidths[width]) {
    await page.evaluate(() => window.scrollTo(0, 0));
    const file = path.join(artifactsDir, 'screenshots', funnel.name, `${kind}-${width}.png`);
    await mkdir(path.dirname(file), { recursive: true });
    await page.screenshot({ path: file, fullPage: true, animations: 'disabled', caret: 'hide' });
    if (kind === 'optin' && sheetFunnels.some((t) => t.name === funnel.name)) await page.screenshot({ path: path.join(path.dirname(file), `first-screen-${width}.png`), animations: 'disabled', caret: 'hide' });
    if (process.env.TANDREL_WEB_DOCS && funnel.name === 'example') await copyFile(file, path.join(repoDir, 'docs', `funnel-${kind}-${screenshotWidths[width]}.png`));
  }
}

describe('pictures: nothing published tells about its maker, a phone loads about what it shows', inParallel, () => {
  const references = new Map();
  const sourceOf = (file) => `${server.origin}/${madePictures.includes(file) ? 'made' : 'fixture'}-pictures/${file}`;
  const reference = (page, funnel, shown, index) => {
    const file = { cover: funnel.funnel.coverImage, background: funnel.funnel.backgroundImage }[shown.role] ?? path.basename(new URL(shown.url).pathname);
    const source = sourceOf(file);
    const key = JSON.stringify([source, shown.part.map((v) => v.toFixed(4)), shown.css.map(Math.round)]);
    if (!references.has(key)) references.set(key, rightSizedWebp(page, source, shown, phone.deviceScaleFactor, path.join(artifactsDir, 'right-sized', `${funnel.name}-${index}-${references.size}.webp`)));
    return references.get(key);
  };

  for (const name of fixtureNames) {
    check(`${name}: no published picture carries EXIF, XMP, ICC, IPTC, comments or PNG text`, async () => {
      const funnel = funnels.get(name);
      const found = [];
      for (const file of await readdir(funnel.outputDir, { recursive: true }))
        if (/\.(jpe?g|png|webp)$/i.test(file)) found.push(...metadataIn(await readFile(path.join(funnel.outputDir, file))).map((m) => `${file}: ${m}`));
      figure(funnel, 'optin', 'pictures with metadata', new Set(found.map((f) => f.split(':')[0])).size);
      if (pictureChecks) assert.deepEqual(found, [], 'published pictures carry metadata');
    });

    for (const kind of pageKinds)
      check(`${name}: ${kind} page on a phone: its pictures at most twice a right-sized WebP of what it shows, plus 10 KB`, () =>
        visit(funnels.get(name).urls[kind], { ...phone.viewport, device: phone, freezeTimers: true }, async (page, seen) => {
          const funnel = funnels.get(name);
          // A visitor who reads to the end gets every picture the page holds.
          await page.evaluate(() => window.scrollTo(0, document.scrollingElement.scrollHeight));
          await page.waitForLoadState('networkidle');
          await Promise.all(seen.reading);
          // Taken now: the reference below reads the sources through this page too.
          const loaded = seen.pictureBytes;
          const { coverImage, backgroundImage, backgroundImageUsed } = funnel.funnel;
          const shown = await shownPictures(page, { cover: sourceOf(coverImage), ...(backgroundImageUsed ? { background: sourceOf(backgroundImage) } : {}) });
          const sizes = await Promise.all(shown.map((s, i) => reference(page, funnel, s, i)));
          const rightSized = sizes.reduce((a, b) => a + b, 0);
          figure(funnel, kind, 'pictures on a phone', loaded);
          figure(funnel, kind, 'right-sized WebP', rightSized);
          const drawn = shown.map((s, i) => `${s.role} ${s.url}: ${s.css.map(Math.round).join('x')} px shown, a WebP of it ${sizes[i]} bytes`).join('\n');
          if (pictureChecks) assert.ok(loaded <= 2 * rightSized + 10_000, `${loaded} bytes of pictures for:\n${drawn}`);
        }));
  }
});

describe('the opt-in page on a throttled phone paints its largest part under 2.5 s with a phone photo as cover', () => {
  for (const name of lcpFixtures)
    test(`${name}: largest contentful paint at 150 ms latency, 1.6 Mbit/s, a 4x slower CPU`, { timeout: 180_000 }, async () => {
      const lcp = await throttledLcp(browser, funnels.get(name).urls.optin, server.host, phone);
      figure(funnels.get(name), 'optin', 'LCP on a slow phone (ms)', lcp);
      // 2.5 s is the figure to meet on a quiet machine; a busy one slows the throttled CPU
      // further, and the full-size photo took 20 s: the check holds against that.
      if (pictureChecks && name === lcpFixtures[0]) assert.ok(lcp < 5000, `largest contentful paint after ${lcp} ms`);
    });
});

// Two sign-up forms shaped as services hand them out, each rebuilt (tidy) and kept as pasted.
describe('pasted forms in both modes: the e-mail field and the button usable from 320 px, and every field sent', inParallel, () => {
  const shapes = ['grid-form', 'inline-form', 'consent-form', 'table-form'];
  const modes = { tidy: true, 'as-pasted': false };
  const urls = new Map();
  before(async () => {
    for (const shape of shapes)
      for (const [mode, tidyOptinForm] of Object.entries(modes)) {
        const as = `${shape}-${mode}`;
        const built = await buildFixture(shape, server.origin, { as, changes: { tidyOptinForm, funnelUrl: `https://example.com/${as}` } });
        server.mount(as, built.outputDir);
        urls.set(as, `${server.origin}/${as}/`);
      }
  });

  for (const shape of shapes)
    for (const mode of Object.keys(modes)) {
      check(`${shape}, ${mode}: from ${widths[0]} to ${widths.at(-1)} px the e-mail field is 120 px or wider and in view, the button inside the panel`, () =>
        visit(urls.get(`${shape}-${mode}`), {}, async (page) => {
          assert.equal(await page.locator('.tf-form--tidy').count(), mode === 'tidy' ? 1 : 0, `the form is not ${mode}`);
          for (const width of widths) {
            await page.setViewportSize({ width, height: 800 });
            const [email, button] = await page.evaluate((selectors) => {
              const panel = document.querySelector('.tf-form').getBoundingClientRect();
              return selectors.map((selector) => {
                const el = document.querySelector(selector);
                el.scrollIntoView({ block: 'center' });
                const r = el.getBoundingClientRect();
                const inPanel = r.left >= panel.left - 0.5 && r.right <= panel.right + 0.5;
                return { width: Math.round(r.width), inPanel, seen: el.contains(document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2)) };
              });
            }, [emailSelector, submitSelector]);
            assert.ok(email.width >= 120 && email.inPanel && email.seen, `at ${width} px the e-mail field: ${JSON.stringify(email)}`);
            assert.ok(button.inPanel && button.seen, `at ${width} px the button: ${JSON.stringify(button)}`);
            if (process.env.TANDREL_WEB_DOCS && shape === 'grid-form' && screenshotWidths[width])
              await page.locator('.tf-form').screenshot({ path: path.join(repoDir, 'docs', `form-${mode}-${screenshotWidths[width]}.png`), animations: 'disabled', caret: 'hide' });
          }
        }));

      check(`${shape}, ${mode}: the server gets every field and hidden value the pasted form sends`, () =>
        visit(urls.get(`${shape}-${mode}`), {}, async (page) => {
          const address = `${shape}.${mode}@example.org`;
          const fields = page.locator('.tf-form :is(input:not([type="hidden"], [type="submit"], [tabindex="-1"]), select, textarea)');
          for (const field of await fields.all()) {
            const type = await field.getAttribute('type');
            if (await field.evaluate((el) => el.tagName === 'SELECT')) await field.selectOption({ index: 2 });
            else if (type === 'checkbox') await field.check();
            else await field.fill(type === 'email' ? address : 'Ann Lee');
          }
          // The pasted code itself, given the same answers, tells what the service expects to receive.
          const expected = await page.evaluate((source) => {
            const copy = document.implementation.createHTMLDocument('');
            copy.body.innerHTML = source;
            const pasted = copy.querySelector('form');
            const shown = document.querySelector('.tf-form form');
            for (const el of pasted.elements) {
              const twin = [...shown.elements].find((o) => o.name === el.name && o.type === el.type && (el.type !== 'checkbox' || o.value === el.value));
              if (twin && el.type === 'checkbox') el.checked = twin.checked;
              else if (twin && el.type !== 'hidden' && el.type !== 'submit' && el.tabIndex !== -1 && el.tagName !== 'BUTTON') el.value = twin.value;
            }
            return [...new FormData(pasted, pasted.querySelector('[type="submit"], button:not([type])'))];
          }, funnels.get(shape).funnel.optinForm);
          await Promise.all([page.waitForURL(`${server.origin}/subscribe`, { waitUntil: 'commit' }), page.locator(submitSelector).click()]);
          const sent = server.sentFields.find((entries) => entries.some(([, value]) => value === address));
          const sorted = (entries) => entries.map((pair) => JSON.stringify(pair)).sort();
          assert.deepEqual(sorted(sent ?? []), sorted(expected), 'the fields sent differ from the pasted form\'s');
        }));
    }
});

describe("the visitor's path", inParallel, () => {
  const target = (funnel) => (funnel.funnel.redirectToUrl ? funnel.funnel.redirectUrl : funnel.downloadUrl);
  const linkShown = (f) => !!f.downloadLinkUrl && f.downloadLinkUrl !== 'http://' && f.downloadLinkTitle !== '';

  check('the funnels cover both after-subscription actions, both layouts, shown and hidden download links, back control on and off', () => {
    const all = [...funnels.values()].map((f) => f.funnel);
    const both = (predicate) => all.some(predicate) && !all.every(predicate);
    for (const p of [(f) => f.redirectToUrl, (f) => f.layoutColumns === 1, (f) => f.backControl, (f) => f.autoplay === false, linkShown, (f) => (f.language ?? 'en') !== 'en']) assert.ok(both(p), String(p));
    for (const p of [(f) => f.backgroundImageUsed, (f) => f.retargetingCode, (f) => f.footerText === '' && f.headline === '']) assert.ok(all.some(p), String(p));
  });

  for (const name of fixtureNames) {
    // Real time: the countdown and the meta refresh are what is under test.
    for (const javaScriptEnabled of [true, false]) {
      check(`${name}: the thank-you page moves on to the redirect address after its countdown, JavaScript ${javaScriptEnabled ? 'on' : 'off'}`, async () => {
        const funnel = funnels.get(name);
        const started = Date.now();
        await visit(funnel.thanksUrl, { javaScriptEnabled }, async (page, seen) => {
          assert.equal(page.url(), funnel.thanksUrl, 'the thank-you page moved on before it was shown');
          if (!javaScriptEnabled) assert.equal(await page.locator('#redirect-stop').isVisible(), false, 'a button that needs JavaScript is shown without it');
          // 'commit': the address reached is what counts, not how soon the next page finished loading.
          await page.waitForURL(target(funnel), { timeout: redirectDelayMs + 8000, waitUntil: 'commit' }).catch(() => {
            assert.fail(`after ${Date.now() - started} ms the visitor still saw ${page.url()}, not ${target(funnel)}`);
          });
          const waited = Date.now() - started;
          assert.ok(waited >= redirectDelayMs - 2500, `the page moved on after ${waited} ms, too soon to read the messages`);
          if (!funnel.funnel.redirectToUrl) await page.locator('.tf-video').waitFor({ state: 'visible', timeout: 10_000 });
          assert.deepEqual(seen.foreign, [], 'requests to other hosts');
        });
      });
    }

    check(`${name}: the thank-you page's "go now" link takes the keyboard to the redirect address at once`, () =>
      visit(funnels.get(name).thanksUrl, {}, async (page) => {
        const funnel = funnels.get(name);
        const link = page.locator('main a');
        assert.equal(await link.count(), 1, 'the page has no single "go now" link');
        assert.equal(await link.getAttribute('href'), target(funnel));
        const unfocused = await focusLook(page, 'main a');
        assert.ok(await tabTo(page, 'main a', 10), 'Tab never reached the "go now" link');
        assert.notEqual(await focusLook(page), unfocused, 'the focused link looks as when not focused');
        const pressed = Date.now();
        await Promise.all([page.waitForURL(target(funnel), { timeout: 3000, waitUntil: 'commit' }), page.keyboard.press('Enter')]);
        assert.ok(Date.now() - pressed < redirectDelayMs - 2000, 'the link waited for the countdown');
      }));

    check(`${name}: the download page shows its link only with an address and a title, and loads the player only on play`, () =>
      visit(funnels.get(name).downloadUrl, { freezeTimers: true }, async (page, seen) => {
        const f = funnels.get(name).funnel;
        const links = page.locator('.tf-get a');
        if (!linkShown(f)) assert.equal(await links.count(), 0, 'a download link is shown without its address or title');
        else {
          assert.equal(await links.count(), 1, 'the download link is missing');
          assert.equal(await links.getAttribute('href'), f.downloadLinkUrl, 'the download link leads elsewhere');
          assert.ok(await links.isVisible(), 'the download link is not visible');
          if (f.downloadLinkTitle !== undefined) assert.equal(normalise(await links.textContent()), await readableText(page, f.downloadLinkTitle));
        }
        await page.waitForLoadState('networkidle');
        assert.equal(await page.locator('iframe').count(), 0, 'the player is there before the visitor asked for it');
        assert.deepEqual(seen.video, [posterUrl(f.videoId)], 'before the click only the poster picture may come from the video host');
        // Without JavaScript the poster is a plain link to the video's own page.
        const poster = page.locator('.tf-video__poster');
        assert.equal(await poster.getAttribute('href'), `https://www.youtube.com/watch?v=${f.videoId}`);
        assert.ok(normalise(await poster.textContent()), 'the play button has no name');
        await poster.click();
        const frame = page.locator('.tf-video iframe');
        await frame.waitFor({ timeout: 5000 });
        // Either way the click starts the video: the visitor asked for it.
        assert.equal(await frame.getAttribute('src'), `https://www.youtube-nocookie.com/embed/${f.videoId}?autoplay=1`);
        assert.ok((await frame.getAttribute('title'))?.trim(), 'the video frame has no title');
        assert.ok(await frame.evaluate((el) => document.activeElement === el), 'the focus did not move to the player');
      }));

    const backControl = readFixture(name).backControl === true;
    check(`${name}: Back on the opt-in page goes ${backControl ? 'to the back address' : 'to the previous page'}`, () =>
      visit(`${server.origin}/start`, {}, async (page) => {
        const funnel = funnels.get(name);
        await page.goto(funnel.urls.optin);
        // Chromium honours history entries only after the visitor touched the page.
        await page.locator('h1').click();
        await page.goBack();
        const expected = backControl ? funnel.funnel.backUrl : `${server.origin}/start`;
        await page.waitForURL(expected, { timeout: 5000 });
        await page.waitForTimeout(300);
        assert.equal(page.url(), expected, 'Back led elsewhere');
      }));

    for (const width of [widths[0], widths.at(-1)]) {
      check(`${name}: the opt-in form works by keyboard at ${width} px`, () =>
        visit(funnels.get(name).urls.optin, { width }, async (page) => {
          const address = `${name}.${width}@example.org`;
          const unfocused = { email: await focusLook(page, emailSelector), submit: await focusLook(page, submitSelector) };
          assert.ok(await tabTo(page, emailSelector, 10), 'Tab never reached the e-mail field');
          assert.notEqual(await focusLook(page), unfocused.email, 'the focused e-mail field looks as when not focused');
          assert.ok(await focusedOnScreen(page), 'the focused e-mail field is off screen');
          await page.keyboard.type(address);
          // Other fields may follow; a required consent box is ticked on the way, as a visitor would.
          const tickConsent = async () => (await page.evaluate(() => document.activeElement.matches('input[type="checkbox"][required]'))) && page.keyboard.press('Space');
          assert.ok(await tabTo(page, submitSelector, 6, tickConsent), 'Tab after the e-mail field did not reach the submit button');
          assert.notEqual(await focusLook(page), unfocused.submit, 'the focused button looks as when not focused');
          assert.ok(await focusedOnScreen(page), 'the focused button is off screen');
          await Promise.all([page.waitForURL(`${server.origin}/subscribe`, { waitUntil: 'commit' }), page.keyboard.press('Enter')]);
          assert.ok(server.sentFields.some((entries) => entries.some(([, value]) => value === address)), `the server got no subscription for ${address}`);
        }));
    }
  }

  check('example: "Stay on this page" keeps the visitor there', () =>
    visit(funnels.get('example').thanksUrl, {}, async (page) => {
      await page.getByRole('button', { name: 'Stay on this page' }).click();
      await page.waitForTimeout(redirectDelayMs + 2000);
      assert.equal(page.url(), funnels.get('example').thanksUrl, 'the page moved on after all');
    }));
});

// What shows focus on an element (the focused one when no selector is given).
async function focusLook(page, selector) {
  // Lets a focus transition finish before the look is read.
  if (!selector) await page.waitForTimeout(300);
  return page.evaluate((sel) => {
    const style = getComputedStyle(sel ? document.querySelector(sel) : document.activeElement);
    const outline = style.outlineStyle === 'none' || parseFloat(style.outlineWidth) === 0 ? 'none' : `${style.outlineStyle} ${style.outlineWidth} ${style.outlineColor}`;
    return `outline ${outline}; shadow ${style.boxShadow}; border ${style.borderColor}; background ${style.backgroundColor}`;
  }, selector);
}

// Presses Tab until the element has the focus, at most `presses` times.
async function tabTo(page, selector, presses, onEachStop = async () => {}) {
  for (let i = 0; i < presses; i += 1) {
    await page.keyboard.press('Tab');
    if (await page.evaluate((sel) => document.activeElement === document.querySelector(sel), selector)) return true;
    await onEachStop();
  }
  return false;
}

const focusedOnScreen = (page) =>
  page.evaluate((r = document.activeElement.getBoundingClientRect()) => r.bottom > 0 && r.top < innerHeight && r.left >= 0 && r.right <= innerWidth);

describe('privacy report: the outside hosts it lists are the hosts Chromium contacts on the three pages and the video', inParallel, () => {
  // Besides the fixtures, one funnel with a pasted web font and a tracking pixel.
  const tracked = { funnelUrl: 'https://example.com/tracked', headCode: '<link rel="stylesheet" href="https://fonts.googleapis.com/css2?family=Inter">',
    retargetingCode: '<img src="https://px.ads.example.net/p.gif" alt="" width="1" height="1">' };
  before(async () => funnels.set('tracked', serve(await buildFixture('example', server.origin, { as: 'tracked', changes: tracked }))));

  for (const name of [...fixtureNames, 'tracked'])
    check(`${name}: report and traffic name the same hosts`, async () => {
      const funnel = funnels.get(name);
      const context = await browser.newContext();
      const contacted = new Set();
      await context.route('**/*', (route) => {
        const target = new URL(route.request().url());
        if (target.host === server.host) return route.continue();
        contacted.add(target.hostname);
        if (target.hostname === 'i.ytimg.com') return route.fulfill({ status: 200, contentType: 'image/jpeg', body: posterPicture });
        return route.abort('blockedbyclient');
      });
      try {
        const page = await context.newPage();
        for (const kind of pageKinds) {
          await page.goto(funnel.urls[kind]);
          await page.waitForLoadState('networkidle');
        }
        // The player loads only on the visitor's click, into a frame whose request is refused.
        const played = page.waitForEvent('requestfailed', { predicate: (r) => r.frame() !== page.mainFrame(), timeout: 10_000 });
        await page.locator('#tf-video').click();
        await played;
      } finally {
        await context.close();
      }
      assert.deepEqual([...contacted].sort(), funnel.reportHosts);
      if (name === 'tracked') assert.ok(funnel.reportHosts.includes('px.ads.example.net') && funnel.reportHosts.includes('fonts.googleapis.com'));
    });
});
