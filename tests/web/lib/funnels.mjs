// Builds the saved-funnel fixtures with the real tandrel-cli.
import { execFile } from 'node:child_process';
import { cp, mkdir, readdir, rm, writeFile } from 'node:fs/promises';
import { readFileSync, readdirSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';

const run = promisify(execFile);

export const webDir = fileURLToPath(new URL('..', import.meta.url));
export const repoDir = path.resolve(webDir, '../..');
export const fixturesDir = path.join(webDir, 'fixtures');
export const artifactsDir = path.resolve(process.env.TANDREL_WEB_ARTIFACTS || path.join(webDir, 'artifacts'));

// ./run builds into build/; TANDREL_CLI and TANDREL_APP_DIR point the suite elsewhere.
export const cliPath = path.resolve(process.env.TANDREL_CLI || path.join(repoDir, 'build', 'tandrel-cli'));
export const appDir = path.resolve(process.env.TANDREL_APP_DIR || path.dirname(cliPath));

// The fixtures write their web addresses under this origin; each build gets
// them under the local server's origin instead, so every link stays on it.
export const fixtureOrigin = 'https://example.com';

export const fixtureNames = readdirSync(fixturesDir)
  .filter((f) => f.endsWith('.funnel.json'))
  .map((f) => f.slice(0, -'.funnel.json'.length))
  .sort();

export const readFixture = (name) => JSON.parse(readFileSync(path.join(fixturesDir, `${name}.funnel.json`), 'utf8'));

function localise(value, origin) {
  if (typeof value === 'string') return value.split(fixtureOrigin).join(origin);
  return value;
}

// Returns the funnel as the pages should show it and the addresses the build printed.
export async function buildFixture(name, origin) {
  const saved = readFixture(name);
  const funnel = Object.fromEntries(Object.entries(saved).map(([k, v]) => [k, localise(v, origin)]));

  const dir = path.join(artifactsDir, 'funnels', name);
  await rm(dir, { recursive: true, force: true });
  await mkdir(dir, { recursive: true });
  await cp(path.join(appDir, 'templates'), path.join(dir, 'templates'), { recursive: true });
  await cp(path.join(appDir, 'snippets'), path.join(dir, 'snippets'), { recursive: true });
  for (const file of await readdir(fixturesDir)) {
    if (!file.endsWith('.json')) await cp(path.join(fixturesDir, file), path.join(dir, file));
  }
  const funnelFile = path.join(dir, `${name}.funnel.json`);
  await writeFile(funnelFile, JSON.stringify(funnel, null, 2));

  let stdout;
  try {
    ({ stdout } = await run(cliPath, ['build', funnelFile, '--app-dir', dir]));
  } catch (error) {
    throw new Error(`tandrel-cli could not build ${name}: ${error.stderr || error.message}`);
  }
  const printed = (label) => {
    const match = stdout.match(new RegExp(`^${label}:\\s*(\\S+)\\s*$`, 'm'));
    if (!match) throw new Error(`tandrel-cli did not print the ${label} for ${name}:\n${stdout}`);
    return match[1];
  };
  return {
    name,
    funnel,
    funnelFile,
    appDir: dir,
    outputDir: path.join(dir, 'output', 'templates'),
    thanksUrl: printed('Thank you page'),
    downloadUrl: printed('Download page'),
  };
}

// Uploads a built fixture with tandrel-cli publish; returns the addresses it printed last.
export async function publishFixture(built, host, env) {
  try {
    const { stdout } = await run(cliPath, ['publish', built.funnelFile, '--app-dir', built.appDir, '--to', host.url, ...host.args], { env });
    return stdout.trim().split('\n').slice(-3);
  } catch (error) {
    throw new Error(`tandrel-cli could not publish ${built.name} to ${host.url}: ${error.stderr || error.message}`);
  }
}
