// Real funnels, built by tandrel-cli from the saved funnels in fixtures/,
// checked in headless Chromium the way a visitor meets them.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { copyFile, mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import path from 'node:path';

import { launchChromium } from './lib/browser.mjs';
import { appDir, artifactsDir, buildFixture, cliPath, fixtureNames, readFixture, repoDir } from './lib/funnels.mjs';
import { startServer } from './lib/server.mjs';
import { validate } from './lib/validator.mjs';

const require = createRequire(import.meta.url);

const pageKinds = ['optin', 'thanks', 'download'];
const widths = [360, 768, 1280];
const screenshotWidths = { 360: 'phone', 1280: 'desktop' };
const videoHost = 'www.youtube.com';
const weightLimit = 30 * 1000;
// The thank-you pages count down 6 seconds before they move on.
const redirectDelayMs = 6000;

// Set TANDREL_WEB_DOCS=1 to refresh the README's page pictures from this funnel.
const docsFixture = 'example';
const docsDir = path.join(repoDir, 'docs');

let server;
let browser;
let axeSource;
let validation;
const funnels = new Map();
const figures = { validator: {}, axe: {}, weight: {} };

// Each check has its own browser context, so two run side by side on the two cores.
const inParallel = { concurrency: 2 };

// A hung browser must fail its check, not the whole run.
const check = (name, fn) => test(name, { timeout: 60_000 }, fn);

before(async () => {
  await rm(artifactsDir, { recursive: true, force: true });
  server = await startServer();
  for (const name of fixtureNames) {
    const built = await buildFixture(name, server.origin);
    // Each funnel lives in its own folder of the server, named by its address.
    const folder = new URL(built.funnel.funnelUrl).pathname.split('/')[1];
    assert.ok(folder && !server.mounted(folder), `${name}: the funnel address needs a folder of its own`);
    server.mount(folder, built.outputDir);
    built.home = `${server.origin}/${folder}/`;
    built.urls = { optin: built.home, thanks: built.thanksUrl, download: built.downloadUrl };
    built.files = {
      optin: path.join(built.outputDir, 'index.html'),
      thanks: path.join(built.outputDir, path.basename(new URL(built.thanksUrl).pathname)),
      download: path.join(built.outputDir, path.basename(new URL(built.downloadUrl).pathname)),
    };
    funnels.set(name, built);
  }
  axeSource = await readFile(require.resolve('axe-core/axe.min.js'), 'utf8');
  browser = await launchChromium();
});

after(async () => {
  await browser?.close();
  await server?.close();
  await mkdir(artifactsDir, { recursive: true });
  await writeFile(path.join(artifactsDir, 'figures.json'), JSON.stringify(figures, null, 2) + '\n');
  const rows = [];
  for (const [key, validator] of Object.entries(figures.validator)) {
    rows.push({
      page: key,
      'validator errors': validator.errors,
      'validator warnings': validator.warnings,
      'axe violations': figures.axe[key] ?? '-',
      'bytes before pictures': figures.weight[key] ?? '-',
    });
  }
  console.log(`tandrel-cli: ${cliPath}\ntemplates from: ${appDir}`);
  console.table(rows);
});

