// Builds the saved-funnel fixtures with the real tandrel-cli.
import { execFile } from 'node:child_process';
import { cp, mkdir, readdir, rm, writeFile } from 'node:fs/promises';
import { readFileSync, readdirSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';

import { madeDir, madePictures } from './pictures.mjs';

const run = promisify(execFile);

export const webDir = fileURLToPath(new URL('..', import.meta.url));
export const repoDir = path.resolve(webDir, '../..');
export const fixturesDir = path.join(webDir, 'fixtures');
export const artifactsDir = path.resolve(process.env.TANDREL_WEB_ARTIFACTS || path.join(webDir, 'artifacts'));

// ./run builds into build/; TANDREL_CLI and TANDREL_APP_DIR point the suite elsewhere.
export const cliPath = path.resolve(process.env.TANDREL_CLI || path.join(repoDir, 'build', 'tandrel-cli'));
export const appDir = path.resolve(process.env.TANDREL_APP_DIR || path.dirname(cliPath));

export const fixtureNames = readdirSync(fixturesDir).filter((f) => f.endsWith('.funnel.json')).map((f) => f.slice(0, -'.funnel.json'.length)).sort();

export const readFixture = (name) => JSON.parse(readFileSync(path.join(fixturesDir, `${name}.funnel.json`), 'utf8'));

const cli = (args, what, env) =>
  run(cliPath, args, { env, timeout: 300_000 }).then(({ stdout }) => stdout, (error) => Promise.reject(new Error(`tandrel-cli could not ${what}: ${error.stderr || error.message}`)));

// Returns the funnel as the pages should show it and the addresses the build printed.
// The fixtures write their web addresses under https://example.com; each build gets
// them under the local server's origin instead, so every link stays on it.
// A variant (as) of a fixture changes some of its values (changes) and gets its own folder.
// pictureCache: an earlier build's folder whose pictures this one may reuse.
export async function buildFixture(fixture, origin, { as: name = fixture, changes = {}, pictureCache } = {}) {
  const local = (v) => (typeof v === 'string' ? v.split('https://example.com').join(origin) : v);
  const funnel = Object.fromEntries(Object.entries({ ...readFixture(fixture), ...changes }).map(([k, v]) => [k, local(v)]));
  const dir = path.join(artifactsDir, 'funnels', name);
  await rm(dir, { recursive: true, force: true }).then(() => mkdir(dir, { recursive: true }));
  for (const folder of ['templates', 'snippets', 'themes']) await cp(path.join(appDir, folder), path.join(dir, folder), { recursive: true });
  if (pictureCache) await cp(path.join(pictureCache, 'output', '.picture-cache'), path.join(dir, 'output', '.picture-cache'), { recursive: true });
  for (const file of await readdir(fixturesDir)) if (!file.endsWith('.json')) await cp(path.join(fixturesDir, file), path.join(dir, file));
  // The large pictures the tests make (makeTestPictures), only where used.
  for (const file of madePictures) if ([funnel.coverImage, funnel.backgroundImage].includes(file)) await cp(path.join(madeDir, file), path.join(dir, file));
  const funnelFile = path.join(dir, `${name}.funnel.json`);
  await writeFile(funnelFile, JSON.stringify(funnel, null, 2));

  const stdout = await cli(['build', funnelFile, '--app-dir', dir, '--report'], `build ${name}`);
  const printed = (label) => {
    const match = stdout.match(new RegExp(`^${label}:\\s*(\\S+)\\s*$`, 'm'));
    if (!match) throw new Error(`tandrel-cli did not print the ${label} for ${name}:\n${stdout}`);
    return match[1];
  };
  const outputDir = path.join(dir, 'output', 'templates');
  // The privacy report's summary names the outside hosts: "2 outside hosts (a, b)".
  const reported = stdout.match(/^Privacy report: (?:\d+ outside hosts? \(([^)]*)\))?/m);
  if (!reported) throw new Error(`tandrel-cli printed no privacy report for ${name}:\n${stdout}`);
  const reportHosts = reported[1] ? reported[1].split(', ') : [];
  return { name, funnel, funnelFile, appDir: dir, outputDir, thanksUrl: printed('Thank you page'), downloadUrl: printed('Download page'), reportHosts };
}

// Uploads a built fixture with tandrel-cli publish; returns the addresses it printed last.
export async function publishFixture(built, host, env) {
  const stdout = await cli(['publish', built.funnelFile, '--app-dir', built.appDir, '--to', host.url, ...host.args], `publish ${built.name} to ${host.url}`, env);
  return stdout.trim().split('\n').slice(-3);
}
