// Sign-up form shapes, each sent by Chromium from the pasted code alone and from the built
// opt-in page, tidy and as pasted: the server must get the same pairs in the same order.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, writeFile } from 'node:fs/promises';
import path from 'node:path';

import { launchChromium } from './lib/browser.mjs';
import { artifactsDir, buildFixture } from './lib/funnels.mjs';
import { startServer } from './lib/server.mjs';

const to = 'action="https://example.com/subscribe" method="post"';
const email = '<label for="e">Email</label><input id="e" type="email" name="email" required>';
// What the visitor does: fills the e-mail field, ticks `check`, presses `click` (at `at`).
const shapes = [
  { name: 'fields joined by form= from outside, one inside given to another form', click: 'button',
    form: `<input type="hidden" name="before" value="1" form="f"><form id="f" ${to}>${email}<input name="elsewhere" value="x" form="other"><button>Join</button></form><input name="stray" value="s">`
      + '<input name="city" value="Paris" form="f"><select name="after" form="f"><option>a</option><option selected>b</option></select>' },
  { name: 'two named submit buttons, the second pressed', click: 'button >> nth=1',
    form: `<form ${to}>${email}<button name="plan" value="basic">Basic</button><button name="plan" value="pro">Pro</button></form>` },
  { name: 'a submit button without a value sends the browser\'s label', click: 'input[type="submit"]',
    form: `<form ${to}>${email}<input type="submit" name="submit"></form>` },
  { name: 'a picture button sends where it was pressed', click: 'input[type="image"]', at: { x: 5, y: 7 },
    form: `<form ${to}>${email}<input type="image" name="go" src="https://example.com/go.png" alt="Go" width="80" height="30"></form>` },
  { name: 'a disabled fieldset sends only what its first legend holds', click: 'button',
    form: `<form ${to}>${email}<fieldset disabled><legend>Plan <input name="inlegend" value="y"></legend><input name="off" value="n"><input type="hidden" name="offhidden" value="n"></fieldset><input name="on" value="y" disabled><button>Go</button></form>` },
  { name: 'a list without a selected option sends its first one not disabled', click: 'button',
    form: `<form ${to}>${email}<select name="country"><option disabled>Pick one</option><option>New&nbsp; Zealand</option><option value="fr">France</option></select><template><input name="tpl" value="t"></template><button type="bogus" name="b" value="1">Go</button></form>` },
  { name: 'check boxes without a value send "on", only when ticked', click: 'button', check: ['[name="agree"]'],
    form: `<form ${to}>${email}<input type="checkbox" name="agree"><input type="checkbox" name="extra"><input type="checkbox" name="pre" checked><input type="radio" name="r" value="a" checked><button>Go</button></form>` },
  { name: 'name[] arrays in the declared order', click: 'button', check: ['[value="t2"]'],
    form: `<form ${to}><input type="hidden" name="tags[]" value="t1">${email}<input type="checkbox" name="tags[]" value="t2"><input type="hidden" name="tags[]" value="t3"><textarea name="note">\n\nTwo lines</textarea><div dir="rtl"><input name="q" value="abc" dirname="q.dir"></div><button>Go</button></form>` },
  { name: 'the consent text stays', click: 'button', check: ['[name="ok"]'],
    text: ['You can unsubscribe at any time.', 'I agree to the terms'], links: ['https://example.com/terms'],
    form: `<form ${to}>${email}<p>You can <b>unsubscribe</b> at any time.</p><input type="checkbox" id="ok" name="ok" value="yes" required><label for="ok">I agree to the <a href="https://example.com/terms">terms</a></label><div>By signing up you accept our <a href="javascript:steal()">rules</a>.</div><button>Go</button></form>` },
  { name: 'a form closed by another tag stays as pasted: the browser gives it the fields after that tag', click: 'button', asPasted: true,
    form: `<div><form ${to}>${email}<button>Go</button></div><input name="late" value="1"></form>` },
];

let server, browser;
const pages = new Map(); // "<row> alone|tidy|as pasted" -> address
const local = (html) => html.split('https://example.com').join(server.origin);

before(async () => {
  server = await startServer();
  const alone = path.join(artifactsDir, 'forms-alone');
  await mkdir(alone, { recursive: true });
  server.mount('forms-alone', alone);
  for (const [i, shape] of shapes.entries()) {
    await writeFile(path.join(alone, `${i}.html`), `<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>Form</title></head><body>${local(shape.form)}</body></html>`);
    pages.set(`${i} alone`, `${server.origin}/forms-alone/${i}.html`);
    for (const [mode, tidyOptinForm] of [['tidy', true], ['as pasted', false]]) {
      const as = `form-${i}-${tidyOptinForm ? 'tidy' : 'pasted'}`;
      const built = await buildFixture('example', server.origin, { as, changes: { optinForm: shape.form, tidyOptinForm, funnelUrl: `https://example.com/${as}` } });
      server.mount(as, built.outputDir);
      pages.set(`${i} ${mode}`, `${server.origin}/${as}/`);
    }
  }
  browser = await launchChromium();
}, { timeout: 600_000 });