// A browser tab whose every request is watched: the local server answers, the
// video host gets a blank stand-in (the network is closed), anything else is
// refused and recorded.
async function open(url, { width = 1280, height = 800, javaScriptEnabled = true, freezeTimers = false, measure = false } = {}) {
  const context = await browser.newContext({ viewport: { width, height }, javaScriptEnabled });
  const visit = { context, foreign: [], video: [], errors: [], ownBytes: 0, reading: [] };
  await context.route('**/*', (route) => {
    const target = new URL(route.request().url());
    if (target.host === server.host) return route.continue();
    if (target.hostname === videoHost) {
      visit.video.push(target.href);
      return route.fulfill({
        status: 200,
        contentType: 'text/html',
        body: '<!DOCTYPE html><title>Video</title><body style="margin:0;background:#000">',
      });
    }
    visit.foreign.push(target.href);
    return route.abort('blockedbyclient');
  });
  const page = await context.newPage();
  visit.page = page;
  page.on('pageerror', (error) => visit.errors.push(`uncaught: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') visit.errors.push(`console: ${message.text()}`);
  });
  if (measure) {
    page.on('response', (response) => {
      const request = response.request();
      if (new URL(request.url()).host !== server.host || request.resourceType() === 'image') return;
      visit.reading.push(response.body().then((body) => (visit.ownBytes += body.length)));
    });
  }
  let paused = Promise.resolve();
  if (freezeTimers) {
    // Keeps the thank-you countdown still while a page is inspected; the
    // pause settles only once a document is there to pause.
    const now = new Date('2024-05-01T09:00:00Z');
    await page.clock.install({ time: now });
    paused = page.clock.pauseAt(now);
  }
  await page.goto(url);
  await paused;
  return visit;
}

const close = (visit) => visit.context.close();

const normalise = (text) => text.replace(/\s+/g, ' ').trim();

// The text a visitor reads for a piece of the user's HTML.
const readableText = (page, html) =>
  page.evaluate((source) => {
    const template = document.createElement('template');
    template.innerHTML = source;
    return template.content.textContent;
  }, html).then(normalise);

// Whether the text of a piece of the user's HTML is on screen in the page's main part.
const showsInMain = (page, html) =>
  page.evaluate((source) => {
    const tidy = (text) => text.replace(/\s+/g, ' ').trim();
    const template = document.createElement('template');
    template.innerHTML = source;
    const wanted = tidy(template.content.textContent);
    const holders = [...document.querySelectorAll('main *')].filter((el) => tidy(el.textContent).includes(wanted));
    const innermost = holders.filter((el) => !holders.some((other) => other !== el && el.contains(other)));
    return innermost.length > 0 && innermost.every((el) => el.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true }));
  }, html);

const ids = (funnel, kind) => `${funnel.name} ${kind}`;

function describeMessages(messages) {
  return messages.map((m) => `  line ${m.lastLine ?? '?'}: ${m.message} ${m.extract ? `[${m.extract.trim()}]` : ''}`).join('\n');
}

describe('validity: the Nu Html Checker finds nothing on any built page', () => {
  before(async () => {
    const files = [...funnels.values()].flatMap((f) => [...Object.values(f.files), path.join(f.outputDir, 'funnel.css')]);
    validation = await validate(files);
  });

  for (const name of fixtureNames) {
    for (const kind of pageKinds) {
      check(`${name}: ${kind} page`, () => {
        const funnel = funnels.get(name);
        const messages = validation.get(funnel.files[kind]);
        const errors = messages.filter((m) => m.type !== 'info');
        const warnings = messages.filter((m) => m.type === 'info' && m.subType === 'warning');
        figures.validator[ids(funnel, kind)] = { errors: errors.length, warnings: warnings.length };
        assert.equal(errors.length + warnings.length, 0, `${funnel.files[kind]}:\n${describeMessages([...errors, ...warnings])}`);
      });
    }
  }
  check('the stylesheet', () => {
    const css = path.join(funnels.get(fixtureNames[0]).outputDir, 'funnel.css');
    const messages = validation.get(css).filter((m) => m.type !== 'info' || m.subType === 'warning');
    assert.equal(messages.length, 0, `${css}:\n${describeMessages(messages)}`);
  });
});

describe('accessibility', inParallel, () => {
  for (const name of fixtureNames) {
    for (const kind of pageKinds) {
      check(`${name}: ${kind} page has no axe violation and describes every picture`, async () => {
        const funnel = funnels.get(name);
        const visit = await open(funnel.urls[kind], { freezeTimers: true });
        try {
          await visit.page.evaluate(axeSource);
          // axe needs running timers; the countdown then has its full 6 seconds, far more than axe takes.
          await visit.page.clock.resume();
          // The video frame holds the video host's page, not ours.
          const result = await visit.page.evaluate(() => window.axe.run(document, { iframes: false }));
          assert.equal(visit.page.url(), funnel.urls[kind], 'the page moved on while axe ran');
          figures.axe[ids(funnel, kind)] = result.violations.length;
          const found = result.violations
            .map((v) => `  ${v.id} (${v.impact}): ${v.help}\n${v.nodes.map((n) => `    ${n.target.join(' ')}: ${n.failureSummary}`).join('\n')}`)
            .join('\n');
          assert.equal(result.violations.length, 0, `axe found on ${funnel.urls[kind]}:\n${found}`);
          assert.ok(result.passes.length > 0, 'axe ran no rule at all');

          const images = await visit.page.$$eval('img', (all) => all.map((img) => ({ src: img.getAttribute('src'), alt: img.getAttribute('alt') })));
          for (const image of images) {
            assert.ok(image.alt !== null && image.alt.trim() !== '', `the picture ${image.src} has no alternative text`);
          }
          if (kind !== 'thanks') assert.ok(images.some((i) => i.src === path.basename(funnel.funnel.coverImage)), 'the cover is missing');
        } finally {
          await close(visit);
        }
      });

    }

    for (const width of widths) {
      check(`${name}: the opt-in form works by keyboard at ${width} px`, async () => {
        const funnel = funnels.get(name);
        const visit = await open(funnel.urls.optin, { width });
        const { page } = visit;
        try {
          const address = `${name}.${width}@example.org`;
          const emailField = 'form input[type="email"]';
          const submitButton = 'form :is(button:not([type]), button[type="submit"], input[type="submit"])';
          const unfocused = { email: await focusLook(page, emailField), submit: await focusLook(page, submitButton) };
          const focusedIs = (selector) => page.evaluate((sel) => document.activeElement === document.querySelector(sel), selector);
          let onField = false;
          for (let presses = 0; presses < 10 && !onField; presses += 1) {
            await page.keyboard.press('Tab');
            onField = await focusedIs(emailField);
          }
          assert.ok(onField, 'Tab never reached the e-mail field');
          assert.notEqual(await focusLook(page), unfocused.email, 'the focused e-mail field looks as when not focused');
          assert.ok(await focusedOnScreen(page), 'the focused e-mail field is off screen');
          await page.keyboard.type(address);
          await page.keyboard.press('Tab');
          assert.ok(await focusedIs(submitButton), 'Tab after the e-mail field did not reach the submit button');
          assert.notEqual(await focusLook(page), unfocused.submit, 'the focused button looks as when not focused');
          assert.ok(await focusedOnScreen(page), 'the focused button is off screen');
          await Promise.all([page.waitForURL(`${server.origin}/subscribe`), page.keyboard.press('Enter')]);
          assert.ok(server.subscriptions.some((s) => s.email === address), `the server got no subscription for ${address}`);
          assert.deepEqual(visit.errors, []);
        } finally {
          await close(visit);
        }
      });
    }
  }
});

describe('responsive: no sideways scrolling, headline, cover and form in view', inParallel, () => {
  for (const name of fixtureNames) {
    for (const kind of pageKinds) {
      // One load, then the window is resized as a phone, a tablet and a desktop.
      check(`${name}: ${kind} page`, async (t) => {
        const funnel = funnels.get(name);
        const visit = await open(funnel.urls[kind], { width: widths[0], freezeTimers: true });
        const { page } = visit;
        try {
          for (const width of widths) {
            await t.test(`${name}: ${kind} page at ${width} px`, async () => {
              const height = width < 500 ? 740 : 800;
              await page.setViewportSize({ width, height });
              await page.evaluate(() => window.scrollTo(0, 0));
              const layout = await page.evaluate(() => {
                const name = (el) => el.tagName.toLowerCase() + (el.id ? `#${el.id}` : '') + (el.classList.length ? `.${[...el.classList].join('.')}` : '');
                const clippedByAncestor = (el) => {
                  for (let p = el.parentElement; p && p !== document.body; p = p.parentElement) {
                    if (getComputedStyle(p).overflowX !== 'visible') return true;
                  }
                  return false;
                };
                const outside = [];
                for (const el of document.body.querySelectorAll('*')) {
                  const r = el.getBoundingClientRect();
                  if (r.width === 0 || r.height === 0 || getComputedStyle(el).visibility === 'hidden') continue;
                  if ((r.left < -0.5 || r.right > innerWidth + 0.5) && !clippedByAncestor(el)) {
                    outside.push(`${name(el)} spans ${Math.round(r.left)}..${Math.round(r.right)}`);
                  }
                }
                return { scrollWidth: document.scrollingElement.scrollWidth, innerWidth, outside };
              });
              assert.ok(layout.scrollWidth <= layout.innerWidth, `the page scrolls sideways: ${layout.scrollWidth} px wide in a ${layout.innerWidth} px window`);
              assert.deepEqual(layout.outside, [], 'elements stick out of the window');

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
                const cover = page.locator('main img');
                const b = await box(cover, 'cover');
                assert.ok(b.width >= 100, `the cover is only ${b.width} px wide`);
                assert.ok(await cover.evaluate((img) => img.complete && img.naturalWidth > 0), 'the cover did not load');
              }
              if (kind === 'optin') {
                for (const [selector, what] of [
                  ['form input[type="email"]', 'e-mail field'],
                  ['form :is(button:not([type]), button[type="submit"], input[type="submit"])', 'submit button'],
                ]) {
                  const control = page.locator(selector);
                  await control.scrollIntoViewIfNeeded();
                  const b = await box(control, what);
                  assert.ok(b.height >= 44 && b.width >= 44, `the ${what} is too small to tap: ${b.width}x${b.height}`);
                  if (what === 'e-mail field') assert.ok(b.width >= 200, `the e-mail field is only ${b.width} px wide`);
                  const onTop = await control.evaluate((el) => {
                    const r = el.getBoundingClientRect();
                    const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
                    return hit === el || el.contains(hit);
                  });
                  assert.ok(onTop, `something covers the ${what}`);
                }
              }
              if (kind === 'thanks') await box(page.locator('main a'), '"go now" link');
              if (kind === 'download') {
                const video = await box(page.locator('iframe'), 'video');
                assert.ok(Math.abs(video.width / video.height - 16 / 9) < 0.05, 'the video is not 16:9');
              }

              if (screenshotWidths[width]) {
                await page.evaluate(() => window.scrollTo(0, 0));
                const file = path.join(artifactsDir, 'screenshots', name, `${kind}-${width}.png`);
                await mkdir(path.dirname(file), { recursive: true });
                await page.screenshot({ path: file, fullPage: true, animations: 'disabled', caret: 'hide' });
                if (process.env.TANDREL_WEB_DOCS && name === docsFixture) {
                  await copyFile(file, path.join(docsDir, `funnel-${kind}-${screenshotWidths[width]}.png`));
                }
              }
            });
          }
          assert.deepEqual(visit.errors, []);
        } finally {
          await close(visit);
        }
      });
    }
  }
});

