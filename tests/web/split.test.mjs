// The split test of the opt-in page, tidy and as pasted: each fresh visitor gets a
// version at random and keeps it, the page never jumps or loads another version's
// cover, and the sign-up carries the version's name.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';

import { launchChromium } from './lib/browser.mjs';
import { buildFixture } from './lib/funnels.mjs';
import { startServer } from './lib/server.mjs';

const versions = ['A', 'B', 'C'];
const modes = { pasted: {}, tidy: { tidyOptinForm: true } };
let server, browser;
const homes = {};

before(async () => {
  browser = await launchChromium();
  server = await startServer();
  for (const [mode, changes] of Object.entries(modes)) {
    const built = await buildFixture('split-test', server.origin, { as: `split-${mode}`, changes });
    server.mount(`split-${mode}`, built.outputDir);
    homes[mode] = { url: `${server.origin}/split-${mode}/`, funnel: built.funnel };
  }
}, { timeout: 300_000 });

after(async () => {
  await browser?.close();
  await server?.close();
});

// The version the page shows: its attribute, and the one headline and cover on screen.
const shown = (page) => page.evaluate(() => {
  const visible = (selector) => [...document.querySelectorAll(selector)].filter((e) => e.getClientRects().length > 0);
  return { chosen: document.documentElement.dataset.tfV, headlines: visible('h1 span').map((e) => e.textContent), covers: visible('figure.tf-cover').length };
});

const headlineOf = (funnel, v) => (v === 'A' ? funnel.headline : funnel.splitTest.versions[versions.indexOf(v) - 1].headline || funnel.headline);

describe('split test', () => {
  test('300 fresh visitors: each version 25-42 %, kept on return, one headline and cover each', { timeout: 180_000 }, async () => {
    const { url, funnel } = homes.pasted;
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(url);
    const counts = { A: 0, B: 0, C: 0 };
    for (let i = 0; i < 300; ++i) {
      await page.evaluate(() => localStorage.clear());
      await page.reload();
      const first = await shown(page);
      counts[first.chosen] += 1;
      assert.deepEqual([first.headlines, first.covers], [[headlineOf(funnel, first.chosen)], 1], `visitor ${i} saw version ${first.chosen} so`);
      if (i < 20) {
        await page.reload();
        assert.equal((await shown(page)).chosen, first.chosen, 'a returning visitor got another version');
      }
    }
    await context.close();
    for (const v of versions) assert.ok(counts[v] >= 75 && counts[v] <= 126, `version ${v}: ${counts[v]} of 300 (${JSON.stringify(counts)})`);
  });

  test('without script, or when storage throws, version A shows and B\'s cover stays unloaded', async () => {
    const { url, funnel } = homes.tidy;
    const noScript = await browser.newContext({ javaScriptEnabled: false });
    const blocked = await browser.newContext();
    await blocked.addInitScript(() => Object.defineProperty(window, 'localStorage', { get() { throw new DOMException('denied', 'SecurityError'); } }));
    for (const context of [noScript, blocked]) {
      const covers = [];
      context.on('request', (request) => request.resourceType() === 'image' && covers.push(new URL(request.url()).pathname.split('/').pop()));
      const page = await context.newPage();
      for (let i = 0; i < 5; ++i) {
        await page.goto(url);
        const seen = await page.evaluate(() => [...document.querySelectorAll('h1 span')].filter((e) => e.getClientRects().length).map((e) => e.textContent));
        assert.deepEqual(seen, [funnel.headline]);
        assert.equal(await page.inputValue('input[name="page_version"]'), 'A');
      }
      assert.deepEqual(covers.filter((name) => name.startsWith('wide-cover')), [], 'version B\'s cover was fetched');
      await context.close();
    }
  });

  for (const mode of Object.keys(modes))
    for (const v of versions)
      test(`${mode} form, version ${v}: headline, cover and form never move, only its own cover fetched, the sign-up carries its name`, async () => {
        const { url, funnel } = homes[mode];
        const context = await browser.newContext({ viewport: { width: 360, height: 740 } });
        // The version is stored before the visit, as a returning visitor has it.
        const key = `tandrel-version-${new URL(funnel.funnelUrl).pathname}`;
        await context.addInitScript(([k, value]) => localStorage.getItem(k) || localStorage.setItem(k, value), [key, v]);
        const pictures = [];
        context.on('request', (request) => request.resourceType() === 'image' && pictures.push(new URL(request.url()).pathname.split('/').pop()));
        let body = '';
        await context.route('**/subscribe', (route) => ((body = route.request().postData()), route.fulfill({ status: 200, contentType: 'text/html', body: '<title>ok</title>' })));
        const page = await context.newPage();
        // The page arrives a packet at a time, so a version drawn late would be seen to jump.
        await page.goto(`${url}?trickle`);
        await page.waitForLoadState('networkidle');
        // The whole page may move a little while its last packets come (the privacy line, as
        // on any funnel); the versions' parts must not move at all.
        const moved = await page.evaluate(() => {
          const observer = new PerformanceObserver(() => {});
          observer.observe({ type: 'layout-shift', buffered: true });
          const versioned = (node) => (node?.nodeType === 1 ? node : node?.parentElement)?.closest('h1, figure, form');
          return observer.takeRecords().flatMap((entry) => entry.sources.filter((source) => versioned(source.node)).map((source) => source.node.nodeName));
        });
        assert.deepEqual(moved, [], 'headline, cover or form moved while the page loaded');
        const own = v === 'B' ? /^wide-cover-/ : /^cover-\d/;
        const covers = pictures.filter((name) => /cover-\d/.test(name));
        assert.ok(covers.length > 0 && covers.every((name) => own.test(name)), `covers fetched: ${covers}`);
        await page.evaluate(await readFile(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8'));
        const { violations } = await page.evaluate(() => window.axe.run(document, { iframes: false }));
        assert.deepEqual(violations.map((violation) => violation.id), [], 'axe');
        const button = page.locator('form :is(button, input[type="submit"])');
        assert.equal((await button.textContent()) || (await button.inputValue()), v === 'B' ? 'Show Me The Tools' : 'Send Me The Guide');
        await page.fill('input[type="email"]', 'ann@example.com');
        await Promise.all([page.waitForURL('**/subscribe'), button.click()]);
        const sent = new URLSearchParams(body);
        assert.deepEqual([sent.get('page_version'), sent.get('tags'), sent.get('email')], [v, `guide,${v}`, 'ann@example.com'], body);
        await context.close();
      });
});