after(() => Promise.all([browser?.close(), server?.close()]));

// The pairs the server got when the visitor sent the form on that page.
async function send(url, shape, inspect = async () => {}) {
  const context = await browser.newContext();
  try {
    const page = await context.newPage();
    await page.goto(url).then(() => inspect(page));
    await page.locator('input[type="email"]').fill('ann@example.org');
    for (const box of shape.check ?? []) await page.locator(box).check();
    const before = server.sentFields.length;
    await Promise.all([page.waitForURL(`${server.origin}/subscribe`, { waitUntil: 'commit' }), page.locator(shape.click).click({ position: shape.at })]);
    assert.equal(server.sentFields.length, before + 1, 'one sign-up reached the server');
    return server.sentFields.at(-1);
  } finally {
    await context.close();
  }
}

describe('pasted form shapes: the built page sends the pairs the form alone sends, in order', () => {
  for (const [i, shape] of shapes.entries())
    test(shape.name, { timeout: 60_000 }, async () => {
      const alone = await send(pages.get(`${i} alone`), shape);
      assert.ok(alone.some(([name, value]) => name === 'email' && value === 'ann@example.org'), JSON.stringify(alone));
      assert.deepEqual(await send(pages.get(`${i} as pasted`), shape), alone, 'as pasted');
      const tidy = await send(pages.get(`${i} tidy`), shape, async (page) => {
        assert.equal(await page.locator('.tf-form--tidy').count(), shape.asPasted ? 0 : 1, 'the form was (not) rebuilt');
        const shown = (await page.locator('.tf-form').innerText()).replace(/\s+/g, ' ');
        for (const words of shape.text ?? []) assert.ok(shown.includes(words), `"${words}" is not shown: ${shown}`);
        const hrefs = await page.locator('.tf-form a[href]').evaluateAll((links) => links.map((a) => a.getAttribute('href')));
        assert.deepEqual(hrefs, (shape.links ?? []).map(local), 'the links of the form\'s text');
      });
      assert.deepEqual(tidy, alone, 'tidy');
    });
});

// Campaign values from the address: a hidden field the pasted form declares, and mapped fields
// in both modes: sent with JavaScript, still after a visit to the thank-you page; without it, none.
describe('campaign values from the opt-in page\'s address reach the form and last the visit', () => {
  const form = (hidden) => `<form ${to}>${hidden}${email}<button>Join</button></form>`;
  const long = 'g'.repeat(300), ann = ['email', 'ann@example.org'];
  const variants = {
    'declared and mapped, as pasted': { changes: { optinForm: form('<input type="hidden" name="utm_source" value="none">'), tidyOptinForm: false, campaignFields: { fbclid: 'fb' } },
      js: [['fb', 'ad1'], ['utm_source', 'news'], ann], none: [['utm_source', 'none'], ann] },
    'mapped, tidy': { changes: { optinForm: form(''), tidyOptinForm: true, campaignFields: { utm_campaign: 'fields[campaign]', utm_term: 'term', gclid: 'click' } },
      js: [['fields[campaign]', 'spring <sale>'], ['click', long.slice(0, 200)], ann], none: [ann] },
  };
  const campaign = `?utm_source=news&utm_campaign=${encodeURIComponent('spring <sale>')}&gclid=${long}&fbclid=ad1&utm_medium=`;

  for (const [name, variant] of Object.entries(variants))
    test(name, { timeout: 60_000 }, async () => {
      const as = `campaign-${name.replace(/\W+/g, '-')}`;
      const built = await buildFixture('example', server.origin, { as, changes: { ...variant.changes, funnelUrl: `https://example.com/${as}` } });
      server.mount(as, built.outputDir);
      for (const javaScriptEnabled of [true, false]) {
        const context = await browser.newContext({ javaScriptEnabled });
        const page = await context.newPage();
        const signUp = async (query) => {
          await page.goto(`${server.origin}/${as}/${query}`);
          await page.locator('input[type="email"]').fill('ann@example.org');
          await Promise.all([page.waitForURL(`${server.origin}/subscribe`, { waitUntil: 'commit' }), page.locator('button').click()]);
          return server.sentFields.at(-1);
        };
        const want = variant[javaScriptEnabled ? 'js' : 'none'];
        assert.deepEqual(await signUp(campaign), want, `from the address, JavaScript ${javaScriptEnabled}`);
        await page.goto(built.thanksUrl);
        assert.deepEqual(await signUp(''), want, `back from the thank-you page, JavaScript ${javaScriptEnabled}`);
        if (javaScriptEnabled) assert.deepEqual(await page.evaluate(() => [localStorage.length, document.cookie]), [0, ''], 'kept beyond the visit');
        await context.close();
      }
    });
});