describe("the visitor's path", inParallel, () => {
  const target = (funnel) => (funnel.funnel.redirectToUrl ? funnel.funnel.redirectUrl : funnel.downloadUrl);

  check('the funnels cover both after-subscription actions, both layouts, shown and hidden download links, back control on and off', () => {
    const all = [...funnels.values()].map((f) => f.funnel);
    const has = (predicate) => all.some(predicate);
    assert.ok(has((f) => f.redirectToUrl) && has((f) => !f.redirectToUrl));
    assert.ok(has((f) => f.layoutColumns === 1) && has((f) => f.layoutColumns !== 1));
    assert.ok(has((f) => f.backControl) && has((f) => !f.backControl));
    assert.ok(has((f) => f.autoplay === false) && has((f) => f.autoplay !== false));
    assert.ok(has((f) => f.backgroundImageUsed));
    assert.ok(has((f) => f.retargetingCode));
    assert.ok(has(downloadLinkShown) && has((f) => !downloadLinkShown(f) && f.downloadLinkUrl));
  });

  for (const name of fixtureNames) {
    check(`${name}: the build printed addresses inside the funnel`, () => {
      const funnel = funnels.get(name);
      for (const url of [funnel.thanksUrl, funnel.downloadUrl]) {
        assert.ok(url.startsWith(funnel.home), url);
      }
    });
  }

  // Real time: the countdown and the meta refresh are what is under test.
  describe('the thank-you page moves on by itself', { concurrency: true }, () => {
    for (const name of fixtureNames) {
      for (const javaScriptEnabled of [true, false]) {
        check(`${name}: both messages, then the redirect address, JavaScript ${javaScriptEnabled ? 'on' : 'off'}`, async () => {
          const funnel = funnels.get(name);
          const visit = await open(funnel.thanksUrl, { javaScriptEnabled });
          const started = Date.now();
          const { page } = visit;
          try {
            const soft1 = funnel.funnel.softRedirect1;
            const soft2 = funnel.funnel.softRedirect2;
            await assertVisible(page.locator('h1'), 'the first message');
            if (soft1 !== undefined) assert.equal(normalise(await page.locator('h1').textContent()), await readableText(page, soft1));
            if (soft2 !== undefined) assert.ok(await showsInMain(page, soft2), 'the second message is not shown');
            if (!javaScriptEnabled) {
              const stop = page.getByRole('button', { name: 'Stay on this page' });
              assert.equal(await stop.isVisible(), false, 'a button that needs JavaScript is shown without it');
            }
            assert.equal(page.url(), funnel.thanksUrl);
            await page.waitForURL(target(funnel), { timeout: redirectDelayMs + 8000 });
            const waited = Date.now() - started;
            assert.ok(waited >= redirectDelayMs - 2500, `the page moved on after ${waited} ms, too soon to read the messages`);
            if (!funnel.funnel.redirectToUrl) {
              assert.equal(page.url(), funnel.downloadUrl);
              await assertVisible(page.locator('iframe'), 'the download page video');
            }
            assert.deepEqual(visit.foreign, []);
            assert.deepEqual(visit.errors, []);
          } finally {
            await close(visit);
          }
        });
      }
    }

    check('defaults: "Stay on this page" keeps the visitor there', async () => {
      const funnel = funnels.get('defaults');
      const visit = await open(funnel.thanksUrl);
      try {
        await visit.page.getByRole('button', { name: 'Stay on this page' }).click();
        await visit.page.waitForTimeout(redirectDelayMs + 2000);
        assert.equal(visit.page.url(), funnel.thanksUrl);
      } finally {
        await close(visit);
      }
    });
  });

  for (const name of fixtureNames) {
    check(`${name}: the thank-you page's "go now" link goes to the redirect address`, async () => {
      const funnel = funnels.get(name);
      const visit = await open(funnel.thanksUrl);
      try {
        const links = visit.page.locator('main a');
        assert.equal(await links.count(), 1);
        assert.equal(await links.getAttribute('href'), target(funnel));
        const clicked = Date.now();
        await Promise.all([visit.page.waitForURL(target(funnel), { timeout: 3000 }), links.click()]);
        assert.ok(Date.now() - clicked < redirectDelayMs - 2000, 'the link waited for the countdown');
      } finally {
        await close(visit);
      }
    });

    check(`${name}: the "go now" link works by keyboard`, async () => {
      const funnel = funnels.get(name);
      const visit = await open(funnel.thanksUrl);
      const { page } = visit;
      try {
        const link = 'main a';
        const unfocused = await focusLook(page, link);
        let onLink = false;
        for (let presses = 0; presses < 10 && !onLink; presses += 1) {
          await page.keyboard.press('Tab');
          onLink = await page.evaluate((sel) => document.activeElement === document.querySelector(sel), link);
        }
        assert.ok(onLink, 'Tab never reached the "go now" link');
        assert.notEqual(await focusLook(page), unfocused, 'the focused link looks as when not focused');
        await Promise.all([page.waitForURL(target(funnel), { timeout: 3000 }), page.keyboard.press('Enter')]);
      } finally {
        await close(visit);
      }
    });

    check(`${name}: the download page's video points at the id`, async () => {
      const funnel = funnels.get(name);
      const visit = await open(funnel.downloadUrl, { freezeTimers: true });
      try {
        const frames = visit.page.locator('iframe');
        assert.equal(await frames.count(), 1);
        const autoplay = funnel.funnel.autoplay !== false;
        assert.equal(await frames.getAttribute('src'), `https://${videoHost}/embed/${funnel.funnel.videoId}${autoplay ? '?autoplay=1' : ''}`);
        assert.ok((await frames.getAttribute('title'))?.trim(), 'the video frame has no title');
      } finally {
        await close(visit);
      }
    });

    check(`${name}: the download link appears only when it has an address and a title`, async () => {
      const funnel = funnels.get(name);
      const visit = await open(funnel.downloadUrl, { freezeTimers: true });
      try {
        const links = visit.page.locator('main a');
        if (downloadLinkShown(funnel.funnel)) {
          assert.equal(await links.count(), 1, 'the download link is missing');
          assert.equal(await links.getAttribute('href'), funnel.funnel.downloadLinkUrl);
          await assertVisible(links, 'the download link');
          if (funnel.funnel.downloadLinkTitle !== undefined) {
            assert.equal(normalise(await links.textContent()), await readableText(visit.page, funnel.funnel.downloadLinkTitle));
          }
        } else {
          assert.equal(await links.count(), 0, 'a download link is shown without its address or title');
        }
      } finally {
        await close(visit);
      }
    });

    const backControl = readFixture(name).backControl === true;
    check(`${name}: Back on the opt-in page goes ${backControl ? 'to the back address' : 'to the previous page'}`, async () => {
      const funnel = funnels.get(name);
      const visit = await open(`${server.origin}/start`);
      const { page } = visit;
      try {
        await page.goto(funnel.urls.optin);
        // Chromium honours history entries only after the visitor touched the page.
        await page.locator('h1').click();
        await page.goBack();
        const expected = backControl ? funnel.funnel.backUrl : `${server.origin}/start`;
        await page.waitForURL(expected, { timeout: 5000 });
        await page.waitForTimeout(300);
        assert.equal(page.url(), expected);
        assert.deepEqual(visit.errors, []);
      } finally {
        await close(visit);
      }
    });

    check(`${name}: the pages show the funnel's texts as typed`, async () => {
      const funnel = funnels.get(name);
      const f = funnel.funnel;
      const checks = {
        optin: [['h1', f.headline], ['title', f.headline], ['main', f.instructions], ['main', f.privacy], ['footer', f.footerText]],
        thanks: [['h1', f.softRedirect1], ['main', f.softRedirect2], ['footer', f.footerText]],
        download: [['h1', f.thankYouHeadline], ['title', f.thankYouHeadline], ['footer', f.footerText]],
      };
      for (const kind of pageKinds) {
        const visit = await open(funnel.urls[kind], { freezeTimers: true });
        try {
          for (const [where, typed] of checks[kind]) {
            if (typed === undefined) continue;
            if (where === 'main') {
              assert.ok(await showsInMain(visit.page, typed), `${kind} page does not show: ${typed}`);
              continue;
            }
            const expected = await readableText(visit.page, typed);
            const shown = normalise(where === 'title' ? await visit.page.title() : await visit.page.locator(where).textContent());
            assert.equal(shown, expected, `${kind} page, ${where}`);
          }
        } finally {
          await close(visit);
        }
      }
    });

    check(`${name}: the HEAD and retargeting code arrive in the opt-in page and run`, async () => {
      const funnel = funnels.get(name);
      const visit = await open(funnel.urls.optin);
      try {
        const placed = (code, where) =>
          visit.page.evaluate(([source, where]) => {
            const template = document.createElement('template');
            template.innerHTML = source;
            const wanted = [...template.content.children].map((el) => el.outerHTML);
            const present = [...document[where].children].map((el) => el.outerHTML);
            return wanted.filter((html) => !present.includes(html));
          }, [code, where]);
        if (funnel.funnel.headCode) assert.deepEqual(await placed(funnel.funnel.headCode, 'head'), [], 'HEAD code missing from <head>');
        if (funnel.funnel.retargetingCode) {
          assert.deepEqual(await placed(funnel.funnel.retargetingCode, 'body'), [], 'retargeting code missing from <body>');
        }
        // The fixtures' retargeting code leaves this mark when it runs.
        if (funnel.funnel.retargetingCode?.includes('window.tandrelRetargeting')) {
          assert.deepEqual(await visit.page.evaluate(() => window.tandrelRetargeting), { seen: true });
        }
        assert.deepEqual(visit.errors, []);
      } finally {
        await close(visit);
      }
    });
  }
});

describe('weight: light pages that call no one but the video host', inParallel, () => {
  for (const name of fixtureNames) {
    for (const kind of pageKinds) {
      check(`${name}: ${kind} page`, async () => {
        const funnel = funnels.get(name);
        const visit = await open(funnel.urls[kind], { freezeTimers: true, measure: true });
        try {
          await visit.page.waitForLoadState('networkidle');
          await Promise.all(visit.reading);
          assert.deepEqual(visit.foreign, [], 'requests to other hosts');
          const frameSrc = kind === 'download' ? [await visit.page.locator('iframe').getAttribute('src')] : [];
          assert.deepEqual(visit.video, frameSrc, 'requests to the video host');
          figures.weight[ids(funnel, kind)] = visit.ownBytes;
          assert.ok(visit.ownBytes > 0);
          assert.ok(visit.ownBytes < weightLimit, `${visit.ownBytes} bytes before pictures`);
          // So the bytes above are the page and the one stylesheet it is meant to have.
          const sheets = await visit.page.evaluate(() => [...document.styleSheets].map((s) => s.href));
          assert.deepEqual(sheets, [new URL('funnel.css', funnel.urls[kind]).href]);
          assert.deepEqual(visit.errors, []);
        } finally {
          await close(visit);
        }
      });
    }
  }
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

function focusedOnScreen(page) {
  return page.evaluate(() => {
    const r = document.activeElement.getBoundingClientRect();
    return r.bottom > 0 && r.top < innerHeight && r.left >= 0 && r.right <= innerWidth;
  });
}

function downloadLinkShown(f) {
  const url = f.downloadLinkUrl ?? 'http://';
  return url !== '' && url !== 'http://' && f.downloadLinkTitle !== '';
}

async function assertVisible(locator, what) {
  assert.ok(await locator.first().isVisible(), `${what} is not visible`);
}
